#include "evidence/activityindexbuilder.h"
#include "platform/sha256.h"
#include "tests/support/activitytruth.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>

namespace {

// Forty seconds of four cameras and one box: enough pictures that a build cancelled at
// its first progress report stops well before the end, few enough that the cases which
// only look at the cache and at the builder's threads stay quick under ThreadSanitizer.
CRecordingRecipe SmallRecipe()
{
    CRecordingRecipe r;
    r.m_nChannels = 4;
    r.m_nRecords = 640;
    r.m_dSecondsPerRecord = 1.0 / 16;
    r.m_bStillScene = true;
    r.m_nNoise = 6;
    r.m_boxes = {MovingBox(2, 10, 20)};
    return r;
}

struct CIndexedRecording {
    std::string m_strPath;
    CRecordingFacts m_facts;
    CActivityIndex m_index; // built once, in the foreground, without a cache
};

} // namespace

// The activity index against recordings whose activity is known: what it finds, what
// it must not take for activity, the cache it keeps and its building in the background.
class TestActivityIndex : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;
    CIndexedRecording m_known; // the truth's recipe
    std::vector<CTrueStretch> m_truth;
    CIndexedRecording m_small;

    static CActivityIndexRequest Request(const CIndexedRecording& recording, const QString& cacheFolder = {})
    {
        CActivityIndexRequest request;
        request.m_strPath = recording.m_strPath;
        request.m_facts = recording.m_facts;
        request.m_bUseCache = !cacheFolder.isEmpty();
        request.m_strCacheFolder = cacheFolder;
        return request;
    }

    static CActivityQuery Query(std::vector<int> channels, CActivityRegion region = {})
    {
        CActivityQuery query;
        query.m_channels = std::move(channels);
        query.m_region = region;
        return query;
    }

    static CActivityIndexOutcome Obtain(const CActivityIndexRequest& request, CActivityIndex& index)
    {
        CSharedActivityIndex shared(request.m_facts.m_nChannelCount);
        const CActivityIndexOutcome outcome = ObtainActivityIndex(request, shared);
        index = shared.Snapshot();
        return outcome;
    }

    static QByteArray Read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void Write(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    void Index(CIndexedRecording& recording, const CRecordingRecipe& recipe)
    {
        recording.m_strPath = m_files.Write(recipe);
        CTestProbeView view;
        QVERIFY(CRecordingProbe(recording.m_facts, view).ProbeRecording(recording.m_strPath));
        QCOMPARE(Obtain(Request(recording), recording.m_index).m_scan.m_result, EActivityScan::Complete);
    }

    // A cache file's trailing sum made to fit its changed contents again.
    static QByteArray Resummed(QByteArray bytes)
    {
        constexpr int SUM = 64;
        CSha256 sum;
        sum.Add(bytes.constData(), size_t(bytes.size() - SUM));
        bytes.replace(bytes.size() - SUM, SUM, QByteArray::fromStdString(sum.HexDigest()));
        return bytes;
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        Index(m_small, SmallRecipe());
        QVERIFY(m_small.m_index.PictureCount() > 0);
        Index(m_known, ActivityTruthRecipe()); // last: the fixture's Last() is its generator
        m_truth = TrueStretches(m_files.Last());
    }

    // Every picture forward play shows is in the index once, under its camera, in
    // file order. Forward play ends a record before the last one.
    void keepsEveryPictureOnce()
    {
        const std::vector<CGeneratedRecord> records = m_files.Last().PictureRecords();
        QCOMPARE(m_known.m_index.PictureCount(), uint64_t(records.size() - 1));
        for (int channel = 0; channel < 4; ++channel) {
            const std::vector<CActivityPicture>& pictures = m_known.m_index.Pictures(channel);
            QVERIFY(std::is_sorted(pictures.begin(), pictures.end(),
                                   [](const auto& a, const auto& b) { return a.m_nOffset < b.m_nOffset; }));
            for (const CActivityPicture& p : pictures)
                QCOMPARE(int(p.m_nChannel), channel);
        }
    }

    // At the default sensitivity over the whole picture: the boxes are found with their
    // ends within a second, and the noise, the clock, the light, the gap and the clock
    // set back add nothing and cut each crossing they fall into.
    void findsTheKnownActivity()
    {
        const std::vector<CActivityStretch> found = m_known.m_index.Find(Query({0, 1, 2, 3}));
        const CActivityScore score = ScoreStretches(m_truth, found);
        qInfo("recall %.3f (%d of %d), precision %.3f (%d found)", score.m_dRecall, score.m_nMatched,
              score.m_nTrue, score.m_dPrecision, score.m_nFound);
        QCOMPARE(m_truth.size(), size_t(9)); // the gap and the set-back each cut a crossing in two
        QVERIFY(score.m_dRecall >= 0.95);
        QVERIFY(score.m_dPrecision >= 0.9);
    }

    void aRegionFindsOnlyWhatCrossesIt()
    {
        const CActivityRegion away{0.7, 0.55, 0.25, 0.25};
        QVERIFY(m_known.m_index.Find(Query({0}, away)).empty());
        const CActivityRegion onPath{0.3, 0.55, 0.1, 0.2};
        const std::vector<CActivityStretch> found = m_known.m_index.Find(Query({0}, onPath));
        QCOMPARE(found.size(), size_t(3));
        for (const CActivityStretch& s : found)
            QVERIFY(s.m_dPeak > 0 && s.m_dPeak <= 1);
    }

    // The clock changes every second: left out of the whole picture, found when asked for.
    void restlessCellsCountOnlyWhenDrawnOver()
    {
        const std::array<bool, CActivityPicture::CELLS> restless = m_known.m_index.RestlessCells(1);
        QVERIFY(std::count(restless.begin(), restless.end(), true) > 0);
        const CActivityRegion clock{0.3, 0.35, 0.4, 0.1};
        QVERIFY(m_known.m_index.Find(Query({1}, clock)).size() > 20);
        QCOMPARE(m_known.m_index.Find(Query({1})).size(), size_t(1));
    }

    // The step of the light is marked on the pictures it falls on, in every camera, and
    // is no activity of its own.
    void marksTheLightAsGlobal()
    {
        for (int channel = 0; channel < 4; ++channel) {
            int global = 0;
            for (const CActivityPicture& p : m_known.m_index.Pictures(channel))
                global += (p.m_nFlags & CActivityPicture::GLOBAL_CHANGE) != 0;
            QCOMPARE(global, 1);
        }
    }

    void sensitivityAndJoinShapeTheStretches()
    {
        CActivityQuery loose = Query({0});
        loose.m_nJoinSeconds = 60;
        QCOMPARE(m_known.m_index.Find(loose).size(), size_t(2)); // 20-30 and 60-66 join; the gap keeps 120-130 apart
        CActivityQuery dull = Query({0});
        dull.m_nSensitivity = 1;
        QVERIFY(m_known.m_index.Find(dull).size() <= m_known.m_index.Find(Query({0})).size());
        QCOMPARE(CellsNeeded(192, 10), 1);
        QVERIFY(CellsNeeded(192, 1) > CellsNeeded(192, 5));
        const CActivityRegion pastTheEdge{0.5, 0.5, 0.6, 0.2};
        QVERIFY(!pastTheEdge.IsValid());
        QVERIFY(m_known.m_index.Find(Query({0}, pastTheEdge)).empty());
    }

    // Miss, then hit; a file of another version, a damaged one and one of another
    // recording are each thrown away and built anew, never used.
    void cacheIsUsedOnlyWhenItFits()
    {
        const QTemporaryDir folder;
        CActivityIndex index;
        CActivityIndexOutcome outcome = Obtain(Request(m_small, folder.path()), index);
        QVERIFY(!outcome.m_bFromCache);
        QVERIFY(outcome.m_notes.empty());
        QVERIFY(index == m_small.m_index);
        outcome = Obtain(Request(m_small, folder.path()), index);
        QVERIFY(outcome.m_bFromCache);
        QVERIFY(index == m_small.m_index);

        std::string error;
        const CRecordingIdentity key = *CRecordingIdentity::Of(m_small.m_strPath, error);
        const QString file = CActivityCache(folder.path()).PathFor(key);
        const QByteArray good = Read(file);
        QByteArray otherVersion = good;
        otherVersion[8] = char(CActivityCache::FORMAT_VERSION + 1);
        QByteArray damaged = good;
        damaged[good.size() / 2] = char(damaged[good.size() / 2] ^ 0x40);
        QByteArray foreign = good;
        foreign[20] = char(foreign[20] ^ 1); // the key inside names another recording
        const std::pair<QByteArray, const char*> cases[] = {
            {Resummed(otherVersion), "version"}, {damaged, "damaged"}, {Resummed(foreign), "foreign"}};
        for (const auto& [bytes, word] : cases) {
            Write(file, bytes);
            outcome = Obtain(Request(m_small, folder.path()), index);
            QVERIFY2(!outcome.m_bFromCache, word);
            QCOMPARE(outcome.m_notes.size(), size_t(1));
            QVERIFY2(outcome.m_notes[0].find(word) != std::string::npos, outcome.m_notes[0].c_str());
            QVERIFY(index == m_small.m_index);
            QCOMPARE(Read(file), good); // and the sound one takes its place
        }
    }

    // A cache folder that cannot be made (a file stands in its way): the search works,
    // and says that nothing was kept.
    void worksWithoutAWritableCache()
    {
        const QTemporaryDir folder;
        Write(folder.filePath("blocked"), "not a folder");
        CActivityIndex index;
        const CActivityIndexOutcome outcome = Obtain(Request(m_small, folder.filePath("blocked/activity")), index);
        QCOMPARE(outcome.m_scan.m_result, EActivityScan::Complete);
        QCOMPARE(outcome.m_notes.size(), size_t(1));
        QVERIFY(outcome.m_notes[0].find("not cached") != std::string::npos);
        QVERIFY(index == m_small.m_index);
    }

    // In the background: searched while it grows, then the same index as in the
    // foreground; cancelled, it stops and says so.
    void buildsInTheBackground()
    {
        std::atomic<int> progressCalls{0};
        std::atomic<bool> done{false};
        CActivityIndexOutcome outcome;
        {
            CActivityIndexBuilder builder(Request(m_small));
            builder.Start([&](uint64_t, uint64_t) { ++progressCalls; },
                          [&](const CActivityIndexOutcome& o) {
                              outcome = o;
                              done = true;
                          });
            size_t searches = 0;
            while (!builder.IsDone()) {
                builder.Index().Find(Query({0, 1, 2, 3}));
                ++searches;
                QThread::msleep(2);
            }
            QVERIFY(searches > 0);
            QVERIFY(builder.Index().Snapshot() == m_small.m_index);
        }
        QVERIFY(done);
        QCOMPARE(outcome.m_scan.m_result, EActivityScan::Complete);
        QVERIFY(progressCalls > 1);

        CActivityIndexBuilder cancelled(Request(m_small));
        std::atomic<bool> stopped{false};
        cancelled.Start([&](uint64_t, uint64_t) { cancelled.Cancel(); },
                        [&](const CActivityIndexOutcome& o) {
                            outcome = o;
                            stopped = true;
                        });
        QTRY_VERIFY(stopped.load());
        QCOMPARE(outcome.m_scan.m_result, EActivityScan::Cancelled);
        QVERIFY(cancelled.Index().PictureCount() < m_small.m_index.PictureCount());
    }
};

KVX_REGISTER_TEST(TestActivityIndex);
#include "tst_activityindex.moc"
