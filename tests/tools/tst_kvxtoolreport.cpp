#include "recording/datetime.h"
#include "recording/recordingprobe.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"
#include "tests/support/toolrun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <map>
#include <set>

namespace {

constexpr uint64_t BLOCK = 512, UNIT = 8192;

struct CStretch {
    uint64_t offset, bytes;
    QString what;
    bool operator==(const CStretch&) const = default;
};

QList<CStretch> Stretches(const QJsonObject& report)
{
    QList<CStretch> out;
    for (const QJsonValue& v : report["damaged"].toArray()) {
        const QJsonObject o = v.toObject();
        out.push_back({uint64_t(o["offset"].toInteger()), uint64_t(o["bytes"].toInteger()), o["what"].toString()});
    }
    return out;
}

// What the report says of the record in front of a finding.
QJsonObject Before(const CGeneratedRecord& r, bool undecodable)
{
    return QJsonObject{{"offset", qint64(r.m_nOffset)}, {"time", Iso(r.m_time)},
                       {"channel", undecodable ? QJsonValue() : QJsonValue(r.m_nChannel + 1)}};
}

// Puts a restart marker no restart interval calls for two thirds of the way into a
// picture (stored pair-exchanged, as all bytes are): its top rows still decode, the
// whole of it does not.
void BreakBelowTopRows(const QString& path, const CGeneratedRecord& r)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek(qint64(r.m_nOffset + BLOCK + (r.m_nJpegBytes * 2 / 3 & ~1u))));
    QCOMPARE(f.write(QByteArray("\xD0\xFF", 2)), qint64(2));
}


} // namespace

class TestKvxToolReport : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

    static QJsonObject Report(const QString& path, QStringList extra = {})
    {
        const CToolRun run = Kvxtool(QStringList{"report", path, "--json"} + extra);
        if (run.status != 0 || run.out.count('\n') != 1)
            qWarning("report: status %d\n%s", run.status, run.err.constData());
        return QJsonDocument::fromJson(run.out).object();
    }

private slots:
    // Every fault the generator can put into a recording is listed at its offset with
    // its size, and nothing else is; the gaps and jumps are those of the stamps.
    void listsEveryFaultAtItsOffsetAndNothingElse()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 120;
        recipe.m_nGarbageEvery = 40;
        recipe.m_invalidDates = {10};
        recipe.m_oversize = {50};
        recipe.m_jpegStarts = {{70, EJpegStart::Unrepairable}};
        recipe.m_timeShifts = {{64, 60}, {96, -30}};
        recipe.m_bCutLastPicture = true;
        const QString path = QString::fromStdString(m_files.Write(recipe));
        const CRecordingGenerator& gen = m_files.Last();
        const std::vector<CGeneratedRecord>& r = gen.Records();
        QCOMPARE(r.size(), size_t(120));

        const QJsonObject report = Report(path);
        const QList<CStretch> expected = {
            {r[10].m_nOffset, r[11].m_nOffset - r[10].m_nOffset, "header with an invalid date"},
            {RecordEnd(r[39]), BLOCK, "no record header"},
            {r[50].m_nOffset, BLOCK + 9 * UNIT, "picture over 8 units"},
            {RecordEnd(r[79]), BLOCK, "no record header"},
            {r[119].m_nOffset, gen.FileLength() - r[119].m_nOffset, "picture cut off"},
        };
        QCOMPARE(Stretches(report), expected);
        QCOMPARE(report["undecodable"].toInt(), 1);
        QCOMPARE(report["audio_blocks"].toInt(), 0);
        QCOMPARE(report["size"].toInteger(), qint64(gen.FileLength()));

        // The records the player can show, in file order: the stamps give the jumps,
        // and per camera the gaps between its decodable pictures.
        std::vector<const CGeneratedRecord*> shown;
        for (size_t i = 0; i < r.size(); ++i)
            if (i != 10 && i != 50 && i != 119)
                shown.push_back(&r[i]);
        QJsonArray jumps;
        for (size_t i = 1; i < shown.size(); ++i) {
            const int64_t step = DateTimeToSeconds(shown[i]->m_time) - DateTimeToSeconds(shown[i - 1]->m_time);
            if (step < 0 || step > 10)
                jumps.push_back(QJsonObject{{"offset", qint64(shown[i]->m_nOffset)},
                                            {"from", Iso(shown[i - 1]->m_time)},
                                            {"to", Iso(shown[i]->m_time)},
                                            {"before", Before(*shown[i - 1], shown[i - 1]->m_nPictureIndex == 70)}});
        }
        QCOMPARE(jumps.size(), 2);
        QCOMPARE(report["clock_jumps"].toArray(), jumps);

        std::map<int, std::vector<const CGeneratedRecord*>> byChannel;
        for (const CGeneratedRecord* s : shown)
            if (s->m_nPictureIndex != 70)
                byChannel[s->m_nChannel].push_back(s);
        const QJsonArray channels = report["channels"].toArray();
        QCOMPARE(channels.size(), 16);
        for (const QJsonValue& v : channels) {
            const QJsonObject c = v.toObject();
            const auto& pictures = byChannel[c["channel"].toInt() - 1];
            QCOMPARE(c["pictures"].toInt(), int(pictures.size()));
            QCOMPARE(c["first"].toString(), Iso(pictures.front()->m_time));
            QCOMPARE(c["last"].toString(), Iso(pictures.back()->m_time));
            QJsonArray gaps;
            for (size_t i = 1; i < pictures.size(); ++i)
                if (DateTimeToSeconds(pictures[i]->m_time) - DateTimeToSeconds(pictures[i - 1]->m_time) > 10)
                    gaps.push_back(QJsonObject{{"from", Iso(pictures[i - 1]->m_time)},
                                               {"to", Iso(pictures[i]->m_time)},
                                               {"offset", qint64(pictures[i]->m_nOffset)},
                                               {"channel", c["channel"].toInt()},
                                               {"before", Before(*pictures[i - 1], false)}});
            QCOMPARE(gaps.size(), 1); // every camera across the jump forward, none across the set-back
            QCOMPARE(c["gaps"].toArray(), gaps);
        }
        QCOMPARE(channels.first().toObject()["channel"].toInt(), 1);
        QCOMPARE(channels.last().toObject()["channel"].toInt(), 16);
    }

    // What a timeline needs of each finding: the record in front of it with its date
    // and camera, each undecodable picture, and the damage joined into runs where no
    // playable record lies between. A picture damaged below its top rows is named with
    // the camera of its bar code; one whose stream cannot even start has none.
    void namesTheRecordBeforeEachFinding()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 120;
        recipe.m_nGarbageEvery = 40;
        recipe.m_invalidDates = {10};
        recipe.m_oversize = {50};
        recipe.m_jpegStarts = {{70, EJpegStart::Unrepairable}, {79, EJpegStart::Unrepairable}};
        recipe.m_timeShifts = {{64, 60}, {96, -30}};
        recipe.m_bCutLastPicture = true;
        const QString path = QString::fromStdString(m_files.Write(recipe));
        const CRecordingGenerator& gen = m_files.Last();
        const std::vector<CGeneratedRecord>& r = gen.Records();
        const CGeneratedRecord& damagedBelow = r[100];
        BreakBelowTopRows(path, damagedBelow);

        const std::set<size_t> undecodable = {70, 79, 100};
        auto before = [&](size_t i) {
            return QJsonObject{{"offset", qint64(r[i].m_nOffset)}, {"time", Iso(r[i].m_time)},
                               {"channel", undecodable.count(i) ? QJsonValue() : QJsonValue(r[i].m_nChannel + 1)}};
        };
        const QJsonObject report = Report(path);

        const QJsonArray damaged = report["damaged"].toArray();
        const QList<std::pair<size_t, qint64>> damagedBefore = {{9, -1}, {39, 1}, {49, 1 + 9 * 16}, {79, 1}, {118, -1}};
        QCOMPARE(damaged.size(), damagedBefore.size());
        for (qsizetype k = 0; k < damaged.size(); ++k) {
            const QJsonObject d = damaged[k].toObject();
            QCOMPARE(d["before"].toObject(), before(damagedBefore[k].first));
            const qint64 bytes = d["bytes"].toInteger();
            QCOMPARE(d["blocks"].toInteger(), (bytes + 511) / 512);
            if (damagedBefore[k].second > 0)
                QCOMPARE(d["blocks"].toInteger(), damagedBefore[k].second);
        }

        // The jumps: 63 to 64 forward, 95 to 96 back.
        const QJsonArray jumps = report["clock_jumps"].toArray();
        QCOMPARE(jumps.size(), 2);
        QCOMPARE(jumps[0].toObject()["before"].toObject(), before(63));
        QCOMPARE(jumps[1].toObject()["before"].toObject(), before(95));

        // Every camera's gap over the jump forward follows its last picture before it.
        for (const QJsonValue& c : report["channels"].toArray()) {
            const int channel = c.toObject()["channel"].toInt();
            const QJsonObject gap = c.toObject()["gaps"].toArray().first().toObject();
            QCOMPARE(gap["channel"].toInt(), channel);
            size_t last = 63;
            while (r[last].m_nChannel + 1 != channel || undecodable.count(last) || last == 50)
                --last;
            QCOMPARE(gap["before"].toObject(), before(last));
            QCOMPARE(gap["from"].toString(), Iso(r[last].m_time));
        }

        QJsonArray pictures;
        for (size_t i : undecodable)
            pictures.push_back(QJsonObject{{"offset", qint64(r[i].m_nOffset)}, {"time", Iso(r[i].m_time)},
                                           {"channel", i == 100 ? QJsonValue(damagedBelow.m_nChannel + 1) : QJsonValue()}});
        QCOMPARE(report["undecodable_pictures"].toArray(), pictures);
        QCOMPARE(report["undecodable"].toInt(), 3);

        // Picture 79 and the garbage block after it are one run; the rest stand alone.
        struct CRun {
            uint64_t offset, end;
            int stretches, pictures;
            size_t before;
        };
        const QList<CRun> expected = {
            {r[10].m_nOffset, r[11].m_nOffset, 1, 0, 9},
            {RecordEnd(r[39]), RecordEnd(r[39]) + BLOCK, 1, 0, 39},
            {r[50].m_nOffset, r[50].m_nOffset + BLOCK + 9 * UNIT, 1, 0, 49},
            {r[70].m_nOffset, RecordEnd(r[70]), 0, 1, 69},
            {r[79].m_nOffset, RecordEnd(r[79]) + BLOCK, 1, 1, 78},
            {r[100].m_nOffset, RecordEnd(r[100]), 0, 1, 99},
            {r[119].m_nOffset, gen.FileLength(), 1, 0, 118},
        };
        const QJsonArray runs = report["damaged_runs"].toArray();
        QCOMPARE(runs.size(), expected.size());
        for (qsizetype k = 0; k < runs.size(); ++k) {
            const QJsonObject run = runs[k].toObject();
            const CRun& e = expected[k];
            QCOMPARE(run["offset"].toInteger(), qint64(e.offset));
            QCOMPARE(run["end"].toInteger(), qint64(e.end));
            QCOMPARE(run["blocks"].toInteger(), qint64((e.end - e.offset + BLOCK - 1) / BLOCK));
            QCOMPARE(run["stretches"].toInt(), e.stretches);
            QCOMPARE(run["undecodable"].toInt(), e.pictures);
            QCOMPARE(run["before"].toObject(), before(e.before));
        }

        // The existing keys keep their order; the new ones follow them.
        const QByteArray text = Kvxtool({"report", path, "--json", "--no-hash"}).out;
        QVERIFY(text.indexOf("\"audio_blocks\"") < text.indexOf("\"undecodable_pictures\""));
        QVERIFY(text.indexOf("\"undecodable_pictures\"") < text.indexOf("\"damaged_runs\""));
        QVERIFY(text.contains("{\"offset\":" + QByteArray::number(qulonglong(r[10].m_nOffset)) + ",\"bytes\":"));
    }

    // The hash is that of every byte of the file, as sha256sum computes it; --no-hash
    // leaves it out, and a longer --gap hides the shorter gaps.
    void hashAndOptions()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 48;
        recipe.m_timeShifts = {{32, 20}};
        const QString path = QString::fromStdString(m_files.Write(recipe));
        const CToolRun sum = CToolRun::Of("sha256sum", {path});
        QCOMPARE(sum.status, 0);
        const QJsonObject report = Report(path);
        QCOMPARE(report["sha256"].toString().toLatin1(), sum.out.left(64));
        QCOMPARE(report["file"].toString(), path);
        QCOMPARE(report["clock_jumps"].toArray().size(), 1);

        const QJsonObject quick = Report(path, {"--no-hash", "--gap", "30"});
        QVERIFY(quick["sha256"].isNull());
        QCOMPARE(quick["clock_jumps"].toArray().size(), 0);
        for (const QJsonValue& c : quick["channels"].toArray())
            QVERIFY(c.toObject()["gaps"].toArray().isEmpty());

        const CToolRun person = Kvxtool({"report", path});
        QCOMPARE(person.status, 0);
        QVERIFY(person.out.contains("SHA-256:       " + sum.out.left(64)));
        QVERIFY(person.out.contains("Camera 16:"));
    }

    // Audio blocks after pictures and in audio-only records are counted; holes are
    // damage; a picture whose end marker is gone is cut off where the next record,
    // which is still read, begins.
    void audioHolesAndPictureCutByTheNextRecord()
    {
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(64, 0.25);
        recipe.m_nAudioOnlyEvery = 5;
        recipe.m_nHoleEvery = 30;
        recipe.m_nHoleBytes = 4 * UNIT;
        const std::string file = m_files.Write(recipe);
        const QString path = QString::fromStdString(file);
        const std::vector<CGeneratedRecord> r = m_files.Last().Records();

        // Remove the end marker of one picture (stored pair-exchanged, as all bytes are).
        const CGeneratedRecord& broken = r[20];
        QVERIFY(broken.m_nPictureIndex >= 0);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        const uint64_t marker = broken.m_nOffset + BLOCK + broken.m_nJpegBytes - 2;
        QVERIFY(f.seek(qint64(marker)));
        QCOMPARE(f.read(2), QByteArray("\xD9\xFF", 2));
        QVERIFY(f.seek(qint64(marker)));
        QCOMPARE(f.write(QByteArray(2, '\0')), qint64(2));
        f.close();

        const QJsonObject report = Report(path);
        QList<CStretch> expected;
        for (size_t i = 1; i < r.size(); ++i) {
            if (&r[i - 1] == &broken)
                expected.push_back({broken.m_nOffset, r[i].m_nOffset - broken.m_nOffset, "picture cut off"});
            else if (RecordEnd(r[i - 1]) < r[i].m_nOffset)
                expected.push_back({RecordEnd(r[i - 1]), r[i].m_nOffset - RecordEnd(r[i - 1]), "no record header"});
        }
        QCOMPARE(expected.size(), 3);
        QCOMPARE(Stretches(report), expected);
        // 64 pictures and 12 audio-only records, each with an audio block, less the cut one.
        QCOMPARE(report["audio_blocks"].toInt(), 64 + 12 - 1);
        QCOMPARE(report["pictures"].toInt(), 63);
        QCOMPARE(report["channels"].toArray().size(), 4);
    }

    void refusalsAndUsage()
    {
        const QString junk = QString::fromStdString(m_files.WriteBytes(std::vector<uint8_t>(70000, 0)));
        const CToolRun refused = Kvxtool({"report", junk, "--json"});
        QCOMPARE(refused.status, 1);
        QCOMPARE(refused.err, QByteArray::fromStdString(UnknownCdMessage(junk.toStdString(), PROBE_NO_FIRST_HEADER) + "\n"));
        QVERIFY(refused.out.isEmpty());
        for (const QStringList& args : {QStringList{"report"}, QStringList{"report", junk, "--gap"},
                                        QStringList{"report", junk, "--gap", "-1"},
                                        QStringList{"report", junk, "--gap", "ten"}, QStringList{"report", junk, "x"}})
            QCOMPARE(Kvxtool(args).status, 2);
    }
};

KVX_REGISTER_TEST(TestKvxToolReport);
#include "tst_kvxtoolreport.moc"
