// kvxtool bookmarks, and the bookmarks in the notes beside an excerpt and an export:
// set through the same store the window uses, read by the tool from the user's data
// folder, which the test run points at a folder of its own.

#include "evidence/bookmarkstore.h"
#include "tests/support/bookmarkfile.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testfiles.h"
#include "tests/support/testmain.h"
#include "tests/support/toolrun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>

class TestKvxToolBookmarks : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;
    QString m_strPath;
    std::vector<CGeneratedRecord> m_records;

    // Bookmarks at records 10 (camera 2, "gate opens") and 60 (several cameras, no note).
    void SetBookmarks(const QString& path)
    {
        CBookmarkStore store;
        std::string message, error;
        QVERIFY(store.Load(path.toStdString(), message));
        QVERIFY(store.Add({m_records[60].m_nOffset, m_records[60].m_time, 0, ""}, error));
        QVERIFY(store.Add({m_records[10].m_nOffset, m_records[10].m_time, 2, "gate opens"}, error));
    }

private slots:
    void initTestCase()
    {
        CRecordingRecipe recipe; // camera 1 every 2 s, so that an export of it spans a bookmark of camera 2
        recipe.m_nChannels = 4;
        recipe.m_nRecords = 96;
        recipe.m_dSecondsPerRecord = 0.5;
        m_strPath = QString::fromStdString(m_files.Write(recipe));
        m_records = m_files.Last().Records();
        SetBookmarks(m_strPath);
    }

    // The run's data folder is shared by the areas' other tests: their recordings
    // may be these bytes too.
    void cleanupTestCase()
    {
        QDir(CBookmarkStore::DefaultFolder()).removeRecursively();
    }

    // In file order, each with its date-time, offset, camera and note; --json the same
    // as one object; bad arguments exit 2, a recording that cannot be read 1.
    void listsThem()
    {
        const CToolRun text = Kvxtool({"bookmarks", m_strPath});
        QCOMPARE(text.status, 0);
        const QList<QByteArray> lines = text.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        const QString first = QString("  offset %1  CAM 02  gate opens").arg(m_records[10].m_nOffset);
        const QString second = QString("  offset %1  several cameras").arg(m_records[60].m_nOffset);
        QCOMPARE(QString(lines[0]), Iso(m_records[10].m_time) + first);
        QCOMPARE(QString(lines[1]), Iso(m_records[60].m_time) + second);

        const CToolRun json = Kvxtool({"bookmarks", m_strPath, "--json"});
        QCOMPARE(json.status, 0);
        const QJsonObject o = json.Json();
        QCOMPARE(o["file"].toString(), m_strPath);
        const QJsonArray b = o["bookmarks"].toArray();
        QCOMPARE(b.size(), 2);
        QCOMPARE(b[0].toObject()["offset"].toInteger(), qint64(m_records[10].m_nOffset));
        QCOMPARE(b[0].toObject()["time"].toString(), Iso(m_records[10].m_time));
        QCOMPARE(b[0].toObject()["camera"].toInt(), 2);
        QCOMPARE(b[0].toObject()["note"].toString(), QString("gate opens"));
        QCOMPARE(b[1].toObject()["camera"].toInt(), 0);
        QCOMPARE(b[1].toObject()["note"].toString(), QString());

        QCOMPARE(Kvxtool({"bookmarks"}).status, 2);
        QCOMPARE(Kvxtool({"bookmarks", m_strPath, "--csv"}).status, 2);
        const CToolRun missing = Kvxtool({"bookmarks", m_strPath + ".gone"});
        QCOMPARE(missing.status, 1);
        QVERIFY(missing.err.contains(".gone"));
    }

    // A recording nobody bookmarked says so; one whose file is damaged names the file
    // set aside and lists none.
    void saysWhatItFound()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 40;
        const QString fresh = QString::fromStdString(m_files.Write(recipe));
        const CToolRun none = Kvxtool({"bookmarks", fresh});
        QCOMPARE(none.status, 0);
        QVERIFY(none.out.contains("has no bookmarks"));

        const QString store = PlantBookmarkFile(fresh, "[ damaged");
        QVERIFY(!store.isEmpty());
        const CToolRun damaged = Kvxtool({"bookmarks", fresh, "--json"});
        QCOMPARE(damaged.status, 0);
        QVERIFY2(damaged.err.contains((store + ".damaged-1").toUtf8()), damaged.err);
        QCOMPARE(damaged.Json()["bookmarks"].toArray().size(), 0);
    }

    // The excerpt's note lists the bookmark inside the span it copied, not the other.
    void excerptNoteListsThoseInside()
    {
        const QTemporaryDir out;
        const QString excerpt = out.filePath("gate.kvx");
        const CToolRun run = Kvxtool({"excerpt", m_strPath, "--from", Iso(m_records[6].m_time), "--to",
                                      Iso(m_records[20].m_time), "--out", excerpt});
        QCOMPARE(run.status, 0);
        const QByteArray note = Contents(excerpt + ".txt");
        QVERIFY2(note.contains("Bookmarks:        1 set within the span copied\n"), note);
        QVERIFY2(note.contains("gate opens"), note);
        QVERIFY(!note.contains(QString("offset %1").arg(m_records[60].m_nOffset).toUtf8()));
    }

    // The export's note lists the bookmark dated within it; without any there, the
    // note has no bookmark line.
    void exportNoteListsThoseInside()
    {
        const QTemporaryDir out;
        const CToolRun run = Kvxtool({"export", m_strPath, "--channel", "1", "--from", Iso(m_records[4].m_time), "--to",
                                      Iso(m_records[30].m_time), "--out", out.path()});
        QCOMPARE(run.status, 0);
        const QByteArray note = Contents(out.filePath("01_Capture.txt"));
        QVERIFY2(note.contains(("BOOKMARK     : " + Iso(m_records[10].m_time)
                                + QString("  offset %1  CAM 02  gate opens\r\n").arg(m_records[10].m_nOffset))
                                   .toUtf8()),
                 note);
        QCOMPARE(note.count("BOOKMARK"), 1);

        const QTemporaryDir early;
        QCOMPARE(
            Kvxtool({"export", m_strPath, "--channel", "1", "--to", Iso(m_records[6].m_time), "--out", early.path()})
                .status,
            0);
        QVERIFY(!Contents(early.filePath("01_Capture.txt")).contains("BOOKMARK"));
    }
};

KVX_REGISTER_TEST(TestKvxToolBookmarks);
#include "tst_kvxtoolbookmarks.moc"
