#include "platform/outputfile.h"
#include "snapshot/filtercommand.h"
#include "snapshot/imagefilter.h"
#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/optionparser.h"

#include <cstdio>

namespace {

constexpr const char* HELP =
    "  filter IN.bmp OUT.bmp OP [OP ...] [--force]\n"
    "                       Run the snapshot editor's picture commands on a bitmap\n"
    "                       file, in the order given, and write the result to\n"
    "                       OUT.bmp. OP is bright (+10), dark (-10), sharpen, blur,\n"
    "                       despeckle or contrast (spread from mid-grey, factor 10).\n"
    "                       IN.bmp must be a bitmap the editor loads (\"BM\" and a\n"
    "                       size field equal to its size; 24-bit pixels). An\n"
    "                       existing OUT.bmp is replaced only with --force, and never\n"
    "                       when it is IN.bmp. Exit 1 when IN.bmp is refused (OUT.bmp\n"
    "                       is then not written) or OUT.bmp may not be written.\n";

struct CFilterArgs {
    std::string m_strIn, m_strOut;
    std::vector<const CFilterCommand*> m_commands;
    bool m_bForce = false;
};

bool Parse(const std::vector<std::string>& args, CFilterArgs& out)
{
    std::vector<std::string> files;
    if (!COptionParser().Flag("--force", out.m_bForce).Files(files).Parse(args))
        return false;
    if (files.size() < 3)
        return Refuse(files.size() < 2 ? "IN.bmp OUT.bmp" : "OP", "the bitmaps and at least one filter must be given");
    out.m_strIn = files[0];
    out.m_strOut = files[1];
    for (size_t i = 2; i < files.size(); ++i) {
        const CFilterCommand* command = CFilterCommand::FromName(files[i]);
        if (!command)
            return Refuse(files[i], "no such filter: bright, dark, sharpen, blur, despeckle or contrast");
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

int Run(const std::vector<std::string>& args)
{
    CFilterArgs a;
    if (!Parse(args, a))
        return UsageError(FILTER_COMMAND.m_szSynopsis);
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

} // namespace

// The snapshot editor's picture commands on a bitmap file.
const CCommand FILTER_COMMAND = {"filter", "filter IN.bmp OUT.bmp OP [OP ...] [--force]", HELP, Run};
