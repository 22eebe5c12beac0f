#include "playback/dibpicture.h"

#include "playback/jpegsegments.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <string>

namespace {

constexpr int MAX_DIB_SIDE = 32767;     // bitmap sides are 16-bit values
constexpr int MAX_JPEG_SIDE = 65500;    // the largest side a JPEG stream can have

// The channel code: four bars and a reference bar in the second image row, read at
// these pixels (bit 3 first). Narrower pictures cannot hold the last bar.
constexpr int BAR_ROWS_FROM_END = 2;
constexpr int BAR_STARTS[5] = {90, 218, 346, 474, 602};
constexpr int REFERENCE_BAR = 4;
constexpr int BAR_PIXELS = 30;
constexpr int BAR_LIT_MIN = 26;         // bright pixels that light a bar
constexpr int BAR_BRIGHT_ABOVE = 200;
constexpr int CODE_MIN_WIDTH = 316;

// The row mark: pixels 0..15 dark, 16..46 bright, 47..77 dark, each stretch allowed
// five strays.
constexpr int MARK_BRIGHT_FIRST = 16;
constexpr int MARK_DARK_FIRST = 47;
constexpr int MARK_LAST = 77;
constexpr int MARK_STRAYS = 5;
constexpr int MARK_DARK_UP_TO = 50;
constexpr int MARK_BRIGHT_FROM = 200;
constexpr int MARK_ROWS_NTSC = 3;       // PAL pictures carry the mark one row lower
constexpr int MARK_ROWS_PAL = 4;
// What DecodeTopRows decodes: the code and the mark, in one row of 16 x 16 blocks.
constexpr int TOP_ROWS = 16;
// The share of the image data that the top rows are first looked for in: those of
// 720 x 288 pictures take an eighteenth of it, and more when busy. A stream whose top
// rows need more is decoded again from all its data.
constexpr size_t TOP_ROWS_DATA_SHARE = 6;

constexpr uint8_t STREAM_START[] = {0xFF, 0xD8, 0xFF, 0xE0}; // start of image, JFIF segment
constexpr uint8_t END_OF_IMAGE[] = {0xFF, 0xD9};

// TurboJPEG handles are not to be shared between threads: each thread that decodes
// gets its own, destroyed when the thread ends.
struct CTjDestroyer {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, CTjDestroyer>;

TjHandle& ThreadDecompressor()
{
    thread_local TjHandle handle;
    if (!handle)
        handle.reset(tjInitDecompress());
    return handle;
}

tjhandle Decompressor()
{
    return ThreadDecompressor().get();
}

// TurboJPEG 2.1 skips its clean-up when an error stops tjDecompressHeader3, and every
// later header read of that handle fails alike: after a refused header the thread
// starts over with a new one.
void DiscardDecompressor()
{
    ThreadDecompressor().reset();
}

int64_t DibStride(int64_t width, int bytesPerPixel)
{
    return (width * bytesPerPixel + 3) / 4 * 4;
}

bool HasAt(const uint8_t* bytes, size_t length, size_t at, std::span<const uint8_t> pattern)
{
    return length >= at + pattern.size() && std::equal(pattern.begin(), pattern.end(), bytes + at);
}

// How a recorded stream's start is mended: bytes to drop, or a 0xFF to put back.
struct CStartRepair {
    size_t m_nSkip = 0;
    bool m_bAddMarkerByte = false;
};

// Some recorders write one or two bytes before the stream, or lose its first byte.
std::optional<CStartRepair> FindStartRepair(const uint8_t* s, size_t length)
{
    const std::span<const uint8_t> start(STREAM_START);
    if (HasAt(s, length, 0, start))
        return CStartRepair{};
    if (length > 0 && s[0] == 0xFF && HasAt(s, length, 1, start))
        return CStartRepair{1, false};
    if (HasAt(s, length, 0, start.subspan(1)))
        return CStartRepair{0, true};
    if (HasAt(s, length, 2, start))
        return CStartRepair{2, false};
    return std::nullopt;
}

struct CStreamInfo {
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nColourspace = -1;
    bool m_bWarned = false;
    std::string m_strWarning;
};

// TurboJPEG fails the header read also for warnings and for subsampling layouts it
// has no name for, though neither keeps the image from decoding: the header counts
// as read when it delivered a size and a colour space.
std::optional<CStreamInfo> ReadStreamInfo(tjhandle decoder, const uint8_t* jpeg, size_t length)
{
    CStreamInfo info;
    int subsampling = -1;
    const int result = tjDecompressHeader3(decoder, jpeg, length, &info.m_nWidth, &info.m_nHeight,
                                           &subsampling, &info.m_nColourspace);
    if (info.m_nWidth < 1 || info.m_nHeight < 1 || info.m_nColourspace < 0)
        return std::nullopt;
    info.m_bWarned = result != 0 && tjGetErrorCode(decoder) == TJERR_WARNING;
    if (info.m_bWarned)
        info.m_strWarning = tjGetErrorStr2(decoder);
    // A header read that warned leaves the handle as a failed decode does.
    if (result != 0)
        DiscardDecompressor();
    return info;
}

// The header of a stream the codec reads and that is not too large to decode.
std::optional<CStreamInfo> ReadDecodableInfo(tjhandle decoder, const uint8_t* jpeg, size_t length)
{
    std::optional<CStreamInfo> info = ReadStreamInfo(decoder, jpeg, length);
    if (!info)
        DiscardDecompressor();
    if (!info || int64_t(info->m_nWidth) * info->m_nHeight > CDibPicture::MAX_DECODE_PIXELS)
        return std::nullopt;
    return info;
}

bool IsFourComponent(int colourspace)
{
    return colourspace == TJCS_CMYK || colourspace == TJCS_YCCK;
}

// Any error fails the decode, and so does a warning from the image data: it means
// damage (premature end, bad entropy code, lost restart marker), and the codec has
// filled in what it could not read. Warnings of the header (an unknown JFIF version,
// stray bytes between segments) do not harm the picture; as the decode reads the
// header again, a stream whose header warns fails only when the decode ends in
// another message than the header's, that is in an error. TurboJPEG reports only the
// first warning of a read, so damaged data behind such a header cannot be told apart.
// A stream cut short by a lowered frame height (DecodeTopRows) leaves the image data
// of the rows below unread, which the codec reports, only after the rows it decoded,
// as extraneous bytes before the next marker.
// A decode that did not end cleanly leaves TurboJPEG 2.1's handle such that the next
// decode of it may fail, even of a sound stream: the thread then starts over with a
// new handle, so that no picture is judged by the one before it.
bool DecodeStream(const CStreamInfo& info, const uint8_t* jpeg, size_t length, uint8_t* pixels, int64_t stride,
                  bool cut, int format, int rowOrder)
{
    const tjhandle decoder = Decompressor();
    if (!decoder)
        return false;
    const int flags = rowOrder | TJFLAG_LIMITSCANS; // LIMITSCANS: no endless progressive streams
    if (tjDecompress2(decoder, jpeg, length, pixels, info.m_nWidth, int(stride), info.m_nHeight, format,
                      flags) == 0)
        return true;
    const bool warned = tjGetErrorCode(decoder) == TJERR_WARNING;
    const std::string warning = tjGetErrorStr2(decoder);
    DiscardDecompressor();
    if (!warned)
        return false;
    return (info.m_bWarned && info.m_strWarning == warning)
        || (cut && warning.find("extraneous bytes before marker") != std::string::npos);
}

// The stream at an eighth of its size, each pixel one 8 x 8 block's average: the
// codec still reads every coefficient, so damage anywhere shows as in a whole decode,
// but skips most of the inverse transform. Grey output skips the colour conversion
// too (and the chroma transforms); 4-component streams, which the codec cannot turn
// grey, come as their four samples. False when the stream does not decode.
bool DecodeEighth(const uint8_t* jpeg, size_t length, bool grey, CEighthPicture& out)
{
    const tjhandle decoder = Decompressor();
    std::optional<CStreamInfo> info = decoder ? ReadDecodableInfo(decoder, jpeg, length) : std::nullopt;
    if (!info)
        return false;
    info->m_nWidth = (info->m_nWidth + 7) / 8;
    info->m_nHeight = (info->m_nHeight + 7) / 8;
    const bool fourComponent = IsFourComponent(info->m_nColourspace);
    const int format = fourComponent ? TJPF_CMYK : grey ? TJPF_GRAY : TJPF_BGR;
    out.m_nWidth = info->m_nWidth;
    out.m_nHeight = info->m_nHeight;
    out.m_nPixelSize = tjPixelSize[format];
    out.m_pixels.resize(size_t(out.m_nWidth) * size_t(out.m_nPixelSize) * size_t(out.m_nHeight));
    return DecodeStream(*info, jpeg, length, out.m_pixels.data(),
                        int64_t(out.m_nWidth) * out.m_nPixelSize, false, format, 0);
}

bool StreamDecodes(const uint8_t* jpeg, size_t length)
{
    thread_local CEighthPicture scratch;
    return DecodeEighth(jpeg, length, false, scratch);
}

// Four samples taken as R, G, B, A (as PremultiplyToBgra does) to the luma of the
// premultiplied colour, in place.
void KeepLuma(CEighthPicture& picture)
{
    const size_t count = size_t(picture.m_nWidth) * size_t(picture.m_nHeight);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* p = &picture.m_pixels[4 * i];
        picture.m_pixels[i] = uint8_t((p[0] + p[1] + p[2]) * unsigned(p[3]) / (3 * 255));
    }
    picture.m_pixels.resize(count);
    picture.m_nPixelSize = 1;
}

// Top rows decoded from the front of the image data alone, with an end marker put in
// behind it for the time of the decode: the codec then skips the few bytes up to that
// marker instead of the whole rest of the data, which costs as much as decoding the
// rows. Where the rows need data behind the marker, the codec reports the data
// segment ended early, and the decode fails; so do streams whose header warns, as
// that warning would hide the report, and streams whose image data does not hold
// the blocks in order.
template <typename Decode>
bool DecodesFromFront(uint8_t* jpeg, size_t length, const CStreamInfo& info, Decode decode)
{
    const std::optional<size_t> data = info.m_bWarned ? std::nullopt : FindSequentialImageData(jpeg, length);
    if (!data)
        return false;
    const size_t end = *data + (length - *data) / TOP_ROWS_DATA_SHARE;
    if (end + sizeof END_OF_IMAGE >= length)
        return false;
    uint8_t kept[sizeof END_OF_IMAGE];
    std::memcpy(kept, jpeg + end, sizeof kept);
    std::memcpy(jpeg + end, END_OF_IMAGE, sizeof END_OF_IMAGE);
    const bool decoded = decode(end + sizeof END_OF_IMAGE);
    std::memcpy(jpeg + end, kept, sizeof kept);
    return decoded;
}

// TurboJPEG gives a 4-component stream (CMYK, or YCCK turned back into CMYK) as its
// four samples, which are taken as R, G, B, A. Colours are then multiplied by A and
// stored B, G, R for the bitmap. For the Adobe-style CMYK of 4-component files (ink
// stored inverted) this is the usual R = C K, G = M K, B = Y K; and the encoder
// writes 4-byte R, G, B, A pixels as these samples, so they come back as they went.
void PremultiplyToBgra(uint8_t* pixels, size_t count)
{
    for (uint8_t* p = pixels; p < pixels + 4 * count; p += 4) {
        const unsigned r = p[0], g = p[1], b = p[2], a = p[3];
        p[0] = uint8_t((b * a + 1) >> 8);
        p[1] = uint8_t((g * a + 1) >> 8);
        p[2] = uint8_t((r * a + 1) >> 8);
    }
}

} // namespace

CDibPicture::CDibPicture()
{
    m_bih.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    m_bih.bmiHeader.biPlanes = 1;
    Allocate(24, 320, 240);
}

bool CDibPicture::Allocate(int bitCount, int width, int height)
{
    return Resize(bitCount, width, height, true);
}

bool CDibPicture::Resize(int bitCount, int width, int height, bool zeroed)
{
    if (width < 1 || width > MAX_DIB_SIDE || height < 1 || height > MAX_DIB_SIDE || bitCount < 8
        || bitCount > 32 || bitCount % 8 != 0)
        return false;
    BITMAPINFOHEADER& header = m_bih.bmiHeader;
    header.biWidth = width;
    header.biHeight = height;
    header.biBitCount = uint16_t(bitCount);
    header.biSizeImage = uint32_t(height * DibStride(width, bitCount / 8));
    return ReallocBits(zeroed);
}

bool CDibPicture::CopyPixels(const CDecodedPicture& picture)
{
    m_bih.bmiHeader = picture.m_header;
    if (!ReallocBits(!picture.m_pBits))
        return false;
    if (m_pBits && picture.m_pBits)
        std::memcpy(m_pBits.get(), picture.m_pBits, m_bih.bmiHeader.biSizeImage);
    return true;
}

bool CDibPicture::ReallocBits(bool zeroed)
{
    BITMAPINFOHEADER& header = m_bih.bmiHeader;
    // Every frame asks for a buffer of the size it had: it is kept, and cleared only
    // when its bytes will not all be written.
    if (m_pBits && header.biSizeImage == m_nBitsSize && m_nBitsSize != 0) {
        if (zeroed)
            std::memset(m_pBits.get(), 0, m_nBitsSize);
        return true;
    }
    m_pBits.reset();
    m_nBitsSize = 0;
    if (header.biSizeImage == 0)
        return true;
    m_pBits.reset(new (std::nothrow) uint8_t[header.biSizeImage]());
    if (m_pBits) {
        m_nBitsSize = header.biSizeImage;
        return true;
    }
    header.biSizeImage = 0;
    return false;
}

int64_t CDibPicture::Stride() const
{
    const BITMAPINFOHEADER& header = m_bih.bmiHeader;
    return header.biHeight > 0 ? header.biSizeImage / header.biHeight : 0;
}

bool CDibPicture::EnsureJpegCapacity(size_t size)
{
    if (m_nJpegCap >= size)
        return true;
    m_pJpeg.reset(new (std::nothrow) uint8_t[size]());
    m_nJpegCap = m_pJpeg ? size : 0;
    return m_pJpeg != nullptr;
}

bool CDibPicture::HasRecordedStart(const uint8_t* source, size_t length)
{
    const std::optional<CStartRepair> repair = source ? FindStartRepair(source, length) : std::nullopt;
    return repair && repair->m_nSkip == 0 && !repair->m_bAddMarkerByte;
}

const uint8_t* CDibPicture::RepairJpeg(const uint8_t* source, size_t& length)
{
    const std::optional<CStartRepair> repair = source ? FindStartRepair(source, length) : std::nullopt;
    // Room for a put-back 0xFF and an appended end marker.
    if (!repair || !EnsureJpegCapacity(length + 4))
        return nullptr;
    uint8_t* out = m_pJpeg.get();
    size_t size = 0;
    if (repair->m_bAddMarkerByte)
        out[size++] = 0xFF;
    std::memcpy(out + size, source + repair->m_nSkip, length - repair->m_nSkip);
    size += length - repair->m_nSkip;
    // The picture area is padded to whole units behind the stream's own end marker;
    // the codec stops at the first one, so a second one behind the padding is harmless.
    if (!HasAt(out, size, size - 2, END_OF_IMAGE)) {
        std::memcpy(out + size, END_OF_IMAGE, sizeof END_OF_IMAGE);
        size += sizeof END_OF_IMAGE;
    }
    length = size;
    return out;
}

// Every stream is decoded from the mended copy, even one that needs no mending: the
// codec judges a stream without the copy's end marker otherwise, in ways that cannot
// all be foreseen, and damage must be judged alike wherever a picture is decoded.
CDecodedPicture CDibPicture::DecodeJpegFrame(const uint8_t* source, size_t length, int channelCount)
{
    return DecodeRecorded(source, length, channelCount, MAX_JPEG_SIDE);
}

CDecodedPicture CDibPicture::DecodeTopRows(const uint8_t* source, size_t length, int channelCount)
{
    return DecodeRecorded(source, length, channelCount, TOP_ROWS);
}

CDecodedPicture CDibPicture::ReadJpegChannel(const uint8_t* source, size_t length, int channelCount)
{
    if (channelCount < 1 || !RepairJpeg(source, length) || !StreamDecodes(m_pJpeg.get(), length))
        return {};
    return DecodeRepaired(m_pJpeg.get(), length, channelCount, TOP_ROWS);
}

CDecodedPicture CDibPicture::ReadEighthLuma(const uint8_t* source, size_t length, int channelCount,
                                            CEighthPicture& luma)
{
    if (channelCount < 1 || !RepairJpeg(source, length) || !DecodeEighth(m_pJpeg.get(), length, true, luma))
        return {};
    if (luma.m_nPixelSize == 4)
        KeepLuma(luma);
    return DecodeRepaired(m_pJpeg.get(), length, channelCount, TOP_ROWS);
}

CDecodedPicture CDibPicture::DecodeRecorded(const uint8_t* source, size_t length, int channelCount, int rows)
{
    if (channelCount < 1 || !RepairJpeg(source, length))
        return {};
    return DecodeRepaired(m_pJpeg.get(), length, channelCount, rows);
}

CDecodedPicture CDibPicture::DecodeJpegFrame(const uint8_t* source, size_t length, int channelCount,
                                             const ScaleChooser& chooseScale)
{
    if (channelCount < 1 || !RepairJpeg(source, length))
        return {};
    const tjhandle decoder = Decompressor();
    const std::optional<CStreamInfo> info = decoder ? ReadDecodableInfo(decoder, m_pJpeg.get(), length) : std::nullopt;
    if (!info)
        return {};
    // The top rows answer the whole decode's code and mark only where they are read from
    // the front of one sequential scan under a header that did not warn: any other
    // stream is decoded whole, as is one that no channel would decode smaller.
    if (info->m_bWarned || !FindSequentialImageData(m_pJpeg.get(), length)
        || chooseScale(NO_CHANNEL, info->m_nWidth, info->m_nHeight) == 1)
        return DecodeRepaired(m_pJpeg.get(), length, channelCount, MAX_JPEG_SIDE);
    if (!m_pTopRows)
        m_pTopRows = std::make_unique<CDibPicture>();
    m_pTopRows->SetPal(m_bPal);
    CDecodedPicture decoded = m_pTopRows->DecodeRepaired(m_pJpeg.get(), length, channelCount, TOP_ROWS);
    if (!decoded.IsDecoded())
        return {};
    const int scale = chooseScale(decoded.m_nChannel, decoded.m_header.biWidth, decoded.m_nStreamHeight);
    if (!DecodePixels(m_pJpeg.get(), length, MAX_JPEG_SIDE, scale, decoded.m_nStreamHeight))
        return {};
    decoded.m_header = m_bih.bmiHeader;
    decoded.m_pBits = m_pBits.get();
    decoded.m_nScale = scale;
    return decoded;
}

CDecodedPicture CDibPicture::DecodeRepaired(uint8_t* jpeg, size_t length, int channelCount, int rows)
{
    int streamHeight = 0;
    const bool pixels = DecodePixels(jpeg, length, rows, 1, streamHeight);
    return Answer(pixels, streamHeight, channelCount);
}

// The channel code and the row mark, read from the rows just decoded.
CDecodedPicture CDibPicture::Answer(bool decodedPixels, int streamHeight, int channelCount) const
{
    CDecodedPicture decoded;
    decoded.m_nStreamHeight = streamHeight;
    if (!decodedPixels)
        return decoded;
    decoded.m_nChannel = ReadChannelCode(channelCount);
    decoded.m_header = m_bih.bmiHeader;
    decoded.m_pBits = m_pBits.get();
    decoded.m_bPal = m_bPal;
    decoded.m_bMarkAbsent = !HasRowMark(m_bPal ? MARK_ROWS_PAL : MARK_ROWS_NTSC);
    return decoded;
}

// Fewer rows are had by lowering the frame header's height for the time of the
// decode: the codec then decodes the top rows exactly as in the whole picture (the
// same blocks, the same chroma rows for upsampling) and stops. A scale other than 1
// asks the codec for that fraction of the sides, which it takes from the DCT.
bool CDibPicture::DecodePixels(uint8_t* jpeg, size_t length, int rows, int scale, int& streamHeight)
{
    const tjhandle decoder = Decompressor();
    std::optional<CStreamInfo> info = decoder ? ReadDecodableInfo(decoder, jpeg, length) : std::nullopt;
    if (!info || (scale != 1 && scale != 2 && scale != 4 && scale != 8))
        return false;
    streamHeight = info->m_nHeight;
    const std::optional<size_t> heightAt = rows < info->m_nHeight ? FindFrameHeight(jpeg, length) : std::nullopt;
    uint8_t* const height = heightAt ? jpeg + *heightAt : nullptr;
    uint8_t keptHeight[2] = {};
    if (height) {
        std::memcpy(keptHeight, height, sizeof keptHeight);
        height[0] = uint8_t(rows >> 8);
        height[1] = uint8_t(rows);
        info->m_nHeight = rows;
    }
    const tjscalingfactor factor{1, scale};
    info->m_nWidth = TJSCALED(info->m_nWidth, factor);
    info->m_nHeight = TJSCALED(info->m_nHeight, factor);
    const bool fourComponent = IsFourComponent(info->m_nColourspace);
    // The codec writes every pixel of every row, and nothing of a row's padding.
    const int bytesPerPixel = fourComponent ? 4 : 3;
    const bool padded = DibStride(info->m_nWidth, bytesPerPixel) != int64_t(info->m_nWidth) * bytesPerPixel;
    const auto decode = [&](size_t decodedLength) {
        return DecodeStream(*info, jpeg, decodedLength, m_pBits.get(), Stride(), height != nullptr,
                            fourComponent ? TJPF_CMYK : TJPF_BGR, TJFLAG_BOTTOMUP);
    };
    const bool decoded = Resize(8 * bytesPerPixel, info->m_nWidth, info->m_nHeight, padded)
        && ((height && DecodesFromFront(jpeg, length, *info, decode)) || decode(length));
    if (height)
        std::memcpy(height, keptHeight, sizeof keptHeight);
    if (decoded && fourComponent)
        PremultiplyToBgra(m_pBits.get(), m_bih.bmiHeader.biSizeImage / 4);
    return decoded;
}

int CDibPicture::Luminance(int x, int row) const
{
    const int64_t offset = row * Stride() + 3 * int64_t(x);
    if (!m_pBits || row < 0 || x < 0 || offset + 3 > int64_t(m_bih.bmiHeader.biSizeImage))
        return 0;
    const uint8_t* pixel = m_pBits.get() + offset;
    return (pixel[0] + pixel[1] + pixel[2]) / 3;
}

int CDibPicture::CountPixels(int row, int firstX, int lastX, bool (*test)(int luminance)) const
{
    int count = 0;
    for (int x = firstX; x <= lastX; ++x)
        count += test(Luminance(x, row));
    return count;
}

// In pictures narrower than 632 pixels the later bars lie past the end of the row
// and are read from the row above, as the recorder draws them.
bool CDibPicture::IsBarLit(int bar, int row) const
{
    const int first = BAR_STARTS[bar];
    return CountPixels(row, first, first + BAR_PIXELS - 1, [](int l) { return l > BAR_BRIGHT_ABOVE; })
        >= BAR_LIT_MIN;
}

// A lit reference bar inverts the other four.
uint8_t CDibPicture::ReadChannelCode(int channelCount) const
{
    if (channelCount < 1)
        return NO_CHANNEL;
    const BITMAPINFOHEADER& header = m_bih.bmiHeader;
    if (header.biWidth < CODE_MIN_WIDTH || header.biHeight < BAR_ROWS_FROM_END)
        return 0;
    const int row = header.biHeight - BAR_ROWS_FROM_END;
    const bool inverted = IsBarLit(REFERENCE_BAR, row);
    int code = 0;
    for (int bar = 0; bar < REFERENCE_BAR; ++bar)
        code = code << 1 | (IsBarLit(bar, row) != inverted);
    return uint8_t(code % channelCount);
}

bool CDibPicture::HasRowMark(int rowsFromEnd) const
{
    const BITMAPINFOHEADER& header = m_bih.bmiHeader;
    const int row = header.biHeight - rowsFromEnd;
    if (row < 0 || row >= header.biHeight || header.biWidth <= MARK_LAST)
        return false;
    const auto notDark = [](int l) { return l > MARK_DARK_UP_TO; };
    const auto notBright = [](int l) { return l < MARK_BRIGHT_FROM; };
    return CountPixels(row, 0, MARK_BRIGHT_FIRST - 1, notDark) <= MARK_STRAYS
        && CountPixels(row, MARK_BRIGHT_FIRST, MARK_DARK_FIRST - 1, notBright) <= MARK_STRAYS
        && CountPixels(row, MARK_DARK_FIRST, MARK_LAST, notDark) <= MARK_STRAYS;
}
