#include "playback/dibpicture.h"
#include "playback/jpegencoder.h"
#include "recording/datetime.h"
#include "tests/support/testmain.h"
#include "tools/recgen/scenepainter.h"

#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes TjCompress(const uint8_t* pixels, int width, int pitch, int height, int format, int subsampling,
                int flags = 0)
{
    tjhandle encoder = tjInitCompress();
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    Bytes out;
    if (tjCompress2(encoder, pixels, width, pitch, height, format, &jpeg, &size, subsampling, 90, flags) == 0)
        out.assign(jpeg, jpeg + size);
    tjFree(jpeg);
    tjDestroy(encoder);
    return out;
}

Bytes TjCompressImage(const QImage& rgb, int subsampling, int flags = 0)
{
    return TjCompress(rgb.constBits(), rgb.width(), int(rgb.bytesPerLine()), rgb.height(), TJPF_RGB, subsampling,
                      flags);
}

// A restart marker after every MCU row. TurboJPEG cannot write them; jpegtran
// (libjpeg-turbo's own tool) adds them without touching the image data.
Bytes WithRestartMarkers(const QImage& rgb)
{
    const Bytes plain = TjCompressImage(rgb, TJSAMP_420);
    QProcess jpegtran;
    jpegtran.start("jpegtran", {"-restart", "1"});
    if (!jpegtran.waitForStarted())
        return {};
    jpegtran.write(reinterpret_cast<const char*>(plain.data()), qint64(plain.size()));
    jpegtran.closeWriteChannel();
    jpegtran.waitForFinished();
    const QByteArray out = jpegtran.readAllStandardOutput();
    return Bytes(out.begin(), out.end());
}

// As the recorder stores a picture: the stream padded with zeros to whole 8,192-byte units.
Bytes RecorderJpeg(const QImage& rgb)
{
    Bytes jpeg = TjCompress(rgb.constBits(), rgb.width(), int(rgb.bytesPerLine()), rgb.height(), TJPF_RGB,
                            TJSAMP_420);
    jpeg.resize((jpeg.size() + 8191) / 8192 * 8192, 0);
    return jpeg;
}

QImage Painted(int width, int height, int channel)
{
    return CScenePainter::Paint(width, height, channel, 0, CDateTime(2005, 1, 2, 3, 4, 5));
}

// Grey noise in rows whose colour, at half the height, the rows of the top 16 alone
// take from the same rows as the rows of the whole picture: 4:2:0 fills in the
// colour of rows 14 and 15 from those below.
void AddGreyNoise(QImage& rgb, int firstRow, int endRow)
{
    std::mt19937 random(3);
    for (int y = firstRow; y < endRow; ++y)
        for (uint8_t* p = rgb.scanLine(y); p < rgb.scanLine(y) + 3 * rgb.width(); p += 3)
            p[0] = p[1] = p[2] = uint8_t(random());
}

QImage Filled(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

// A bitmap's bytes: rows bottom-up, B, G, R, padded to 4 bytes (QImage pads RGB888 alike).
QImage AsDib(const QImage& rgb)
{
    return rgb.mirrored().rgbSwapped();
}

CDecodedPicture Decoded(CDibPicture& picture, const Bytes& bytes, int channelCount = 16)
{
    return picture.DecodeJpegFrame(bytes.data(), bytes.size(), channelCount);
}

uint8_t Decode(CDibPicture& picture, const Bytes& bytes, int channelCount = 16)
{
    return Decoded(picture, bytes, channelCount).m_nChannel;
}

uint8_t* MemoryRow(CDibPicture& picture, int row)
{
    const BITMAPINFOHEADER& header = picture.Header();
    return picture.Bits() + size_t(row) * header.biSizeImage / header.biHeight;
}

// Lights the first `pixels` of each bar in `bars` (bit 0 = bar 1 ... bit 4 = reference)
// with grey `value` in the bar row of a picture at least 632 wide.
void DrawBars(CDibPicture& picture, int bars, int pixels, uint8_t value)
{
    const int starts[5] = {90, 218, 346, 474, 602};
    uint8_t* row = MemoryRow(picture, picture.Header().biHeight - 2);
    for (int bar = 0; bar < 5; ++bar)
        if (bars >> bar & 1)
            std::memset(row + 3 * starts[bar], value, 3 * size_t(pixels));
}

bool Near(const uint8_t* pixel, std::initializer_list<int> expected, int tolerance = 4)
{
    for (int value : expected)
        if (std::abs(*pixel++ - value) > tolerance)
            return false;
    return true;
}

Bytes Encode(const QImage& dib, int quality, size_t capacity = 1 << 20)
{
    Bytes out(capacity);
    out.resize(CJpegEncoder::EncodeBuffer(out.data(), dib.constBits(), dib.width(), dib.height(), 3,
                                             capacity, quality));
    return out;
}

} // namespace

class TestDibPicture : public QObject {
    Q_OBJECT

private slots:
    void repairMendsKnownStarts_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QByteArray>("repaired"); // empty: refused
        QTest::newRow("intact") << QByteArray::fromHex("ffd8ffe001ffd9") << QByteArray::fromHex("ffd8ffe001ffd9");
        QTest::newRow("extra FF") << QByteArray::fromHex("ffffd8ffe001ffd9") << QByteArray::fromHex("ffd8ffe001ffd9");
        QTest::newRow("missing FF") << QByteArray::fromHex("d8ffe001ffd9") << QByteArray::fromHex("ffd8ffe001ffd9");
        QTest::newRow("two extra") << QByteArray::fromHex("0007ffd8ffe001ffd9") << QByteArray::fromHex("ffd8ffe001ffd9");
        QTest::newRow("no end") << QByteArray::fromHex("ffd8ffe00100") << QByteArray::fromHex("ffd8ffe00100ffd9");
        QTest::newRow("unknown") << QByteArray::fromHex("ffd8ffdb01ffd9") << QByteArray();
        QTest::newRow("too short") << QByteArray::fromHex("ffd8") << QByteArray();
    }
    void repairMendsKnownStarts()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QByteArray, repaired);
        const Bytes exact(stream.begin(), stream.end()); // reads past it show under the sanitizer
        CDibPicture picture;
        size_t length = exact.size();
        const uint8_t* out = picture.RepairJpeg(exact.data(), length);
        QCOMPARE(out ? QByteArray(reinterpret_cast<const char*>(out), qsizetype(length)) : QByteArray(), repaired);
    }

    void mendedStartsDecodeLikeIntactOnes()
    {
        const Bytes intact = RecorderJpeg(Painted(720, 240, 5));
        CDibPicture reference, picture;
        QCOMPARE(Decode(reference, intact), uint8_t(5));
        const size_t size = reference.Header().biSizeImage;
        for (const Bytes& variant : {Bytes{0xFF}, Bytes{0x12, 0x34}}) {
            Bytes stream = variant;
            stream.insert(stream.end(), intact.begin(), intact.end());
            QCOMPARE(Decode(picture, stream), uint8_t(5));
            QVERIFY(std::memcmp(picture.Bits(), reference.Bits(), size) == 0);
        }
        QCOMPARE(Decode(picture, Bytes(intact.begin() + 1, intact.end())), uint8_t(5));
        QVERIFY(std::memcmp(picture.Bits(), reference.Bits(), size) == 0);
    }

    // The pixel buffer is reused from picture to picture without clearing it where
    // the codec writes every byte: nothing of the previous picture may show through,
    // and the padding at the end of rows stays zero.
    void reusedPixelBuffersHoldOnlyTheNewPicture()
    {
        const Bytes wide = RecorderJpeg(Painted(352, 240, 2));
        CDibPicture fresh, reused;
        QCOMPARE(Decode(fresh, wide), uint8_t(2));
        QVERIFY(reused.Allocate(24, 352, 240));
        std::memset(reused.Bits(), 0x55, reused.Header().biSizeImage);
        QCOMPARE(Decode(reused, wide), uint8_t(2));
        QVERIFY(std::memcmp(fresh.Bits(), reused.Bits(), fresh.Header().biSizeImage) == 0);

        const Bytes padded = RecorderJpeg(Painted(330, 240, 2)); // 990 bytes of a 992-byte row
        QVERIFY(reused.Allocate(24, 330, 240));
        std::memset(reused.Bits(), 0x55, reused.Header().biSizeImage);
        QCOMPARE(Decode(reused, padded), uint8_t(2));
        for (int row = 0; row < 240; ++row)
            QVERIFY(MemoryRow(reused, row)[990] == 0 && MemoryRow(reused, row)[991] == 0);
    }

    void channelCodeAndRowMark_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("pal");
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("count");
        QTest::newRow("NTSC 16") << 720 << 240 << 0 << 13 << 16;
        QTest::newRow("NTSC 4") << 720 << 240 << 0 << 13 << 4;
        QTest::newRow("PAL 16") << 720 << 288 << 1 << 6 << 16;
        QTest::newRow("PAL 4") << 720 << 288 << 1 << 3 << 4;
        QTest::newRow("CIF 16") << 352 << 240 << 0 << 11 << 16;
        QTest::newRow("CIF 4") << 352 << 240 << 0 << 2 << 4;
        QTest::newRow("CIF PAL") << 352 << 288 << 1 << 15 << 16;
    }
    void channelCodeAndRowMark()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, pal);
        QFETCH(int, channel);
        QFETCH(int, count);
        CDibPicture picture;
        picture.SetPal(pal);
        const CDecodedPicture decoded = Decoded(picture, RecorderJpeg(Painted(width, height, channel)), count);
        QCOMPARE(decoded.m_nChannel, uint8_t(channel % count));
        QVERIFY(!decoded.m_bMarkAbsent);
        QCOMPARE(decoded.m_bPal, pal != 0);
        QCOMPARE(decoded.m_pBits, picture.Bits()); // the decoder's own, until its next decode
        const BITMAPINFOHEADER& header = decoded.m_header;
        QCOMPARE(header.biBitCount, uint16_t(24));
        QCOMPARE(header.biSizeImage, uint32_t(height * ((width * 3 + 3) / 4 * 4)));
    }

    void referenceBarInvertsCode_data()
    {
        QTest::addColumn<int>("bars");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<int>("grey");
        QTest::addColumn<int>("code16");
        QTest::addColumn<int>("code4");
        QTest::newRow("bars 1, 4") << 0b01001 << 30 << 255 << 9 << 1;
        QTest::newRow("all lit") << 0b11111 << 30 << 255 << 0 << 0;
        QTest::newRow("reference only") << 0b10000 << 30 << 255 << 15 << 3;
        QTest::newRow("26 pixels light") << 0b00010 << 26 << 255 << 4 << 0;
        QTest::newRow("25 pixels do not") << 0b00010 << 25 << 255 << 0 << 0;
        QTest::newRow("grey 201 is bright") << 0b00100 << 30 << 201 << 2 << 2;
        QTest::newRow("grey 200 is not") << 0b00100 << 30 << 200 << 0 << 0;
    }
    void referenceBarInvertsCode()
    {
        QFETCH(int, bars);
        QFETCH(int, pixels);
        QFETCH(int, grey);
        QFETCH(int, code16);
        QFETCH(int, code4);
        CDibPicture picture;
        QVERIFY(picture.Allocate(24, 720, 3));
        DrawBars(picture, bars, pixels, uint8_t(grey));
        QCOMPARE(picture.ReadChannelCode(16), uint8_t(code16));
        QCOMPARE(picture.ReadChannelCode(4), uint8_t(code4));
        QCOMPARE(picture.ReadChannelCode(0), CDibPicture::NO_CHANNEL);
    }

    // The mark lies in image row 2 of NTSC pictures and in row 3 of PAL ones.
    void rowMarkRowAndStrays()
    {
        QImage image = Filled(352, 16, Qt::black);
        std::memset(image.scanLine(3) + 3 * 16, 255, 3 * 31);
        CDibPicture picture;
        picture.SetPal(true);
        QCOMPARE(Decoded(picture, RecorderJpeg(image)).m_bMarkAbsent, false);
        picture.SetPal(false);
        const CDecodedPicture ntsc = Decoded(picture, RecorderJpeg(image));
        QCOMPARE(ntsc.m_nChannel, uint8_t(0));
        QCOMPARE(ntsc.m_bMarkAbsent, true);

        uint8_t* row = MemoryRow(picture, 12); // image row 3
        std::memset(row + 3 * 16, 0, 3 * 5);  // five strays in the bright stretch are allowed
        std::memset(row + 3 * 72, 255, 3 * 5); // and five in the dark one
        QVERIFY(picture.HasRowMark(4));
        std::memset(row + 3 * 71, 255, 3);
        QVERIFY(!picture.HasRowMark(4));
    }

    // Nothing may be read outside the pixels, whatever the size (the sanitizer build
    // checks); a picture too narrow for the bars reads as channel 0.
    void smallPicturesReadSafely_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("markAbsent");
        QTest::newRow("315 wide") << 315 << 240 << 0 << 0;
        QTest::newRow("77 wide") << 77 << 240 << 0 << 1;
        QTest::newRow("two rows") << 720 << 2 << 9 << 1;
        QTest::newRow("one row") << 720 << 1 << 0 << 1;
        QTest::newRow("one pixel") << 1 << 1 << 0 << 1;
    }
    void smallPicturesReadSafely()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, code);
        QFETCH(int, markAbsent);
        const QImage painted = Painted(std::max(width, 24), std::max(height, 24), 9).copy(0, 0, width, height);
        CDibPicture picture;
        const CDecodedPicture decoded = Decoded(picture, RecorderJpeg(painted));
        QCOMPARE(decoded.m_nChannel, uint8_t(code));
        QCOMPARE(decoded.m_bMarkAbsent, markAbsent != 0);
        QCOMPARE(picture.Luminance(0, height), 0);
        QCOMPARE(picture.Luminance(width + 1000, height - 1), 0);
        QCOMPARE(picture.Luminance(-1, 0), 0);
    }

    void pixelLimit_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("decodes");
        QTest::newRow("720 x 288") << 720 << 288 << true;
        QTest::newRow("1000 x 220, the limit") << 1000 << 220 << true;
        QTest::newRow("19 x 11579, one more") << 19 << 11579 << false;
        QTest::newRow("720 x 576") << 720 << 576 << false;
    }
    void pixelLimit()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, decodes);
        CDibPicture picture;
        QCOMPARE(Decode(picture, RecorderJpeg(Filled(width, height, Qt::darkGray))) != CDibPicture::NO_CHANNEL,
                 decodes);
    }

    void decodesBottomUpBgr()
    {
        QImage colour = Filled(64, 32, Qt::red);
        QPainter(&colour).fillRect(0, 16, 64, 16, Qt::blue);
        CDibPicture picture;
        QCOMPARE(Decode(picture, RecorderJpeg(colour)), uint8_t(0));
        QVERIFY(Near(MemoryRow(picture, 0), {255, 0, 0}));  // the image's last row: blue
        QVERIFY(Near(MemoryRow(picture, 31), {0, 0, 255})); // its top row: red

        uint8_t grey[16 * 16];
        for (int y = 0; y < 16; ++y)
            std::fill_n(grey + 16 * y, 16, uint8_t(y < 8 ? 230 : 20));
        QCOMPARE(Decode(picture, TjCompress(grey, 16, 16, 16, TJPF_GRAY, TJSAMP_GRAY)), uint8_t(0));
        QCOMPARE(picture.Header().biBitCount, uint16_t(24));
        QVERIFY(Near(MemoryRow(picture, 0), {20, 20, 20}));
        QVERIFY(Near(MemoryRow(picture, 15), {230, 230, 230}));
    }

    // Colours come back in bitmap order (B, G, R, A), multiplied by alpha.
    void fourComponentRoundTrip()
    {
        std::vector<uint8_t> rgba(32 * 32 * 4);
        for (size_t i = 0; i < rgba.size(); i += 4) {
            const bool lowerHalf = i < rgba.size() / 2; // bottom-up: the first rows are the lower half
            const uint8_t pixel[4] = {200, 100, 50, uint8_t(lowerHalf ? 255 : 128)};
            std::memcpy(&rgba[i], pixel, 4);
        }
        Bytes jpeg(1 << 16);
        jpeg.resize(CJpegEncoder::EncodeBuffer(jpeg.data(), rgba.data(), 32, 32, 4, jpeg.size(), 95));
        QVERIFY(!jpeg.empty());
        CDibPicture picture;
        QCOMPARE(Decode(picture, jpeg), uint8_t(0));
        QCOMPARE(picture.Header().biBitCount, uint16_t(32));
        QCOMPARE(picture.Header().biSizeImage, uint32_t(32 * 32 * 4));
        QVERIFY(Near(MemoryRow(picture, 2), {50, 100, 200, 255}));
        QVERIFY(Near(MemoryRow(picture, 29), {25, 50, 100, 128}));
    }

    void encodeClampsQualityAndCapacity()
    {
        const QImage dib = AsDib(Painted(352, 240, 3));
        QCOMPARE(Encode(dib, 150), Encode(dib, 100));
        QCOMPARE(Encode(dib, -5), Encode(dib, 0));
        const Bytes jpeg = Encode(dib, 70);
        QVERIFY(Encode(dib, 0).size() < jpeg.size() && jpeg.size() < Encode(dib, 100).size());

        QCOMPARE(Encode(dib, 70, jpeg.size()), jpeg);
        Bytes guarded(jpeg.size() + 64, 0xA5);
        QCOMPARE(CJpegEncoder::EncodeBuffer(guarded.data(), dib.constBits(), 352, 240, 3, jpeg.size() - 1, 70),
                 size_t(0));
        QCOMPARE(guarded, Bytes(jpeg.size() + 64, 0xA5));
        QCOMPARE(CJpegEncoder::EncodeBuffer(guarded.data(), dib.constBits(), 352, 240, 2, guarded.size(), 70),
                 size_t(0));
    }

    // Buffers run bottom-up with padded rows, files top-down and packed: both must
    // decode to the same upright picture.
    void encodedPicturesKeepTheirOrientation()
    {
        const QImage image = Painted(330, 240, 7); // 990 bytes a row: padded to 992 in a bitmap
        CDibPicture picture;
        const CDecodedPicture buffered = Decoded(picture, Encode(AsDib(image), 95));
        QCOMPARE(buffered.m_nChannel, uint8_t(7));
        QVERIFY(!buffered.m_bMarkAbsent);

        Bytes packed;
        const QImage bgr = image.rgbSwapped();
        for (int y = 0; y < 240; ++y)
            packed.insert(packed.end(), bgr.constScanLine(y), bgr.constScanLine(y) + 990);

        const QTemporaryDir dir;
        const std::string path = dir.filePath("snap.jpg").toStdString();
        QVERIFY(CJpegEncoder::EncodeFile(path, packed.data(), 330, 240, 95));
        QFile file(QString::fromStdString(path));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray stored = file.readAll();
        const CDecodedPicture filed = Decoded(picture, Bytes(stored.begin(), stored.end()));
        QCOMPARE(filed.m_nChannel, uint8_t(7));
        QVERIFY(!filed.m_bMarkAbsent);

        // A file already there stays as it was.
        QVERIFY(!CJpegEncoder::EncodeFile(path, packed.data(), 330, 240, 50));
        QVERIFY(file.seek(0));
        QCOMPARE(file.readAll(), stored);

        const std::string unwritable = dir.filePath("missing/snap.jpg").toStdString();
        QVERIFY(!CJpegEncoder::EncodeFile(unwritable, packed.data(), 330, 240, 95));
        QVERIFY(!std::filesystem::exists(unwritable));
    }

    void damagedStreamsAreRefused()
    {
        const Bytes intact = TjCompress(Painted(352, 240, 4).constBits(), 352, 352 * 3, 240, TJPF_RGB, TJSAMP_420);
        CDibPicture picture;
        for (size_t cut : {size_t(100), intact.size() / 2, intact.size() - 200}) {
            Bytes truncated(intact.begin(), intact.begin() + long(cut));
            truncated.resize((cut + 8191) / 8192 * 8192, 0);
            QCOMPARE(Decode(picture, truncated), CDibPicture::NO_CHANNEL);
        }
        QCOMPARE(Decode(picture, intact, 0), CDibPicture::NO_CHANNEL);

        // Stray bytes between two header segments are skipped with a warning only.
        Bytes stray = intact;
        stray.insert(stray.begin() + 4 + (stray[4] << 8 | stray[5]), {0x00, 0x11, 0x22});
        QCOMPARE(Decode(picture, stray), uint8_t(4));
        // ... but an error after them still fails the picture.
        stray[stray.size() / 2] = 0xFF;
        stray[stray.size() / 2 + 1] = 0xC0;
        QCOMPARE(Decode(picture, stray), CDibPicture::NO_CHANNEL);

        // A header the codec gives up on must not spoil the next picture.
        Bytes badTable = intact;
        const uint8_t huffmanTable[] = {0xFF, 0xC4};
        const auto table = std::search(badTable.begin(), badTable.end(), huffmanTable, huffmanTable + 2);
        std::fill_n(table + 5, 16, 0xFF); // its code counts: more codes than a table holds
        QCOMPARE(Decode(picture, badTable), CDibPicture::NO_CHANNEL);
        QCOMPARE(Decode(picture, intact), uint8_t(4));

        CDibPicture reader;
        for (size_t cut : {size_t(100), intact.size() / 2, intact.size() - 200})
            QCOMPARE(reader.ReadJpegChannel(intact.data(), cut, 16).m_nChannel, CDibPicture::NO_CHANNEL);
        QCOMPARE(reader.ReadJpegChannel(stray.data(), stray.size(), 16).m_nChannel, CDibPicture::NO_CHANNEL);
        QCOMPARE(reader.ReadJpegChannel(badTable.data(), badTable.size(), 16).m_nChannel, CDibPicture::NO_CHANNEL);
        std::mt19937 random(7);
        for (int round = 0; round < 300; ++round) {
            Bytes damaged = intact;
            for (int n = 0; n < 4; ++n)
                damaged[2 + random() % (damaged.size() - 2)] = uint8_t(random());
            const uint8_t channel = Decode(picture, damaged);
            QVERIFY(channel < 16 || channel == CDibPicture::NO_CHANNEL);
            // The report's cheaper reading agrees with the whole decode on every one.
            QCOMPARE(reader.ReadJpegChannel(damaged.data(), damaged.size(), 16).m_nChannel, channel);
        }
        QCOMPARE(Decode(picture, intact), uint8_t(4));
    }

    // Whose picture it is, from its top rows alone: the same pixels there as in the
    // whole picture, whatever the stream's layout.
    void topRowsMatchTheWholePicture_data()
    {
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("subsampling");
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("busyTop");
        QTest::newRow("4:2:0") << 240 << int(TJSAMP_420) << 0 << false;
        QTest::newRow("4:2:2") << 288 << int(TJSAMP_422) << 0 << false;
        QTest::newRow("4:4:4") << 240 << int(TJSAMP_444) << 0 << false;
        QTest::newRow("4:4:0") << 240 << int(TJSAMP_440) << 0 << false;
        QTest::newRow("grey") << 240 << int(TJSAMP_GRAY) << 0 << false;
        QTest::newRow("progressive") << 240 << int(TJSAMP_420) << int(TJFLAG_PROGRESSIVE) << false;
        QTest::newRow("restart markers") << 240 << int(TJSAMP_420) << -1 << false;
        QTest::newRow("not taller") << 16 << int(TJSAMP_420) << 0 << false;
        // Top rows that take most of the stream's data are not found in its front part.
        QTest::newRow("busy top rows") << 240 << int(TJSAMP_420) << 0 << true;
        QTest::newRow("busy top rows, progressive") << 240 << int(TJSAMP_420) << int(TJFLAG_PROGRESSIVE) << true;
    }
    void topRowsMatchTheWholePicture()
    {
        QFETCH(int, height);
        QFETCH(int, subsampling);
        QFETCH(int, flags);
        QFETCH(bool, busyTop);
        QImage rgb = Painted(720, height, 11);
        if (busyTop)
            AddGreyNoise(rgb, 8, 12); // below the code and the mark, in their row of blocks
        Bytes jpeg = flags >= 0 ? TjCompressImage(rgb, subsampling, flags) : WithRestartMarkers(rgb);
        QVERIFY(!jpeg.empty());
        jpeg.resize((jpeg.size() + 8191) / 8192 * 8192, 0);
        CDibPicture whole, top;
        const CDecodedPicture all = Decoded(whole, jpeg);
        const CDecodedPicture part = top.DecodeTopRows(jpeg.data(), jpeg.size(), 16);
        QCOMPARE(part.m_nChannel, all.m_nChannel);
        QCOMPARE(all.m_nChannel, uint8_t(11));
        QCOMPARE(part.m_bMarkAbsent, all.m_bMarkAbsent);
        QCOMPARE(part.m_nStreamHeight, height);
        QCOMPARE(all.m_nStreamHeight, height);
        const int rows = part.m_header.biHeight;
        QCOMPARE(rows, std::min(height, 16));
        for (int r = 1; r <= rows; ++r) // counted from the top
            QVERIFY(std::equal(MemoryRow(top, rows - r), MemoryRow(top, rows - r) + 720 * 3,
                               MemoryRow(whole, height - r)));
    }

    void topRowsSeeOnlyTheirOwnDamage()
    {
        const Bytes intact = RecorderJpeg(Painted(720, 240, 5));
        CDibPicture picture;
        const auto cutAt = [&](size_t cut) {
            Bytes truncated(intact.begin(), intact.begin() + long(cut));
            return picture.DecodeTopRows(truncated.data(), truncated.size(), 16).m_nChannel;
        };
        QCOMPARE(cutAt(400), CDibPicture::NO_CHANNEL);   // in the header or the top rows
        QCOMPARE(cutAt(intact.size() / 2), uint8_t(5)); // below them
        QCOMPARE(picture.DecodeTopRows(intact.data(), intact.size(), 0).m_nChannel, CDibPicture::NO_CHANNEL);
        // A stream too large to decode is refused in part as it is in whole.
        const Bytes large = RecorderJpeg(Painted(1024, 512, 5));
        QCOMPARE(picture.DecodeTopRows(large.data(), large.size(), 16).m_nChannel, CDibPicture::NO_CHANNEL);
    }

    // The playback thread decodes and exports while the window thread saves snapshots.
    void threadsCodeAtTheSameTime()
    {
        const QImage dib = AsDib(Painted(352, 240, 6));
        const Bytes expected = Encode(dib, 70);
        const auto work = [&] {
            CDibPicture picture;
            int good = 0;
            for (int round = 0; round < 20; ++round)
                good += Encode(dib, 70) == expected && Decode(picture, expected) == 6;
            return good;
        };
        int otherGood = 0;
        std::thread other([&] { otherGood = work(); });
        const int good = work();
        other.join();
        QCOMPARE(good + otherGood, 40);
    }

    void allocateKeepsSizeAndBufferInStep()
    {
        CDibPicture picture;
        const std::pair<int, int> refused[] = {{0, 5}, {-10, -10}, {40000, 1}};
        for (auto [width, height] : refused)
            QVERIFY(!picture.Allocate(24, width, height));
        QVERIFY(!picture.Allocate(12, 10, 10));
        QCOMPARE(picture.Header().biWidth, 320);
        QCOMPARE(picture.Header().biSizeImage, uint32_t(320 * 3 * 240));

        // A copy of another decoder's picture outlives that decoder's next decode.
        CDibPicture copy;
        QVERIFY(picture.Allocate(24, 330, 2));
        std::memset(picture.Bits(), 7, 2 * 992);
        CDecodedPicture decoded;
        decoded.m_header = picture.Header();
        decoded.m_pBits = picture.Bits();
        QVERIFY(copy.CopyPixels(decoded));
        QVERIFY(picture.Allocate(24, 16, 16));
        QCOMPARE(copy.Header().biSizeImage, uint32_t(2 * 992));
        QVERIFY(std::all_of(copy.Bits(), copy.Bits() + 2 * 992, [](uint8_t b) { return b == 7; }));
    }
};

KVX_REGISTER_TEST(TestDibPicture);
#include "tst_dibpicture.moc"
