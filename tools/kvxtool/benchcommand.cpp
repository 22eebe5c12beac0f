#include "tools/kvxtool/benchcommand.h"

#include "platform/outputfile.h"
#include "playback/dibpicture.h"
#include "recording/recordformat.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "evidence/forwardreader.h"
#include "tools/kvxtool/usage.h"

#include <chrono>
#include <cstdio>

namespace {

constexpr const char* SYNOPSIS = "bench FILE [--mjpeg OUT [--force]]";

// The repaired stream up to its first end-of-image marker: what a plain decoder gets.
bool AppendStream(COutputFile& out, CDibPicture& repairer, const uint8_t* picture, size_t length)
{
    const uint8_t* jpeg = repairer.RepairJpeg(picture, length);
    if (!jpeg)
        return true;
    for (size_t i = 1; i < length; ++i)
        if (jpeg[i - 1] == 0xFF && jpeg[i] == 0xD9)
            return out.Write(jpeg, i + 1);
    return true;
}

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

struct CBenchArgs {
    std::string m_strFile, m_strMjpeg;
    bool m_bForce = false;
};

bool Parse(const std::vector<std::string>& args, CBenchArgs& out)
{
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--mjpeg" && i + 1 < args.size())
            out.m_strMjpeg = args[++i];
        else if (args[i] == "--force")
            out.m_bForce = true;
        else if (!args[i].starts_with("-") && out.m_strFile.empty())
            out.m_strFile = args[i];
        else
            return RefuseStray(args[i], {"--mjpeg"});
    }
    if (out.m_strFile.empty())
        return Refuse("FILE", "the recording to read must be named");
    return !out.m_bForce || !out.m_strMjpeg.empty()
        || Refuse("--force", "it lets --mjpeg replace its file, and no --mjpeg is given");
}

} // namespace

int RunBenchCommand(const std::vector<std::string>& args)
{
    CBenchArgs a;
    if (!Parse(args, a))
        return UsageError(SYNOPSIS);
    CRecordingFacts facts;
    CConsoleProbeView probeView;
    if (!CRecordingProbe(facts, probeView).ProbeRecording(a.m_strFile))
        return EXIT_PROBE_FAILED;
    COutputFile dump;
    if (!a.m_strMjpeg.empty() && !CreateDump(dump, a.m_strMjpeg, a.m_bForce, a.m_strFile))
        return EXIT_PROBE_FAILED;

    CDibPicture decoder, repairer;
    uint64_t frames = 0, failed = 0;
    bool dumpOk = true;
    double pixels = 0;
    const auto start = std::chrono::steady_clock::now();
    CForwardReader reader;
    const bool ok = reader.Run(a.m_strFile, facts, [&](const CForwardReader::CFrame& f) {
        if (f.audioMode == kvx::AUDIO_MODE_ONLY)
            return;
        ++frames;
        if (decoder.DecodeJpegFrame(f.picture, f.pictureLength, facts.m_nChannelCount) == CDibPicture::NO_CHANNEL)
            ++failed;
        else
            pixels += double(decoder.m_bih.bmiHeader.biWidth) * decoder.m_bih.bmiHeader.biHeight;
        if (!a.m_strMjpeg.empty() && dumpOk)
            dumpOk = AppendStream(dump, repairer, f.picture, f.pictureLength);
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok)
        return EXIT_PROBE_FAILED;
    if (!a.m_strMjpeg.empty() && !(dump.Close() && dumpOk)) {
        std::fprintf(stderr, "kvxtool: cannot write %s: %s\n", a.m_strMjpeg.c_str(), dump.ErrorText().c_str());
        return EXIT_PROBE_FAILED;
    }
    std::printf("%llu pictures (%llu not decoded) in %.3f s: %.1f frames/s, %.2f megapixels/s\n",
                (unsigned long long)frames, (unsigned long long)failed, seconds, double(frames) / seconds,
                pixels / seconds / 1e6);
    return 0;
}
