// How fast the AVI writer writes, and whether an export far past the 1 GiB of a plain
// AVI file stays readable to the last frame. It writes a file of large frames (5 GiB
// by default) into a temporary folder, prints the rate, lets ffprobe decode every
// frame and count them, and removes the file.
//   bench_aviwriter [GIB] [FOLDER]

#include "export/aviwriter.h"
#include "playback/jpegencoder.h"

#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int WIDTH = 2048;
constexpr int HEIGHT = 1536;

// Noise at high quality: a JPEG of several MB that still decodes as one picture.
std::vector<uint8_t> NoiseJpeg()
{
    const size_t stride = size_t(WIDTH) * 3;
    std::vector<uint8_t> pixels(stride * HEIGHT);
    std::mt19937 random(1);
    for (uint8_t& byte : pixels)
        byte = uint8_t(random());
    std::vector<uint8_t> jpeg(pixels.size() * 2);
    jpeg.resize(CJpegEncoder::EncodeBuffer(jpeg.data(), pixels.data(), WIDTH, HEIGHT, 3, jpeg.size(), 95));
    return jpeg;
}

long ProbeFrameCount(const std::string& path)
{
    const std::string command =
        "ffprobe -v error -count_frames -show_entries stream=nb_read_frames -of csv=p=0 '" + path + "'";
    FILE* probe = popen(command.c_str(), "r");
    if (!probe)
        return -1;
    long frames = -1;
    if (std::fscanf(probe, "%ld", &frames) != 1)
        frames = -1;
    return pclose(probe) == 0 ? frames : -1;
}

} // namespace

int main(int argc, char** argv)
{
    const double gib = argc > 1 ? std::atof(argv[1]) : 5.0;
    QTemporaryDir dir(argc > 2 ? QString(argv[2]) + "/avibench-XXXXXX" : QString());
    if (gib <= 0 || !dir.isValid()) {
        std::fprintf(stderr, "usage: bench_aviwriter [GIB] [FOLDER]\n");
        return 2;
    }
    const std::vector<uint8_t> jpeg = NoiseJpeg();
    const uint64_t target = uint64_t(gib * double(uint64_t(1) << 30));
    const std::string path = dir.filePath("bench.avi").toStdString();
    std::printf("writing %.1f GiB of %zu-byte frames into %s\n", gib, jpeg.size(), path.c_str());

    CAviWriter writer;
    const auto start = std::chrono::steady_clock::now();
    if (!writer.Open(path, WIDTH, HEIGHT, 25))
        return std::fprintf(stderr, "open: %s\n", writer.ErrorText().c_str()), 1;
    uint64_t written = 0;
    while (written < target) {
        if (!writer.WriteFrame(jpeg.data(), jpeg.size()))
            return std::fprintf(stderr, "write: %s\n", writer.ErrorText().c_str()), 1;
        written += jpeg.size();
    }
    const uint32_t frames = writer.FrameCount();
    if (!writer.Close())
        return std::fprintf(stderr, "close: %s\n", writer.ErrorText().c_str()), 1;
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("wrote %u frames, %.0f MB in %.1f s: %.0f MB/s (flushed to the medium)\n", frames,
                double(written) / 1e6, seconds, double(written) / 1e6 / seconds);

    const auto probeStart = std::chrono::steady_clock::now();
    const long probed = ProbeFrameCount(path);
    const double probeSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - probeStart).count();
    std::printf("ffprobe -count_frames: %ld of %u frames (%.0f s) %s\n", probed, frames, probeSeconds,
                probed == long(frames) ? "all read" : "MISSING FRAMES");
    return probed == long(frames) ? 0 : 1;
}
