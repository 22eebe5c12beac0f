// A process that writes an AVI export for the tests to kill or starve:
//   aviwritechild endless OUT.avi FRAME.jpg
//       writes FRAME.jpg as frame after frame until it is killed, printing the number
//       of frames written after each one;
//   aviwritechild limit BYTES OUT.avi FRAME.jpg...
//       writes the frames in turn under a file size limit of BYTES, as on a full disk,
//       printing "written N" and, when a write fails, "failed: REASON", then whether a
//       further write was refused ("refused 1") and what Close gave ("closed 1").
#include "export/aviwriter.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

std::vector<uint8_t> ReadFile(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int Endless(const char* out, const char* frame)
{
    const std::vector<uint8_t> jpeg = ReadFile(frame);
    CAviWriter writer;
    if (!writer.Open(out, 64, 48, 25))
        return 1;
    while (writer.WriteFrame(jpeg.data(), jpeg.size())) {
        std::printf("%u\n", writer.FrameCount());
        std::fflush(stdout);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return 1;
}

int Limited(const char* bytes, const char* out, char** frames, int count)
{
    // Past the limit, writes fail with EFBIG instead of killing the process.
    std::signal(SIGXFSZ, SIG_IGN);
    const rlim_t limit = std::strtoull(bytes, nullptr, 10);
    const rlimit fileSize{limit, limit};
    if (setrlimit(RLIMIT_FSIZE, &fileSize) != 0)
        return 1;
    CAviWriter writer;
    if (!writer.Open(out, 64, 48, 25))
        return 1;
    for (int i = 0; i < count; ++i) {
        const std::vector<uint8_t> jpeg = ReadFile(frames[i]);
        if (!writer.WriteFrame(jpeg.data(), jpeg.size())) {
            std::printf("failed: %s\n", writer.ErrorText().c_str());
            std::printf("refused %d\n", !writer.WriteFrame(jpeg.data(), jpeg.size()) && !writer.IsOpen());
            break;
        }
    }
    std::printf("written %u\n", writer.FrameCount());
    std::printf("closed %d\n", writer.Close());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "endless") == 0)
        return Endless(argv[2], argv[3]);
    if (argc >= 5 && std::strcmp(argv[1], "limit") == 0)
        return Limited(argv[2], argv[3], argv + 4, argc - 4);
    std::fprintf(stderr, "usage: aviwritechild endless OUT FRAME | limit BYTES OUT FRAME...\n");
    return 2;
}
