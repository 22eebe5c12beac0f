#include "tools/kvxtool/filtercommand.h"

#include "platform/outputfile.h"
#include "snapshot/filtercommand.h"
#include "snapshot/imagefilter.h"
#include "tools/kvxtool/usage.h"

#include <cstdio>

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
            return RefuseStray(arg, {});
        else
            positional.push_back(arg);
    }
    if (positional.size() < 3)
        return Refuse(positional.size() < 2 ? "IN.bmp OUT.bmp" : "OP", "the bitmaps and at least one filter must be given");
    out.m_strIn = positional[0];
    out.m_strOut = positional[1];
    for (size_t i = 2; i < positional.size(); ++i) {
        const CFilterCommand* command = CFilterCommand::FromName(positional[i]);
        if (!command)
            return Refuse(positional[i], "no such filter: bright, dark, sharpen, blur, despeckle or contrast");
        out.m_commands.push_back(command);
    }
    return true;
}

// The output is a new file unless --force says it may be replaced; the input never is.
bool WriteResult(const CFilterArgs& a, std::span<const uint8_t> bytes)
{
    COutputFile out;
    switch (out.Create(a.m_strOut, a.m_bForce, {a.m_strIn})) {
    case COutputFile::ECreate::Created:
        if (out.Write(bytes.data(), bytes.size()) && out.Close())
            return true;
        break;
    case COutputFile::ECreate::Exists:
        std::fprintf(stderr, "kvxtool: %s exists already; --force replaces it\n", a.m_strOut.c_str());
        return false;
    case COutputFile::ECreate::IsInput:
        std::fprintf(stderr, "kvxtool: %s is the picture being read; write the result to another file\n",
                     a.m_strOut.c_str());
        return false;
    case COutputFile::ECreate::Failed:
        break;
    }
    std::fprintf(stderr, "kvxtool: cannot write %s: %s\n", a.m_strOut.c_str(), out.ErrorText().c_str());
    return false;
}

} // namespace

int RunFilterCommand(const std::vector<std::string>& args)
{
    CFilterArgs a;
    if (!Parse(args, a))
        return UsageError(SYNOPSIS);
    CBitmapBlock picture = CImageFilter::LoadBitmapFile(a.m_strIn);
    if (!picture) {
        std::fprintf(stderr, "kvxtool: %s: not a bitmap file the editor loads (it must start with \"BM\" and its "
                             "size field must equal its size)\n", a.m_strIn.c_str());
        return EXIT_PROBE_FAILED;
    }
    const CImageFilter filter;
    for (const CFilterCommand* command : a.m_commands)
        command->m_pRun(filter, picture.Bytes());
    return WriteResult(a, picture.Bytes()) ? 0 : EXIT_PROBE_FAILED;
}
