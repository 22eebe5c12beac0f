// Writes the seed corpus of every fuzz target into SEEDS/<target>/: recordings of
// every kind the generator makes (from behind the reserved area on, as the targets
// take them), the pictures inside them and JPEG streams of other kinds, skin texts,
// bitmaps and AVI files as the program writes them.

#include "export/aviwriter.h"
#include "recording/recordformat.h"
#include "snapshot/snapshotbitmap.h"
#include "tools/recgen/recordinggenerator.h"

#include <QGuiApplication>
#include <QPainter>
#include <turbojpeg.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

namespace {

fs::path g_seeds;
fs::path g_work;

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "seedmaker: %s\n", what.c_str());
    std::exit(1);
}

Bytes ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Save(const char* target, const std::string& name, const Bytes& bytes)
{
    const fs::path folder = g_seeds / target;
    fs::create_directories(folder);
    std::ofstream(folder / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                          std::streamsize(bytes.size()));
}

// A small recording: a few small pictures keep the fuzzer fast.
CRecordingRecipe Small(int channels, int records = 8)
{
    CRecordingRecipe r;
    r.m_nChannels = channels;
    r.m_nRecords = records;
    r.m_nWidth = 128;
    r.m_nHeight = 64;
    r.m_nQuality = 40;
    r.m_dSecondsPerRecord = 0.25;
    return r;
}

// The play-state scripts the engine target starts from: forward to the end, backward,
// fast both ways, the ends, a seek, a go-to and single steps.
const std::vector<Bytes> SCRIPTS = {
    {1, 0x31, 0x02, 0x23, 0x14, 0x05, 0x06, 0x09, 0x80, 0x0A, 0x0B, 0x0C, 0x8B},
    {0x11, 0x00, 0x05, 0x02, 0x04},
    {0x03, 0x23, 0x06, 0x04},
};

void SaveRecording(const std::string& name, const CRecordingRecipe& recipe)
{
    const fs::path path = g_work / (name + ".kvx");
    CRecordingGenerator generator(recipe);
    std::string error;
    if (!generator.Write(path.string(), error))
        Fail(name + ": " + error);
    const Bytes file = ReadAll(path);
    if (file.size() <= kvx::RECORD_AREA_OFFSET)
        return;
    const Bytes records(file.begin() + kvx::RECORD_AREA_OFFSET, file.end());
    Save("probe", name, records);
    for (size_t i = 0; i < SCRIPTS.size(); ++i) {
        Bytes input{uint8_t(SCRIPTS[i].size())};
        input.insert(input.end(), SCRIPTS[i].begin(), SCRIPTS[i].end());
        input.insert(input.end(), records.begin(), records.end());
        Save("engine", name + "-" + std::to_string(i), input);
    }
    // The first pictures as the engine hands them over: pairs swapped back.
    int saved = 0;
    for (const CGeneratedRecord& record : generator.Records()) {
        const uint64_t begin = record.m_nOffset + kvx::BLOCK_SIZE;
        if (record.m_nPictureBytes == 0 || begin + record.m_nPictureBytes > file.size() || saved == 3)
            continue;
        Bytes input{uint8_t(recipe.m_nChannels | (recipe.Height() > 240 ? 32 : 0))};
        input.insert(input.end(), file.begin() + long(begin), file.begin() + long(begin + record.m_nJpegBytes + 1) / 2 * 2);
        SwapBytePairs(input.data() + 1, input.size() - 1);
        Save("jpeg", name + "-" + std::to_string(saved++), input);
    }
}

void MakeRecordings()
{
    SaveRecording("plain16", Small(16));
    SaveRecording("plain4", Small(4));
    CRecordingRecipe full = CRecordingRecipe::FourChannelsWithAudio(4, 0.25);
    SaveRecording("audio4-full-size", full);
    const std::vector<std::pair<std::string, std::function<void(CRecordingRecipe&)>>> variants = {
        {"audio", [](CRecordingRecipe& r) { r.m_bAudio = true; }},
        {"audio-only", [](CRecordingRecipe& r) { r.m_bAudio = true; r.m_nAudioOnlyEvery = 2; }},
        {"garbage", [](CRecordingRecipe& r) { r.m_nGarbageEvery = 2; }},
        {"invalid-date", [](CRecordingRecipe& r) { r.m_invalidDates = {1, CRecordingRecipe::LAST_RECORD}; }},
        {"oversize", [](CRecordingRecipe& r) { r.m_oversize = {2}; }},
        {"extra-ff", [](CRecordingRecipe& r) { r.m_jpegStarts[0] = EJpegStart::ExtraFF; }},
        {"missing-ff", [](CRecordingRecipe& r) { r.m_jpegStarts[0] = EJpegStart::MissingFF; }},
        {"two-bytes", [](CRecordingRecipe& r) { r.m_jpegStarts[0] = EJpegStart::TwoExtraBytes; }},
        {"broken-start", [](CRecordingRecipe& r) { r.m_jpegStarts[0] = EJpegStart::Unrepairable; }},
        {"cut-last", [](CRecordingRecipe& r) { r.m_bCutLastPicture = true; }},
        {"truncated", [](CRecordingRecipe& r) { r.m_nTruncateBytes = 3001; }},
        {"gap", [](CRecordingRecipe& r) { r.m_nGapBeforeLast = 4096; }},
        {"holes", [](CRecordingRecipe& r) { r.m_nHoleEvery = 3; r.m_nHoleBytes = 1024; }},
        {"set-back", [](CRecordingRecipe& r) { r.m_timeShifts[4] = -3600; }},
        {"long-gap", [](CRecordingRecipe& r) { r.m_timeShifts[3] = 86400; }},
        {"group-0", [](CRecordingRecipe& r) { r.m_nGroupLength = 0; }},
        {"pal", [](CRecordingRecipe& r) { r.m_nWidth = 720; r.m_nHeight = 288; r.m_nRecords = 2; }},
    };
    for (int channels : {4, 16})
        for (const auto& [name, apply] : variants) {
            if (name.starts_with("audio") && channels == 16)
                continue;
            CRecordingRecipe recipe = Small(channels);
            apply(recipe);
            SaveRecording(name + std::to_string(channels), recipe);
        }
}

QImage TestPicture(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    QPainter painter(&image);
    painter.fillRect(image.rect(), QColor(40, 90, 160));
    painter.fillRect(width / 4, height / 4, width / 2, height / 2, QColor(230, 200, 20));
    painter.drawLine(0, 0, width - 1, height - 1);
    return image;
}

Bytes Compress(const QImage& image, int pixelFormat, int subsampling, int flags)
{
    tjhandle handle = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    Bytes pixels(size_t(image.width()) * image.height() * 4);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            uint8_t* p = &pixels[(size_t(y) * image.width() + x) * 4];
            p[0] = uint8_t(qRed(c)), p[1] = uint8_t(qGreen(c)), p[2] = uint8_t(qBlue(c)), p[3] = uint8_t(255 - qGray(c));
        }
    const int bad = tjCompress2(handle, pixels.data(), image.width(), 0, image.height(), pixelFormat, &out, &size,
                                subsampling, 60, flags);
    Bytes jpeg = bad ? Bytes{} : Bytes(out, out + size);
    tjFree(out);
    tjDestroy(handle);
    return jpeg;
}

void MakeJpegStreams()
{
    const QImage image = TestPicture(352, 240);
    const struct {
        const char* name;
        int format, subsampling, flags;
    } kinds[] = {
        {"baseline", TJPF_RGBX, TJSAMP_420, 0},
        {"progressive", TJPF_RGBX, TJSAMP_422, TJFLAG_PROGRESSIVE},
        {"grey", TJPF_RGBX, TJSAMP_GRAY, 0},
        {"cmyk", TJPF_CMYK, TJSAMP_444, 0},
    };
    for (const auto& kind : kinds) {
        Bytes input{16};
        const Bytes jpeg = Compress(image, kind.format, kind.subsampling, kind.flags);
        input.insert(input.end(), jpeg.begin(), jpeg.end());
        Save("jpeg", kind.name, input);
    }
}

void MakeSkinTexts()
{
    const auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    Save("skin", "main", text("[MAIN POS]\r\nPOS_SKIN=<0><0><1014><718>\r\nPOS_LOGO = <10><5><200><40>\r\n"
                              "POS_SLIDE=<80><600><710><12>\r\n[INFO]\r\nPAL=0\r\nFILTER=1\r\nTOOLTIP_ON=1\r\n"));
    Save("skin", "buttons", text("; pictures\n[PLAY BTN IMG]\nNORMAL=skin\\play.bmp\nDOWN='skin/play_d.bmp'\n"
                                 "DNCHECK=\"skin/play_c.bmp\"\nDISABLE=EMPTY\n[TOOL_TIP]\nTIP_PLAY= Play \n"));
    Save("skin", "numbers", text("[MAIN POS]\nPOS_OVERLAY=<-5>< +7><2147483647><99999999999>\n[info]\npal=-12x\n"));
}

void MakeBitmaps()
{
    for (const auto& [w, h] : {std::pair{8, 6}, std::pair{5, 3}, std::pair{1, 1}}) {
        const fs::path path = g_work / ("picture" + std::to_string(w) + ".bmp");
        if (!CSnapshotBitmap::WriteBitmapFile(path.string(), TestPicture(w, h)))
            Fail("cannot write " + path.string());
        Bytes input{uint8_t(w)};
        const Bytes file = ReadAll(path);
        input.insert(input.end(), file.begin(), file.end());
        Save("bitmap", path.stem().string(), input);
    }
}

void MakeAviFiles()
{
    const Bytes jpeg = Compress(TestPicture(32, 16), TJPF_RGBX, TJSAMP_420, 0);
    for (int frames : {0, 1, 3}) {
        const fs::path path = g_work / ("export" + std::to_string(frames) + ".avi");
        CAviWriter writer;
        if (!writer.Open(path.string(), 32, 16, 25))
            Fail(writer.ErrorText());
        for (int i = 0; i < frames; ++i)
            writer.WriteFrame(jpeg.data(), jpeg.size());
        writer.Close();
        Save("avi", path.stem().string(), ReadAll(path));
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        Fail("usage: seedmaker SEEDS");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // the generator draws its scenes with fonts
    g_seeds = argv[1];
    fs::remove_all(g_seeds);
    g_work = g_seeds / "work";
    fs::create_directories(g_work);
    MakeRecordings();
    MakeJpegStreams();
    MakeSkinTexts();
    MakeBitmaps();
    MakeAviFiles();
    fs::remove_all(g_work);
    return 0;
}
