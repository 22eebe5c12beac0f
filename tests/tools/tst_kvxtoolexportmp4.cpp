#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"
#include "tests/support/toolrun.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonArray>
#include <QStandardPaths>
#include <QThread>

#include <cmath>
#include <csignal>

namespace {

bool HaveFfmpeg()
{
    return !QStandardPaths::findExecutable("ffprobe").isEmpty() && !QStandardPaths::findExecutable("ffmpeg").isEmpty();
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QDateTime At(const QString& iso)
{
    return QDateTime::fromString(iso, "yyyy-MM-dd HH:mm:ss");
}

// What forward play delivers: each record's time and its picture's channel (from 0).
struct CDelivered {
    QStringList times;
    QList<int> channels;
};

CDelivered Delivered(const QString& recording)
{
    CDelivered delivered;
    for (const QByteArray& line : Kvxtool({"frames", recording, "--json"}).out.split('\n')) {
        const QJsonObject record = QJsonDocument::fromJson(line).object();
        if (record.isEmpty())
            continue;
        delivered.times << record["time"].toString();
        delivered.channels << (record["channel"].isNull() ? -1 : record["channel"].toInt());
    }
    return delivered;
}

// Where the copy should show each picture of `channel`: the k-th of the n pictures of
// a recorder second at that second + k/n, counted from the first record delivered.
QList<double> ExpectedTimes(const CDelivered& d, int channel)
{
    QList<QDateTime> times;
    for (int i = 0; i < d.times.size(); ++i)
        if (d.channels[i] == channel)
            times << At(d.times[i]);
    const QDateTime base = At(d.times.first());
    QList<double> expected;
    for (int first = 0; first < times.size();) {
        int n = 1;
        while (first + n < times.size() && times[first + n] == times[first])
            ++n;
        for (int k = 0; k < n; ++k)
            expected << double(base.secsTo(times[first])) + double(k) / n;
        first += n;
    }
    return expected;
}

// Every stream, each frame decoded and counted, and the container's tags.
QJsonObject Probe(const QString& path)
{
    return CToolRun::Of("ffprobe", {"-v", "error", "-count_frames", "-show_streams", "-show_format", "-of", "json",
                                    path})
        .Json();
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

// A tone's frequency from the sign changes of one second of sound.
double Frequency(const QList<int16_t>& samples, int from)
{
    int changes = 0;
    for (int i = from + 1; i < from + 8000 && i < samples.size(); ++i)
        changes += (samples[i - 1] < 0) != (samples[i] < 0);
    return changes / 2.0;
}

double Psnr(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (const int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                sum += d * d;
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

} // namespace

// `kvxtool export --format mp4`: working copies timed by the recorder's clock.
class TestKvxToolExportMp4 : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;
    QString m_strSound; // 4 cameras with sound, 15 pictures a camera each second

    QString Out(const char* name) const { return QString::fromStdString(m_files.PathFor(name)); }

private slots:
    void initTestCase()
    {
        if (!HaveFfmpeg())
            QSKIP("ffmpeg and ffprobe are not installed");
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(600, 1.0 / 60);
        recipe.m_timeStart = CDateTime(2024, 3, 18, 9, 30, 0);
        m_strSound = QString::fromStdString(m_files.Write(recipe));
    }

    // The copy: H.264 in yuv420p shown at 4:3, one frame per delivered picture, each at
    // its recorder second + k/n; AAC of the camera's own tone; title and creation time;
    // the note names the master; the sums hold; a second copy takes the next name.
    void copyPlaysAtTheRecordersTime()
    {
        const QString out = Out("copy");
        const CToolRun run
            = Kvxtool({"export", m_strSound, "--channel", "2", "--format", "mp4", "--json", "--out", out});
        QVERIFY2(run.status == 0, run.err.constData());
        const QJsonObject json = run.Json();
        QCOMPARE(json["mp4"].toString(), out + "/02_Capture.mp4");
        QCOMPARE(json["txt"].toString(), out + "/02_Capture.txt");
        QCOMPARE(json["audio"].toString(), QString("2"));
        const CDelivered delivered = Delivered(m_strSound);
        const QList<double> expected = ExpectedTimes(delivered, 1);
        QCOMPARE(json["frames"].toInt(), int(expected.size()));

        const QString mp4 = out + "/02_Capture.mp4";
        const QJsonObject probe = Probe(mp4);
        const QJsonObject video = probe["streams"][0].toObject(), audio = probe["streams"][1].toObject();
        QCOMPARE(video["codec_name"].toString(), QString("h264"));
        QCOMPARE(video["pix_fmt"].toString(), QString("yuv420p"));
        QCOMPARE(video["display_aspect_ratio"].toString(), QString("4:3"));
        QCOMPARE(video["nb_read_frames"].toString().toInt(), int(expected.size()));
        QCOMPARE(probe["format"]["tags"]["title"].toString(),
                 "Camera 2, " + QFileInfo(m_strSound).fileName());
        QCOMPARE(probe["format"]["tags"]["creation_time"].toString().left(19),
                 QString(delivered.times.first()).replace(' ', 'T'));
        const QList<double> times = PictureTimes(mp4);
        QCOMPARE(times.size(), expected.size());
        // The sound's encoder primes with 1,024 samples (0.128 s) before the first, and
        // the muxer moves the pictures by as much to stay in step with it.
        const double offset = times[1] - expected[1];
        QVERIFY2(offset >= 0 && offset < 0.2 && times[0] <= offset, qPrintable(QString::number(offset)));
        for (int i = 1; i < times.size(); ++i)
            QVERIFY2(std::abs(times[i] - offset - expected[i]) < 0.002,
                     qPrintable(QString("picture %1 at %2, not %3").arg(i).arg(times[i]).arg(expected[i])));

        QCOMPARE(audio["codec_name"].toString(), QString("aac"));
        QVERIFY(std::abs(audio["duration"].toString().toDouble() - video["duration"].toString().toDouble()) < 1.1);
        const double tone = Frequency(Sound(mp4), 8000 * 3);
        QVERIFY2(tone > 860 && tone < 940, qPrintable(QString::number(tone))); // camera 2's 900 Hz

        const QByteArray note = Read(out + "/02_Capture.txt");
        const QByteArray master = Read(m_strSound);
        QVERIFY(note.contains("it is not the master"));
        QVERIFY(note.contains("MASTER       : " + QFileInfo(m_strSound).absoluteFilePath().toUtf8() + "\r\n"));
        QVERIFY(note.contains(QByteArray::number(master.size()) + " bytes"));
        QVERIFY(note.contains(QCryptographicHash::hash(master, QCryptographicHash::Sha256).toHex()));
        QVERIFY(note.contains("FRAMES       : " + QByteArray::number(expected.size()) + " written"));
        QVERIFY(note.contains("CRF 20"));
        const CToolRun sums = CToolRun::Of("bash", {"-c", "cd '" + out + "' && sha256sum -c 02_Capture.sha256"});
        QCOMPARE(sums.status, 0);
        QCOMPARE(sums.out.count(": OK"), 3); // the copy, the log and the note

        const CToolRun second = Kvxtool({"export", m_strSound, "--channel", "2", "--format", "mp4", "--audio", "none",
                                         "--crf", "30", "--json", "--out", out});
        QCOMPARE(second.Json()["mp4"].toString(), out + "/02_Capture(01).mp4");
        QCOMPARE(Probe(out + "/02_Capture(01).mp4")["streams"].toArray().size(), 1);
    }

    // A gap in the recording stays a gap; a clock set back goes on just after, and the
    // note says so.
    void gapsStayAndAClockSetBackGoesOn()
    {
        CRecordingRecipe recipe;
        recipe.m_nChannels = 4;
        recipe.m_nRecords = 80;
        recipe.m_dSecondsPerRecord = 0.25;
        recipe.m_timeShifts = {{24, 40}, {52, -30}};
        const QString recording = QString::fromStdString(m_files.Write(recipe));
        const QString out = Out("gaps");
        QCOMPARE(Kvxtool({"export", recording, "--channel", "1", "--format", "mp4", "--out", out}).status, 0);
        const QList<double> times = PictureTimes(out + "/01_Capture.mp4");
        QCOMPARE(times.size(), 20);
        QList<double> steps;
        for (int i = 1; i < times.size(); ++i)
            steps << times[i] - times[i - 1];
        QVERIFY(std::all_of(steps.begin(), steps.end(), [](double s) { return s > 0.5; }));
        QCOMPARE(std::count_if(steps.begin(), steps.end(), [](double s) { return s > 30; }), 1);
        QVERIFY(std::abs(*std::max_element(steps.begin(), steps.end()) - 41) < 0.01);
        QVERIFY(Read(out + "/01_Capture.txt").contains("the recorder's clock goes back to 2005/01/01"));
    }

    // Sixteen cameras in the player's 4 x 4 grid: each tile shows its own camera as
    // the player draws it, one frame per delivered picture.
    void mosaicTilesAreTheirCameras()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 64;
        const QString recording = QString::fromStdString(m_files.Write(recipe));
        const QString out = Out("mosaic");
        // The player's picture size unless told otherwise, so the tiles are its tiles.
        const CToolRun run
            = Kvxtool({"export", recording, "--channel", "all", "--mosaic", "--format", "mp4", "--json", "--out", out});
        QVERIFY2(run.status == 0, run.err.constData());
        QCOMPARE(run.Json()["mp4"].toString(), out + "/Mosaic_Capture.mp4");
        const CDelivered delivered = Delivered(recording);
        QCOMPARE(run.Json()["frames"].toInt(), int(delivered.channels.count() - delivered.channels.count(-1)));
        // The sixteenth frame is the first with every tile drawn: the first picture of each.
        const QString frame = out + "/frame.png";
        CToolRun::Of("ffmpeg", {"-v", "error", "-i", out + "/Mosaic_Capture.mp4", "-vf", "select=eq(n\\,15)",
                                "-vframes", "1", frame});
        const QImage mosaic(frame);
        QCOMPARE(mosaic.size(), QSize(720, 480));
        QList<QImage> stills;
        for (int camera = 1; camera <= 16; ++camera) {
            const CToolRun still = Kvxtool({"snapshot", recording, "--channel", QString::number(camera), "--at",
                                            delivered.times.first(), "--out", out + "/stills", "--json"});
            stills << QImage(still.Json()["file"].toString()).scaled(180, 120, Qt::IgnoreAspectRatio,
                                                                     Qt::SmoothTransformation);
        }
        // Above the texts, which the one-camera layout writes larger.
        for (QImage& still : stills)
            still = still.copy(0, 0, 180, 90);
        for (int i = 0; i < 16; ++i) {
            const QImage tile = mosaic.copy(i % 4 * 180, i / 4 * 120, 180, 90);
            const double own = Psnr(tile, stills[i]), next = Psnr(tile, stills[(i + 1) % 16]);
            QVERIFY2(own > 28 && own > next + 6, qPrintable(QString("tile %1: %2 dB, %3 dB").arg(i).arg(own).arg(next)));
        }
    }

    // Killed in the middle, the copy plays its fragments.
    void killedCopyPlaysItsFragments()
    {
        CRecordingRecipe recipe;
        recipe.m_nChannels = 4;
        recipe.m_nRecords = 6000;
        const QString recording = QString::fromStdString(m_files.Write(recipe));
        const QString out = Out("killed");
        QProcess process;
        process.start(KVXTOOL_PATH, {"export", recording, "--channel", "2", "--size", "720x480", "--format", "mp4",
                                     "--out", out});
        QVERIFY(process.waitForStarted());
        const QString mp4 = out + "/02_Capture.mp4";
        QElapsedTimer writing;
        while (process.state() == QProcess::Running && !(writing.isValid() && writing.elapsed() > 1500)) {
            if (!writing.isValid() && QFileInfo(mp4).size() > 2000)
                writing.start();
            QThread::msleep(20);
        }
        QVERIFY2(process.state() == QProcess::Running, "the export ended before it could be killed");
        ::kill(pid_t(process.processId()), SIGKILL);
        process.waitForFinished();
        const QJsonObject probe = Probe(mp4);
        QVERIFY(probe["streams"][0]["nb_read_frames"].toString().toInt() > 0);
        QVERIFY(!QFileInfo::exists(out + "/02_Capture.sha256"));
    }

    // A full disc (a file-size limit) ends the copy with a message naming it, a
    // shorter file that plays, and the note of an incomplete export.
    void fullDiscGivesAShorterCopy()
    {
        CRecordingRecipe recipe;
        recipe.m_nChannels = 4;
        recipe.m_nRecords = 1600;
        const QString recording = QString::fromStdString(m_files.Write(recipe));
        const QString out = Out("full");
        QDir().mkpath(out);
        const CToolRun full = Kvxtool({"export", recording, "--channel", "1", "--size", "720x480", "--format", "mp4",
                                       "--json", "--out", Out("unlimited")});
        const CToolRun run = CToolRun::Of(
            "bash", {"-c", QString("ulimit -f 200; trap '' XFSZ; exec '%1' export '%2' --channel 1 --size 720x480 "
                                   "--format mp4 --out '%3'")
                               .arg(KVXTOOL_PATH, recording, out)});
        QCOMPARE(run.status, 1);
        QVERIFY2(run.err.contains("01_Capture.mp4") && run.err.contains("File too large"), run.err.constData());
        const int frames = Probe(out + "/01_Capture.mp4")["streams"][0]["nb_read_frames"].toString().toInt();
        QVERIFY2(frames > 0 && frames < full.Json()["frames"].toInt(), qPrintable(QString::number(frames)));
        QVERIFY(QFileInfo::exists(out + "/01_Capture.INCOMPLETE.txt"));
    }

    void refusalsWriteNothing()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 32;
        const QString sixteen = QString::fromStdString(m_files.Write(recipe));
        const QString out = Out("refused");
        const QList<QStringList> wrong = {
            {sixteen, "--channel", "1", "--format", "mkv"},
            {sixteen, "--channel", "1", "--format", "mp4", "--crf", "52"},
            {sixteen, "--channel", "1", "--crf", "20"},
            {sixteen, "--channel", "1", "--format", "mp4", "--fps", "10"},
            {sixteen, "--channel", "1", "--format", "mp4", "--audio", "5"},
            {sixteen, "--channel", "1", "--format", "mp4", "--audio", "1"},
            {m_strSound, "--channel", "1", "--audio", "1"},
            {sixteen, "--channel", "1", "--format", "mp4", "--mosaic"},
            {sixteen, "--channel", "1,2", "--mosaic"},
            {sixteen, "--channel", "1", "--size", "720x576"},
            {sixteen, "--channel", "1", "--fps", "fast"},
        };
        for (const QStringList& args : wrong) {
            const CToolRun run = Kvxtool(QStringList{"export"} + args + QStringList{"--out", out});
            QVERIFY2(run.status == 2, qPrintable(args.join(' ')));
            QVERIFY2(run.err.startsWith("kvxtool: "), run.err.constData());
        }
        QVERIFY(QDir(out).entryList(QDir::Files).isEmpty());
    }

    // --fps auto takes the camera's own rate; PAL recordings take PAL sizes; every AVI
    // is shown at 4:3.
    void aviRateSizeAndAspect()
    {
        for (const int perSecond : {3, 15}) {
            CRecordingRecipe recipe;
            recipe.m_nChannels = 4;
            recipe.m_nRecords = 4 * perSecond * 12;
            recipe.m_dSecondsPerRecord = 1.0 / (4 * perSecond);
            const QString recording = QString::fromStdString(m_files.Write(recipe));
            const QString out = Out("auto");
            const CToolRun run
                = Kvxtool({"export", recording, "--channel", "3", "--fps", "auto", "--json", "--out", out});
            QCOMPARE(run.Json()["fps"].toInt(), perSecond);
            const QString avi = run.Json()["avi"].toString();
            QVERIFY(Read(QString(avi).replace(".avi", ".log")).contains(QString::asprintf("FRAME RATE   : %02d Frame", perSecond).toLatin1()));
            const QJsonObject stream = Probe(avi)["streams"][0].toObject();
            QCOMPARE(stream["r_frame_rate"].toString(), QString("%1/1").arg(perSecond));
            QCOMPARE(stream["display_aspect_ratio"].toString(), QString("4:3"));
        }
        CRecordingRecipe pal;
        pal.m_nChannels = 4;
        pal.m_nWidth = 720;
        pal.m_nHeight = 288;
        const QString recording = QString::fromStdString(m_files.Write(pal));
        for (const QString size : {"352x288", "720x576"}) {
            const CToolRun run
                = Kvxtool({"export", recording, "--channel", "1", "--size", size, "--json", "--out", Out("pal")});
            QVERIFY2(run.status == 0, run.err.constData());
            const QJsonObject stream = Probe(run.Json()["avi"].toString())["streams"][0].toObject();
            QCOMPARE(QString("%1x%2").arg(stream["width"].toInt()).arg(stream["height"].toInt()), size);
            QCOMPARE(stream["display_aspect_ratio"].toString(), QString("4:3"));
        }
    }
};

KVX_REGISTER_TEST(TestKvxToolExportMp4);
#include "tst_kvxtoolexportmp4.moc"
