#include "tests/support/activitytruth.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"
#include "tests/support/toolrun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QTemporaryDir>

// kvxtool activity as a user runs it: the stretches of the known truth, its output
// contract, its cache under XDG_CACHE_HOME and every refused argument named.
class TestKvxToolActivity : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;
    QString m_strPath;
    std::vector<CTrueStretch> m_truth;
    QTemporaryDir m_cacheHome;

    CToolRun Activity(const QStringList& extra) const { return Kvxtool(QStringList{"activity", m_strPath} + extra); }

    QStringList CacheFiles() const
    {
        return QDir(m_cacheHome.filePath("KVXPlayer/activity")).entryList(QDir::Files);
    }

    static std::vector<CActivityStretch> Stretches(const QJsonObject& json, int channel)
    {
        std::vector<CActivityStretch> out;
        for (const QJsonValue& v : json["segments"].toArray()) {
            const QJsonObject o = v.toObject();
            out.push_back({channel, CDateTime::FromIsoString(o["from"].toString().toStdString()),
                           CDateTime::FromIsoString(o["to"].toString().toStdString()),
                           uint64_t(o["offset"].toInteger()), o["peak"].toDouble()});
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_cacheHome.isValid());
        qputenv("XDG_CACHE_HOME", m_cacheHome.path().toLocal8Bit());
        m_strPath = QString::fromStdString(m_files.Write(ActivityTruthRecipe()));
        m_truth = TrueStretches(m_files.Last());
    }

    // Camera by camera, the JSON object of the contract, and the stretches of the truth.
    void findsTheKnownStretches()
    {
        std::vector<CActivityStretch> found;
        uint64_t pictures = 0;
        for (int camera = 1; camera <= 4; ++camera) {
            const CToolRun run = Activity({"--channel", QString::number(camera), "--json"});
            QCOMPARE(run.status, 0);
            const QJsonObject json = run.Json();
            QCOMPARE(json.keys(), (QStringList{"channel", "pictures", "region", "segments"}));
            QCOMPARE(json["channel"].toInt(), camera);
            QCOMPARE(json["region"].toArray(), (QJsonArray{0, 0, 1, 1}));
            pictures += uint64_t(json["pictures"].toInteger());
            for (const QJsonValue& v : json["segments"].toArray()) {
                QCOMPARE(v.toObject().keys(), (QStringList{"from", "offset", "peak", "to"}));
                QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(v["from"].toString()).hasMatch());
            }
            const std::vector<CActivityStretch> stretches = Stretches(json, camera - 1);
            found.insert(found.end(), stretches.begin(), stretches.end());
        }
        QCOMPARE(pictures, uint64_t(m_files.Last().PictureRecords().size() - 1)); // forward play ends before the last
        const CActivityScore score = ScoreStretches(m_truth, found);
        QVERIFY(score.m_dRecall >= 0.95);
        QVERIFY(score.m_dPrecision >= 0.9);
    }

    // One line a stretch, the same as the JSON's; a region away from the box: nothing.
    void printsOneLineAStretch()
    {
        const CToolRun json = Activity({"--channel", "1", "--json", "--region", "0.3,0.55,0.1,0.2"});
        const CToolRun text = Activity({"--channel", "1", "--region", "0.3,0.55,0.1,0.2"});
        QCOMPARE(text.status, 0);
        const QJsonArray segments = json.Json()["segments"].toArray();
        QCOMPARE(segments.size(), 3);
        QCOMPARE(text.out.count('\n'), segments.size());
        const QString first = QString::fromUtf8(text.out.split('\n').first());
        QVERIFY(first.startsWith(segments[0]["from"].toString() + " to " + segments[0]["to"].toString()));
        QVERIFY(first.contains(QString("offset %1").arg(segments[0]["offset"].toInteger())));

        const CToolRun away = Activity({"--channel", "1", "--region", "0.7,0.55,0.25,0.25"});
        QCOMPARE(away.status, 0);
        QVERIFY(away.out.isEmpty());
        const CToolRun awayJson = Activity({"--channel", "1", "--json", "--region", "0.7,0.55,0.25,0.25"});
        QCOMPARE(awayJson.Json()["segments"].toArray().size(), 0);
        QCOMPARE(awayJson.Json()["region"].toArray(), (QJsonArray{0.7, 0.55, 0.25, 0.25}));
    }

    // The first run fills the cache in XDG_CACHE_HOME, later runs use it and say the
    // same; --no-cache neither reads nor writes it.
    void keepsItsIndexInTheUsersCache()
    {
        for (const QString& name : CacheFiles())
            QFile::remove(m_cacheHome.filePath("KVXPlayer/activity/" + name));
        const CToolRun bypassed = Activity({"--channel", "2", "--json", "--no-cache"});
        QCOMPARE(bypassed.status, 0);
        QVERIFY(CacheFiles().isEmpty());
        const CToolRun filled = Activity({"--channel", "2", "--json"});
        QCOMPARE(CacheFiles().size(), 1);
        const CToolRun used = Activity({"--channel", "2", "--json"});
        QCOMPARE(filled.out, bypassed.out);
        QCOMPARE(used.out, bypassed.out);
        QVERIFY(used.err.isEmpty());
        QVERIFY(!QFileInfo::exists(m_strPath + ".kvxact")); // never beside the recording
    }

    // A cache folder that cannot be made: the same answer, and a word on standard error.
    void answersWithoutAWritableCache()
    {
        const QTemporaryDir home;
        QFile blocker(home.filePath("KVXPlayer"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        const CToolRun cached = Activity({"--channel", "4", "--json"});
        qputenv("XDG_CACHE_HOME", home.path().toLocal8Bit());
        const CToolRun run = Activity({"--channel", "4", "--json"});
        qputenv("XDG_CACHE_HOME", m_cacheHome.path().toLocal8Bit());
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, cached.out);
        QVERIFY2(run.err.contains("not cached"), run.err.constData());
    }

    // A picture past repair is left out, and the user is told, from the cache as well.
    void saysWhatItCouldNotSearch()
    {
        CRecordingRecipe recipe;
        recipe.m_jpegStarts = {{5, EJpegStart::Unrepairable}};
        const QString path = QString::fromStdString(m_files.Write(recipe));
        for (int run = 0; run < 2; ++run) {
            const CToolRun result = Kvxtool({"activity", path, "--channel", "6", "--json"});
            QCOMPARE(result.status, 0);
            QVERIFY2(result.err.endsWith("pictures that do not decode, not searched: 1\n"), result.err.constData());
            QCOMPARE(result.Json()["pictures"].toInt(), 3); // of its four, all but the one past repair
        }
    }

    void refusesWhatIsNotARecording()
    {
        const std::string junk = m_files.WriteBytes(std::vector<uint8_t>(300000, 0x11));
        const CToolRun run = Kvxtool({"activity", QString::fromStdString(junk), "--channel", "1"});
        QCOMPARE(run.status, 1);
        QVERIFY(run.out.isEmpty());
        QVERIFY(!run.err.isEmpty());
    }

    void namesEveryRefusedArgument_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("named");
        QTest::newRow("no camera") << QStringList{} << "kvxtool: --channel: ";
        QTest::newRow("camera 0") << QStringList{"--channel", "0"} << "kvxtool: --channel 0: ";
        QTest::newRow("camera 17") << QStringList{"--channel", "17"} << "kvxtool: --channel 17: ";
        QTest::newRow("camera 5 of 4") << QStringList{"--channel", "5"} << "kvxtool: --channel 5: the recording has 4";
        QTest::newRow("region of three") << QStringList{"--channel", "1", "--region", "0,0,1"}
                                         << "kvxtool: --region 0,0,1: ";
        QTest::newRow("region outside") << QStringList{"--channel", "1", "--region", "0.5,0,0.6,1"}
                                        << "kvxtool: --region 0.5,0,0.6,1: ";
        QTest::newRow("region empty") << QStringList{"--channel", "1", "--region", "0,0,0,1"}
                                      << "kvxtool: --region 0,0,0,1: ";
        QTest::newRow("region words") << QStringList{"--channel", "1", "--region", "a,b,c,d"}
                                      << "kvxtool: --region a,b,c,d: ";
        QTest::newRow("sensitivity 11") << QStringList{"--channel", "1", "--sensitivity", "11"}
                                        << "kvxtool: --sensitivity 11: ";
        QTest::newRow("join -1") << QStringList{"--channel", "1", "--join", "-1"} << "kvxtool: --join -1: ";
        QTest::newRow("unknown") << QStringList{"--channel", "1", "--fast"} << "kvxtool: --fast: ";
    }

    void namesEveryRefusedArgument()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, named);
        const CToolRun run = Activity(args);
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.startsWith(named.toUtf8()), run.err.constData());
        QVERIFY(run.err.contains("usage: kvxtool activity RECORDING --channel N"));
        QVERIFY(run.out.isEmpty());
    }
};

KVX_REGISTER_TEST(TestKvxToolActivity);
#include "tst_kvxtoolactivity.moc"
