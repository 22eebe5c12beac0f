// The AVI reader on any file: headers, both kinds of index, the extensions, and
// every frame it says the file holds.

#include "export/avireader.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

constexpr size_t FRAMES_READ = 64;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A copy of exactly the input's size: reading past it is then a fault to see.
    const std::vector<uint8_t> bytes(data, data + size);
    CAviReader reader;
    reader.Parse(bytes.data(), bytes.size());
    std::vector<uint8_t> out;
    for (size_t i = 0; i < std::min(reader.m_frames.size(), FRAMES_READ); ++i)
        if (reader.ReadFrame(i, out))
            Check(out.size() == reader.m_frames[i].size);
    reader.ReadFrame(reader.m_frames.size(), out);
    return 0;
}
