#include "tools/kvxtool/filtercommand.h"

#include "snapshot/filtercommand.h"
#include "snapshot/imagefilter.h"
#include "tools/kvxtool/usage.h"

#include <QSaveFile>

#include <cstdio>
#include <filesystem>

namespace {

const char* const SYNOPSIS = "filter IN.bmp OUT.bmp OP [OP ...] [--force]";

struct CFilterArgs {
    std::string m_strIn, m_strOut;
    std::vector<const CFilterCommand*> m_commands;
    bool m_bForce = false;
};

bool Parse(const std::vector<std::string>& args, CFilterArgs& out)
{
    std::vector<std::string> positional;
    for (const std::string& arg : args) {
        if (arg == "--force")
            out.m_bForce = true;
        else if (arg.starts_with("-"))
            return false;
        else
            positional.push_back(arg);
    }
    if (positional.size() < 3)
        return false;
    out.m_strIn = positional[0];
    out.m_strOut = positional[1];
    for (size_t i = 2; i < positional.size(); ++i) {
        const CFilterCommand* command = CFilterCommand::FromName(positional[i]);
        if (!command) {
            std::fprintf(stderr, "kvxtool: unknown filter '%s'\n", positional[i].c_str());
            return false;
        }
        out.m_commands.push_back(command);
    }
    return true;
}

// The output is a new file unless --force says it may be replaced; the input never is.
bool MayWrite(const CFilterArgs& a)
{
    std::error_code error;
    if (!std::filesystem::exists(a.m_strOut, error))
        return true;
    if (std::filesystem::equivalent(a.m_strIn, a.m_strOut, error)) {
        std::fprintf(stderr, "kvxtool: %s is the input; write the result to another file\n", a.m_strOut.c_str());
        return false;
    }
    if (!a.m_bForce) {
        std::fprintf(stderr, "kvxtool: %s exists; --force replaces it\n", a.m_strOut.c_str());
        return false;
    }
    return true;
}

// Written whole or not at all: a replaced file stays as it was when writing fails.
bool WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes)
{
    QSaveFile file(QString::fromStdString(path));
    return file.open(QIODevice::WriteOnly)
        && file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size())
        && file.commit();
}

} // namespace

int RunFilterCommand(const std::vector<std::string>& args)
{
    CFilterArgs a;
    if (!Parse(args, a))
        return UsageError(SYNOPSIS);
    if (!MayWrite(a))
        return EXIT_USAGE;
    CBitmapBlock picture = CImageFilter::LoadBitmapFile(a.m_strIn);
    if (!picture) {
        std::fprintf(stderr, "kvxtool: %s: not a bitmap file the editor loads (it must start with \"BM\" and its "
                             "size field must equal its size)\n", a.m_strIn.c_str());
        return EXIT_PROBE_FAILED;
    }
    const CImageFilter filter;
    for (const CFilterCommand* command : a.m_commands)
        command->m_pRun(filter, picture.Bytes());
    if (!WriteWholeFile(a.m_strOut, picture.Bytes())) {
        std::fprintf(stderr, "kvxtool: cannot write %s\n", a.m_strOut.c_str());
        return EXIT_PROBE_FAILED;
    }
    return 0;
}
