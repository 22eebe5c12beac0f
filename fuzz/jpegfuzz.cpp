// The JPEG adapter on any stream: start repair, decoding (whole, scaled and of the top rows),
// the channel bar code and the row mark, as the frame router and the export run them.
//
// Input: one byte choosing the channel count (its low 5 bits, 0 to 31, so counts the
// player never passes are tried too) and PAL (bit 5), then the stream.

#include "playback/dibpicture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// Copies every pixel byte, so that a buffer smaller than its header says is found:
// the sanitizer checks each byte a copy reads, at a fraction of a loop's cost here.
void TouchPixels(const CDecodedPicture& picture)
{
    static std::vector<uint8_t> copy;
    const BITMAPINFOHEADER& h = picture.m_header;
    if (!picture.m_pBits)
        return;
    copy.resize(std::max<size_t>(copy.size(), h.biSizeImage));
    std::memcpy(copy.data(), picture.m_pBits, h.biSizeImage);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const int channelCount = data[0] & 31;
    // A copy of exactly the stream's size: reading past it is then a fault to see.
    const std::vector<uint8_t> stream(data + 1, data + size);

    // One picture for every stream, as the frame router keeps one for every frame.
    static CDibPicture picture, top, repaired;
    picture.SetPal((data[0] >> 5) & 1);
    const CDecodedPicture decoded = picture.DecodeJpegFrame(stream.data(), stream.size(), channelCount);
    const uint8_t channel = decoded.m_nChannel;
    Check(channel == CDibPicture::NO_CHANNEL || channel < channelCount);
    if (channel != CDibPicture::NO_CHANNEL)
        TouchPixels(decoded);
    // A picture shown smaller is decoded smaller: refused exactly when the whole
    // decode refuses it, with the same code and mark.
    static CDibPicture reduced;
    reduced.SetPal((data[0] >> 5) & 1);
    for (const int scale : {1, 2, 4, 8}) {
        const CDecodedPicture shown = reduced.DecodeJpegFrame(stream.data(), stream.size(), channelCount,
                                                              [scale](uint8_t, int, int) { return scale; });
        Check(shown.m_nChannel == channel);
        // A stream whose top rows cannot stand for the whole decode's is decoded whole.
        const int s = shown.m_nScale;
        Check(!shown.IsDecoded() || (shown.m_bMarkAbsent == decoded.m_bMarkAbsent && (s == scale || s == 1)
                                     && shown.m_header.biWidth == (decoded.m_header.biWidth + s - 1) / s));
        if (shown.IsDecoded())
            TouchPixels(shown);
    }
    // As the export and the report read the other cameras' pictures.
    if (const CDecodedPicture rows = top.DecodeTopRows(stream.data(), stream.size(), channelCount); rows.IsDecoded())
        TouchPixels(rows);
    const uint8_t read = top.ReadJpegChannel(stream.data(), stream.size(), channelCount).m_nChannel;
    Check(read == CDibPicture::NO_CHANNEL || read < channelCount);
    picture.ReadChannelCode(channelCount);
    picture.HasRowMark(1 + data[0] % 4);
    picture.Luminance(int(size % 1024), int(size % 600));

    size_t length = stream.size();
    if (repaired.RepairJpeg(stream.data(), length))
        Check(length >= 2 && length <= stream.size() + 3);
    return 0;
}
