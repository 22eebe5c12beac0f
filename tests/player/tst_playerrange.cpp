#include "app/mainframe.h"
#include "export/avireader.h"
#include "export/backupdlg.h"
#include "export/exportoutcomeline.h"
#include "platform/folderdialog.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "skin/skinbutton.h"
#include "skin/skinslider.h"
#include "tests/support/backuppanelfixture.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testfiles.h"
#include "tests/support/testmain.h"
#include "tests/support/toolrun.h"
#include "tools/recgen/recordinggenerator.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

namespace {

// Each picture of a video as stored: the AVI's frame chunks, or the MP4's packets'
// sums and times as ffmpeg copies them out.
QList<QByteArray> Frames(const QString& path)
{
    QList<QByteArray> frames;
    if (path.endsWith(".mp4")) {
        const CToolRun run = CToolRun::Of("ffmpeg", {"-v", "error", "-i", path, "-map", "0:v", "-c", "copy", "-f",
                                                     "framemd5", "-"});
        for (const QByteArray& line : run.out.split('\n'))
            if (!line.startsWith('#') && !line.isEmpty())
                frames << line;
        return frames;
    }
    CAviReader reader;
    std::vector<uint8_t> frame;
    if (!reader.Open(path.toStdString()))
        return frames;
    for (size_t i = 0; i < reader.m_frames.size() && reader.ReadFrame(i, frame); ++i)
        frames << QByteArray(reinterpret_cast<const char*>(frame.data()), qsizetype(frame.size()));
    return frames;
}

// The window paused on the record at `offset`, as go-to leaves it.
void ShowRecord(CKVXPlayerView* view, uint64_t offset)
{
    view->Session().GoTo(offset);
    QTRY_VERIFY_WITH_TIMEOUT(view->PlayStateForTest() == PS_PAUSE && view->Session().ShownOffset() >= offset, 20000);
    QCoreApplication::processEvents();
}

void Press(CKVXPlayerView* view, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyClick(view, key, modifiers);
    QCoreApplication::processEvents();
}

} // namespace

// In and out marks through the real window: what the slider shows, and the range
// export and excerpt they drive, each equal to what kvxtool makes of the same range.
class TestPlayerRange : public QObject, public CBackupPanelFixture {
    Q_OBJECT

private slots:
    void init()
    {
        m_shownFolders.clear();
        QVERIFY(m_out.isValid());
        m_previousFolder = CFolderDialog::SetHandler([this](const QString&, const QString&) { return m_out.path(); });
    }
    void cleanup() { CFolderDialog::SetHandler(m_previousFolder); }

    // I then O: a tick, then one tinted stretch from the in mark to the out mark with
    // its words; Esc clears them. Ctrl+E
    // without both marks says to set them and writes nothing.
    void marksShowOnTheSliderAndEscClearsThem()
    {
        CPlayerFixture fixture;
        QString path;
        auto frame = StartPaused(fixture, Recipe(), path);
        CKVXPlayerView* view = frame->View();
        const std::vector<CGeneratedRecord> r = m_recordings.Last().Records();
        CSkinSlider* slider = view->Slider();
        Press(view, Qt::Key_E, Qt::ControlModifier);
        QVERIFY2(fixture.m_messages.size() == 1 && fixture.m_messages[0].contains("set the in mark (I)"),
                 qPrintable(fixture.m_messages.join('\n')));

        ShowRecord(view, r[40].m_nOffset);
        const CDateTime inTime = view->ShownTime();
        Press(view, Qt::Key_I);
        QCOMPARE(slider->Marks(ESliderMarkLayer::InOut).size(), size_t(1));
        const CSliderMark tick = slider->Marks(ESliderMarkLayer::InOut)[0];
        QCOMPARE(tick.m_nFrom, tick.m_nTo);
        ShowRecord(view, r[160].m_nOffset);
        const CDateTime outTime = view->ShownTime();
        Press(view, Qt::Key_O);
        QVERIFY(view->InOutMarks().IsRange());
        const CSliderMark range = slider->Marks(ESliderMarkLayer::InOut)[0];
        QCOMPARE(range.m_nFrom, tick.m_nFrom);
        QVERIFY(range.m_nTo > range.m_nFrom + 50);
        QCOMPARE(range.m_text, "in " + Iso(inTime).mid(11) + " \u2013 out " + Iso(outTime).mid(11));

        Press(view, Qt::Key_Escape);
        QVERIFY(view->InOutMarks().IsEmpty());
        QVERIFY(slider->Marks(ESliderMarkLayer::InOut).empty());
        Press(view, Qt::Key_Escape); // nothing left to clear: nothing happens
        QVERIFY(view->InOutMarks().IsEmpty());
    }

    // The clock set back between the marks: the in mark, first in the file, stays the
    // in mark though its date is later, and the range covers both dates.
    void marksAreOrderedByOffsetAcrossASetBack()
    {
        CPlayerFixture fixture;
        QString path;
        auto frame = StartPaused(fixture, ClockSetBackRecipe(), path);
        CKVXPlayerView* view = frame->View();
        const std::vector<CGeneratedRecord> r = m_recordings.Last().Records();
        ShowRecord(view, r[4 * 55].m_nOffset); // 00:00:55, before the set-back
        const CDateTime late = view->ShownTime();
        Press(view, Qt::Key_I);
        ShowRecord(view, r[4 * 65].m_nOffset); // 00:00:25, after it
        const CDateTime early = view->ShownTime();
        Press(view, Qt::Key_O);
        QVERIFY(DateTimeToOrderKey(early) < DateTimeToOrderKey(late));
        const CInOutMarks& marks = view->InOutMarks();
        QVERIFY(marks.Start()->m_nOffset < marks.End()->m_nOffset);
        QCOMPARE(Iso(marks.Start()->m_time), Iso(late));
        QCOMPARE(Iso(marks.From()), Iso(early));
        QCOMPARE(Iso(marks.To()), Iso(late));
        const CSliderMark range = view->Slider()->Marks(ESliderMarkLayer::InOut)[0];
        QVERIFY(range.m_nFrom < range.m_nTo);
        QVERIFY(range.m_text.startsWith("in " + Iso(late).mid(11)));
    }

    // The panel with marks set exports camera 2 of the range, AVI, on a worker, and
    // says the range; the video holds kvxtool export --from --to's frames, byte for
    // byte, and the log is the same.
    void panelExportsTheRangeAsKvxtoolDoes()
    {
        PanelRangeExport(EExportFormat::Avi);
    }

    void panelExportsTheRangeAsMp4AsKvxtoolDoes()
    {
        PanelRangeExport(EExportFormat::Mp4);
    }

    // The panel's stop cancels the range export under way: the export ends with the
    // frames written so far, marked incomplete instead of getting sums, and says so.
    void stopCutsTheRangeExportShort()
    {
        CPlayerFixture fixture;
        CRecordingRecipe recipe = Recipe();
        recipe.m_nRecords = 4 * 600;
        QString source;
        auto frame = StartPaused(fixture, recipe, source);
        CKVXPlayerView* view = frame->View();
        const std::vector<CGeneratedRecord> r = m_recordings.Last().Records();
        Press(view, Qt::Key_I);
        ShowRecord(view, r[4 * 590].m_nOffset);
        Press(view, Qt::Key_O);
        CBackupDlg* dialog = OpenPanel(view);
        StartExport(dialog, 0);
        QVERIFY(view->RangeExport().IsRunning());
        Click(dialog->StopButton());
        QTRY_VERIFY_WITH_TIMEOUT(!view->RangeExport().IsRunning(), 60000);
        QCoreApplication::processEvents();
        QVERIFY2(dialog->OutcomeLine()->Text().startsWith("Incomplete: 01_Capture.avi"),
                 qPrintable(dialog->OutcomeLine()->Text()));
        QVERIFY(QFile::exists(fixture.Folder() + "avi/01_Capture.INCOMPLETE.txt"));
        QVERIFY(!QFile::exists(fixture.Folder() + "avi/01_Capture.sha256"));
        QVERIFY2(fixture.m_messages.join('\n').contains("stopped before the end of its range"),
                 qPrintable(fixture.m_messages.join('\n')));
    }

    // Ctrl+E over a range recorded twice (the clock set back) saves the one span that
    // holds both stretches, with its sums, signature and note, each equal byte for
    // byte to kvxtool excerpt's of the same dates; the message names the file.
    void excerptAcrossASetBackEqualsKvxtool()
    {
        CPlayerFixture fixture;
        QString source;
        auto frame = StartPaused(fixture, ClockSetBackRecipe(), source);
        CKVXPlayerView* view = frame->View();
        const std::vector<CGeneratedRecord> r = m_recordings.Last().Records();
        ShowRecord(view, r[4 * 31].m_nOffset); // 00:00:31 the first time round
        Press(view, Qt::Key_I);
        ShowRecord(view, r[4 * 76].m_nOffset); // 00:00:36 the second time round
        Press(view, Qt::Key_O);
        const CInOutMarks marks = view->InOutMarks();
        fixture.m_messages.clear();
        Press(view, Qt::Key_E, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.m_messages.isEmpty(), 60000);
        const QStringList saved = QDir(m_out.path()).entryList({"*.kvx"});
        QCOMPARE(saved.size(), 1);
        const QString excerpt = m_out.path() + "/" + saved[0];
        QVERIFY2(fixture.m_messages[0].contains("Saved the excerpt " + excerpt), qPrintable(fixture.m_messages[0]));
        QVERIFY(fixture.m_messages[0].contains("2 stretches"));

        QTemporaryDir toolDir;
        const QString toolOut = toolDir.path() + "/" + saved[0];
        const CToolRun run
            = Kvxtool({"excerpt", source, "--from", Iso(marks.From()), "--to", Iso(marks.To()), "--out", toolOut});
        QCOMPARE(run.status, 0);
        // The copies are the same bytes; the notes differ in what made them, so the
        // sums agree on the excerpt's line and each set verifies as signed.
        QVERIFY(!Contents(excerpt).isEmpty());
        QCOMPARE(Contents(excerpt), Contents(toolOut));
        QCOMPARE(Contents(excerpt + ".sha256").split('\n').first(), Contents(toolOut + ".sha256").split('\n').first());
        QVERIFY(Contents(excerpt + ".txt").contains("Stretch"));
        QVERIFY(Contents(excerpt + ".txt").contains("the player's Save excerpt"));
        for (const QString& sums : {excerpt + ".sha256", toolOut + ".sha256"}) {
            const CToolRun verify = Kvxtool({"verify", sums});
            QCOMPARE(verify.status, 0);
            QVERIFY2(verify.out.contains(".txt: OK") && verify.out.contains("signed by key"), verify.out.constData());
        }

        // The same again: nothing is replaced, and the message says which file and why.
        fixture.m_messages.clear();
        Press(view, Qt::Key_E, Qt::ControlModifier);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.m_messages.isEmpty(), 60000);
        QVERIFY2(fixture.m_messages[0].contains(excerpt + " exists already"), qPrintable(fixture.m_messages[0]));
    }

private:
    // 4 cameras, four records a second from 14:00:00, one picture each.
    static CRecordingRecipe Recipe()
    {
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(4 * 60, 0.25);
        recipe.m_bAudio = false;
        recipe.m_timeStart = CDateTime(2024, 3, 18, 14, 0, 0);
        return recipe;
    }

    void PanelRangeExport(EExportFormat format)
    {
        CPlayerFixture fixture;
        QString source;
        auto frame = StartPaused(fixture, Recipe(), source);
        CKVXPlayerView* view = frame->View();
        const std::vector<CGeneratedRecord> r = m_recordings.Last().Records();
        ShowRecord(view, r[4 * 12].m_nOffset);
        Press(view, Qt::Key_I);
        ShowRecord(view, r[4 * 40].m_nOffset);
        Press(view, Qt::Key_O);
        const CInOutMarks marks = view->InOutMarks();
        const QString words = Iso(marks.From()).mid(11) + " \u2013 " + Iso(marks.To()).mid(11);

        CBackupDlg* dialog = OpenPanel(view);
        QTRY_VERIFY_WITH_TIMEOUT(view->Session().CameraRates().has_value(), 30000); // the rate box settles
        QCoreApplication::processEvents();
        QVERIFY2(dialog->RateLabel()->text().contains(words), qPrintable(dialog->RateLabel()->text()));
        dialog->FormatBox()->setCurrentIndex(format == EExportFormat::Mp4 ? 1 : 0);
        StartExport(dialog, 1);
        const QString fps = dialog->FrameRateBox()->currentText();
        QTRY_VERIFY_WITH_TIMEOUT(dialog->IsStopped() && !view->RangeExport().IsRunning(), 60000);
        QCoreApplication::processEvents();
        const QString ext = format == EExportFormat::Mp4 ? "mp4" : "avi";
        const QString video = fixture.Folder() + "avi/02_Capture." + ext;
        QVERIFY2(dialog->OutcomeLine()->Text().startsWith("Saved 02_Capture." + ext + ", "),
                 qPrintable(dialog->OutcomeLine()->Text() + fixture.m_messages.join('\n')));
        QVERIFY(QFile::exists(fixture.Folder() + "avi/02_Capture.sha256"));
        QCOMPARE(view->PlayStateForTest(), uint8_t(PS_PAUSE)); // the window did not play it

        QTemporaryDir toolDir;
        QStringList args{"export", source, "--channel", "2", "--from", Iso(marks.From()), "--to", Iso(marks.To()),
                         "--format", ext, "--out", toolDir.path()};
        args << (format == EExportFormat::Mp4 ? QStringList{"--audio", "none"} : QStringList{"--fps", fps});
        const CToolRun run = Kvxtool(args);
        QVERIFY2(run.status == 0, run.err);
        // The AVI names its own path in its stream header: the frames must be the same.
        const QList<QByteArray> frames = Frames(video), toolFrames = Frames(toolDir.path() + "/02_Capture." + ext);
        QVERIFY(frames.size() > 20);
        QVERIFY(frames == toolFrames);
        QCOMPARE(Contents(fixture.Folder() + "avi/02_Capture.log"), Contents(toolDir.path() + "/02_Capture.log"));
    }

    QTemporaryDir m_out;
    CFolderDialog::Handler m_previousFolder;
};

KVX_REGISTER_TEST(TestPlayerRange);
#include "tst_playerrange.moc"
