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

// The dump's streams gather here and go out some dozens at a time, few enough to be
// still in the cache when the system copies them.
constexpr size_t DUMP_BATCH = 256 << 10;

struct CDump {
    COutputFile& m_file;
    std::vector<uint8_t> m_pending;
};

bool Flush(CDump& dump)
{
    const bool written = dump.m_file.Write(dump.m_pending.data(), dump.m_pending.size());
    dump.m_pending.clear();
    return written;
}

bool Append(CDump& dump, const uint8_t* bytes, size_t size)
{
    dump.m_pending.insert(dump.m_pending.end(), bytes, bytes + size);
    return dump.m_pending.size() < DUMP_BATCH || Flush(dump);
}

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
bool AppendStream(CDump& dump, CDibPicture& repairer, const uint8_t* picture, size_t length)
{
    if (CDibPicture::HasRecordedStart(picture, length))
        if (const size_t image = FirstImageLength(picture, length))
            return Append(dump, picture, image);
    const uint8_t* jpeg = repairer.RepairJpeg(picture, length);
    const size_t image = jpeg ? FirstImageLength(jpeg, length) : 0;
    return image == 0 || Append(dump, jpeg, image);
}

// Runs `write`, adding the time it took to `seconds`.
template <typename Write>
bool Timed(double& seconds, Write write)
{
    const auto start = std::chrono::steady_clock::now();
    const bool written = write();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return written;
}

} // namespace

bool RunDecodeBench(const std::string& path, const CRecordingFacts& facts, COutputFile* dump,
                    CDecodeBenchResult& result)
{
    CDibPicture decoder, repairer;
    result = {};
    std::optional<CDump> writer;
    if (dump)
        writer.emplace(CDump{*dump, {}});
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
        if (writer && result.m_bDumpWritten)
            result.m_bDumpWritten = Timed(result.m_dDumpSeconds, [&] {
                return AppendStream(*writer, repairer, f.picture, f.pictureLength);
            });
    });
    if (writer && result.m_bDumpWritten)
        result.m_bDumpWritten = Timed(result.m_dDumpSeconds, [&] { return Flush(*writer); });
    return read;
}
