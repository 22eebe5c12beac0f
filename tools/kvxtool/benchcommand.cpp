#include "tools/kvxtool/benchcommand.h"

#include "playback/dibpicture.h"
#include "recording/recordformat.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "tools/kvxtool/forwardreader.h"
#include "tools/kvxtool/usage.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct CFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// The repaired stream up to its first end-of-image marker: what a plain decoder gets.
void AppendStream(std::FILE* out, CDibPicture& repairer, const uint8_t* picture, size_t length)
{
    const uint8_t* jpeg = repairer.RepairJpeg(picture, length);
    if (!jpeg)
        return;
    for (size_t i = 1; i < length; ++i)
        if (jpeg[i - 1] == 0xFF && jpeg[i] == 0xD9) {
            std::fwrite(jpeg, 1, i + 1, out);
            return;
        }
}

} // namespace

int RunBenchCommand(const std::vector<std::string>& args)
{
    std::string file, mjpeg;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--mjpeg" && i + 1 < args.size())
            mjpeg = args[++i];
        else if (!args[i].starts_with("--") && file.empty())
            file = args[i];
        else
            return UsageError("bench FILE [--mjpeg OUT]");
    }
    if (file.empty())
        return UsageError("bench FILE [--mjpeg OUT]");
    CRecordingFacts facts;
    CConsoleProbeView probeView;
    if (!CRecordingProbe(facts, probeView).ProbeRecording(file))
        return EXIT_PROBE_FAILED;
    std::unique_ptr<std::FILE, CFileCloser> dump;
    if (!mjpeg.empty() && !(dump.reset(std::fopen(mjpeg.c_str(), "wb")), dump)) {
        std::fprintf(stderr, "kvxtool: cannot write %s: %s\n", mjpeg.c_str(), std::strerror(errno));
        return EXIT_PROBE_FAILED;
    }

    CDibPicture decoder, repairer;
    uint64_t frames = 0, failed = 0;
    double pixels = 0;
    const auto start = std::chrono::steady_clock::now();
    CForwardReader reader;
    const bool ok = reader.Run(file, facts, [&](const CForwardReader::CFrame& f) {
        if (f.audioMode == kvx::AUDIO_MODE_ONLY)
            return;
        ++frames;
        if (decoder.DecodeJpegFrame(f.picture, f.pictureLength, facts.m_nChannelCount) == CDibPicture::NO_CHANNEL)
            ++failed;
        else
            pixels += double(decoder.m_bih.bmiHeader.biWidth) * decoder.m_bih.bmiHeader.biHeight;
        if (dump)
            AppendStream(dump.get(), repairer, f.picture, f.pictureLength);
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok)
        return EXIT_PROBE_FAILED;
    std::printf("%llu pictures (%llu not decoded) in %.3f s: %.1f frames/s, %.2f megapixels/s\n",
                (unsigned long long)frames, (unsigned long long)failed, seconds, double(frames) / seconds,
                pixels / seconds / 1e6);
    return 0;
}
