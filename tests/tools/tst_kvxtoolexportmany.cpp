#include "export/avireader.h"
#include "tests/support/filesizelimit.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"
#include "tests/support/toolrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

CToolRun Tool(const QStringList& args)
{
    return CToolRun::Of(KVXTOOL_PATH, args, 300000);
}

// Every frame of an AVI, as stored.
std::vector<std::vector<uint8_t>> Frames(const QString& avi)
{
    CAviReader reader;
    std::vector<std::vector<uint8_t>> frames;
    if (!reader.Open(avi.toStdString()))
        return frames;
    frames.resize(reader.m_frames.size());
    for (size_t i = 0; i < frames.size(); ++i)
        reader.ReadFrame(i, frames[i]);
    return frames;
}

QList<QJsonObject> JsonLines(const QByteArray& out)
{
    QList<QJsonObject> lines;
    for (const QByteArray& line : out.split('\n'))
        if (!line.isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    return lines;
}

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray LogTime(const CDateTime& t)
{
    return QString::fromStdString(t.ToIsoString()).replace('-', '/').toLatin1();
}

} // namespace

// `kvxtool export` of several cameras in one pass, and of a time range.
class TestKvxToolExportMany : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

    QString Out(const QString& name) const { return QString::fromStdString(m_files.PathFor(name.toUtf8().constData())); }

private slots:
    // Each camera's AVI of an export of all of them holds exactly the frames, byte for
    // byte, of a single-camera export of that camera, with the same log.
    void allCamerasMatchSingleExports()
    {
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(48, 0.25);
        recipe.m_invalidDates = {9};
        recipe.m_jpegStarts = {{14, EJpegStart::Unrepairable}};
        const QString recording = QString::fromStdString(m_files.Write(recipe));
        const QString all = Out("all");
        const CToolRun run = Tool({"export", recording, "--channel", "all", "--out", all, "--json"});
        QCOMPARE(run.status, 0);
        const QList<QJsonObject> lines = JsonLines(run.out);
        QCOMPARE(lines.size(), 4);
        for (int channel = 1; channel <= 4; ++channel) {
            const QJsonObject& line = lines[channel - 1];
            QCOMPARE(line["channel"].toInt(), channel);
            const QString single = Out(QString("single%1").arg(channel));
            const CToolRun one = Tool({"export", recording, "--channel", QString::number(channel), "--out", single, "--json"});
            QCOMPARE(one.status, 0);
            const QString name = QString("/%1_Capture").arg(channel, 2, 10, QChar('0'));
            QCOMPARE(line["avi"].toString(), all + name + ".avi");
            QCOMPARE(line["frames"].toInt(), one.Json()["frames"].toInt());
            const auto frames = Frames(all + name + ".avi");
            QVERIFY(frames.size() >= 10);
            QVERIFY(frames == Frames(single + name + ".avi"));
            QCOMPARE(Read(all + name + ".log"), Read(single + name + ".log"));
            QVERIFY(QFileInfo::exists(all + name + ".sha256"));
        }
    }

    // A list takes each camera once, in order; a second export of the same cameras
    // takes the next names, as a single export does.
    void listOfCameras()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 64;
        const QString recording = QString::fromStdString(m_files.Write(recipe));
        const QString out = Out("list");
        for (const char* suffix : {"", "(01)"}) {
            const CToolRun run = Tool({"export", recording, "--channel", "5,1,5", "--out", out, "--json"});
            QCOMPARE(run.status, 0);
            const QList<QJsonObject> lines = JsonLines(run.out);
            QCOMPARE(lines.size(), 2);
            QCOMPARE(lines[0]["avi"].toString(), out + "/01_Capture" + suffix + ".avi");
            QCOMPARE(lines[1]["avi"].toString(), out + "/05_Capture" + suffix + ".avi");
            QCOMPARE(lines[1]["frames"].toInt(), 4); // camera 5: records 4, 20, 36 and 52
        }
        QCOMPARE(QDir(out).entryList({"*.avi"}).size(), 4);
        for (const char* channel : {"0", "1,,2", "17", "1,x", "", "two"})
            QCOMPARE(Tool({"export", recording, "--channel", channel, "--out", out}).status, 2);
    }

    // Only the records dated in the range are exported; the logs run from the first
    // to the last of them. A range without a record makes no file.
    void rangeOfTime()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 160;
        recipe.m_dSecondsPerRecord = 0.25;
        recipe.m_timeShifts = {{100, 300}};
        const QString recording = QString::fromStdString(m_files.Write(recipe));
        const std::vector<CGeneratedRecord> r = m_files.Last().Records();
        const CDateTime from = r[40].m_time, to = r[99].m_time; // 10 s and 24 s in; 100 is 5 minutes later
        QVERIFY(r[39].m_time != from);
        const QString out = Out("range");
        const CToolRun run = Tool({"export", recording, "--channel", "2,16", "--from", Iso(from), "--to", Iso(to),
                                   "--out", out, "--json"});
        QCOMPARE(run.status, 0);
        const QList<QJsonObject> lines = JsonLines(run.out);
        QCOMPARE(lines.size(), 2);
        int expected[2] = {0, 0}; // cameras 2 and 16
        for (size_t i = 40; i <= 99; ++i) {
            expected[0] += r[i].m_nChannel == 1;
            expected[1] += r[i].m_nChannel == 15;
        }
        QCOMPARE(lines[0]["frames"].toInt(), expected[0]);
        QCOMPARE(lines[1]["frames"].toInt(), expected[1]);
        QCOMPARE(int(Frames(out + "/16_Capture.avi").size()), expected[1]);
        const QByteArray log = Read(out + "/02_Capture.log");
        QVERIFY2(log.startsWith("RECORD START : " + LogTime(from) + " \r\nRECORD END   : " + LogTime(to) + " \r\n"), log);

        const QString none = Out("none");
        const CToolRun gap = Tool({"export", recording, "--channel", "all", "--from", Iso(DateTimeFromSeconds(DateTimeToSeconds(to) + 60)),
                                   "--to", Iso(DateTimeFromSeconds(DateTimeToSeconds(to) + 120)), "--out", none});
        QCOMPARE(gap.status, 1);
        QVERIFY2(gap.err.contains("no recording between"), gap.err);
        QVERIFY(QDir(none).entryList(QDir::Files).isEmpty());
        QCOMPARE(Tool({"export", recording, "--channel", "1", "--from", Iso(to), "--to", Iso(from), "--out", none}).status, 2);
    }

    // A disc that fills up stops the pass: every camera's export ends with its frames
    // so far and says so, naming its file and the reason; none has sums; each has a
    // note with its frames, and its log ends at its last frame.
    void fullDiscCutsEveryCameraShort()
    {
        CRecordingRecipe recipe; // a second a group: camera c's picture k is record 16 k + c, at k seconds
        recipe.m_nRecords = 16 * 40;
        const QString recording = QString::fromStdString(m_files.Write(recipe));
        const std::vector<CGeneratedRecord> r = m_files.Last().Records();
        const QString out = Out("full");
        QVERIFY(QDir().mkpath(out));
        const CToolRun run = CToolRun::Of(KVXTOOL_PATH, {"export", recording, "--channel", "all", "--out", out, "--json"},
                                          300000, [] { CFileSizeLimit::ApplyInChild(64 * 1024); });
        QCOMPARE(run.status, 1);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.contains(": File too large."), run.err);
        for (int channel = 0; channel < 16; ++channel) {
            const QString name = out + QString("/%1_Capture").arg(channel + 1, 2, 10, QChar('0'));
            QVERIFY2(run.err.contains(("kvxtool: The export into " + name + ".avi stopped: ").toUtf8()), qPrintable(name));
            QVERIFY(!QFileInfo::exists(name + ".sha256"));
            const int frames = int(Frames(name + ".avi").size());
            QVERIFY(frames < 39);
            const QByteArray note = Read(name + ".INCOMPLETE.txt");
            QVERIFY2(note.contains(QString("FRAMES       : %1 written").arg(frames).toLatin1()), note);
            const CDateTime last = r[size_t(std::max(0, frames - 1) * 16 + (frames ? channel : 0))].m_time;
            QVERIFY2(Read(name + ".log").contains("RECORD END   : " + LogTime(last) + " \r\n"), qPrintable(name));
        }
    }
};

KVX_REGISTER_TEST(TestKvxToolExportMany);
#include "tst_kvxtoolexportmany.moc"
