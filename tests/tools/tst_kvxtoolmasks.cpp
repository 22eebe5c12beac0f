#include "export/avireader.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"
#include "tests/support/toolrun.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QStandardPaths>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

bool HaveFfmpeg()
{
    return !QStandardPaths::findExecutable("ffmpeg").isEmpty();
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Camera 1, from 09:30:00 to 09:30:09: a solid box moving right along the top, a
// pixelated ellipse bottom left, a blurred box bottom right, all above the stamp; the
// sound muted from 09:30:03 to 09:30:05.
constexpr const char* MASKS = R"({"masks": [
  {"channel": 1, "shape": "rect", "style": "solid", "from": "2024-03-18 09:30:00", "to": "2024-03-18 09:30:09",
   "keys": [{"at": "2024-03-18 09:30:00", "box": [0.05, 0.05, 0.3, 0.3]},
            {"at": "2024-03-18 09:30:09", "box": [0.6, 0.05, 0.3, 0.3]}]},
  {"channel": 1, "shape": "ellipse", "style": "pixelate", "from": "2024-03-18 09:30:00", "to": "2024-03-18 09:30:09",
   "keys": [{"at": "2024-03-18 09:30:00", "box": [0.05, 0.42, 0.4, 0.4]}]},
  {"channel": 1, "shape": "rect", "style": "blur", "from": "2024-03-18 09:30:00", "to": "2024-03-18 09:30:09",
   "keys": [{"at": "2024-03-18 09:30:00", "box": [0.55, 0.42, 0.4, 0.4]}]}],
 "mute": [{"from": "2024-03-18 09:30:03", "to": "2024-03-18 09:30:05"}]})";

constexpr int W = 360, H = 240;
constexpr int JPEG_BLOCK = 8;

// The solid box of second `s` (0..8) in pixels: where it is at both ends of the second.
QRect SolidWithin(int s)
{
    const auto left = [](double t) { return (0.05 + 0.55 * t / 9) * W; };
    return QRect(QPoint(int(std::ceil(left(s + 1))), int(0.05 * H)), QPoint(int(left(s) + 0.3 * W) - 1, int(0.35 * H) - 1));
}

const QRect PIXELATE(int(0.05 * W), int(0.42 * H), int(0.4 * W), int(0.4 * H));
const QRect BLUR(int(0.55 * W), int(0.42 * H), int(0.4 * W), int(0.4 * H));
// Everything the masks reach in the whole export.
const QRect SOLID_REACH = QRect(QPoint(int(0.05 * W), int(0.05 * H)), QPoint(int(0.95 * W), int(0.35 * H)));
const QRect MASKED[] = {SOLID_REACH, PIXELATE, BLUR};

bool Near(QRgb p, QRgb q, int tolerance)
{
    return std::abs(qRed(p) - qRed(q)) <= tolerance && std::abs(qGreen(p) - qGreen(q)) <= tolerance
        && std::abs(qBlue(p) - qBlue(q)) <= tolerance;
}

// The mean distance of the area's grey levels from their mean.
double MeanDeviation(const QImage& image, const QRect& area)
{
    double sum = 0, deviation = 0;
    const int n = area.width() * area.height();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            sum += qGray(image.pixel(x, y));
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            deviation += std::abs(qGray(image.pixel(x, y)) - sum / n);
    return deviation / n;
}

// Of the horizontal differences: the detail a reader would need.
double DetailCorrelation(const QImage& a, const QImage& b, const QRect& area)
{
    double sa = 0, sb = 0, saa = 0, sbb = 0, sab = 0;
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left() + 1; x <= area.right(); ++x, ++n) {
            const double p = qGray(a.pixel(x, y)) - qGray(a.pixel(x - 1, y));
            const double q = qGray(b.pixel(x, y)) - qGray(b.pixel(x - 1, y));
            sa += p, sb += q, saa += p * p, sbb += q * q, sab += p * q;
        }
    const double cov = sab / n - sa / n * sb / n;
    const double va = saa / n - sa / n * sa / n, vb = sbb / n - sb / n * sb / n;
    return va <= 0 || vb <= 0 ? 0 : cov / std::sqrt(va * vb);
}

QList<QImage> AviFrames(const QString& path)
{
    CAviReader reader;
    QList<QImage> frames;
    if (!reader.Open(path.toStdString()))
        return frames;
    std::vector<uint8_t> jpeg;
    for (size_t i = 0; i < reader.m_frames.size() && reader.ReadFrame(i, jpeg); ++i)
        frames << QImage::fromData(jpeg.data(), int(jpeg.size()), "JPG").convertToFormat(QImage::Format_RGB32);
    return frames;
}

// The decoded sound, 16-bit mono at 8,000 samples a second.
QList<int16_t> Sound(const QString& path)
{
    const CToolRun run =
        CToolRun::Of("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a", "-f", "s16le", "-ac", "1", "-ar", "8000", "-"});
    QList<int16_t> samples(run.out.size() / 2);
    std::memcpy(samples.data(), run.out.constData(), size_t(samples.size()) * 2);
    return samples;
}

int Loudest(const QList<int16_t>& samples, double fromSecond, double toSecond)
{
    int loudest = 0;
    for (qsizetype i = qsizetype(fromSecond * 8000); i < qsizetype(toSecond * 8000) && i < samples.size(); ++i)
        loudest = std::max(loudest, std::abs(int(samples[i])));
    return loudest;
}

} // namespace

// `kvxtool export|snapshot --masks`: redacted working copies and stills.
class TestKvxToolMasks : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;
    QString m_strRecording; // 4 cameras with sound, 15 pictures a camera each second, 10 s
    QString m_strMasks;

    QString Out(const char* name) const { return QString::fromStdString(m_files.PathFor(name)); }

    QString WriteMasks(const char* name, const QByteArray& json) const
    {
        const QString path = Out(name);
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(json) == json.size() ? path : QString();
    }

private slots:
    void initTestCase()
    {
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(600, 1.0 / 60);
        recipe.m_timeStart = CDateTime(2024, 3, 18, 9, 30, 0);
        m_strRecording = QString::fromStdString(m_files.Write(recipe));
        m_strMasks = WriteMasks("masks.json", MASKS);
    }

    // In every frame: the solid box grey, the pixelated ellipse in uniform blocks, the
    // blur without the source's detail, and beyond a JPEG block around them the very
    // frame of the unredacted export; the stamp intact; the note lists the masks.
    void aviHidesTheMasksInEveryFrame()
    {
        const QString plainOut = Out("avi-plain"), out = Out("avi-masked");
        QCOMPARE(Kvxtool({"export", m_strRecording, "--channel", "1", "--out", plainOut}).status, 0);
        const CToolRun run
            = Kvxtool({"export", m_strRecording, "--channel", "1", "--masks", m_strMasks, "--json", "--out", out});
        QVERIFY2(run.status == 0, run.err.constData());
        QCOMPARE(run.Json()["avi"].toString(), out + "/01_Capture_redacted.avi");
        for (const char* suffix : {".log", ".txt", ".sha256"})
            QVERIFY(QFile::exists(out + "/01_Capture_redacted" + suffix));
        const QList<QImage> plain = AviFrames(plainOut + "/01_Capture.avi"), masked = AviFrames(out + "/01_Capture_redacted.avi");
        QCOMPARE(masked.size(), plain.size());
        QVERIFY(masked.size() >= 140);
        const int block = (W + 23) / 24;
        for (int i = 0; i < masked.size(); ++i) {
            const QImage &m = masked[i], &p = plain[i];
            const QRect solid =
                SolidWithin(std::min(i / 15, 8)).adjusted(JPEG_BLOCK, JPEG_BLOCK, -JPEG_BLOCK, -JPEG_BLOCK);
            for (int y = solid.top(); y <= solid.bottom(); ++y)
                for (int x = solid.left(); x <= solid.right(); ++x)
                    if (!Near(m.pixel(x, y), 0xFF808080, 10))
                        QFAIL(qPrintable(QString("frame %1: solid pixel %2, %3 is %4").arg(i).arg(x).arg(y).arg(m.pixel(x, y), 0, 16)));
            // Whole blocks well inside the ellipse, less their edges that JPEG rings.
            const QPoint centre = PIXELATE.center();
            for (int by = centre.y() / block - 1; by <= centre.y() / block + 1; ++by)
                for (int bx = centre.x() / block - 2; bx <= centre.x() / block + 2; ++bx) {
                    const double spread = MeanDeviation(m, QRect(bx * block, by * block, block, block).adjusted(3, 3, -3, -3));
                    if (spread > 3)
                        QFAIL(qPrintable(QString("frame %1: pixelate block %2, %3 not uniform: %4").arg(i).arg(bx).arg(by).arg(spread)));
                }
            const double r = DetailCorrelation(m, p, BLUR.adjusted(JPEG_BLOCK, JPEG_BLOCK, -JPEG_BLOCK, -JPEG_BLOCK));
            if (std::abs(r) > 0.2)
                QFAIL(qPrintable(QString("frame %1: the blur correlates %2 with the source").arg(i).arg(r)));
            // Beyond the masks' JPEG blocks: those of the colour, at half resolution, are 16
            // pixels wide, and a changed colour moves a saturated pixel's brightness too.
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x) {
                    const QPoint at(x, y);
                    const auto reached = [&](int margin) {
                        return std::any_of(std::begin(MASKED), std::end(MASKED), [&](const QRect& r) {
                            return r.adjusted(-margin, -margin, margin, margin).contains(at);
                        });
                    };
                    if (!reached(2 * JPEG_BLOCK) && !Near(m.pixel(at), p.pixel(at), 2))
                        QFAIL(qPrintable(QString("frame %1: pixel %2, %3 outside the masks differs: %4 against %5").arg(i).arg(x).arg(y).arg(m.pixel(at), 0, 16).arg(p.pixel(at), 0, 16)));
                }
        }
        const QByteArray note = Read(out + "/01_Capture_redacted.txt");
        QVERIFY(note.contains("MASK         : 1: camera 01, rect, solid, from 2024-03-18 09:30:00 to 2024-03-18 09:30:09\r\n"
                              "  KEY        : 2024-03-18 09:30:00 box x 0.0500 y 0.0500 w 0.3000 h 0.3000\r\n"));
        QVERIFY(note.contains("MASK         : 3: camera 01, rect, blur"));
        QVERIFY(note.contains("MUTE         : sound silenced from 2024-03-18 09:30:03 to 2024-03-18 09:30:05\r\n"));
        QVERIFY(!Read(plainOut + "/01_Capture.txt").contains("MASK"));
    }

    // The MP4's sound is silent over the mute range and only there; its pictures are
    // masked. The decoded sound comes an AAC frame (128 ms) late.
    void mp4MutesItsRangesAndMasks()
    {
        if (!HaveFfmpeg())
            QSKIP("ffmpeg is not installed");
        const QString out = Out("mp4-masked");
        const CToolRun run = Kvxtool({"export", m_strRecording, "--channel", "1", "--format", "mp4", "--masks",
                                      m_strMasks, "--json", "--out", out});
        QVERIFY2(run.status == 0, run.err.constData());
        const QString mp4 = out + "/01_Capture_redacted.mp4";
        QCOMPARE(run.Json()["mp4"].toString(), mp4);
        QCOMPARE(run.Json()["txt"].toString(), out + "/01_Capture_redacted.txt");
        const QList<int16_t> sound = Sound(mp4);
        QVERIFY(sound.size() > 8 * 8000);
        QVERIFY2(Loudest(sound, 3.2, 6.1) < 300, qPrintable(QString::number(Loudest(sound, 3.2, 6.1))));
        QVERIFY(Loudest(sound, 1.2, 3.1) > 3000);
        QVERIFY(Loudest(sound, 6.2, 8.1) > 3000);
        // Frame 75 is the first of 09:30:05.
        const QString frame = out + "/frame.png";
        CToolRun::Of("ffmpeg", {"-v", "error", "-i", mp4, "-vf", "select=eq(n\\,75)", "-vframes", "1", frame});
        const QImage picture = QImage(frame).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(picture.size(), QSize(W, H));
        const QRect solid = SolidWithin(5).adjusted(4, 4, -4, -4);
        for (int y = solid.top(); y <= solid.bottom(); ++y)
            for (int x = solid.left(); x <= solid.right(); ++x)
                QVERIFY2(Near(picture.pixel(x, y), 0xFF808080, 10), qPrintable(QString("%1, %2").arg(x).arg(y)));
    }

    // Each tile of a mosaic is masked by its own camera's masks.
    void mosaicTilesTakeTheirCamerasMasks()
    {
        if (!HaveFfmpeg())
            QSKIP("ffmpeg is not installed");
        const QByteArray json = R"({"masks": [{"channel": 2, "from": "2024-03-18 09:30:00", "to": "2024-03-18 09:30:09",
            "keys": [{"at": "2024-03-18 09:30:00", "box": [0, 0, 0.5, 0.5]}]}]})";
        const QString out = Out("mosaic");
        const CToolRun run = Kvxtool({"export", m_strRecording, "--channel", "all", "--mosaic", "--format", "mp4",
                                      "--masks", WriteMasks("camera2.json", json), "--json", "--out", out});
        QVERIFY2(run.status == 0, run.err.constData());
        QCOMPARE(run.Json()["mp4"].toString(), out + "/Mosaic_Capture_redacted.mp4");
        const QString frame = out + "/frame.png";
        CToolRun::Of("ffmpeg", {"-v", "error", "-i", out + "/Mosaic_Capture_redacted.mp4", "-vf", "select=eq(n\\,40)",
                                "-vframes", "1", frame});
        const QImage mosaic = QImage(frame).convertToFormat(QImage::Format_RGB32);
        QCOMPARE(mosaic.size(), QSize(720, 480));
        int grey = 0, greyElsewhere = 0;
        for (int y = 8; y < 112; ++y)
            for (int x = 8; x < 172; ++x) {
                grey += Near(mosaic.pixel(360 + x, y), 0xFF808080, 10);
                greyElsewhere += Near(mosaic.pixel(x, y), 0xFF808080, 10);
            }
        QCOMPARE(grey, 104 * 164);
        QVERIFY(greyElsewhere < grey / 2);
    }

    void snapshotIsRedacted()
    {
        const QString out = Out("stills");
        const CToolRun run = Kvxtool({"snapshot", m_strRecording, "--channel", "1", "--at", "2024-03-18 09:30:04",
                                      "--masks", m_strMasks, "--json", "--out", out});
        QVERIFY2(run.status == 0, run.err.constData());
        QCOMPARE(run.Json()["file"].toString(), out + "/20240318_093004_redacted.jpg");
        const QImage still = QImage(run.Json()["file"].toString()).convertToFormat(QImage::Format_RGB32);
        const QRect solid = SolidWithin(4);
        const QRect box(solid.left() * 2, solid.top() * 2, solid.width() * 2, solid.height() * 2);
        for (const QPoint at : {box.center(), box.topLeft() + QPoint(8, 8), box.bottomRight() - QPoint(8, 8)})
            QVERIFY2(Near(still.pixel(at), 0xFF808080, 10), qPrintable(QString("%1, %2").arg(at.x()).arg(at.y())));
    }

    // A file with an error, or a mask on a camera not in the recording: exit 2, the
    // file, the entry and the fault named, and nothing made.
    void faultyMaskFilesAreRefused()
    {
        const QByteArray zeroWidth = R"({"masks": [{"channel": 1, "from": "2024-03-18 09:30:00", "to": "2024-03-18 09:30:09",
            "keys": [{"at": "2024-03-18 09:30:00", "box": [0.1, 0.1, 0, 0.2]}]}]})";
        const QByteArray camera5 = R"({"masks": [{"channel": 5, "from": "2024-03-18 09:30:00", "to": "2024-03-18 09:30:09",
            "keys": [{"at": "2024-03-18 09:30:00", "box": [0.1, 0.1, 0.2, 0.2]}]}]})";
        const QString out = Out("refused");
        const QList<std::pair<QString, QString>> cases = {
            {WriteMasks("zero.json", zeroWidth), "masks[0].keys[0].box: w must be > 0"},
            {WriteMasks("camera5.json", camera5), "masks[0].channel: camera 5 is not in the recording (cameras 1 to 4)"},
            {Out("missing.json"), "cannot read it"}};
        for (const auto& [file, fault] : cases) {
            for (const QStringList& args :
                 {QStringList{"export", m_strRecording, "--channel", "1", "--format", "mp4", "--masks", file, "--out", out},
                  QStringList{"snapshot", m_strRecording, "--channel", "1", "--at", "2024-03-18 09:30:04", "--masks",
                              file, "--out", out}}) {
                const CToolRun run = Kvxtool(args);
                QCOMPARE(run.status, 2);
                QVERIFY2(run.err.contains(("kvxtool: --masks " + file + ": " + fault).toUtf8()), run.err.constData());
                QVERIFY(!QDir(out).exists());
            }
        }
    }
};

KVX_REGISTER_TEST(TestKvxToolMasks);
#include "tst_kvxtoolmasks.moc"
