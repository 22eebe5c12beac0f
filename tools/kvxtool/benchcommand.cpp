#include "evidence/decodebench.h"
#include "platform/outputfile.h"
#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "tools/kvxtool/optionparser.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr const char* HELP =
    "  bench FILE [--mjpeg OUT [--force]]\n"
    "                       Read and decode every picture as fast as possible and\n"
    "                       print frames/s and megapixels/s. --mjpeg writes the\n"
    "                       repaired JPEG streams one after another to OUT, a new\n"
    "                       file, in time that is not counted; --force replaces\n"
    "                       an existing one. The recording itself (under any name\n"
    "                       or link) is never written.\n";

// The dump is created before reading starts; the recording itself is never written.
bool CreateDump(COutputFile& dump, const std::string& path, bool force, const std::string& recording)
{
    switch (dump.Create(path, force, {recording})) {
    case COutputFile::ECreate::Created:
        return true;
    case COutputFile::ECreate::Exists:
        std::fprintf(stderr, "kvxtool: %s exists already; --force replaces it\n", path.c_str());
        return false;
    case COutputFile::ECreate::IsInput:
        std::fprintf(stderr, "kvxtool: %s is the recording being read; it is never written\n", path.c_str());
        return false;
    case COutputFile::ECreate::Failed:
        break;
    }
    std::fprintf(stderr, "kvxtool: cannot write %s: %s\n", path.c_str(), dump.ErrorText().c_str());
    return false;
}

int Run(const std::vector<std::string>& args)
{
    std::string file, mjpeg;
    bool force = false;
    if (!COptionParser()
             .Text("--mjpeg", mjpeg)
             .Flag("--force", force)
             .File(file, "FILE", "the recording to read must be named")
             .Parse(args)
        || (force && mjpeg.empty() && !Refuse("--force", "it lets --mjpeg replace its file, and no --mjpeg is given")))
        return UsageError(BENCH_COMMAND.m_szSynopsis);
    CRecordingFacts facts;
    if (!CConsoleProbeView::Probe(file, facts))
        return EXIT_PROBE_FAILED;
    COutputFile dump;
    if (!mjpeg.empty() && !CreateDump(dump, mjpeg, force, file))
        return EXIT_PROBE_FAILED;
    CDecodeBenchResult r;
    const auto start = std::chrono::steady_clock::now();
    const bool ok = RunDecodeBench(file, facts, mjpeg.empty() ? nullptr : &dump, r);
    // What is measured is the reader; the dump is only there for decoders to compare.
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() - r.m_dDumpSeconds;
    if (!ok)
        return EXIT_PROBE_FAILED;
    if (!mjpeg.empty() && !(dump.Close() && r.m_bDumpWritten)) {
        std::fprintf(stderr, "kvxtool: cannot write %s: %s\n", mjpeg.c_str(), dump.ErrorText().c_str());
        return EXIT_PROBE_FAILED;
    }
    std::printf("%llu pictures (%llu not decoded) in %.3f s: %.1f frames/s, %.2f megapixels/s\n",
                (unsigned long long)r.m_nPictures, (unsigned long long)r.m_nFailed, seconds,
                double(r.m_nPictures) / seconds, r.m_dPixels / seconds / 1e6);
    return 0;
}

} // namespace

// Decodes every picture as fast as it can and prints frames/s and megapixels/s.
const CCommand BENCH_COMMAND = {"bench", "bench FILE [--mjpeg OUT [--force]]", HELP, Run};
