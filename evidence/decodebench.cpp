#include "evidence/decodebench.h"

#include "evidence/forwardreader.h"
#include "platform/outputfile.h"
#include "playback/dibpicture.h"
#include "recording/recordformat.h"

#include <chrono>
#include <cstring>
#include <optional>
#include <vector>

namespace {

// The dump goes out some dozens of pictures at a time, few enough to be still in the
// cache when the system copies them.
constexpr size_t DUMP_BATCH = 256 << 10;

class CDumpWriter {
public:
    explicit CDumpWriter(COutputFile& out) : m_out(out) { m_pending.reserve(DUMP_BATCH); }

    bool Append(const uint8_t* bytes, size_t size)
    {
        m_pending.insert(m_pending.end(), bytes, bytes + size);
        return m_pending.size() < DUMP_BATCH || Flush();
    }

    bool Flush()
    {
        const bool written = m_out.Write(m_pending.data(), m_pending.size());
        m_pending.clear();
        return written;
    }

private:
    COutputFile& m_out;
    std::vector<uint8_t> m_pending;
};

// The length up to and including the first end-of-image marker; 0 when there is none.
size_t FirstImageLength(const uint8_t* jpeg, size_t length)
{
    const uint8_t* end = jpeg + length;
    for (const uint8_t* p = length ? jpeg + 1 : end; p < end; ++p) {
        p = static_cast<const uint8_t*>(std::memchr(p, 0xD9, size_t(end - p)));
        if (!p)
            return 0;
        if (p[-1] == 0xFF)
            return size_t(p + 1 - jpeg);
    }
    return 0;
}

// The repaired stream up to its first end-of-image marker: what a plain decoder gets.
// A stream with a sound start and an end marker of its own is that already.
bool AppendStream(CDumpWriter& out, CDibPicture& repairer, const uint8_t* picture, size_t length)
{
    if (CDibPicture::HasRecordedStart(picture, length))
        if (const size_t image = FirstImageLength(picture, length))
            return out.Append(picture, image);
    const uint8_t* jpeg = repairer.RepairJpeg(picture, length);
    const size_t image = jpeg ? FirstImageLength(jpeg, length) : 0;
    return image == 0 || out.Append(jpeg, image);
}

double Seconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double>(d).count();
}

} // namespace

bool RunDecodeBench(const std::string& path, const CRecordingFacts& facts, COutputFile* dump,
                    CDecodeBenchResult& result)
{
    CDibPicture decoder, repairer;
    result = {};
    std::optional<CDumpWriter> writer;
    if (dump)
        writer.emplace(*dump);
    CForwardReader reader;
    const bool read = reader.Run(path, facts, [&](const CForwardReader::CFrame& f) {
        if (f.audioMode == kvx::AUDIO_MODE_ONLY)
            return;
        ++result.m_nPictures;
        const CDecodedPicture decoded = decoder.DecodeJpegFrame(f.picture, f.pictureLength, facts.m_nChannelCount);
        if (!decoded.IsDecoded())
            ++result.m_nFailed;
        else
            result.m_dPixels += double(decoded.m_header.biWidth) * decoded.m_header.biHeight;
        if (writer && result.m_bDumpWritten) {
            const auto start = std::chrono::steady_clock::now();
            result.m_bDumpWritten = AppendStream(*writer, repairer, f.picture, f.pictureLength);
            result.m_dDumpSeconds += Seconds(std::chrono::steady_clock::now() - start);
        }
    });
    if (writer && result.m_bDumpWritten) {
        const auto start = std::chrono::steady_clock::now();
        result.m_bDumpWritten = writer->Flush();
        result.m_dDumpSeconds += Seconds(std::chrono::steady_clock::now() - start);
    }
    return read;
}
