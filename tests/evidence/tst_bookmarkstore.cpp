// The bookmark store: kept in the user's data folder under the recording's identity,
// never beside the recording; every change saved whole; a damaged file set aside and
// named, never dropped.

#include "evidence/activitycache.h"
#include "evidence/bookmarkstore.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testfiles.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <filesystem>

namespace {

CDateTime At(const char* text)
{
    return CDateTime::FromIsoString(text);
}

std::vector<uint8_t> Bytes(size_t size, uint8_t seed)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 131 + seed);
    return bytes;
}

} // namespace

class TestBookmarkStore : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

    std::string Recording(size_t size = 3 << 20, uint8_t seed = 1) { return m_files.WriteBytes(Bytes(size, seed)); }

private slots:
    // The run's data folder is shared by the areas' other tests: their recordings
    // may be these bytes too.
    void cleanupTestCase()
    {
        QDir(CBookmarkStore::DefaultFolder()).removeRecursively();
    }
    // The identity reads only the ends: a change in the middle of a big file keeps
    // it, a change at either end or of the size does not; the activity cache files
    // its indexes under the same key.
    void identityIsSizeAndEnds()
    {
        std::vector<uint8_t> bytes = Bytes(3 << 20, 7);
        std::string error;
        const auto original = CRecordingIdentity::Of(m_files.WriteBytes(bytes), error);
        QVERIFY(original);
        QCOMPARE(original->Key().size(), std::to_string(bytes.size()).size() + 1 + 64);
        bytes[bytes.size() / 2] ^= 1;
        QCOMPARE(*CRecordingIdentity::Of(m_files.WriteBytes(bytes), error), *original);
        for (size_t at : {size_t(0), bytes.size() - 1}) {
            std::vector<uint8_t> changed = bytes;
            changed[at] ^= 1;
            QVERIFY(!(*CRecordingIdentity::Of(m_files.WriteBytes(changed), error) == *original));
        }
        bytes.push_back(0);
        QVERIFY(!(*CRecordingIdentity::Of(m_files.WriteBytes(bytes), error) == *original));
        QVERIFY(!CRecordingIdentity::Of(m_files.PathFor("missing.kvx"), error));
        QVERIFY(error.find("missing.kvx") != std::string::npos);
        const QString cacheFile = CActivityCache("/cache").PathFor(*original);
        QCOMPARE(cacheFile, "/cache/" + QString::fromStdString(original->Key()) + ".kvxact");
    }

    // Added, edited and removed in one store, they are what another store reads later,
    // in file order, from the user's data folder; a copy of the recording elsewhere
    // under another name has them too, and nothing is written beside either.
    void survivesAndFollowsTheRecording()
    {
        const std::string path = Recording();
        const QString folder = QFileInfo(QString::fromStdString(path)).absolutePath();
        const QStringList before = Entries(folder);
        {
            CBookmarkStore store;
            std::string message;
            QVERIFY(store.Load(path, message));
            QVERIFY(message.empty());
            QVERIFY(store.FilePath().startsWith(
                QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/KVXPlayer/bookmarks/"));
            std::string error;
            QVERIFY(store.Add({900000, At("2024-03-18 14:01:10"), 2, "van leaves"}, error));
            QVERIFY(store.Add({70000, At("2024-03-18 14:00:05"), 0, ""}, error));
            QVERIFY(store.Add({500000, At("2024-03-18 14:00:40"), 1, "délai"}, error));
            QVERIFY(store.SetNote(0, "first picture", error));
            QVERIFY(store.Remove(1, error));
            QVERIFY(!store.Remove(5, error));
            QVERIFY(error.find("no bookmark 6") != std::string::npos);
        }
        QCOMPARE(Entries(folder), before);

        QDir().mkpath(folder + "/copy");
        const QString copy = folder + "/copy/renamed.kvx";
        QVERIFY(QFile::copy(QString::fromStdString(path), copy));
        for (const std::string& p : {path, copy.toStdString()}) {
            CBookmarkStore store;
            std::string message;
            QVERIFY(store.Load(p, message));
            const CBookmarks& b = store.Bookmarks();
            QCOMPARE(b.size(), size_t(2));
            QCOMPARE(b[0].m_nOffset, uint64_t(70000));
            QCOMPARE(b[0].m_strNote, std::string("first picture"));
            QCOMPARE(b[0].m_nCamera, 0);
            QCOMPARE(b[1].m_nOffset, uint64_t(900000));
            QCOMPARE(b[1].m_time, At("2024-03-18 14:01:10"));
            QCOMPARE(b[1].m_nCamera, 2);
            QCOMPARE(b[1].m_strNote, std::string("van leaves"));
        }
    }

    // A recording in a folder nobody may write: its bookmarks are kept all the same,
    // and the folder is not touched.
    void keepsThemForARecordingInAReadOnlyFolder()
    {
        const QTemporaryDir dir;
        const QString path = dir.filePath("disc.kvx");
        QVERIFY(QFile::copy(QString::fromStdString(Recording(1 << 20, 9)), path));
        namespace fs = std::filesystem;
        fs::permissions(dir.path().toStdString(), fs::perms::owner_read | fs::perms::owner_exec);
        std::string message, error;
        CBookmarkStore store;
        QVERIFY(store.Load(path.toStdString(), message));
        QVERIFY(store.Add({4096, At("2024-03-18 14:00:00"), 1, "on the disc"}, error));
        CBookmarkStore again;
        QVERIFY(again.Load(path.toStdString(), message));
        QCOMPARE(again.Bookmarks().size(), size_t(1));
        QCOMPARE(Entries(dir.path()), QStringList{"disc.kvx"});
        fs::permissions(dir.path().toStdString(), fs::perms::owner_all);
    }

    // What cannot be read as bookmarks is set aside under a name of its own and named;
    // the store starts empty and takes new ones; a second damage gets the next name.
    void setsADamagedFileAside_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("reason");
        QTest::newRow("cut short") << QByteArray("{\"format\": 1, \"bookm") << "not JSON";
        QTest::newRow("another format") << QByteArray("{\"format\": 9}") << "format";
        QTest::newRow("foreign")
            << QByteArray("{\"format\": 1, \"recording\": {\"identity\": \"1-00\"}, \"bookmarks\": []}")
            << "another recording";
    }
    void setsADamagedFileAside()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, reason);
        const std::string path = Recording((1 << 20) + size_t(reason.size()), 5); // a recording of each row's own
        CBookmarkStore store;
        std::string message, error;
        QVERIFY(store.Load(path, message));
        const QString file = store.FilePath();
        for (int n = 1; n <= 2; ++n) {
            QDir().mkpath(QFileInfo(file).absolutePath());
            WriteFile(file, bytes);
            QVERIFY(!store.Load(path, message));
            const QString aside = file + QString(".damaged-%1").arg(n);
            QVERIFY2(message.find(file.toStdString()) != std::string::npos, message.c_str());
            QVERIFY2(message.find(aside.toStdString()) != std::string::npos, message.c_str());
            QVERIFY2(QString::fromStdString(message).contains(reason), message.c_str());
            QCOMPARE(QFile(aside).size(), qint64(bytes.size()));
            QVERIFY(store.IsLoaded());
            QVERIFY(store.Bookmarks().empty());
            QVERIFY(store.Add({100, At("2024-03-18 14:00:00"), 1, "after"}, error));
        }
    }

    // An entry that does not fit the recording is damage too: the file is kept aside.
    void refusesAnEntryBeyondTheEnd()
    {
        const std::string path = Recording(1 << 20, 77);
        CBookmarkStore store;
        std::string message, error;
        QVERIFY(store.Load(path, message));
        QVERIFY(store.Add({1000, At("2024-03-18 14:00:00"), 1, ""}, error));
        WriteFile(store.FilePath(), Contents(store.FilePath()).replace("\"offset\": 1000", "\"offset\": 99999999"));
        QVERIFY(!store.Load(path, message));
        QVERIFY2(message.find("beyond the recording's end") != std::string::npos, message.c_str());
    }

    // A data folder that cannot be written: the change is refused with the file and the
    // reason, and the store holds what it held.
    void saysWhenItCannotSave()
    {
        const QTemporaryDir dir;
        WriteFile(dir.filePath("blocked"), "a file where the folder should be");
        CBookmarkStore store(dir.filePath("blocked/bookmarks"));
        std::string message, error;
        QVERIFY(store.Load(Recording(1 << 20, 3), message));
        QVERIFY(!store.Add({10, At("2024-03-18 14:00:00"), 1, "lost?"}, error));
        QVERIFY2(error.find("blocked/bookmarks") != std::string::npos, error.c_str());
        QVERIFY(store.Bookmarks().empty());
    }
};

KVX_REGISTER_TEST(TestBookmarkStore);
#include "tst_bookmarkstore.moc"
