#include "export/avireader.h"
#include "export/backuprecorder.h"
#include "platform/nativefilename.h"
#include "playback/smoothscaler.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/plantedlink.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstring>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// A decoded recorder picture, bottom-up with padded rows, as the decoder leaves it.
struct CPicture {
    BITMAPINFOHEADER m_header{};
    std::vector<uint8_t> m_bits;

    CPicture(int width, int height)
    {
        m_header.biSize = 40;
        m_header.biWidth = width;
        m_header.biHeight = height;
        m_header.biPlanes = 1;
        m_header.biBitCount = 24;
        m_header.biSizeImage = uint32_t(CBackupRecorder::Stride(width) * height);
        m_bits.assign(m_header.biSizeImage, 0);
    }
    uint8_t* Pixel(int x, int memoryRow) { return m_bits.data() + memoryRow * CBackupRecorder::Stride(m_header.biWidth) + x * 3; }
    // Every pixel tells where it is: (x low, row low, x high) in (B, G, R).
    void FillWithPlaces()
    {
        for (int r = 0; r < m_header.biHeight; ++r)
            for (int x = 0; x < m_header.biWidth; ++x) {
                uint8_t* p = Pixel(x, r);
                p[0] = uint8_t(x), p[1] = uint8_t(r), p[2] = uint8_t(x >> 8);
            }
    }
    // A smooth picture that looks different upside down and mirrored.
    void FillWithGradient()
    {
        for (int r = 0; r < m_header.biHeight; ++r)
            for (int x = 0; x < m_header.biWidth; ++x) {
                uint8_t* p = Pixel(x, r);
                p[0] = uint8_t(x * 255 / m_header.biWidth), p[1] = uint8_t(r * 255 / m_header.biHeight), p[2] = 90;
            }
    }
    // The picture upright, as it looks.
    QImage Upright() const
    {
        QImage image(m_header.biWidth, m_header.biHeight, QImage::Format_BGR888);
        for (int y = 0; y < m_header.biHeight; ++y)
            std::memcpy(image.scanLine(y), m_bits.data() + (m_header.biHeight - 1 - y) * CBackupRecorder::Stride(m_header.biWidth),
                        size_t(m_header.biWidth) * 3);
        return image;
    }
};

// The picture as the router hands it on, of a 16-camera NTSC recording unless said.
CTilePicture TileOf(const CPicture& picture, int channelCount = 16, bool pal = false)
{
    return {&picture.m_header, picture.m_bits.data(), false, pal, channelCount};
}

const CFrameTime FRAME_TIME{2024, 3, 18, 14, 0, 5};

// Camera 3's picture, the camera every test here exports.
CBackupRecorder::EFrame Write(CBackupRecorder& recorder, const CPicture& picture, const CFrameTime& time = FRAME_TIME)
{
    return recorder.WritePicture(2, TileOf(picture), time);
}

BACKUPSETTING Setting(int channel, int fps, int width, int channelCount = 16)
{
    BACKUPSETTING s;
    s.m_byFrameRate = uint8_t(fps);
    s.m_byChannel = uint8_t(channel);
    s.m_byChannelCount = uint8_t(channelCount);
    s.m_nWidth = width;
    s.m_nHeight = width == 360 ? 240 : 480;
    return s;
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The export picture, upright.
QImage ExportImage(const CBackupRecorder& recorder, int width, int height)
{
    QImage image(width, height, QImage::Format_BGR888);
    for (int y = 0; y < height; ++y)
        std::memcpy(image.scanLine(y), recorder.ExportBits() + (height - 1 - y) * CBackupRecorder::Stride(width),
                    size_t(width) * 3);
    return image;
}

bool IsWhite(QRgb c)
{
    return qRed(c) > 240 && qGreen(c) > 240 && qBlue(c) > 240;
}

} // namespace

class TestBackupRecorder : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString Folder(const char* name) const
    {
        const QString folder = m_dir.path() + "/" + name + "/";
        QDir().mkpath(folder);
        return folder;
    }

private slots:
    // Channel 3 exported twice gives 03_Capture then 03_Capture(01), each with its
    // log and sums; a name whose log alone is left over is not taken either.
    void namesNeverReplaceAnExport()
    {
        const QString folder = Folder("names");
        CBackupRecorder recorder(folder);
        for (int i = 0; i < 2; ++i) {
            QVERIFY(recorder.StartBackup(Setting(2, 10, 360), {}));
            QVERIFY(recorder.StopBackup({}));
        }
        QFile::copy(folder + "03_Capture.log", folder + "03_Capture(02).log");
        QVERIFY(recorder.StartBackup(Setting(2, 10, 360), {}));
        QVERIFY(recorder.StopBackup({}));
        QStringList expected;
        for (const char* stem : {"03_Capture", "03_Capture(01)", "03_Capture(03)"})
            for (const char* ext : {".avi", ".log", ".sha256", ".sha256.sig"})
                expected << QString(stem) + ext;
        expected << "03_Capture(02).log";
        expected.sort();
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name), expected);
        QCOMPARE(CBackupRecorder::MakeUniqueFileName(folder + "05_Capture.avi"), folder + "05_Capture.avi");
    }

    // Links planted under every name an export would take, pointing at a recording:
    // the export goes to the next free name and writes through none of them.
    void linksUnderTheNamesAreNeverWrittenThrough()
    {
        const QString folder = Folder("links");
        const QString recording = m_dir.path() + "/recording.kvx";
        QFile master(recording);
        QVERIFY(master.open(QIODevice::WriteOnly) && master.write(QByteArray(4096, 'r')) == 4096);
        master.close();
        std::vector<std::unique_ptr<CPlantedLink>> links;
        for (const char* name : {"03_Capture.avi", "03_Capture.log", "03_Capture.sha256", "03_Capture.INCOMPLETE.txt",
                                 "03_Capture(01).log", "03_Capture(01).sha256"})
            links.push_back(std::make_unique<CPlantedLink>(recording, folder + name));
        CBackupRecorder recorder(folder);
        QVERIFY(recorder.StartBackup(Setting(2, 10, 360), {}));
        QVERIFY(recorder.StopBackup({}));
        for (const auto& link : links)
            QVERIFY(link->Planted() && link->RecordingIntact() && link->LinkIntact());
        for (const char* made : {"03_Capture(02).avi", "03_Capture(02).log", "03_Capture(02).sha256",
                                 "03_Capture(02).sha256.sig"})
            QVERIFY2(QFileInfo(folder + made).isFile() && !QFileInfo(folder + made).isSymLink(), made);
    }

    // Names longer than a fixed buffer once allowed are whole in the file and its stream.
    void deepFoldersWork()
    {
        const QString folder = Folder("a-folder-with-a-rather-long-name/and-another-one-below-it/and-a-third");
        CBackupRecorder recorder(folder);
        QVERIFY(recorder.StartBackup(Setting(0, 10, 360), {}));
        QVERIFY(recorder.StopBackup({}));
        CAviReader reader;
        QVERIFY(reader.Open((folder + "01_Capture.avi").toStdString()));
        QVERIFY(folder.size() > 64);
        QCOMPARE(QString::fromStdString(reader.m_strName), folder + "01_Capture.avi");
    }

    void logHasItsFiveLines()
    {
        const QString folder = Folder("log");
        CBackupRecorder recorder(folder);
        QVERIFY(recorder.StartBackup(Setting(0, 10, 360), {2024, 3, 18, 14, 0, 5}));
        QVERIFY(recorder.StopBackup({2024, 3, 18, 14, 1, 59}));
        QCOMPARE(Read(folder + "01_Capture.log"), QByteArray("RECORD START : 2024/03/18 14:00:05 \r\n"
                                                             "RECORD END   : 2024/03/18 14:01:59 \r\n"
                                                             "CHANNEL      : 01 \r\n"
                                                             "FRAME RATE   : 10 Frame \r\n"
                                                             "RECORD SIZE  : 360 * 240 Pixel \r\n"));
    }

    // Whoever receives the export checks it with the standard tool, in its folder.
    void sumsCheckWithSha256sum()
    {
        if (QStandardPaths::findExecutable("sha256sum").isEmpty())
            QSKIP("sha256sum is not installed");
        const QString folder = Folder("sums");
        CBackupRecorder recorder(folder);
        CPicture picture(352, 240);
        picture.FillWithGradient();
        QVERIFY(recorder.StartBackup(Setting(2, 10, 360), {}));
        QCOMPARE(Write(recorder, picture), CBackupRecorder::EFrame::Written);
        QVERIFY(recorder.StopBackup({}));
        QProcess check;
        check.setWorkingDirectory(folder);
        check.start("sha256sum", {"-c", "03_Capture.sha256"});
        QVERIFY(check.waitForFinished(30000));
        QCOMPARE(check.exitCode(), 0);
        QCOMPARE(check.readAllStandardOutput(), QByteArray("03_Capture.avi: OK\n03_Capture.log: OK\n"));
    }

    // The crop keeps H - 14 rows from stored row 0 (row 1 without the row mark) and
    // the columns between the margins of the recording's kind; rows whose width is
    // no multiple of 4 bytes are padded in the buffer.
    void cropKeepsThePictureBetweenTheMargins_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("channels");
        QTest::addColumn<bool>("pal");
        QTest::addColumn<bool>("markAbsent");
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("keptWidth");
        QTest::newRow("16 channels NTSC") << 352 << 240 << 16 << false << false << 7 << 352 - 18;
        QTest::newRow("4 channels PAL") << 720 << 288 << 4 << true << false << 10 << 720 - 30;
        QTest::newRow("without the row mark") << 352 << 240 << 16 << false << true << 7 << 352 - 18;
        QTest::newRow("odd width") << 351 << 240 << 4 << false << false << 9 << 351 - 25;
    }
    void cropKeepsThePictureBetweenTheMargins()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, channels);
        QFETCH(bool, pal);
        QFETCH(bool, markAbsent);
        QFETCH(int, left);
        QFETCH(int, keptWidth);
        CPicture picture(width, height);
        picture.FillWithPlaces();
        CTilePicture tile = TileOf(picture, channels, pal);
        tile.m_bMarkAbsent = markAbsent;
        CBackupRecorder recorder(Folder("crop"));
        QVERIFY(recorder.CropPicture(tile));
        QCOMPARE(recorder.CropWidth(), keptWidth);
        QCOMPARE(recorder.CropHeight(), height - 14);
        const int64_t stride = CBackupRecorder::Stride(keptWidth);
        const int first = markAbsent ? 1 : 0;
        for (int r : {0, 1, height / 2, height - 15})
            for (int i : {0, 1, keptWidth / 2, keptWidth - 1}) {
                const uint8_t* p = recorder.CropBits() + r * stride + i * 3;
                const uint8_t* expected = picture.Pixel(left + i, first + r);
                QVERIFY2(std::memcmp(p, expected, 3) == 0, qPrintable(QString("row %1 pixel %2").arg(r).arg(i)));
            }
    }

    // Every decoded picture reaches the recorder; only the exported camera's whole
    // pictures of 24 bits become frames.
    void picturesNotToExportAreSkipped()
    {
        CPicture picture(40, 14);
        CBackupRecorder recorder(Folder("small"));
        QVERIFY(recorder.StartBackup(Setting(2, 10, 360), {}));
        QCOMPARE(Write(recorder, picture), CBackupRecorder::EFrame::Skipped);
        CPicture whole(352, 240);
        QCOMPARE(recorder.WritePicture(1, TileOf(whole), FRAME_TIME), CBackupRecorder::EFrame::Skipped);
        whole.m_header.biBitCount = 32;
        QCOMPARE(Write(recorder, whole), CBackupRecorder::EFrame::Skipped);
        QVERIFY(recorder.StopBackup({}));
        QCOMPARE(recorder.FrameCount(), 0u);
    }

    // The frame in the file is the crop of its picture scaled edge to edge, upright:
    // compared above the stamp, after the JPEG round trip.
    void frameIsTheCroppedPictureScaled_data()
    {
        QTest::addColumn<int>("width");
        QTest::newRow("360 x 240") << 360;
        QTest::newRow("720 x 480") << 720;
    }
    void frameIsTheCroppedPictureScaled()
    {
        QFETCH(int, width);
        const int height = width == 360 ? 240 : 480;
        const QString folder = Folder(width == 360 ? "scale360" : "scale720");
        CPicture picture(352, 240);
        picture.FillWithGradient();
        CBackupRecorder recorder(folder);
        QVERIFY(recorder.StartBackup(Setting(2, 10, width), {}));
        QCOMPARE(Write(recorder, picture), CBackupRecorder::EFrame::Written);
        QVERIFY(recorder.StopBackup({}));

        CAviReader reader;
        QVERIFY(reader.Open((folder + "03_Capture.avi").toStdString()));
        QCOMPARE(reader.m_frames.size(), size_t(1));
        std::vector<uint8_t> jpeg;
        QVERIFY(reader.ReadFrame(0, jpeg));
        const QImage written = QImage::fromData(jpeg.data(), int(jpeg.size())).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(written.size(), QSize(width, height));
        CSmoothScaler scaler;
        const QImage expected = scaler.Scale(picture.Upright(), QRect(7, 14, 352 - 18, 240 - 14), QSize(width, height))
                                    .convertToFormat(QImage::Format_RGB32);
        const int stampTop = height - CBackupRecorder::FontHeightFor(width) - 2;
        int64_t difference = 0, worst = 0;
        for (int y = 0; y < stampTop; ++y)
            for (int x = 0; x < width; ++x) {
                const QRgb a = written.pixel(x, y), b = expected.pixel(x, y);
                const int d = std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) + std::abs(qBlue(a) - qBlue(b));
                difference += d;
                worst = std::max<int64_t>(worst, d);
            }
        const double mean = double(difference) / (int64_t(width) * stampTop);
        QVERIFY2(mean < 4 && worst < 90, qPrintable(QString("mean %1, worst %2").arg(mean).arg(worst)));
    }

    // A 360-wide export stamps in a 20-pixel cell, a 720-wide one in a 25-pixel cell
    // (an 18- and a 22-pixel font); the texts sit in that cell at the bottom, the
    // number from x = 20, the date-time ending near the right edge, in white with a
    // black outline, and nothing above the cell changes.
    void stampSitsInItsCell_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("fontHeight");
        QTest::addColumn<int>("pixelSize");
        QTest::newRow("360") << 360 << 20 << 18;
        QTest::newRow("720") << 720 << 25 << 22;
    }
    void stampSitsInItsCell()
    {
        QFETCH(int, width);
        QFETCH(int, fontHeight);
        QFETCH(int, pixelSize);
        const int height = width == 360 ? 240 : 480;
        QCOMPARE(CBackupRecorder::FontHeightFor(width), fontHeight);
        QCOMPARE(CBackupRecorder::StampFont(fontHeight).pixelSize(), pixelSize);

        CPicture picture(352, 240);
        for (uint8_t& b : picture.m_bits)
            b = 128;
        CBackupRecorder recorder(Folder(width == 360 ? "stamp360" : "stamp720"));
        QVERIFY(recorder.StartBackup(Setting(2, 10, width), {}));
        QVERIFY(recorder.CropPicture(TileOf(picture)));
        recorder.ScalePicture(width, height);
        recorder.StampPicture(2, FRAME_TIME, width, height);
        const QImage stamped = ExportImage(recorder, width, height);
        QVERIFY(recorder.StopBackup({}));

        QRect white;
        bool outlined = false;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const QRgb c = stamped.pixel(x, y);
                if (y < height - fontHeight - 1)
                    QVERIFY2(qGray(c) > 120 && qGray(c) < 136, qPrintable(QString("(%1, %2) changed").arg(x).arg(y)));
                if (IsWhite(c))
                    white |= QRect(x, y, 1, 1);
                outlined |= qGray(c) < 30;
            }
        QVERIFY(outlined);
        QVERIFY2(white.top() >= height - fontHeight && white.top() <= height - fontHeight + 8,
                 qPrintable(QString("text from row %1").arg(white.top())));
        QVERIFY(white.bottom() < height);
        QVERIFY2(white.left() >= 20 && white.left() <= 23, qPrintable(QString("number from x %1").arg(white.left())));
        const int advance = QFontMetrics(CBackupRecorder::StampFont(fontHeight)).horizontalAdvance('2');
        const int timeLeft = width - 18 * advance;
        QVERIFY(white.right() < width && white.right() > width - advance * 2);
        bool timeStartsThere = false;
        for (int y = white.top(); y <= white.bottom(); ++y)
            for (int x = timeLeft; x < timeLeft + advance; ++x)
                timeStartsThere |= IsWhite(stamped.pixel(x, y));
        QVERIFY(timeStartsThere);
        for (int y = white.top(); y <= white.bottom(); ++y)
            for (int x = timeLeft - 6; x < timeLeft - 1; ++x)
                QVERIFY(!IsWhite(stamped.pixel(x, y)));
    }

    // A disc that fills up cuts the export short: the AVI keeps its frames, the log
    // ends at the last of them, and a note says why it is incomplete in place of the
    // sums, which would vouch for it as whole. Later pictures are skipped.
    void exportCutShortIsMarkedIncomplete()
    {
        const QString folder = Folder("cut");
        CBackupRecorder recorder(folder);
        CPicture picture(352, 240);
        picture.FillWithGradient();
        CFrameTime time{2024, 3, 18, 14, 0, 0};
        QVERIFY(recorder.StartBackup(Setting(2, 10, 360), {2024, 3, 18, 14, 0, 0}));
        CBackupRecorder::EFrame result = CBackupRecorder::EFrame::Written;
        {
            const CFileSizeLimit full(48 * 1024);
            QVERIFY(full.IsSet());
            for (uint8_t second = 0; second < 60 && result == CBackupRecorder::EFrame::Written; ++second) {
                time.m_bySecond = second;
                result = Write(recorder, picture, time);
            }
        }
        QCOMPARE(result, CBackupRecorder::EFrame::Failed);
        const uint32_t written = recorder.FrameCount();
        QVERIFY(written >= 1);
        QCOMPARE(Write(recorder, picture, time), CBackupRecorder::EFrame::Skipped);
        QVERIFY(recorder.FailureText().contains(folder + "03_Capture.avi"));
        QVERIFY(recorder.FailureText().contains("File too large"));
        QVERIFY(recorder.StopBackup({2024, 3, 18, 14, 5, 0}));

        QVERIFY(!QFile::exists(folder + "03_Capture.sha256"));
        const QByteArray last = QString::asprintf("2024/03/18 14:00:%02u", written - 1).toLatin1();
        QVERIFY(Read(folder + "03_Capture.log").contains("RECORD END   : " + last + " \r\n"));
        const QByteArray note = Read(folder + "03_Capture.INCOMPLETE.txt");
        QVERIFY(note.startsWith("03_Capture.avi is incomplete"));
        QVERIFY(note.contains("REASON       : File too large\r\n"));
        QVERIFY(note.contains(QString::asprintf("FRAMES       : %u written, the last recorded ", written).toLatin1() + last));
        CAviReader reader;
        QVERIFY(reader.Open((folder + "03_Capture.avi").toStdString()));
        QCOMPARE(reader.m_frames.size(), size_t(written));

        // The next export of the camera is whole again, under a name of its own.
        QVERIFY(recorder.StartBackup(Setting(2, 10, 360), {}));
        QVERIFY(recorder.FailureText().isEmpty());
        QVERIFY(recorder.StopBackup({}));
        QVERIFY(QFile::exists(folder + "03_Capture(01).sha256"));
        QVERIFY(!QFile::exists(folder + "03_Capture(01).INCOMPLETE.txt"));
    }

    // Cut short from outside (the camera exported beside it failed): the same ending,
    // with the reason given; an export without frames ends its log at its start.
    void exportCutShortFromOutside()
    {
        const QString folder = Folder("outside");
        CBackupRecorder recorder(folder);
        recorder.CutShort("ignored: no export runs");
        QVERIFY(recorder.StartBackup(Setting(0, 10, 360), {2024, 3, 18, 14, 0, 7}));
        QVERIFY(recorder.FailureText().isEmpty());
        recorder.CutShort("the export of camera 05 could not be written");
        QVERIFY(recorder.StopBackup({2024, 3, 18, 14, 9, 0}));
        QVERIFY(recorder.FailureText().contains("01_Capture.avi stopped: the export of camera 05 could not be written"));
        QVERIFY(Read(folder + "01_Capture.log").contains("RECORD END   : 2024/03/18 14:00:07 \r\n"));
        QVERIFY(Read(folder + "01_Capture.INCOMPLETE.txt").contains("FRAMES       : 0 written\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
                 (QStringList{"01_Capture.INCOMPLETE.txt", "01_Capture.avi", "01_Capture.log"}));
        QCOMPARE(CBackupRecorder::MakeUniqueFileName(folder + "01_Capture.avi"), folder + "01_Capture(01).avi");
        QFile::remove(folder + "01_Capture.avi");
        QFile::remove(folder + "01_Capture.log");
        QCOMPARE(CBackupRecorder::MakeUniqueFileName(folder + "01_Capture.avi"), folder + "01_Capture(01).avi");
    }

    // A camera the recording does not have is never exported.
    void cameraBeyondTheRecordingIsRefused()
    {
        const QString folder = Folder("beyond");
        CBackupRecorder recorder(folder);
        QVERIFY(!recorder.StartBackup(Setting(8, 10, 360, 4), {}));
        QCOMPARE(recorder.ErrorText(), QString("Camera 9 cannot be exported: the recording has cameras 1 to 4."));
        QVERIFY(QDir(folder).entryList(QDir::Files).isEmpty());
    }

    // Non-UTF-8 folder names are written into as they are, not into a look-alike.
    void folderNamedInLatin1()
    {
        const QByteArray native = QFile::encodeName(m_dir.path()) + "/caf\xe9/avi/";
        const QString folder = CNativeFileName::Decode(native);
        CBackupRecorder recorder(folder);
        QVERIFY(recorder.StartBackup(Setting(0, 10, 360), {}));
        QVERIFY(recorder.StopBackup({}));
        for (const char* name : {"01_Capture.avi", "01_Capture.log", "01_Capture.sha256"})
            QVERIFY2(::access((native + name).constData(), F_OK) == 0, name);
        std::filesystem::remove_all(QFile::encodeName(m_dir.path()).toStdString() + "/caf\xe9"); // Qt could not
    }

    // An export that cannot be created does not start, and leaves nothing.
    void fileThatCannotBeMadeStopsTheStart()
    {
        const QString blocker = m_dir.path() + "/not-a-folder";
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        CBackupRecorder recorder(blocker + "/avi/");
        QVERIFY(!recorder.StartBackup(Setting(2, 10, 360), {}));
        QCOMPARE(recorder.ErrorText(), "cannot create the folder " + blocker
                                           + "/avi: a file stands where a folder of its path must be");
        QVERIFY(!recorder.IsExporting());
        QVERIFY(recorder.StopBackup({}));
    }

    // Each reason an export cannot be created names the file it tried and the
    // system's reason: a folder not to be written into, a medium without room.
    void eachCreateFailureNamesTheFileAndTheReason()
    {
        const QString avi = m_dir.path() + "/avi/";
        QVERIFY(QDir().mkpath(avi));
        {
            // Headers that cannot be written (a file-size limit stands in for a full
            // disc, which a test cannot make): the file is refused whole.
            const CFileSizeLimit full(64);
            QVERIFY(full.IsSet());
            CBackupRecorder recorder(avi);
            QVERIFY(!recorder.StartBackup(Setting(0, 10, 360), {}));
            QCOMPARE(recorder.ErrorText(), "cannot create " + avi + "01_Capture.avi: File too large");
        }
        QVERIFY(QDir(avi).isEmpty());
        if (::geteuid() == 0)
            QSKIP("the superuser writes into every folder: an unwritable one cannot be made");
        QVERIFY(::chmod(QFile::encodeName(avi).constData(), 0500) == 0);
        CBackupRecorder recorder(avi);
        const bool started = recorder.StartBackup(Setting(0, 10, 360), {});
        CExportOptions mp4;
        mp4.m_format = EExportFormat::Mp4;
        const bool startedMp4 = recorder.StartBackup(Setting(1, 10, 360), {}, mp4);
        const QString mp4Error = recorder.ErrorText();
        ::chmod(QFile::encodeName(avi).constData(), 0700);
        QVERIFY(!started && !startedMp4);
        QCOMPARE(mp4Error, "cannot create " + avi + "02_Capture.mp4: Permission denied");
    }
};

KVX_REGISTER_TEST(TestBackupRecorder);
#include "tst_backuprecorder.moc"
