#include "playback/jpegencoder.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <new>
#include <vector>

namespace {

constexpr int MAX_JPEG_SIDE = 65500;    // the largest side a JPEG stream can have
constexpr int JPEG_QUALITY_MAX = 100;

constexpr uint8_t STREAM_START[] = {0xFF, 0xD8, 0xFF, 0xE0}; // start of image, JFIF segment
constexpr size_t START_OF_IMAGE_SIZE = 2;
// JFIF 1.01, square pixels, no thumbnail.
constexpr uint8_t JFIF_SEGMENT[] = {0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00,
                                    0x01, 0x01, 0x00, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00};

// TurboJPEG handles are not to be shared between threads: each thread that encodes
// gets its own, destroyed when the thread ends.
tjhandle Compressor()
{
    thread_local const std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitCompress(), tjDestroy);
    return handle.get();
}

// The decoder takes only streams that start like the recorder's, with a JFIF segment.
// TurboJPEG writes one for 3-component streams but gives 4-component ones an Adobe
// segment alone, so they get the JFIF segment put in front of it. `jpeg` has room for it.
size_t AddJfifSegment(uint8_t* jpeg, size_t size)
{
    if (size >= sizeof STREAM_START && std::equal(std::begin(STREAM_START), std::end(STREAM_START), jpeg))
        return size;
    std::memmove(jpeg + START_OF_IMAGE_SIZE + sizeof JFIF_SEGMENT, jpeg + START_OF_IMAGE_SIZE,
                 size - START_OF_IMAGE_SIZE);
    std::memcpy(jpeg + START_OF_IMAGE_SIZE, JFIF_SEGMENT, sizeof JFIF_SEGMENT);
    return size + sizeof JFIF_SEGMENT;
}

// The encoder's output buffer, one per thread and only growing.
uint8_t* OutputBuffer(size_t size)
{
    thread_local std::unique_ptr<uint8_t[]> buffer;
    thread_local size_t capacity = 0;
    if (capacity < size) {
        buffer.reset(new (std::nothrow) uint8_t[size]);
        capacity = buffer ? size : 0;
    }
    return buffer.get();
}

struct CSourcePixels {
    const uint8_t* m_pBits;
    int m_nWidth;
    int m_nHeight;
    int m_nFormat;      // TJPF_BGR or TJPF_CMYK
    bool m_bDibRows;    // bottom-up rows padded to 4 bytes, else top-down and packed
};

// Encodes into the thread's buffer of tjBufSize bytes (and room for a JFIF segment).
// It must be that large: with TJFLAG_NOREALLOC TurboJPEG writes up to tjBufSize bytes
// whatever size it is told. Empty on failure.
std::span<const uint8_t> Compress(const CSourcePixels& source, int quality)
{
    const tjhandle encoder = Compressor();
    if (!encoder || !source.m_pBits || source.m_nWidth < 1 || source.m_nWidth > MAX_JPEG_SIDE
        || source.m_nHeight < 1 || source.m_nHeight > MAX_JPEG_SIDE)
        return {};
    unsigned long size = tjBufSize(source.m_nWidth, source.m_nHeight, TJSAMP_420);
    uint8_t* jpeg = OutputBuffer(size + sizeof JFIF_SEGMENT);
    if (!jpeg)
        return {};
    const int bytesPerPixel = tjPixelSize[source.m_nFormat];
    const int pitch = source.m_bDibRows ? TJPAD(source.m_nWidth * bytesPerPixel) : source.m_nWidth * bytesPerPixel;
    const int flags = TJFLAG_NOREALLOC | (source.m_bDibRows ? TJFLAG_BOTTOMUP : 0);
    if (tjCompress2(encoder, source.m_pBits, source.m_nWidth, pitch, source.m_nHeight, source.m_nFormat,
                    &jpeg, &size, TJSAMP_420, std::clamp(quality, 0, JPEG_QUALITY_MAX), flags) != 0)
        return {};
    return {jpeg, AddJfifSegment(jpeg, size)};
}

struct CFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// A new file only: what is already there is somebody's earlier picture.
bool WriteWholeFile(const std::string& path, std::span<const uint8_t> bytes)
{
    std::unique_ptr<std::FILE, CFileCloser> file(std::fopen(path.c_str(), "wbx"));
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
    if (std::fclose(file.release()) == 0 && written)
        return true;
    std::remove(path.c_str());
    return false;
}

} // namespace

size_t CJpegEncoder::EncodeBuffer(uint8_t* output, const uint8_t* bits, int width, int height,
                                     int bytesPerPixel, size_t capacity, int quality)
{
    if (!output || (bytesPerPixel != 3 && bytesPerPixel != 4))
        return 0;
    // 4-byte pixels go to the codec as CMYK samples: it writes them as a YCCK stream
    // whose fourth component is alpha, read back by CDibPicture::DecodeJpegFrame.
    const CSourcePixels source{bits, width, height, bytesPerPixel == 3 ? TJPF_BGR : TJPF_CMYK, true};
    const std::span<const uint8_t> jpeg = Compress(source, quality);
    if (jpeg.empty() || jpeg.size() > capacity)
        return 0;
    std::memcpy(output, jpeg.data(), jpeg.size());
    return jpeg.size();
}

bool CJpegEncoder::EncodeFile(const std::string& path, const uint8_t* bits, int width, int height,
                                 int quality, std::span<const uint8_t> segment)
{
    const std::span<const uint8_t> jpeg = Compress({bits, width, height, TJPF_BGR, false}, quality);
    if (jpeg.empty())
        return false;
    if (segment.empty())
        return WriteWholeFile(path, jpeg);
    // After the start of image, and after the JFIF header when there is one (viewers
    // look for it first).
    size_t at = 2;
    if (jpeg.size() > 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0)
        at = std::min(jpeg.size(), 4 + (size_t(jpeg[4]) << 8 | jpeg[5]));
    std::vector<uint8_t> file(jpeg.begin(), jpeg.begin() + ptrdiff_t(at));
    file.insert(file.end(), segment.begin(), segment.end());
    file.insert(file.end(), jpeg.begin() + ptrdiff_t(at), jpeg.end());
    return WriteWholeFile(path, file);
}
