#include "app/mainframe.h"
#include "export/backupdlg.h"
#include "export/backuprecorder.h"
#include "export/exportoutcomeline.h"
#include "playback/maskpainter.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "skin/skinbutton.h"
#include "snapshot/editcontrolids.h"
#include "snapshot/imageeditdlg.h"
#include "tests/support/backuppanelfixture.h"
#include "tests/support/exiftags.h"
#include "tests/support/outputframes.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testfiles.h"
#include "tests/support/testmain.h"
#include "tests/support/toolrun.h"
#include "tools/recgen/recordinggenerator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>

namespace {

// Camera 2: an ellipse that moves between two keys and a pixelated corner; camera 1 a
// blurred box, which camera 2's copies must not show. The sound of the whole hour is
// muted.
QByteArray MaskJson(const CDateTime& start)
{
    const auto at = [&start](int seconds) { return Iso(DateTimeFromSeconds(DateTimeToSeconds(start) + seconds)); };
    return QString(R"({"masks": [
        {"channel": 2, "shape": "ellipse", "style": "solid", "from": "%1", "to": "%2",
         "keys": [{"at": "%3", "box": [0.1, 0.2, 0.3, 0.4]}, {"at": "%4", "box": [0.5, 0.4, 0.3, 0.4]}]},
        {"channel": 2, "shape": "rect", "style": "pixelate", "from": "%1", "to": "%2",
         "keys": [{"at": "%3", "box": [0.6, 0.0, 0.3, 0.3]}]},
        {"channel": 1, "shape": "rect", "style": "blur", "from": "%1", "to": "%2",
         "keys": [{"at": "%3", "box": [0.2, 0.2, 0.5, 0.5]}]}],
       "mute": [{"from": "%1", "to": "%2"}]})")
        .arg(at(0), at(3600), at(2), at(30))
        .toUtf8();
}

// Camera 2 hidden whole by one solid box: what an edit made during an export would
// put into its frames.
QByteArray EditedJson(const CDateTime& start)
{
    const QString from = Iso(start), to = Iso(DateTimeFromSeconds(DateTimeToSeconds(start) + 3600));
    return QString(R"({"masks": [{"channel": 2, "shape": "rect", "style": "solid", "from": "%1", "to": "%2",
                                  "keys": [{"at": "%1", "box": [0, 0, 1, 1]}]}], "mute": []})")
        .arg(from, to)
        .toUtf8();
}

CPrivacyMaskSet SetOf(const QByteArray& json)
{
    QString error;
    std::optional<CPrivacyMaskSet> set = CPrivacyMaskSet::FromJson(json, error);
    if (!set)
        qFatal("the test's masks are refused: %s", qPrintable(error));
    return *set;
}

void PutMasks(CKVXPlayerView* view, const QByteArray& json)
{
    std::string error;
    if (!view->Session().Masks().Replace(SetOf(json), error))
        qFatal("the masks could not be stored: %s", error.c_str());
}

// kvxtool's export of camera 2 with the masks `json` into `dir`, `more` its other options.
CToolRun ToolExport(const QString& source, const QByteArray& json, const QTemporaryDir& dir, const QStringList& more)
{
    const QString masks = dir.filePath("masks.json");
    WriteFile(masks, json);
    return Kvxtool(QStringList{"export", source, "--channel", "2", "--masks", masks, "--out", dir.path()} + more);
}

// The loudest sample of an MP4's decoded sound; -1 without sound.
int SoundPeak(const QString& path)
{
    const CToolRun run = CToolRun::Of("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a", "-f", "s16le", "-ac", "1",
                                                 "-ar", "8000", "-"});
    if (run.out.isEmpty())
        return -1;
    const auto* samples = reinterpret_cast<const int16_t*>(run.out.constData());
    int peak = 0;
    for (qsizetype i = 0; i < run.out.size() / 2; ++i)
        peak = std::max(peak, std::abs(int(samples[i])));
    return peak;
}

// The note's redaction log: its REDACTED, MASK, KEY and MUTE lines.
QByteArrayList RedactionLog(const QString& note)
{
    QByteArrayList lines;
    for (const QByteArray& line : Contents(note).split('\n'))
        if (line.startsWith("REDACTED") || line.startsWith("MASK ") || line.startsWith("  KEY")
            || line.startsWith("MUTE "))
            lines << line;
    return lines;
}

// Whether the middle of `box` (fractions) is the solid mask's grey, after JPEG.
bool SolidAt(const QImage& image, const QRectF& box)
{
    const QPoint centre = CMaskPainter::PixelBox(box, image.size()).center();
    const QColor c = image.pixelColor(centre), fill = QColor::fromRgb(CMaskPainter::SOLID_COLOUR);
    return std::abs(c.red() - fill.red()) < 12 && std::abs(c.green() - fill.green()) < 12
        && std::abs(c.blue() - fill.blue()) < 12;
}

} // namespace

// The recording's privacy masks applied to the window's outputs: the export panel's
// "apply masks" and the snapshot editor's, each output equal to kvxtool's --masks.
class TestPlayerMasks : public QObject, public CBackupPanelFixture {
    Q_OBJECT

    static CRecordingRecipe Recipe(bool sound)
    {
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(4 * 60, 0.25);
        recipe.m_bAudio = sound;
        recipe.m_timeStart = CDateTime(2024, 3, 18, 14, 0, 0);
        return recipe;
    }

    // Marks from 00:00:12 to 00:00:40 of Recipe's recording.
    void MarkRange(CKVXPlayerView* view)
    {
        const std::vector<CGeneratedRecord> r = m_recordings.Last().Records();
        ShowRecord(view, r[4 * 12].m_nOffset);
        QTest::keyClick(view, Qt::Key_I);
        ShowRecord(view, r[4 * 40].m_nOffset);
        QTest::keyClick(view, Qt::Key_O);
        QCoreApplication::processEvents();
    }

    QStringList RangeArgs(CKVXPlayerView* view) const
    {
        const CInOutMarks marks = view->InOutMarks();
        return {"--from", Iso(marks.From()), "--to", Iso(marks.To())};
    }

private slots:
    void init() { m_shownFolders.clear(); }

    // Without masks the box is off and says why; with them it is ticked, and off while
    // the export runs. Unticked, the copy is the plain one.
    void panelBoxFollowsTheRecordingsMasks()
    {
        CPlayerFixture fixture;
        QString source;
        auto frame = StartPaused(fixture, Recipe(false), source);
        CKVXPlayerView* view = frame->View();
        MarkRange(view);
        CBackupDlg* dialog = OpenPanel(view);
        QCheckBox* box = dialog->MasksBox();
        QCOMPARE(box->text(), QString("apply masks"));
        QVERIFY(box->isVisible() && !box->isEnabled() && !box->isChecked());
        QCOMPARE(box->toolTip(), QString("no masks for this recording"));

        PutMasks(view, MaskJson(Recipe(false).m_timeStart));
        Click(view->Button(ctl::BACKUP)); // closed and opened again
        dialog = OpenPanel(view);
        box = dialog->MasksBox();
        QVERIFY(box->isEnabled() && box->isChecked());
        QVERIFY(dialog->geometry().contains(dialog->mapToGlobal(box->geometry().bottomRight())));

        Click(box);
        QVERIFY(!box->isChecked());
        StartExport(dialog, 1);
        QVERIFY(!box->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(dialog->IsStopped() && !view->RangeExport().IsRunning(), 60000);
        QCoreApplication::processEvents();
        QVERIFY(box->isEnabled());
        QVERIFY2(dialog->OutcomeLine()->Text().startsWith("Saved 02_Capture.avi, "),
                 qPrintable(dialog->OutcomeLine()->Text()));
        QVERIFY(RedactionLog(fixture.Folder() + "avi/02_Capture.txt").isEmpty());
    }

    // The panel's range export of camera 2 with the masks: _redacted, its frames those
    // of kvxtool export --masks of the same range byte for byte, the same log and the
    // same redaction log in the note.
    void rangeExportWithMasksEqualsKvxtool()
    {
        CPlayerFixture fixture;
        QString source;
        auto frame = StartPaused(fixture, Recipe(false), source);
        CKVXPlayerView* view = frame->View();
        const QByteArray json = MaskJson(Recipe(false).m_timeStart);
        PutMasks(view, json);
        MarkRange(view);
        CBackupDlg* dialog = OpenPanel(view);
        QTRY_VERIFY_WITH_TIMEOUT(view->Session().CameraRates().has_value(), 30000); // the rate box settles
        QCoreApplication::processEvents();
        QVERIFY(dialog->AppliesMasks());
        StartExport(dialog, 1);
        const QString fps = dialog->FrameRateBox()->currentText();
        QTRY_VERIFY_WITH_TIMEOUT(dialog->IsStopped() && !view->RangeExport().IsRunning(), 60000);
        QCoreApplication::processEvents();
        const QString avi = fixture.Folder() + "avi/02_Capture_redacted.avi";
        QVERIFY2(dialog->OutcomeLine()->Text().startsWith("Saved 02_Capture_redacted.avi, "),
                 qPrintable(dialog->OutcomeLine()->Text() + fixture.m_messages.join('\n')));
        QVERIFY(QFile::exists(fixture.Folder() + "avi/02_Capture_redacted.sha256"));

        QTemporaryDir toolDir;
        const CToolRun run = ToolExport(source, json, toolDir, QStringList{"--fps", fps} + RangeArgs(view));
        QVERIFY2(run.status == 0, run.err);
        const QByteArrayList frames = AviFrames(avi);
        QVERIFY(frames.size() > 20);
        QVERIFY(frames == AviFrames(toolDir.path() + "/02_Capture_redacted.avi"));
        QCOMPARE(Contents(fixture.Folder() + "avi/02_Capture_redacted.log"),
                 Contents(toolDir.path() + "/02_Capture_redacted.log"));
        const QByteArrayList log = RedactionLog(fixture.Folder() + "avi/02_Capture_redacted.txt");
        QCOMPARE(log.size(), 1 + 3 + 4 + 1); // the summary, 3 masks, 4 keys, 1 mute range
        QCOMPARE(log, RedactionLog(toolDir.path() + "/02_Capture_redacted.txt"));
    }

    // The MP4 of the marked range with audio switch 2 on and the sound muted: its
    // pictures and sound are kvxtool's packet for packet, and the sound is silent.
    void rangeMp4IsMutedAsKvxtoolMutesIt()
    {
        if (QStandardPaths::findExecutable("ffmpeg").isEmpty())
            QSKIP("ffmpeg is not installed");
        CPlayerFixture fixture;
        QString source;
        auto frame = StartPaused(fixture, Recipe(true), source);
        CKVXPlayerView* view = frame->View();
        const QByteArray json = MaskJson(Recipe(true).m_timeStart);
        PutMasks(view, json);
        QTest::mouseClick(view->Control(ctl::AUDIO2), Qt::LeftButton, {}, QPoint(5, 5));
        MarkRange(view);
        CBackupDlg* dialog = OpenPanel(view);
        dialog->FormatBox()->setCurrentIndex(1);
        StartExport(dialog, 1);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->IsStopped() && !view->RangeExport().IsRunning(), 60000);
        QCoreApplication::processEvents();
        const QString mp4 = fixture.Folder() + "avi/02_Capture_redacted.mp4";
        QVERIFY2(QFile::exists(mp4), qPrintable(dialog->OutcomeLine()->Text() + fixture.m_messages.join('\n')));

        QTemporaryDir toolDir;
        const CToolRun run =
            ToolExport(source, json, toolDir, QStringList{"--format", "mp4", "--audio", "2"} + RangeArgs(view));
        QVERIFY2(run.status == 0, run.err);
        const QByteArrayList packets = Mp4Packets(mp4, "0");
        QVERIFY(packets.size() > 20);
        QVERIFY(packets == Mp4Packets(toolDir.path() + "/02_Capture_redacted.mp4", "0"));
        const int peak = SoundPeak(mp4);
        QVERIFY2(peak >= 0 && peak < 64, qPrintable(QString::number(peak)));
    }

    // The export that plays along takes the masks as they were at its start: the
    // window replacing them meanwhile changes none of its frames, which are those
    // kvxtool export --masks makes of the file the masks were.
    void liveExportKeepsTheMasksItStartedWith()
    {
        CPlayerFixture fixture;
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(4 * 40, 1.0 / 16);
        recipe.m_bAudio = false;
        recipe.m_timeStart = CDateTime(2024, 3, 18, 14, 0, 0);
        QString source;
        auto frame = StartPaused(fixture, recipe, source);
        CKVXPlayerView* view = frame->View();
        const QByteArray json = MaskJson(recipe.m_timeStart);
        PutMasks(view, json);
        CBackupDlg* dialog = OpenPanel(view);
        StartExport(dialog, 1);
        PutMasks(view, EditedJson(recipe.m_timeStart));
        QVERIFY(QTest::qWaitFor([&] { return dialog->IsStopped(); }, 60000)); // the end pauses, and so stops it
        WaitForCompletion(view);
        const QString fps = dialog->FrameRateBox()->currentText();

        QTemporaryDir toolDir;
        const CToolRun run = ToolExport(source, json, toolDir, {"--fps", fps});
        QVERIFY2(run.status == 0, run.err);
        const QByteArrayList frames = AviFrames(fixture.Folder() + "avi/02_Capture_redacted.avi");
        const QByteArrayList toolFrames = AviFrames(toolDir.path() + "/02_Capture_redacted.avi");
        // Forward play never shows the last picture, so the window's copy lacks it.
        QVERIFY2(frames.size() >= 8 && frames.size() + 1 >= toolFrames.size(),
                 qPrintable(QString("%1 of %2 frames").arg(frames.size()).arg(toolFrames.size())));
        QVERIFY(frames == toolFrames.mid(0, frames.size()));
        QCOMPARE(RedactionLog(fixture.Folder() + "avi/02_Capture_redacted.txt"),
                 RedactionLog(toolDir.path() + "/02_Capture_redacted.txt"));
    }

    // The editor on camera 2 ticks "apply masks" and shows the masks; its save is the
    // _redacted still kvxtool snapshot --masks makes, described as masked. Unticked,
    // it shows and saves the picture as recorded. Camera 3 has no mask at that moment.
    void editorSavesTheRedactedStillAsKvxtoolDoes()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(64, 1.0 / 16);
        recipe.m_bAudio = false;
        recipe.m_timeStart = CDateTime(2024, 3, 18, 14, 1, 10);
        QString source;
        auto frame = StartPaused(fixture, recipe, source);
        CKVXPlayerView* view = frame->View();
        const QByteArray json = MaskJson(recipe.m_timeStart);
        PutMasks(view, json);

        Click(view->Button(ctl::CHANNEL_FIRST + 2));
        Click(view->Button(ctl::EDIT));
        CImageEditDlg* dlg = view->EditDialog();
        QVERIFY(dlg && dlg->isVisible());
        QVERIFY(!dlg->MasksBox()->isEnabled() && !dlg->AppliesMasks());
        QCOMPARE(dlg->MasksBox()->toolTip(), QString("no masks for this camera at this moment"));
        dlg->OnCommand(editctl::CLOSE);

        Click(view->Button(ctl::CHANNEL_FIRST + 1));
        Click(view->Button(ctl::EDIT));
        QVERIFY(dlg->isVisible() && dlg->MasksBox()->isEnabled() && dlg->MasksBox()->isChecked());
        const QRectF ellipse(0.1, 0.2, 0.3, 0.4); // held before its keys
        QVERIFY(SolidAt(dlg->ComposedPicture(), ellipse));
        const QRect shown = dlg->PictureRect();
        QVERIFY(SolidAt(dlg->grab(shown).toImage(), ellipse));
        Click(dlg->Button(editctl::SAVE));
        QCOMPARE(dlg->SavedText(), QString("SAVED 20240318_140110_redacted.jpg"));
        const QString redacted = fixture.Folder() + "Backup/20240318_140110_redacted.jpg";

        QTemporaryDir toolDir;
        const QString masks = toolDir.filePath("masks.json");
        WriteFile(masks, json);
        const CToolRun run = Kvxtool({"snapshot", source, "--channel", "2", "--at", Iso(recipe.m_timeStart), "--masks",
                                   masks, "--out", toolDir.path(), "--json"});
        QVERIFY2(run.status == 0, run.err);
        const QString command = run.Json()["file"].toString();
        QVERIFY(command.endsWith("/20240318_140110_redacted.jpg"));
        const QImage a(redacted), b(command);
        QCOMPARE(a.size(), b.size());
        QVERIFY(SolidAt(a, ellipse));
        const double psnr = Psnr(a, b);
        QVERIFY2(psnr > 40, qPrintable(QString::number(psnr)));
        if (!QStandardPaths::findExecutable("exiftool").isEmpty())
            QVERIFY(ExifTags(redacted)["ImageDescription"].toString().contains("privacy masks applied"));

        QTest::mouseClick(dlg->MasksBox(), Qt::LeftButton, {}, QPoint(8, dlg->MasksBox()->height() / 2));
        QVERIFY(!dlg->AppliesMasks());
        QVERIFY(!SolidAt(dlg->grab(shown).toImage(), ellipse));
        Click(dlg->Button(editctl::SAVE));
        QCOMPARE(dlg->SavedText(), QString("SAVED 20240318_140110.jpg"));
        QVERIFY(!SolidAt(QImage(fixture.Folder() + "Backup/20240318_140110.jpg"), ellipse));
    }
};

KVX_REGISTER_TEST(TestPlayerMasks);
#include "tst_playermasks.moc"
