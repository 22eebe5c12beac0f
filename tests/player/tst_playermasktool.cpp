// Privacy masks through the real window: Ctrl+M works on one enlarged camera only and
// says why elsewhere, M still mutes; a drag draws a mask, a drag inside it at another
// moment moves it and one on its corner at a third resizes it, each keyed at the
// picture's own second, in fractions of the picture as exported; the outline on
// screen sits where interpolation puts it; the store holds the JSON a masks file
// holds; a masks file is saved and loaded, and one with a fault is refused.

#include "app/mainframe.h"
#include "export/backupdlg.h"
#include "evidence/maskstore.h"
#include "playback/playstate.h"
#include "platform/datafiledialog.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "player/masklist.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testfiles.h"
#include "tests/support/testmain.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr int WAIT_MS = 60000;
// The generated 4-camera pictures are 720 x 240: the tile shows 695 x 227 of them (the
// recorder's side margins and code rows cut), an export the same less its top row.
constexpr double SHOWN_HEIGHT = 227, EXPORTED_WIDTH = 695, EXPORTED_HEIGHT = 226;

bool IsIdle(CKVXPlayerView* view)
{
    QCoreApplication::processEvents();
    return view->PlayStateForTest() == PS_PAUSE;
}

CDateTime Second(int s)
{
    return CDateTime(2005, 1, 1, 0, 0, s);
}

// A mask box of the exported picture for the tile point `p` of `tile`.
QPointF Exported(const QRect& tile, QPoint p)
{
    const QPointF in = QPointF(p - tile.topLeft());
    return {in.x() / tile.width(), (in.y() / tile.height() * SHOWN_HEIGHT - 1) / EXPORTED_HEIGHT};
}

QRectF ExportedBox(const QRect& tile, QPoint a, QPoint b)
{
    return QRectF(Exported(tile, a), Exported(tile, b));
}

// Within a quarter of an exported pixel: a box one row off, as the tile's crop would
// put it, is caught.
bool SameBox(const QRectF& a, const QRectF& b)
{
    const double dx = 0.25 / EXPORTED_WIDTH, dy = 0.25 / EXPORTED_HEIGHT;
    return std::abs(a.left() - b.left()) <= dx && std::abs(a.right() - b.right()) <= dx
        && std::abs(a.top() - b.top()) <= dy && std::abs(a.bottom() - b.bottom()) <= dy;
}

void Drag(QWidget* view, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::mousePress(view, Qt::LeftButton, modifiers, from);
    QTest::mouseMove(view, (from + to) / 2);
    QTest::mouseMove(view, to);
    QTest::mouseRelease(view, Qt::LeftButton, modifiers, to);
}

} // namespace

class TestPlayerMaskTool : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;
    QString m_strPath;
    std::vector<CGeneratedRecord> m_records;
    CPlayerFixture m_fixture;
    QTemporaryDir m_files;

    std::unique_ptr<CMainFrame> Open()
    {
        std::unique_ptr<CMainFrame> frame = m_fixture.Start(m_strPath);
        if (frame && QTest::qWaitFor([&] { return frame->View()->DeliveredFrames() >= 4 && IsIdle(frame->View()); },
                                     WAIT_MS))
            return frame;
        return nullptr;
    }

    // Camera 2's picture of second `s`: records take turns by camera, four a second.
    bool ShowSecond(CKVXPlayerView* view, int s)
    {
        const int before = view->DeliveredFrames();
        view->Session().GoTo(m_records[size_t(4 * s + 1)].m_nOffset);
        return QTest::qWaitFor([&] { return view->DeliveredFrames() > before && IsIdle(view); }, WAIT_MS)
            && view->Session().PictureTime(1) && CPrivacyMaskSet::SecondsOf(*view->Session().PictureTime(1))
                                                     == double(DateTimeToSeconds(Second(s)));
    }

    // The colour the outline is painted in at `p`, give or take a pixel.
    static bool OutlineNear(const QImage& image, QPointF p)
    {
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy) {
                const QColor c = image.pixelColor(int(std::lround(p.x())) + dx, int(std::lround(p.y())) + dy);
                if (c.red() > 200 && c.green() > 160 && c.blue() < 80)
                    return true;
            }
        return false;
    }

private slots:
    void initTestCase()
    {
        m_fixture.WriteSkin();
        CRecordingRecipe recipe;
        recipe.m_nChannels = 4;
        recipe.m_nRecords = 160;
        recipe.m_dSecondsPerRecord = 0.25;
        m_strPath = QString::fromStdString(m_recordings.Write(recipe));
        m_records = m_recordings.Last().Records();
    }

    void cleanupTestCase()
    {
        QDir(CMaskStore::DefaultFolder()).removeRecursively();
        CDataFileDialog::SetHandler({});
    }

    // Ctrl+M on a page of tiles says why it does nothing; plain M mutes as before.
    void theToolNeedsOneCamera()
    {
        std::unique_ptr<CMainFrame> frame = Open();
        QVERIFY(frame);
        CKVXPlayerView* view = frame->View();
        QVERIFY(view->Grid() != 1);
        QTest::keyClick(view, Qt::Key_M, Qt::ControlModifier);
        QVERIFY(!view->IsMaskToolOn());
        QVERIFY2(view->MaskNote().contains("one enlarged camera"), qPrintable(view->MaskNote()));
        const bool muted = view->SoundLevel().IsMuted();
        QTest::keyClick(view, Qt::Key_M);
        QCOMPARE(view->SoundLevel().IsMuted(), !muted);
        QVERIFY(!view->IsMaskToolOn());
        QTest::keyClick(view, Qt::Key_M);
    }

    // Drawn at 2 s, moved at 10 s, resized at 20 s: three keys at those seconds, boxes
    // in fractions of the exported picture, active over the whole recording.
    void drawMoveAndResizeKeyTheMask()
    {
        std::unique_ptr<CMainFrame> frame = Open();
        QVERIFY(frame);
        CKVXPlayerView* view = frame->View();
        view->OnCommand(ctl::CHANNEL_FIRST + 1);
        QVERIFY(ShowSecond(view, 2));
        QTest::keyClick(view, Qt::Key_M, Qt::ControlModifier);
        QVERIFY(view->IsMaskToolOn());
        QVERIFY(view->MaskList()->isVisible());
        const QRect tile = view->TileRect(1);
        const auto at = [&tile](double x, double y) {
            return tile.topLeft() + QPoint(int(x * tile.width()), int(y * tile.height()));
        };
        const QPoint a = at(0.2, 0.3), b = at(0.5, 0.7);
        Drag(view, a, b);
        QCOMPARE(view->Session().Masks().Set().m_masks.size(), size_t(1));

        QVERIFY(ShowSecond(view, 10));
        const QPoint by(40, 20);
        Drag(view, (a + b) / 2, (a + b) / 2 + by);
        QVERIFY(ShowSecond(view, 20));
        const QPoint grow(30, 25);
        Drag(view, b + by, b + by + grow);
        QVERIFY(ShowSecond(view, 20));
        Drag(view, at(0.9, 0.9), at(0.9, 0.9) + QPoint(2, 2)); // a click: no mask

        CPrivacyMask want;
        want.m_nChannel = 2;
        want.m_from = Second(0);
        want.m_to = Second(39);
        want.SetKey(Second(2), ExportedBox(tile, a, b));
        want.SetKey(Second(10), ExportedBox(tile, a + by, b + by));
        want.SetKey(Second(20), ExportedBox(tile, a + by, b + by + grow));
        CPrivacyMaskSet wanted;
        wanted.m_masks.push_back(want);

        const CMaskStore& store = view->Session().Masks();
        QString error;
        std::optional<CPrivacyMaskSet> saved = CPrivacyMaskSet::FromJson(Contents(store.FilePath()), error);
        QVERIFY2(saved, qPrintable(error));
        QCOMPARE(saved->m_masks.size(), size_t(1));
        QCOMPARE(saved->m_masks[0].m_keys.size(), size_t(3));
        for (size_t k = 0; k < 3; ++k) {
            QRectF& box = saved->m_masks[0].m_keys[k].m_box;
            const QRectF& expected = want.m_keys[k].m_box;
            QVERIFY2(SameBox(box, expected), qPrintable(QString("key %1: %2 %3 %4 %5").arg(k).arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
            box = expected;
        }
        QCOMPARE(QString(saved->ToJson()), QString(wanted.ToJson()));
        QCOMPARE(view->MaskList()->RowCount(), 1);

        // Halfway between the first two keys, the outline is halfway between their places.
        QVERIFY(ShowSecond(view, 6));
        view->repaint();
        const QImage shown = view->grab().toImage();
        const QPointF mid = QPointF(a + b) / 2 + QPointF(by) / 2;
        QVERIFY(OutlineNear(shown, QPointF(a.x() + by.x() / 2.0, mid.y())));
        QVERIFY(OutlineNear(shown, QPointF(b.x() + by.x() / 2.0, mid.y())));
        QVERIFY(!OutlineNear(shown, QPointF(a.x(), mid.y())));
    }

    // Saved as a file the user names, loaded back; a file with a camera the recording
    // lacks is refused naming the entry, and the store keeps what it had.
    void saveAndLoadAMasksFile()
    {
        std::unique_ptr<CMainFrame> frame = Open();
        QVERIFY(frame);
        CKVXPlayerView* view = frame->View();
        const QByteArray kept = view->Session().Masks().Set().ToJson();
        QVERIFY(!view->Session().Masks().Set().IsEmpty()); // the last window's, kept for the recording
        const QString saved = m_files.filePath("for the request.json");
        QString answer = saved;
        CDataFileDialog::SetHandler([&answer](CDataFileDialog::EMode, const QString&, const QString&) { return answer; });
        QMetaObject::invokeMethod(view->MaskList(), "saveWanted");
        QCOMPARE(Contents(saved), kept);

        const QString wrong = m_files.filePath("wrong.json");
        QFile file(wrong);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(kept).replace("\"channel\": 2", "\"channel\": 9"));
        file.close();
        answer = wrong;
        m_fixture.m_messages.clear();
        QMetaObject::invokeMethod(view->MaskList(), "loadWanted");
        QCOMPARE(m_fixture.m_messages.size(), 1);
        QVERIFY2(m_fixture.m_messages.front().contains(wrong) && m_fixture.m_messages.front().contains("masks[0].channel"),
                 qPrintable(m_fixture.m_messages.front()));
        QCOMPARE(view->Session().Masks().Set().ToJson(), kept);

        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(QByteArray(kept).replace("\"style\": \"solid\"", "\"style\": \"blur\""));
        file.close();
        QMetaObject::invokeMethod(view->MaskList(), "loadWanted");
        QCOMPARE(view->Session().Masks().Set().m_masks.at(0).m_style, EMaskStyle::Blur);
        QCOMPARE(Contents(view->Session().Masks().FilePath()), view->Session().Masks().Set().ToJson());
    }

    // Mute I-O silences the marked stretch, kept with the masks and listed under them,
    // where it can be removed; without both marks it says what to do and mutes nothing.
    void muteTheMarkedRange()
    {
        std::unique_ptr<CMainFrame> frame = Open();
        QVERIFY(frame);
        CKVXPlayerView* view = frame->View();
        view->OnCommand(ctl::CHANNEL_FIRST + 1);
        QTest::keyClick(view, Qt::Key_M, Qt::ControlModifier);
        QVERIFY(view->IsMaskToolOn());
        const CMaskStore& store = view->Session().Masks();
        const size_t masks = store.Set().m_masks.size(), mutes = store.Set().m_mute.size();
        QMetaObject::invokeMethod(view->MaskList(), "muteWanted");
        QVERIFY2(view->MaskNote().contains("in and out marks"), qPrintable(view->MaskNote()));
        QCOMPARE(store.Set().m_mute.size(), mutes);

        QVERIFY(ShowSecond(view, 3));
        QTest::keyClick(view, Qt::Key_I);
        QVERIFY(ShowSecond(view, 7));
        QTest::keyClick(view, Qt::Key_O);
        QVERIFY(view->InOutMarks().IsRange());
        QMetaObject::invokeMethod(view->MaskList(), "muteWanted");
        QCOMPARE(store.Set().m_mute.size(), mutes + 1);
        const CMuteRange muted = store.Set().m_mute.back();
        QVERIFY(muted.m_from == view->InOutMarks().From() && muted.m_to == view->InOutMarks().To());
        QVERIFY(store.Set().MutedAt(Second(5)) && !store.Set().MutedAt(Second(9)));
        QString error;
        const std::optional<CPrivacyMaskSet> saved = CPrivacyMaskSet::FromJson(Contents(store.FilePath()), error);
        QVERIFY2(saved, qPrintable(error));
        QCOMPARE(saved->m_mute.size(), mutes + 1);
        QCOMPARE(view->MaskList()->RowCount(), int(masks + mutes + 1));

        QMetaObject::invokeMethod(view->MaskList(), "removeWanted", Q_ARG(int, int(masks + mutes)));
        QCOMPARE(store.Set().m_mute.size(), mutes);
        QCOMPARE(store.Set().m_masks.size(), masks);
        QCOMPARE(view->MaskList()->RowCount(), int(masks + mutes));
    }

    // The export panel, open while masks come and go, offers them only while there are
    // some; a box the user unticked stays unticked as the masks change.
    void thePanelFollowsTheMasksWhileOpen()
    {
        std::unique_ptr<CMainFrame> frame = Open();
        QVERIFY(frame);
        CKVXPlayerView* view = frame->View();
        CPrivacyMask mask;
        mask.m_nChannel = 2;
        mask.m_from = Second(0);
        mask.m_to = Second(39);
        mask.SetKey(Second(0), QRectF(0.1, 0.1, 0.2, 0.2));
        CPrivacyMaskSet set;
        set.m_masks.push_back(mask);
        const QString none = m_files.filePath("none.json");
        const QString some = m_files.filePath("some.json");
        WriteFile(none, R"({"masks": [], "mute": []})");
        WriteFile(some, set.ToJson());
        QString answer;
        CDataFileDialog::SetHandler([&answer](CDataFileDialog::EMode, const QString&, const QString&) { return answer; });
        const auto load = [&](const QString& file) {
            answer = file;
            QMetaObject::invokeMethod(view->MaskList(), "loadWanted");
        };
        load(some);
        view->OnCommand(ctl::BACKUP);
        QCheckBox* box = view->BackupDialog() ? view->BackupDialog()->MasksBox() : nullptr;
        QVERIFY(box);
        QVERIFY(box->isEnabled() && box->isChecked());
        load(none);
        QVERIFY(!box->isEnabled() && !box->isChecked());
        load(some);
        QVERIFY(box->isEnabled() && box->isChecked());
        box->setChecked(false);
        load(some);
        QVERIFY(box->isEnabled() && !box->isChecked());
    }
};

KVX_REGISTER_TEST(TestPlayerMaskTool);
#include "tst_playermasktool.moc"
