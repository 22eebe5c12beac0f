#include "tests/support/recordingfixture.h"
#include "tests/support/testfiles.h"
#include "tests/support/testmain.h"
#include "tests/support/toolrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr uint64_t RESERVED = 0x10000;

} // namespace

class TestKvxToolExcerpt : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

    QString OutPath(const char* name) const { return QString::fromStdString(m_files.PathFor(name)); }

    // `kvxtool frames --json` of a recording, each line's offset moved by `shift` and
    // only the lines with offsets in [from, to).
    static QList<QJsonObject> Frames(const QString& path, int64_t shift = 0, uint64_t from = 0,
                                     uint64_t to = UINT64_MAX)
    {
        QList<QJsonObject> out;
        const CToolRun run = Kvxtool({"frames", path, "--json"});
        for (const QByteArray& line : run.out.split('\n')) {
            if (line.isEmpty())
                continue;
            QJsonObject o = QJsonDocument::fromJson(line).object();
            const uint64_t offset = uint64_t(o["offset"].toInteger());
            if (offset < from || offset >= to)
                continue;
            o["offset"] = qint64(offset) + shift;
            out.push_back(o);
        }
        return out;
    }

private slots:
    // The excerpt is the reserved area and the source's bytes from the first record in
    // the range to the end of the last, garbage between them included; it checks with
    // sha256sum -c, and plays what the source plays in the range.
    void copiesTheRangeBitForBit()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 96;
        recipe.m_dSecondsPerRecord = 0.5;
        recipe.m_nGarbageEvery = 7;
        recipe.m_invalidDates = {40};
        const QString source = QString::fromStdString(m_files.Write(recipe));
        const std::vector<CGeneratedRecord> r = m_files.Last().Records();
        // Records 20 and 21 are stamped start + 10 s (19 is 9 s), 60 and 61 start + 30 s
        // (62 is 31 s).
        const QString out = OutPath("incident.kvx");
        const CToolRun run
            = Kvxtool({"excerpt", source, "--from", Iso(r[20].m_time), "--to", Iso(r[61].m_time), "--out", out});
        QCOMPARE(run.status, 0);
        QVERIFY(r[19].m_time != r[20].m_time && r[61].m_time != r[62].m_time);

        const QByteArray src = Contents(source), excerpt = Contents(out);
        const uint64_t start = r[20].m_nOffset, end = RecordEnd(r[61]);
        QCOMPARE(uint64_t(excerpt.size()), RESERVED + end - start);
        QVERIFY(excerpt.left(RESERVED) == src.left(RESERVED));
        QVERIFY(excerpt.mid(RESERVED) == src.mid(qsizetype(start), qsizetype(end - start)));

        const CToolRun check = CToolRun::Of("sh", {"-c", "cd \"$0\" && sha256sum -c incident.kvx.sha256",
                                                   QFileInfo(out).absolutePath()});
        QCOMPARE(check.status, 0);
        QCOMPARE(check.out, QByteArray("incident.kvx: OK\nincident.kvx.txt: OK\n"));
        const QByteArray note = Contents(out + ".txt");
        const CToolRun sum = CToolRun::Of("sha256sum", {source});
        QVERIFY(note.contains("Source SHA-256:   " + sum.out.left(64)));
        QVERIFY(note.contains(QFileInfo(source).absoluteFilePath().toUtf8()));
        QVERIFY(note.contains(QString("then %1 to %2 of the source").arg(start).arg(end - 1).toUtf8()));
        QVERIFY(note.contains("Range asked for:  " + Iso(r[20].m_time).toUtf8()));

        // Forward play of the excerpt shows the source's records of the range, less the
        // last, which forward play never shows.
        const int64_t shift = int64_t(RESERVED) - int64_t(start);
        const QList<QJsonObject> played = Frames(out);
        QCOMPARE(played.size(), 61 - 20 - 1); // record 40 has an impossible date
        QCOMPARE(Frames(out, -shift), Frames(source, 0, start, r[61].m_nOffset));
        const QJsonObject info = QJsonDocument::fromJson(Kvxtool({"info", out, "--json"}).out).object();
        QCOMPARE(info["start"].toString(), Iso(r[20].m_time));
        QCOMPARE(info["end"].toString(), Iso(r[61].m_time));
        QCOMPARE(qulonglong(info["first_sector"].toInteger()), qulonglong(r[20].m_nSector));
    }

    // 4 cameras from 00:00:00 to 00:00:59, the clock set back to 00:00:20 and on to
    // 00:01:19: 00:00:30 to 00:00:40 was recorded twice. Locate names both times round;
    // the excerpt is the one span of the source from the first of them to the end of
    // the second, its note lists both, and a report of it sees the set-back.
    void holdsEveryStretchOfARangeRecordedTwice()
    {
        const QString source = QString::fromStdString(m_files.Write(ClockSetBackRecipe()));
        const std::vector<CGeneratedRecord> r = m_files.Last().Records();
        QCOMPARE(Iso(r[4 * 30].m_time), QString("2005-01-01 00:00:30"));
        QCOMPARE(Iso(r[4 * 70].m_time), QString("2005-01-01 00:00:30"));
        QCOMPARE(Iso(r[4 * 81 - 1].m_time), QString("2005-01-01 00:00:40"));

        const QJsonObject twice = Kvxtool({"locate", source, "--at", "2005-01-01 00:00:35", "--json"}).Json();
        QCOMPARE(twice["offset"].toInteger(), qint64(r[4 * 35].m_nOffset));
        QCOMPARE(twice["ambiguous"].toArray(),
                 (QJsonArray{qint64(r[4 * 35].m_nOffset), qint64(r[4 * 75].m_nOffset)}));
        QCOMPARE(Kvxtool({"locate", source, "--at", "2005-01-01 00:00:10", "--json"}).Json()["ambiguous"].toArray(),
                 QJsonArray());
        const CToolRun person = Kvxtool({"locate", source, "--at", "2005-01-01 00:00:35"});
        QVERIFY2(person.out.contains(QString("Twice:   recorded 2 times (the clock was set back), at offsets %1, %2\n")
                                         .arg(r[4 * 35].m_nOffset).arg(r[4 * 75].m_nOffset).toUtf8()), person.out);

        const QString out = OutPath("twice.kvx");
        const CToolRun run = Kvxtool(
            {"excerpt", source, "--from", "2005-01-01 00:00:30", "--to", "2005-01-01 00:00:40", "--out", out});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains("It holds 2 stretches of the range: the clock was set back"), run.out);
        const uint64_t start = r[4 * 30].m_nOffset, end = RecordEnd(r[4 * 81 - 1]);
        const QByteArray src = Contents(source), excerpt = Contents(out);
        QCOMPARE(uint64_t(excerpt.size()), RESERVED + end - start);
        QVERIFY(excerpt.left(RESERVED) == src.left(RESERVED));
        QVERIFY(excerpt.mid(RESERVED) == src.mid(qsizetype(start), qsizetype(end - start)));

        const QByteArray note = Contents(out + ".txt");
        const QByteArray lines =
            QString("Stretches copied: 2 (the clock was set back: the range was recorded more than once)\n"
                    "    1: 2005-01-01 00:00:30 to 2005-01-01 00:00:40, 44 records, offsets %1 to %2 of the source\n"
                    "    2: 2005-01-01 00:00:30 to 2005-01-01 00:00:40, 44 records, offsets %3 to %4 of the source\n"
                    "Between them:     116 records dated outside the range, copied as they lie\n")
                .arg(start).arg(RecordEnd(r[4 * 41 - 1]) - 1).arg(r[4 * 70].m_nOffset).arg(end - 1)
                .toUtf8();
        QVERIFY2(note.contains(lines), note);
        QVERIFY(note.contains("Records copied:   204, dated 2005-01-01 00:00:30 to 2005-01-01 00:00:40\n"));

        const QJsonObject report = Kvxtool({"report", out, "--json"}).Json();
        QCOMPARE(report["records"].toInt(), 204);
        const QJsonArray jumps = report["clock_jumps"].toArray();
        QCOMPARE(jumps.size(), 1);
        QCOMPARE(jumps[0].toObject()["from"].toString(), QString("2005-01-01 00:00:59"));
        QCOMPARE(jumps[0].toObject()["to"].toString(), QString("2005-01-01 00:00:20"));
        QCOMPARE(jumps[0].toObject()["offset"].toInteger(), qint64(RESERVED + r[4 * 60].m_nOffset - start));
    }

    // A range reaching over either end of the recording takes it from its first record,
    // or to its last, with its audio.
    void rangesAtTheStartAndTheEnd()
    {
        const QString source = QString::fromStdString(m_files.Write(CRecordingRecipe::FourChannelsWithAudio(40, 0.5)));
        const std::vector<CGeneratedRecord> r = m_files.Last().Records();
        const QByteArray src = Contents(source);

        const QString head = OutPath("head.kvx");
        QCOMPARE(Kvxtool({"excerpt", source, "--from", "2000-01-01 00:00:00", "--to", Iso(r[3].m_time), "--out", head})
                     .status,
                 0);
        QCOMPARE(Contents(head), src.left(qsizetype(RecordEnd(r[3]))));

        const QString tail = OutPath("tail.kvx");
        QCOMPARE(Kvxtool({"excerpt", source, "--from", Iso(r[36].m_time), "--to", "2030-01-01 00:00:00", "--out", tail})
                     .status,
                 0);
        QCOMPARE(Contents(tail), src.left(RESERVED) + src.mid(qsizetype(r[36].m_nOffset)));
        const QJsonObject info = QJsonDocument::fromJson(Kvxtool({"info", tail, "--json"}).out).object();
        QCOMPARE(info["audio"].toBool(), true);
        QCOMPARE(info["end"].toString(), Iso(r[39].m_time));
    }

    // Nothing in the range, or a file in the way: exit 1, a reason, and no file written.
    void refusesWithoutWriting()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 64;
        recipe.m_timeShifts = {{32, 600}};
        const QString source = QString::fromStdString(m_files.Write(recipe));
        const std::vector<CGeneratedRecord> r = m_files.Last().Records();
        const QString out = OutPath("gap.kvx");

        const CToolRun gap = Kvxtool({"excerpt", source, "--from", Iso(AfterSeconds(r[31].m_time, 60)), "--to",
                                      Iso(AfterSeconds(r[31].m_time, 120)), "--out", out});
        QCOMPARE(gap.status, 1);
        QVERIFY2(gap.err.contains("no recording between"), gap.err);
        QVERIFY2(gap.err.contains(Iso(r[32].m_time).toUtf8()), gap.err);
        const CToolRun late = Kvxtool(
            {"excerpt", source, "--from", "2030-01-01 00:00:00", "--to", "2030-01-02 00:00:00", "--out", out});
        QCOMPARE(late.status, 1);
        QVERIFY(late.err.contains("no recording at or after"));
        QVERIFY(!QFileInfo::exists(out) && !QFileInfo::exists(out + ".sha256") && !QFileInfo::exists(out + ".txt"));

        QFile taken(out + ".sha256");
        QVERIFY(taken.open(QIODevice::WriteOnly));
        taken.write("mine\n");
        taken.close();
        const CToolRun exists
            = Kvxtool({"excerpt", source, "--from", Iso(r[0].m_time), "--to", Iso(r[5].m_time), "--out", out});
        QCOMPARE(exists.status, 1);
        QVERIFY(exists.err.contains("exists already"));
        QCOMPARE(Contents(out + ".sha256"), QByteArray("mine\n"));
        QVERIFY(!QFileInfo::exists(out));
        QVERIFY(QFile::rename(out + ".sha256", out + ".sha256.sig")); // a signature in the way is kept too
        const CToolRun signatureTaken
            = Kvxtool({"excerpt", source, "--from", Iso(r[0].m_time), "--to", Iso(r[5].m_time), "--out", out});
        QCOMPARE(signatureTaken.status, 1);
        QVERIFY2(signatureTaken.err.contains((out + ".sha256.sig exists already").toUtf8()), signatureTaken.err);
        QCOMPARE(Contents(out + ".sha256.sig"), QByteArray("mine\n"));
        QVERIFY(!QFileInfo::exists(out) && !QFileInfo::exists(out + ".sha256"));

        for (const QStringList& args :
             {QStringList{"excerpt", source, "--from", Iso(r[40].m_time), "--to", Iso(r[0].m_time), "--out", out},
              QStringList{"excerpt", source, "--from", Iso(r[0].m_time), "--out", out},
              QStringList{"excerpt", source, "--from", "yesterday", "--to", Iso(r[0].m_time), "--out", out}})
            QCOMPARE(Kvxtool(args).status, 2);
    }

    // Records that all carry one second would make a recording the probe refuses:
    // such a range is refused, naming the recording, and nothing is made; the same
    // range widened to the next second opens. A sidecar that cannot be written (a
    // name too long beside the excerpt's) takes the excerpt and the other one along.
    void refusesWhatWouldNotOpenOrBeVouchedFor()
    {
        CRecordingRecipe recipe; // 16 records a second
        recipe.m_nRecords = 64;
        const QString source = QString::fromStdString(m_files.Write(recipe));
        const std::vector<CGeneratedRecord> r = m_files.Last().Records();
        QCOMPARE(r[16].m_time.GetSecond(), r[31].m_time.GetSecond());
        const QString out = OutPath("one-second.kvx");
        const CToolRun second
            = Kvxtool({"excerpt", source, "--from", Iso(r[16].m_time), "--to", Iso(r[31].m_time), "--out", out});
        QCOMPARE(second.status, 1);
        QVERIFY2(second.err.startsWith("kvxtool: " + source.toUtf8() + ": every record from "), second.err);
        QVERIFY(!QFileInfo::exists(out) && !QFileInfo::exists(out + ".sha256") && !QFileInfo::exists(out + ".txt"));
        QCOMPARE(
            Kvxtool({"excerpt", source, "--from", Iso(r[16].m_time), "--to", Iso(r[32].m_time), "--out", out}).status,
            0);
        QCOMPARE(Kvxtool({"info", out}).status, 0);

        const QString longName = QFileInfo(out).path() + "/" + QString(250, 'x') + ".kvx"; // 254 bytes; a sidecar's 261
        const CToolRun tooLong
            = Kvxtool({"excerpt", source, "--from", Iso(r[0].m_time), "--to", Iso(r[40].m_time), "--out", longName});
        QCOMPARE(tooLong.status, 1);
        QVERIFY2(tooLong.err.contains((longName + ".txt: File name too long").toUtf8()), tooLong.err);
        QVERIFY(!QFileInfo::exists(longName));
    }

private:
    static CDateTime AfterSeconds(const CDateTime& t, int64_t seconds)
    {
        return DateTimeFromSeconds(DateTimeToSeconds(t) + seconds);
    }
};

KVX_REGISTER_TEST(TestKvxToolExcerpt);
#include "tst_kvxtoolexcerpt.moc"
