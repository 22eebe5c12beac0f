// The ceiling for decoding: a bare TurboJPEG loop over JPEG streams stored one after
// another, decoding each to bottom-up BGR rows as the player does.
//   bench_tjdecode PICTURES.mjpeg

#include <turbojpeg.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_tjdecode PICTURES.mjpeg\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const std::vector<unsigned char> data{std::istreambuf_iterator<char>(in), {}};
    std::vector<std::pair<size_t, size_t>> streams;
    for (size_t i = 1, start = 0; i < data.size(); ++i)
        if (data[i - 1] == 0xFF && data[i] == 0xD9) {
            streams.push_back({start, i + 1 - start});
            start = i + 1;
        }
    tjhandle handle = tjInitDecompress();
    std::vector<unsigned char> pixels(720 * 576 * 4);
    double megapixels = 0;
    const auto begin = std::chrono::steady_clock::now();
    for (auto [offset, size] : streams) {
        int w = 0, h = 0, subsampling = 0, colourspace = 0;
        if (tjDecompressHeader3(handle, &data[offset], size, &w, &h, &subsampling, &colourspace) != 0)
            continue;
        const int pitch = (w * 3 + 3) / 4 * 4;
        tjDecompress2(handle, &data[offset], size, pixels.data(), w, pitch, h, TJPF_BGR, TJFLAG_BOTTOMUP);
        megapixels += w * h / 1e6;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    tjDestroy(handle);
    std::printf("%zu pictures in %.3f s: %.1f frames/s, %.2f megapixels/s\n", streams.size(), seconds,
                double(streams.size()) / seconds, megapixels / seconds);
    return 0;
}
