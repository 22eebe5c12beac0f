#include "snapshot/filtercommand.h"

#include "snapshot/editcontrolids.h"

#include <array>

namespace {

const std::array<CFilterCommand, 6> FILTER_COMMANDS = {{
    {editctl::BRIGHT, "bright", "BRIGHT                         ",
     [](const CImageFilter& f, std::span<uint8_t> p) { return f.AdjustBrightness(p, 10); }},
    {editctl::DARK, "dark", "DARK                            ",
     [](const CImageFilter& f, std::span<uint8_t> p) { return f.AdjustBrightness(p, -10); }},
    {editctl::SHARPEN, "sharpen", "SHARPEN                         ",
     [](const CImageFilter& f, std::span<uint8_t> p) { return f.Sharpen(p); }},
    {editctl::BLUR, "blur", "BLUR                            ",
     [](const CImageFilter& f, std::span<uint8_t> p) { return f.Blur(p); }},
    {editctl::CONTRAST_UP, "despeckle", "DESPECKLE                       ",
     [](const CImageFilter& f, std::span<uint8_t> p) { return f.Despeckle(p); }},
    {editctl::CONTRAST_DN, "contrast", "CONTRAST UP                ",
     [](const CImageFilter& f, std::span<uint8_t> p) { return f.AdjustContrast(p, 10); }},
}};

} // namespace

const CFilterCommand* CFilterCommand::FromControlId(int id)
{
    for (const CFilterCommand& command : FILTER_COMMANDS)
        if (command.m_nControlId == id)
            return &command;
    return nullptr;
}

const CFilterCommand* CFilterCommand::FromName(std::string_view name)
{
    for (const CFilterCommand& command : FILTER_COMMANDS)
        if (command.m_szName == name)
            return &command;
    return nullptr;
}
