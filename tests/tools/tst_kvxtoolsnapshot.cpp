#include "snapshot/filtercommand.h"
#include "recording/recordingprobe.h"
#include "snapshot/imagefilter.h"
#include "snapshot/snapshotbitmap.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/exiftags.h"
#include "tests/support/testmain.h"
#include "tools/recgen/scenepainter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <filesystem>
#include <unistd.h>

namespace {

struct CRun {
    int status = -1;
    QByteArray out, err;
};

CRun Tool(const QStringList& args)
{
    QProcess process;
    process.start(KVXTOOL_PATH, args);
    if (!process.waitForFinished(60000))
        qFatal("kvxtool did not finish");
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

// The editor's filters and its save, from the command line.
class TestKvxToolSnapshot : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

    QString Path(const char* name) const { return QString::fromStdString(m_files.PathFor(name)); }

private slots:
    // The filters run in the order given, as the editor's buttons run them.
    void filterRunsTheEditorsCommands()
    {
        QImage picture(8, 6, QImage::Format_RGB32);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 8; ++x)
                picture.setPixel(x, y, qRgb(250, x * 30, y * 45));
        const QString in = Path("in.bmp"), out = Path("out.bmp");
        QVERIFY(CSnapshotBitmap::WriteBitmapFile(in.toStdString(), picture));
        const CRun run = Tool({"filter", in, out, "bright", "sharpen", "despeckle", "contrast", "blur", "dark"});
        QCOMPARE(run.status, 0);
        QVERIFY(run.err.isEmpty());

        CBitmapBlock expected = CImageFilter::LoadBitmapFile(in.toStdString());
        for (const char* name : {"bright", "sharpen", "despeckle", "contrast", "blur", "dark"})
            CFilterCommand::FromName(name)->m_pRun(CImageFilter(), expected.Bytes());
        const QByteArray written = Read(out);
        QCOMPARE(written, QByteArray(reinterpret_cast<const char*>(expected.m_pBytes.get()), qsizetype(expected.m_nSize)));
        QCOMPARE(uint8_t(Read(in)[54 + 2]), uint8_t(250));
        QCOMPARE(uint8_t(written[54 + 2]), uint8_t(245)); // 255 after bright, then row 0 stays, 245 after dark
    }

    void filterNeverTakesWhatIsThere()
    {
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(qRgb(10, 20, 30));
        const QString in = Path("keep.bmp"), out = Path("taken.bmp");
        QVERIFY(CSnapshotBitmap::WriteBitmapFile(in.toStdString(), picture));
        const QByteArray original = Read(in);
        Write(out, "mine");
        CRun run = Tool({"filter", in, out, "bright"});
        QCOMPARE(run.status, 1);
        QVERIFY(run.err.contains("--force"));
        QCOMPARE(Read(out), QByteArray("mine"));
        QCOMPARE(Tool({"filter", in, out, "bright", "--force"}).status, 0);
        QCOMPARE(uint8_t(Read(out)[54]), uint8_t(40));

        for (const QString& same : {in, QFileInfo(in).path() + "/./keep.bmp"}) {
            run = Tool({"filter", in, same, "dark", "--force"});
            QCOMPARE(run.status, 1);
            QCOMPARE(Read(in), original);
        }
    }

    void filterRefusesWhatTheEditorWouldNotLoad()
    {
        const QString out = Path("never.bmp");
        for (const QByteArray& bytes : {QByteArray("BM"), QByteArray("MB\x06\x00\x00\x00", 6), QByteArray(60, 'B')}) {
            const QString in = Path("bad.bmp");
            Write(in, bytes);
            const CRun run = Tool({"filter", in, out, "blur"});
            QCOMPARE(run.status, 1);
            QVERIFY(run.err.contains("bad.bmp"));
            QVERIFY(!QFile::exists(out));
        }
        QCOMPARE(Tool({"filter", Path("missing.bmp"), out, "blur"}).status, 1);
        for (const QStringList& args : {QStringList{"filter", "a.bmp", "b.bmp"}, QStringList{"filter", "a.bmp", "b.bmp", "sepia"},
                                        QStringList{"filter", "a.bmp", "b.bmp", "blur", "--fast"}})
            QCOMPARE(Tool(args).status, 2);
    }

    // The picture of camera 5 that forward play shows first at 09:30:03, as the
    // one-camera layout shows it, saved as the editor saves: named after its time.
    void snapshotSavesThePictureAtTheTime()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 128;
        recipe.m_timeStart = CDateTime(2024, 1, 15, 9, 30, 0);
        const QString recording = QString::fromStdString(m_files.Write(recipe));
        const QString folder = Path("shots/nested"); // made when missing
        const QStringList args = {"snapshot", recording, "--channel", "5", "--at", "2024-01-15 09:30:02", "--out", folder, "--json"};
        CRun run = Tool(args);
        QCOMPARE(run.status, 0);
        const QJsonObject o = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(o.keys(), (QStringList{"channel", "file", "height", "time", "width"}));
        QVERIFY(run.out.startsWith("{\"file\":"));
        QCOMPARE(o["file"].toString(), QDir(folder).filePath("20240115_093002.jpg"));
        QCOMPARE(o["time"].toString(), QString("2024-01-15 09:30:02"));
        QCOMPARE(o["channel"].toInt(), 5);
        QCOMPARE(o["width"].toInt(), 720);
        QCOMPARE(o["height"].toInt(), 480);
        const QImage saved(o["file"].toString());
        QCOMPARE(saved.size(), QSize(720, 480));
        const QColor scene = saved.pixelColor(720 * 92 / 100, 480 * 30 / 100);
        const QColor expected = CScenePainter::BackgroundColour(4);
        QVERIFY(std::abs(scene.red() - expected.red()) + std::abs(scene.green() - expected.green())
                    + std::abs(scene.blue() - expected.blue()) < 40);
        const QJsonObject exif = ExifTags(o["file"].toString());
        QCOMPARE(exif["DateTimeOriginal"].toString(), QString("2024:01:15 09:30:02"));
        QCOMPARE(exif["ImageDescription"].toString(),
                 "Camera 05; recording " + QFileInfo(recording).fileName() + "; filters none");

        run = Tool(args);
        QCOMPARE(QJsonDocument::fromJson(run.out).object()["file"].toString(),
                 QDir(folder).filePath("20240115_093002(1).jpg"));
    }

    void snapshotOfAPalRecordingIsFullHeight()
    {
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(16, 0.25);
        recipe.m_nHeight = 288;
        const QString recording = QString::fromStdString(m_files.Write(recipe));
        const CRun run = Tool({"snapshot", recording, "--channel", "2", "--at", "2005-01-01 00:00:00", "--out",
                               Path("pal"), "--json"});
        QCOMPARE(run.status, 0);
        const QJsonObject o = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(o["height"].toInt(), 576);
        QCOMPARE(QImage(o["file"].toString()).size(), QSize(720, 576));
    }

    // A folder whose name is not UTF-8 is written into as named, not into a new one
    // named with U+FFFD.
    void snapshotIntoAFolderAsNamed()
    {
        CRecordingRecipe recipe;
        recipe.m_nChannels = 4;
        recipe.m_nRecords = 32;
        recipe.m_timeStart = CDateTime(2024, 1, 15, 9, 30, 0);
        const QString recording = QString::fromStdString(m_files.Write(recipe));
        const QString folder = Path("as-given");
        QProcess shell;
        shell.start("sh", {"-c", "exec \"$0\" snapshot \"$1\" --channel 2 --at \"2024-01-15 09:30:01\" --out \"$2$(printf '\\351')\"",
                           KVXTOOL_PATH, recording, folder + "/caf"});
        QVERIFY(shell.waitForFinished(60000));
        QCOMPARE(shell.exitCode(), 0);
        const QByteArray latin1 = QFile::encodeName(folder) + "/caf\xE9/20240115_093001.jpg";
        QVERIFY2(shell.readAllStandardOutput().startsWith(latin1 + "  channel 02"), qPrintable(shell.readAllStandardError()));
        QVERIFY(::access(latin1.constData(), F_OK) == 0);
        QVERIFY(::access((QFile::encodeName(folder) + "/caf\uFFFD").constData(), F_OK) != 0);
        std::filesystem::remove_all(QFile::encodeName(folder).toStdString() + "/caf\xE9"); // Qt could not
    }

    void snapshotRefusals()
    {
        const CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(8, 0.25);
        const QString recording = QString::fromStdString(m_files.Write(recipe));
        const QString out = Path("none");
        CRun run = Tool({"snapshot", recording, "--channel", "5", "--at", "2005-01-01 00:00:00", "--out", out});
        QCOMPARE(run.status, 1); // a 4-channel recording has no camera 5
        QCOMPARE(run.err, "kvxtool: " + recording.toUtf8() + ": --channel 5: the recording has cameras 1 to 4\n");
        QCOMPARE(Tool({"snapshot", recording, "--channel", "1", "--at", "2006-01-01 00:00:00", "--out", out}).status, 1);
        const QString garbage = QString::fromStdString(m_files.WriteBytes(std::vector<uint8_t>(70000, 0)));
        run = Tool({"snapshot", garbage, "--channel", "1", "--at", "2005-01-01 00:00:00", "--out", out});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err, QByteArray::fromStdString(UnknownCdMessage(garbage.toStdString(), PROBE_NO_FIRST_HEADER) + "\n"));
        QVERIFY(!QFile::exists(out));
        for (const QStringList& args :
             {QStringList{"snapshot", recording, "--channel", "0", "--at", "2005-01-01 00:00:00"},
              QStringList{"snapshot", recording, "--channel", "17", "--at", "2005-01-01 00:00:00"},
              QStringList{"snapshot", recording, "--channel", "x", "--at", "2005-01-01 00:00:00"},
              QStringList{"snapshot", recording, "--channel", "1", "--at", "2005-01-01"},
              QStringList{"snapshot", recording, "--at", "2005-01-01 00:00:00"},
              QStringList{"snapshot", "--channel", "1", "--at", "2005-01-01 00:00:00"}})
            QCOMPARE(Tool(args).status, 2);
        const CRun help = Tool({"--help"});
        QVERIFY(help.out.contains("filter IN.bmp OUT.bmp OP [OP ...] [--force]"));
        QVERIFY(help.out.contains("snapshot FILE --channel N --at \"YYYY-MM-DD HH:MM:SS\" [--masks FILE] [--out DIR]\n"
                                  "         [--json]"));
    }
};

KVX_REGISTER_TEST(TestKvxToolSnapshot);
#include "tst_kvxtoolsnapshot.moc"
