// Bookmarks through the real window: B asks a note and marks the record shown, the
// mark on the slider says when and what; a new window on the same recording has
// them, also from a read-only folder; Shift+B lists them, a click goes there, a note
// is edited and a row removed; a damaged store is named when the recording opens.

#include "app/mainframe.h"
#include "evidence/bookmarkstore.h"
#include "playback/playstate.h"
#include "playback/seekposition.h"
#include "player/bookmarklist.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "player/reportpanel.h"
#include "skin/skinslider.h"
#include "tests/support/bookmarkfile.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testfiles.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QInputDialog>
#include <QLineEdit>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>

namespace {

constexpr int WAIT_MS = 60000;

bool IsIdle(CKVXPlayerView* view)
{
    QCoreApplication::processEvents();
    return view->PlayStateForTest() == PS_PAUSE;
}

// Types `note` into the note dialog B opens, then Enter (or Esc).
void AnswerNote(const QString& note, Qt::Key key = Qt::Key_Return)
{
    QTimer::singleShot(0, [note, key] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return; // no dialog: the test fails on what B did not add
        QLineEdit* edit = dialog->findChild<QLineEdit*>();
        QTest::keyClicks(edit, note);
        QTest::keyClick(edit, key);
    });
}

} // namespace

class TestPlayerBookmarks : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;
    QString m_strPath;
    std::vector<CGeneratedRecord> m_records;
    CPlayerFixture m_fixture;

    static CRecordingRecipe Recipe()
    {
        CRecordingRecipe r;
        r.m_nChannels = 4;
        r.m_nRecords = 160;
        r.m_dSecondsPerRecord = 0.25;
        return r;
    }

    // A window on `path`, paused on its first group; null when it did not get there.
    std::unique_ptr<CMainFrame> Open(const QString& path)
    {
        std::unique_ptr<CMainFrame> frame = m_fixture.Start(path);
        if (frame && QTest::qWaitFor([&] { return frame->View()->DeliveredFrames() >= 4 && IsIdle(frame->View()); },
                                     WAIT_MS))
            return frame;
        return nullptr;
    }

    static bool GoTo(CKVXPlayerView* view, uint64_t offset)
    {
        const int before = view->DeliveredFrames();
        view->Session().GoTo(offset);
        return QTest::qWaitFor([&] { return view->DeliveredFrames() > before && IsIdle(view); }, WAIT_MS);
    }

    // B with `note` at `record`, camera 2 enlarged.
    static void Bookmark(CKVXPlayerView* view, const CGeneratedRecord& record, const QString& note)
    {
        view->OnCommand(ctl::CHANNEL_FIRST + 1);
        QVERIFY(GoTo(view, record.m_nOffset));
        AnswerNote(note);
        QTest::keyClick(view, Qt::Key_B);
    }

    static QString Clock(const CDateTime& t)
    {
        return QString::asprintf("%02d:%02d:%02d", t.GetHour(), t.GetMinute(), t.GetSecond());
    }

private slots:
    void initTestCase()
    {
        m_fixture.WriteSkin();
        m_strPath = QString::fromStdString(m_recordings.Write(Recipe()));
        m_records = m_recordings.Last().Records();
    }

    // The run's data folder is shared by the areas' other tests: their recordings
    // may be these bytes too.
    void cleanupTestCase()
    {
        QDir(CBookmarkStore::DefaultFolder()).removeRecursively();
    }

    // B and a note mark the record shown; Esc in the dialog marks nothing. The slider
    // shows the mark where the record lies and says when and what; a window opened
    // later on the same recording has it.
    void bookmarksSurviveTheWindow()
    {
        CRecordingRecipe recipe = Recipe();
        recipe.m_nRecords = 128; // a recording of its own
        const QString path = QString::fromStdString(m_recordings.Write(recipe));
        const std::vector<CGeneratedRecord> records = m_recordings.Last().Records();
        CBookmark set;
        {
            std::unique_ptr<CMainFrame> frame = Open(path);
            QVERIFY(frame);
            CKVXPlayerView* view = frame->View();
            Bookmark(view, records[80], "van leaves");
            const CBookmarks& b = view->Session().Bookmarks().Bookmarks();
            QCOMPARE(b.size(), size_t(1));
            set = b.front();
            QCOMPARE(set.m_strNote, std::string("van leaves"));
            QCOMPARE(set.m_nCamera, 2);
            QCOMPARE(set.m_time, view->ShownTime());
            QVERIFY(set.m_nOffset >= records[80].m_nOffset && set.m_nOffset <= records[84].m_nOffset);

            AnswerNote("never mind", Qt::Key_Escape);
            QTest::keyClick(view, Qt::Key_B);
            QCOMPARE(view->Session().Bookmarks().Bookmarks().size(), size_t(1));
        }
        std::unique_ptr<CMainFrame> frame = Open(path);
        QVERIFY(frame);
        const CSliderMarks& marks = frame->View()->Slider()->Marks(ESliderMarkLayer::Bookmarks);
        QCOMPARE(marks.size(), size_t(1));
        const int at = SliderPosition(set.m_nOffset, frame->View()->Recording().m_nFileLength);
        QCOMPARE(marks.front().m_nFrom, at);
        QCOMPARE(marks.front().m_nTo, at);
        QCOMPARE(marks.front().m_text, "bookmark " + Clock(set.m_time) + ": van leaves");
        QVERIFY(m_fixture.m_messages.filter("bookmark").isEmpty());

        // The report in words ends with it, a line that goes there.
        CKVXPlayerView* view = frame->View();
        QVERIFY(QTest::qWaitFor([&] { return view->Session().Report().Report().has_value(); }, 20000));
        const CReportPanel* panel = view->ReportPanel();
        const int last = panel->RowCount() - 1;
        QCOMPARE(panel->RowText(last - 1), QString("Bookmarks: 1"));
        QVERIFY2(panel->RowText(last).contains("van leaves"), qPrintable(panel->RowText(last)));
        QCOMPARE(panel->OffsetAt(last), std::optional<uint64_t>(set.m_nOffset));
    }

    // Shift+B lists them; a click goes to the record bookmarked, exactly as go-to
    // does; a note edited in the list and a row removed are kept, and the slider follows.
    void theListGoesThereEditsAndRemoves()
    {
        const QString path = m_strPath;
        std::unique_ptr<CMainFrame> frame = Open(path);
        QVERIFY(frame);
        CKVXPlayerView* view = frame->View();
        Bookmark(view, m_records[120], "second");
        Bookmark(view, m_records[40], "first");
        QTest::keyClick(view, Qt::Key_B, Qt::ShiftModifier);
        CBookmarkList* list = view->BookmarkList();
        QVERIFY(list->isVisible());
        QCOMPARE(list->RowCount(), 2);
        QCOMPARE(list->Rows()->topLevelItem(0)->text(2), QString("first"));
        QCOMPARE(list->Rows()->topLevelItem(0)->text(1), QString("CAM 02"));

        view->OnCommand(ctl::START);
        QVERIFY(QTest::qWaitFor([&] { return IsIdle(view); }, WAIT_MS));
        const CBookmark second = view->Session().Bookmarks().Bookmarks()[1];
        const int before = view->DeliveredFrames();
        QTreeWidget* rows = list->Rows();
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualItemRect(rows->topLevelItem(1)).center());
        QVERIFY(QTest::qWaitFor([&] { return view->DeliveredFrames() > before && IsIdle(view); }, WAIT_MS));
        QVERIFY(std::abs(DateTimeToSeconds(view->ShownTime()) - DateTimeToSeconds(second.m_time)) <= 1);

        rows->topLevelItem(1)->setText(2, "second, edited");
        QCOMPARE(view->Session().Bookmarks().Bookmarks()[1].m_strNote, std::string("second, edited"));
        QVERIFY(view->Slider()->Marks(ESliderMarkLayer::Bookmarks)[1].m_text.endsWith(": second, edited"));
        rows->setCurrentItem(rows->topLevelItem(0));
        QTest::keyClick(list, Qt::Key_Delete);
        QCOMPARE(list->RowCount(), 1);
        QCOMPARE(view->Slider()->Marks(ESliderMarkLayer::Bookmarks).size(), size_t(1));

        CBookmarkStore store;
        std::string message;
        QVERIFY(store.Load(path.toStdString(), message));
        QCOMPARE(store.Bookmarks().size(), size_t(1));
        QCOMPARE(store.Bookmarks()[0].m_strNote, std::string("second, edited"));
        QTest::keyClick(view, Qt::Key_B, Qt::ShiftModifier);
        QVERIFY(!list->isVisible());
    }

    // A recording in a folder nobody may write keeps its bookmarks elsewhere: the next
    // window has them and the folder is as it was.
    void aReadOnlyFolderHasThem()
    {
        const QTemporaryDir dir;
        const QString path = dir.filePath("disc.kvx");
        CRecordingRecipe recipe = Recipe();
        recipe.m_nRecords = 96; // a recording of its own
        QVERIFY(QFile::copy(QString::fromStdString(m_recordings.Write(recipe)), path));
        const std::vector<CGeneratedRecord> records = m_recordings.Last().Records();
        namespace fs = std::filesystem;
        fs::permissions(dir.path().toStdString(), fs::perms::owner_read | fs::perms::owner_exec);
        {
            std::unique_ptr<CMainFrame> frame = Open(path);
            QVERIFY(frame);
            Bookmark(frame->View(), records[50], "from the disc");
        }
        std::unique_ptr<CMainFrame> frame = Open(path);
        QVERIFY(frame);
        QCOMPARE(frame->View()->Slider()->Marks(ESliderMarkLayer::Bookmarks).size(), size_t(1));
        QCOMPARE(Entries(dir.path()), QStringList{"disc.kvx"});
        fs::permissions(dir.path().toStdString(), fs::perms::owner_all);
    }

    // A damaged store is set aside when the recording opens, and the message names it.
    void aDamagedStoreIsNamed()
    {
        CRecordingRecipe recipe = Recipe();
        recipe.m_nRecords = 64;
        const QString path = QString::fromStdString(m_recordings.Write(recipe));
        const QString store = PlantBookmarkFile(path, "{ not what it was");
        QVERIFY(!store.isEmpty());
        m_fixture.m_messages.clear();
        std::unique_ptr<CMainFrame> frame = Open(path);
        QVERIFY(frame);
        const QStringList said = m_fixture.m_messages.filter(store + ".damaged-1");
        QCOMPARE(said.size(), 1);
        QVERIFY(said.front().contains("damaged bookmarks"));
        AnswerNote("after the damage");
        QTest::keyClick(frame->View(), Qt::Key_B);
        QCOMPARE(frame->View()->Session().Bookmarks().Bookmarks().size(), size_t(1));
    }
};

KVX_REGISTER_TEST(TestPlayerBookmarks);
#include "tst_playerbookmarks.moc"
