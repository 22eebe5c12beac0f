#include "evidence/excerptjob.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QFile>
#include <QTemporaryDir>

// The excerpt job both kvxtool excerpt and the player's Save excerpt run: what its
// note says of the source's bookmarks.
class TestExcerptJob : public QObject {
    Q_OBJECT

private slots:
    // Bookmarks on records the excerpt copies are listed with their notes, those
    // outside it are not; no bookmarks, no such line.
    void noteListsTheBookmarksInTheRange()
    {
        CRecordingRecipe recipe;
        recipe.m_nChannels = 4;
        recipe.m_nRecords = 4 * 20;
        recipe.m_dSecondsPerRecord = 0.25;
        recipe.m_timeStart = CDateTime(2024, 3, 18, 14, 0, 0);
        const std::string source = m_files.Write(recipe);
        const std::vector<CGeneratedRecord> r = m_files.Last().Records();
        CRecordingFacts facts;
        CTestProbeView view;
        QVERIFY(CRecordingProbe(facts, view).ProbeRecording(source));
        const CDateTime from(2024, 3, 18, 14, 0, 5), to(2024, 3, 18, 14, 0, 10);
        const CBookmarks bookmarks{{r[4 * 7].m_nOffset, r[4 * 7].m_time, 2, "the van stops"},
                                   {r[4 * 15].m_nOffset, r[4 * 15].m_time, 0, "later, outside"}};
        QTemporaryDir dir;
        const std::string marked = dir.filePath("marked.kvx").toStdString();
        CExcerptJob job({source, from, to, marked}, facts, bookmarks);
        QVERIFY2(job.Run(), job.Error().c_str());
        const QByteArray note = Contents(marked + ".txt");
        QVERIFY2(note.contains(QByteArray::fromStdString("    " + BookmarkLine(bookmarks[0]) + "\n")), note);
        QVERIFY(note.contains("the van stops"));
        QVERIFY(!note.contains("outside"));

        const std::string plain = dir.filePath("plain.kvx").toStdString();
        CExcerptJob without({source, from, to, plain}, facts, {});
        QVERIFY2(without.Run(), without.Error().c_str());
        QVERIFY(!Contents(plain + ".txt").contains("Bookmark"));
        QCOMPARE(Contents(plain), Contents(marked));
        // Nothing is replaced: the job refuses and names the file.
        CExcerptJob again({source, from, to, plain}, facts, {});
        QVERIFY(!again.Run());
        QCOMPARE(again.Error(), plain + " exists already; an excerpt never replaces a file");
    }

private:
    static QByteArray Contents(const std::string& path)
    {
        QFile file(QString::fromStdString(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    CRecordingFixture m_files;
};

KVX_REGISTER_TEST(TestExcerptJob);
#include "tst_excerptjob.moc"
