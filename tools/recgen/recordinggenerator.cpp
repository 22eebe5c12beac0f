#include "tools/recgen/recordinggenerator.h"

#include "recording/recordformat.h"
#include "tools/recgen/scenepainter.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>

using namespace kvx;

namespace {

CDateTime AddSeconds(const CDateTime& t, int64_t seconds)
{
    return DateTimeFromSeconds(DateTimeToSeconds(t) + seconds);
}

// --- JPEG ---

struct TjDeleter {
    void operator()(void* handle) const { tjDestroy(handle); }
};

std::vector<uint8_t> EncodeJpeg(const QImage& image, int quality, std::string& error)
{
    std::unique_ptr<void, TjDeleter> handle(tjInitCompress());
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    if (!handle || tjCompress2(handle.get(), image.constBits(), image.width(), int(image.bytesPerLine()),
                               image.height(), TJPF_RGB, &jpeg, &size, TJSAMP_420, quality, 0) != 0) {
        error = std::string("JPEG encoding failed: ") + tjGetErrorStr2(handle.get());
        tjFree(jpeg);
        return {};
    }
    std::vector<uint8_t> out(jpeg, jpeg + size);
    tjFree(jpeg);
    return out;
}

// A comment segment right after the JFIF header makes the stream longer than 8 units.
void PadToNineUnits(std::vector<uint8_t>& jpeg)
{
    const size_t jfifEnd = 2 + 2 + (size_t(jpeg[4]) << 8 | jpeg[5]); // SOI + APP0 marker + its length
    std::vector<uint8_t> segments;
    size_t missing = MAX_PICTURE_SIZE + 1024 - jpeg.size();
    while (missing > 0) {
        const size_t payload = std::min<size_t>(missing, 65000);
        const size_t length = payload + 2;
        segments.insert(segments.end(), {0xFF, 0xFE, uint8_t(length >> 8), uint8_t(length)});
        segments.insert(segments.end(), payload, 'k');
        missing -= std::min(missing, payload + 4);
    }
    jpeg.insert(jpeg.begin() + long(jfifEnd), segments.begin(), segments.end());
}

void ApplyJpegStart(std::vector<uint8_t>& jpeg, EJpegStart start)
{
    switch (start) {
    case EJpegStart::Normal: break;
    case EJpegStart::ExtraFF: jpeg.insert(jpeg.begin(), 0xFF); break;
    case EJpegStart::MissingFF: jpeg.erase(jpeg.begin()); break;
    case EJpegStart::TwoExtraBytes: jpeg.insert(jpeg.begin(), {0x00, 0x00}); break;
    case EJpegStart::Unrepairable: jpeg.insert(jpeg.begin(), {0x00, 0x00, 0x00}); break;
    }
}

// The recorder writes 16-bit words: a stream of odd length gets a fill byte in front of
// its end marker (FF FF D9 is a legal marker with one fill byte), so that the marker
// starts on an even offset where the readers look for it.
void MakeEvenLength(std::vector<uint8_t>& jpeg)
{
    if (jpeg.size() % 2)
        jpeg.insert(jpeg.end() - 2, 0xFF);
}

// --- scenes ---

QRect BoxRect(const CMovingBox& box, double seconds, int width, int height)
{
    const double left = box.m_dX * width, span = box.m_dWidth * width;
    const double boxWidth = std::max(8.0, span / 4);
    const double progress = box.m_dToSeconds > box.m_dFromSeconds
                              ? (seconds - box.m_dFromSeconds) / (box.m_dToSeconds - box.m_dFromSeconds) : 0;
    return QRect(int(left + progress * (span - boxWidth)), int(box.m_dY * height), int(boxWidth),
                 int(box.m_dHeight * height));
}

// Record i's picture: the moving scene, or the still one with what the recipe adds to it.
QImage PaintScene(const CRecordingRecipe& r, int i, const CDateTime& time, bool& boxShown)
{
    const int channel = i % r.m_nChannels;
    if (!r.m_bStillScene)
        return CScenePainter::Paint(r.Width(), r.Height(), channel, i / r.m_nChannels, time);
    QImage scene = CScenePainter::PaintStill(r.Width(), r.Height(), channel, time, r.m_bClock);
    const double seconds = i * r.m_dSecondsPerRecord;
    for (const CMovingBox& box : r.m_boxes)
        if (box.m_nChannel == channel && box.ShownAt(seconds)) {
            CScenePainter::DrawBox(scene, BoxRect(box, seconds, r.Width(), r.Height()));
            boxShown = true;
        }
    const int light = r.m_nBrightnessStepAt >= 0 && i >= r.m_nBrightnessStepAt ? r.m_nBrightnessStep : 0;
    if (light || r.m_nNoise)
        CScenePainter::AddLightAndNoise(scene, light, r.m_nNoise, r.m_nSeed + uint32_t(i));
    return scene;
}

// --- blocks ---

void PutBigEndian64(uint8_t* out, uint64_t value)
{
    for (int i = 7; i >= 0; --i, value >>= 8)
        out[i] = uint8_t(value);
}

struct CFileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

class CBlockWriter {
public:
    explicit CBlockWriter(std::FILE* file) : m_file(file) {}

    // Writes logical (unscrambled) bytes in the recorder's storage form.
    bool WriteSwapped(std::vector<uint8_t> bytes)
    {
        SwapBytePairs(bytes.data(), bytes.size());
        return WriteRaw(bytes.data(), bytes.size());
    }
    bool WriteRaw(const uint8_t* data, size_t size)
    {
        if (std::fwrite(data, 1, size, m_file) != size)
            return false;
        m_nOffset += size;
        return true;
    }
    bool Skip(uint64_t bytes)
    {
        m_nOffset += bytes;
        return fseeko(m_file, off_t(m_nOffset), SEEK_SET) == 0;
    }
    uint64_t Offset() const { return m_nOffset; }

private:
    std::FILE* m_file;
    uint64_t m_nOffset = 0;
};

} // namespace

double CRecordingGenerator::ToneFrequency(int channel)
{
    static constexpr double tones[AUDIO_CHANNELS] = {500.0, 900.0, 1400.0, 2100.0};
    return tones[channel % AUDIO_CHANNELS];
}

void CRecordingGenerator::MakeAudioSlice(int channel, uint64_t audioIndex, uint8_t* slice)
{
    const double step = 2.0 * M_PI * ToneFrequency(channel) / 8000.0;
    for (size_t i = 0; i < AUDIO_SLICE_SIZE; ++i) {
        const double n = double(audioIndex * AUDIO_SLICE_SIZE + i);
        slice[i] = uint8_t(std::lround(128.0 + 90.0 * std::sin(step * n)));
    }
}

std::vector<uint8_t> CRecordingGenerator::PictureArea(const QImage& image, int quality)
{
    std::string error;
    std::vector<uint8_t> jpeg = EncodeJpeg(image, quality, error);
    MakeEvenLength(jpeg);
    jpeg.resize((jpeg.size() + PICTURE_UNIT_SIZE - 1) / PICTURE_UNIT_SIZE * PICTURE_UNIT_SIZE, 0);
    return jpeg;
}

std::vector<CGeneratedRecord> CRecordingGenerator::PictureRecords() const
{
    std::vector<CGeneratedRecord> out;
    for (const CGeneratedRecord& r : m_records)
        if (r.m_nPictureIndex >= 0 && r.m_nOffset + BLOCK_SIZE + r.m_nPictureBytes <= m_nFileLength)
            out.push_back(r);
    return out;
}

bool CRecordingGenerator::Write(const std::string& path, std::string& error)
{
    const CRecordingRecipe& r = m_recipe;
    m_records.clear();
    std::unique_ptr<std::FILE, CFileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        error = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    CBlockWriter out(file.get());
    std::mt19937 random(r.m_nSeed);
    // Bytes the readers must not depend on; never 0xFF, which could pass for a marker.
    auto noise = [&random] { return uint8_t(random() % 255); };

    const EHeaderLayout layout = r.m_nChannels == 4 ? EHeaderLayout::A : EHeaderLayout::B;
    const size_t dateOffset = layout == EHeaderLayout::A ? HDR_DATE_LAYOUT_A : HDR_DATE_LAYOUT_B;
    const uint8_t pictureKind = r.m_nChannels == 4 ? KIND_PICTURE_4CH : KIND_PICTURE_16CH;
    uint64_t prevSector = r.m_nFirstSector;
    uint64_t audioIndex = 0;

    auto makeHeader = [&](uint8_t kind, const CDateTime& time, bool brokenDate, bool audio) {
        std::vector<uint8_t> h(BLOCK_SIZE, 0);
        for (size_t i : {2, 3, 20, 22, 23, 30, 42, 52, 53})
            h[i] = noise();
        for (size_t i = 54; i < HDR_AUDIO_SIG1; ++i)
            h[i] = noise();
        const uint64_t sector = r.m_nFirstSector + (out.Offset() - RECORD_AREA_OFFSET) / BLOCK_SIZE;
        h[0] = HEADER_MARK;
        h[HDR_KIND] = kind;
        PutBigEndian64(&h[HDR_PREV_SECTOR], prevSector);
        PutBigEndian64(&h[HDR_SECTOR], sector);
        h[HDR_GROUP_LENGTH] = uint8_t(r.GroupLength());
        h[dateOffset] = uint8_t(time.GetYear() - YEAR_BASE);
        h[dateOffset + 1] = brokenDate ? 13 : uint8_t(time.GetMonth());
        h[dateOffset + 2] = uint8_t(time.GetDay());
        h[dateOffset + 3] = uint8_t(time.GetHour());
        h[dateOffset + 4] = uint8_t(time.GetMinute());
        h[dateOffset + 5] = uint8_t(time.GetSecond());
        if (audio) {
            h[HDR_AUDIO_SIG1] = 0xFF;
            h[HDR_AUDIO_SIG2] = 4;
            h[HDR_AUDIO_FLAG] = 1;
        }
        CGeneratedRecord record;
        record.m_nOffset = out.Offset();
        record.m_byKind = kind;
        record.m_time = brokenDate ? CDateTime() : time;
        record.m_nSector = sector;
        record.m_nPrevSector = prevSector;
        prevSector = sector;
        return std::make_pair(h, record);
    };
    auto writeAudioBlock = [&] {
        std::vector<uint8_t> block(AUDIO_BLOCK_SIZE, 0);
        for (int ch = 0; ch < AUDIO_CHANNELS; ++ch)
            MakeAudioSlice(ch, audioIndex, &block[ch * AUDIO_SLICE_SIZE]);
        ++audioIndex;
        ReverseBitOrder(block.data(), block.size());
        return out.WriteSwapped(block);
    };

    std::vector<uint8_t> reserved(RECORD_AREA_OFFSET, 0);
    if (!out.WriteRaw(reserved.data(), reserved.size()))
        return error = "write failed", false;

    for (int i = 0; i < r.m_nRecords; ++i) {
        const CDateTime time =
            AddSeconds(r.m_timeStart, int64_t(std::floor(i * r.m_dSecondsPerRecord)) + r.TimeShiftAt(i));
        const int channel = i % r.m_nChannels;
        if (i == r.m_nRecords - 1 && r.m_nGapBeforeLast && !out.Skip(r.m_nGapBeforeLast))
            return error = "seek failed", false;

        bool boxShown = false;
        const QImage scene = PaintScene(r, i, time, boxShown);
        std::vector<uint8_t> jpeg = EncodeJpeg(scene, r.m_nQuality, error);
        if (jpeg.empty())
            return false;
        if (r.IsRecord(r.m_oversize, i))
            PadToNineUnits(jpeg);
        if (auto start = r.m_jpegStarts.find(i); start != r.m_jpegStarts.end())
            ApplyJpegStart(jpeg, start->second);
        else if (i == r.m_nRecords - 1 && r.m_jpegStarts.count(CRecordingRecipe::LAST_RECORD))
            ApplyJpegStart(jpeg, r.m_jpegStarts.at(CRecordingRecipe::LAST_RECORD));
        MakeEvenLength(jpeg);

        auto [header, record] = makeHeader(pictureKind, time, r.IsRecord(r.m_invalidDates, i), r.m_bAudio);
        const size_t units = (jpeg.size() + PICTURE_UNIT_SIZE - 1) / PICTURE_UNIT_SIZE;
        record.m_nChannel = channel;
        record.m_nPictureIndex = i;
        record.m_nJpegBytes = uint32_t(jpeg.size());
        record.m_nPictureBytes = uint32_t(units * PICTURE_UNIT_SIZE);
        record.m_bAudioBlock = r.m_bAudio;
        record.m_bBoxShown = boxShown;
        m_records.push_back(record);
        jpeg.resize(units * PICTURE_UNIT_SIZE, 0);
        if (!out.WriteSwapped(header) || !out.WriteSwapped(jpeg) || (r.m_bAudio && !writeAudioBlock()))
            return error = "write failed", false;

        if (r.m_nAudioOnlyEvery && (i + 1) % r.m_nAudioOnlyEvery == 0 && i + 1 < r.m_nRecords) {
            auto [audioHeader, audioRecord] = makeHeader(KIND_AUDIO_ONLY, time, false, true);
            audioRecord.m_bAudioBlock = true;
            m_records.push_back(audioRecord);
            if (!out.WriteSwapped(audioHeader) || !writeAudioBlock())
                return error = "write failed", false;
        }
        if (r.m_nHoleEvery && (i + 1) % r.m_nHoleEvery == 0 && i + 1 < r.m_nRecords && !out.Skip(r.m_nHoleBytes))
            return error = "seek failed", false;
        if (r.m_nGarbageEvery && (i + 1) % r.m_nGarbageEvery == 0 && i + 1 < r.m_nRecords) {
            std::vector<uint8_t> garbage(BLOCK_SIZE);
            for (uint8_t& b : garbage)
                b = noise();
            if (!out.WriteSwapped(garbage))
                return error = "write failed", false;
        }
    }
    file.reset();

    uint64_t length = out.Offset();
    if (r.m_bCutLastPicture && !m_records.empty()) {
        const CGeneratedRecord& last = m_records.back();
        length = last.m_nOffset + BLOCK_SIZE + (last.m_nJpegBytes / 2 & ~1u);
    }
    length -= std::min(length, r.m_nTruncateBytes);
    std::error_code ec;
    std::filesystem::resize_file(path, length, ec);
    if (ec)
        return error = "cannot truncate " + path + ": " + ec.message(), false;
    m_nFileLength = length;
    return true;
}
