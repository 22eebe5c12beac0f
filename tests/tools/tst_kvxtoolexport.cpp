#include "export/avireader.h"
#include "recording/recordingprobe.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <filesystem>
#include <unistd.h>

namespace {

struct CRun {
    int status = -1;
    QByteArray out, err;
    QJsonObject Json() const { return QJsonDocument::fromJson(out).object(); }
};

CRun Run(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(300000))
        qFatal("%s did not finish", qPrintable(program));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

CRun Tool(const QStringList& args)
{
    return Run(KVXTOOL_PATH, args);
}

bool HaveFfprobe()
{
    return !QStandardPaths::findExecutable("ffprobe").isEmpty();
}

// The video stream as ffprobe reads it, every frame decoded and counted.
struct CProbe {
    QJsonObject stream;
    int status = -1;
    int Frames() const { return stream["nb_read_frames"].toString().toInt(); }
};

CProbe Probe(const QString& path)
{
    const CRun run = Run("ffprobe", {"-v", "error", "-count_frames", "-show_streams", "-of", "json", path});
    return {QJsonDocument::fromJson(run.out)["streams"][0].toObject(), run.status};
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// What forward play delivers, as `kvxtool frames` reads it: the records' times and
// the channel of each picture.
struct CDelivered {
    QStringList times;
    QList<int> channels;
    int Count(int channel) const { return int(channels.count(channel)); }
};

CDelivered Delivered(const QString& recording)
{
    CDelivered delivered;
    for (const QByteArray& line : Tool({"frames", recording, "--json"}).out.split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.isEmpty())
            continue;
        delivered.times << record["time"].toString();
        delivered.channels << (record["channel"].isNull() ? -1 : record["channel"].toInt());
    }
    return delivered;
}

// "2024-03-18 14:00:05" as the log writes it.
QByteArray LogTime(const QString& iso)
{
    return QString(iso).replace('-', '/').toLatin1();
}

} // namespace

// `kvxtool export`: the player's recorder over forward play.
class TestKvxToolExport : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;
    QString m_strSixteen;
    QString m_strFour;

    QString Out(const char* name) const { return QString::fromStdString(m_files.PathFor(name)); }

private slots:
    void initTestCase()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 160;
        recipe.m_timeStart = CDateTime(2024, 3, 18, 14, 0, 0);
        recipe.m_dSecondsPerRecord = 0.25;
        m_strSixteen = QString::fromStdString(m_files.Write(recipe));
        CRecordingRecipe four;
        four.m_nChannels = 4;
        four.m_nRecords = 64;
        m_strFour = QString::fromStdString(m_files.Write(four));
    }

    // Every delivered picture of the camera is one frame; the log runs from the first
    // record delivered to the last; a second export takes the next name.
    void exportHoldsEveryPictureOfTheCamera()
    {
        const QString out = Out("exports/nested");
        const CRun run = Tool({"export", m_strSixteen, "--channel", "3", "--json", "--out", out});
        QCOMPARE(run.status, 0);
        const CDelivered delivered = Delivered(m_strSixteen);
        const QJsonObject json = run.Json();
        QCOMPARE(json["avi"].toString(), out + "/03_Capture.avi");
        QCOMPARE(json["log"].toString(), out + "/03_Capture.log");
        QCOMPARE(json["frames"].toInt(), delivered.Count(2));
        QVERIFY(json["frames"].toInt() > 5);
        QCOMPARE(json["channel"].toInt(), 3);
        QCOMPARE(json["fps"].toInt(), 10);
        QCOMPARE(json["width"].toInt(), 360);
        QCOMPARE(json["height"].toInt(), 240);
        const QByteArray log = Read(out + "/03_Capture.log");
        QVERIFY(log.startsWith("RECORD START : " + LogTime(delivered.times.first()) + " \r\n"
                               "RECORD END   : " + LogTime(delivered.times.last()) + " \r\n"
                               "CHANNEL      : 03 \r\n"));
        QVERIFY(QFileInfo::exists(out + "/03_Capture.sha256"));

        const CRun second = Tool({"export", m_strSixteen, "--channel", "3", "--fps", "25", "--size", "720x480",
                                  "--json", "--out", out});
        QCOMPARE(second.status, 0);
        QCOMPARE(second.Json()["avi"].toString(), out + "/03_Capture(01).avi");
        QCOMPARE(second.Json()["frames"].toInt(), json["frames"].toInt());
        CAviReader reader;
        QVERIFY(reader.Open((out + "/03_Capture(01).avi").toStdString()));
        QCOMPARE(reader.m_strh.dwRate, 25u);
        QCOMPARE(reader.m_strf.biWidth, 720);
        QCOMPARE(reader.m_frames.size(), size_t(json["frames"].toInt()));
        for (const AVIOLDINDEXENTRY& entry : reader.m_idx1)
            QCOMPARE(entry.dwFlags & 0x10u, 0u); // frames carry no key-frame flag

        if (!HaveFfprobe())
            QSKIP("ffprobe is not installed");
        const CProbe probe = Probe(out + "/03_Capture.avi");
        QCOMPARE(probe.status, 0);
        QCOMPARE(probe.stream["codec_name"].toString(), QString("mjpeg"));
        QCOMPARE(probe.stream["width"].toInt(), 360);
        QCOMPARE(probe.stream["height"].toInt(), 240);
        QCOMPARE(probe.stream["r_frame_rate"].toString(), QString("10/1"));
        QCOMPARE(probe.Frames(), json["frames"].toInt());
        QCOMPARE(probe.stream["tags"]["title"].toString(), out + "/03_Capture.avi");
    }

    void usageErrorsWriteNothing()
    {
        const QString& fourChannels = m_strFour;
        const QString out = Out("usage");
        const QList<QStringList> wrong = {
            {m_strSixteen, "--channel", "0"},       {m_strSixteen, "--channel", "17"},
            {fourChannels, "--channel", "5"},       {m_strSixteen, "--channel", "1", "--fps", "0"},
            {m_strSixteen, "--channel", "1", "--fps", "61"}, {m_strSixteen, "--channel", "1", "--size", "640x480"},
            {m_strSixteen},                         {m_strSixteen, "--channel", "x"},
        };
        for (const QStringList& args : wrong) {
            const CRun run = Tool(QStringList{"export"} + args + QStringList{"--out", out});
            QVERIFY2(run.status == 2, qPrintable(args.join(' ')));
            QVERIFY(run.err.contains("usage: kvxtool export"));
        }
        QVERIFY(QDir(out).entryList(QDir::Files).isEmpty());
        QVERIFY(Tool({"--help"}).out.contains("export RECORDING --channel N"));
    }

    // A camera the recording does not have is refused, naming the recording; an
    // output folder whose name is not UTF-8 is written into as named, not into a
    // new folder named with U+FFFD.
    void camerasAndFoldersAsGiven()
    {
        const QString& fourChannels = m_strFour;
        const QString out = Out("as-given");
        const CRun beyond = Tool({"export", fourChannels, "--channel", "2,9", "--out", out});
        QCOMPARE(beyond.status, 2);
        QVERIFY2(beyond.err.startsWith("kvxtool: " + fourChannels.toUtf8() + ": --channel 9: the recording has cameras 1 to 4\n"),
                 beyond.err);
        QVERIFY(!QFileInfo::exists(out));

        const QByteArray latin1 = QFile::encodeName(out) + "/caf\xE9";
        const CRun run = Run("sh", {"-c", "exec \"$0\" export \"$1\" --channel 2 --out \"$2$(printf '\\351')\"",
                                    KVXTOOL_PATH, fourChannels, out + "/caf"});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.startsWith(latin1 + "/02_Capture.avi "), run.out);
        for (const char* name : {"/02_Capture.avi", "/02_Capture.log", "/02_Capture.sha256", "/02_Capture.sha256.sig"})
            QVERIFY2(::access((latin1 + name).constData(), F_OK) == 0, name);
        QVERIFY(::access((QFile::encodeName(out) + "/caf\uFFFD").constData(), F_OK) != 0);
        std::filesystem::remove_all(latin1.toStdString()); // Qt could not
    }

    void refusedRecordingLeavesNothing()
    {
        const QString garbage = QString::fromStdString(m_files.WriteBytes(std::vector<uint8_t>(200000, 0x5A)));
        const QString out = Out("refused");
        const CRun run = Tool({"export", garbage, "--channel", "1", "--out", out});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err, QByteArray::fromStdString(UnknownCdMessage(garbage.toStdString(), PROBE_NO_FIRST_HEADER) + "\n"));
        QVERIFY(QDir(out).entryList(QDir::Files).isEmpty());
    }

    // A camera that never shows gives an export without frames that plays all the same.
    void cameraWithoutPicturesGivesAnEmptyExport()
    {
        const QString out = Out("empty");
        const CRun run = Tool({"export", m_strSixteen, "--channel", "16", "--json", "--out", out});
        QCOMPARE(run.status, 0);
        const int expected = Delivered(m_strSixteen).Count(15);
        QCOMPARE(run.Json()["frames"].toInt(), expected);
        CRecordingRecipe lost; // camera 16's pictures are all past repair
        for (int i = 15; i < lost.m_nRecords; i += 16)
            lost.m_jpegStarts[i] = EJpegStart::Unrepairable;
        const QString recording = QString::fromStdString(m_files.Write(lost));
        const CRun none = Tool({"export", recording, "--channel", "16", "--json", "--out", out});
        QCOMPARE(none.status, 0);
        QCOMPARE(none.Json()["frames"].toInt(), 0);
        QVERIFY(Read(none.Json()["log"].toString()).contains("CHANNEL      : 16 \r\n"));
        if (!HaveFfprobe())
            QSKIP("ffprobe is not installed");
        const CProbe probe = Probe(none.Json()["avi"].toString());
        QCOMPARE(probe.status, 0);
        QCOMPARE(probe.stream["codec_name"].toString(), QString("mjpeg"));
        QCOMPARE(probe.Frames(), 0);
    }

    // A full disc (here a file-size limit, writes failing with EFBIG) ends the export
    // with the frames before it in a valid file, its log, and the reason.
    void fullDiscEndsTheExportCleanly()
    {
        if (QStandardPaths::findExecutable("bash").isEmpty())
            QSKIP("bash is not installed");
        const QString out = Out("full");
        QDir().mkpath(out);
        const CRun full = Tool({"export", m_strSixteen, "--channel", "1", "--size", "720x480", "--json", "--out", Out("unlimited")});
        const CRun run = Run("bash", {"-c", QString("ulimit -f 150; trap '' XFSZ; exec '%1' export '%2' --channel 1 "
                                                    "--size 720x480 --out '%3'")
                                                .arg(KVXTOOL_PATH, m_strSixteen, out)});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("01_Capture.avi") && run.err.contains("File too large"), run.err.constData());
        CAviReader reader;
        QVERIFY2(reader.Open((out + "/01_Capture.avi").toStdString()), reader.ErrorText().c_str());
        const int written = int(reader.m_frames.size());
        QVERIFY(written > 0 && written < full.Json()["frames"].toInt());
        QCOMPARE(int(reader.m_idx1.size()), written);
        QVERIFY(Read(out + "/01_Capture.log").startsWith("RECORD START : "));
        if (!HaveFfprobe())
            QSKIP("ffprobe is not installed");
        const CProbe probe = Probe(out + "/01_Capture.avi");
        QCOMPARE(probe.status, 0);
        QCOMPARE(probe.Frames(), written);
    }

    // Killed in the middle, an export keeps what it wrote up to its last second.
    void killedExportKeepsItsFrames()
    {
        if (!HaveFfprobe())
            QSKIP("ffprobe is not installed");
        CRecordingRecipe recipe;
        recipe.m_nChannels = 4;
        recipe.m_nRecords = 6000;
        const QString recording = QString::fromStdString(m_files.Write(recipe));
        const QString out = Out("killed");
        QProcess process;
        process.start(KVXTOOL_PATH, {"export", recording, "--channel", "2", "--size", "720x480", "--out", out});
        QVERIFY(process.waitForStarted());
        const QString avi = out + "/02_Capture.avi";
        QElapsedTimer writing;
        while (process.state() == QProcess::Running && !(writing.isValid() && writing.elapsed() > 1500)) {
            if (!writing.isValid() && QFileInfo(avi).size() > 0)
                writing.start();
            QThread::msleep(20);
        }
        QVERIFY2(process.state() == QProcess::Running, "the export ended before it could be killed");
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished();
        CAviReader reader;
        reader.Open(avi.toStdString());
        const uint32_t declared = reader.m_avih.dwTotalFrames;
        QVERIFY(declared > 0);
        const CProbe probe = Probe(avi);
        QCOMPARE(probe.status, 0);
        QVERIFY2(probe.Frames() >= int(declared), qPrintable(QString("%1 of %2").arg(probe.Frames()).arg(declared)));
        QVERIFY(!QFileInfo::exists(out + "/02_Capture.log"));
    }
};

KVX_REGISTER_TEST(TestKvxToolExport);
#include "tst_kvxtoolexport.moc"
