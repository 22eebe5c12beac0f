// The report through the real window: the slider's evidence marks against what
// `kvxtool report --json` lists, the report panel (Ctrl+I) and its lines that go to
// each finding, and its Save, whose JSON is kvxtool's to the byte, whose PDF reads as
// the panel does, and whose sums `kvxtool verify` finds whole and signed.

#include "app/mainframe.h"
#include "platform/folderdialog.h"
#include "platform/opendialog.h"
#include "playback/playstate.h"
#include "playback/seekposition.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "player/reportpanel.h"
#include "skin/skinslider.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testfiles.h"
#include "tests/support/testmain.h"
#include "tests/support/toolrun.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

constexpr int WAIT_MS = 120000;

// Four cameras, eight records a second, 100 s: the clock leaps a minute forward at
// record 240 and is set back 40 s at record 560; a picture over 8 units at 100, one
// that cannot be shown at 400, and a block of garbage after every 300th record.
CRecordingRecipe FaultyRecipe()
{
    CRecordingRecipe r;
    r.m_nChannels = 4;
    r.m_nRecords = 800;
    r.m_dSecondsPerRecord = 1.0 / 8;
    r.m_nQuality = 40;
    r.m_timeShifts = {{240, 60}, {560, -40}};
    r.m_oversize = {100};
    r.m_jpegStarts = {{400, EJpegStart::Unrepairable}};
    r.m_nGarbageEvery = 300;
    return r;
}

bool IsIdle(CKVXPlayerView* view)
{
    QCoreApplication::processEvents();
    return view->PlayStateForTest() == PS_PAUSE;
}

// "00:06:34" of "2005-01-01 00:06:34".
QString Clock(const QJsonValue& iso)
{
    return iso.toString().right(8);
}

} // namespace

class TestPlayerReport : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;
    QString m_strPath;
    QByteArray m_toolJson; // what kvxtool report --json prints for it
    int64_t m_nSetBackSeconds = 0; // the stamp of the record after the set-back
    CPlayerFixture m_fixture;
    std::unique_ptr<CMainFrame> m_frame;
    CKVXPlayerView* m_view = nullptr;

    QJsonObject ToolReport() const { return QJsonDocument::fromJson(m_toolJson).object(); }
    int PositionOf(const QJsonValue& offset) const
    {
        return SliderPosition(uint64_t(offset.toInteger()), uint64_t(ToolReport()["size"].toInteger()));
    }

    void OpenPanel()
    {
        if (!m_view->ReportPanel()->isVisible())
            QTest::keyClick(m_view, Qt::Key_I, Qt::ControlModifier);
        QVERIFY(m_view->ReportPanel()->isVisible());
    }

    int RowContaining(const QString& text) const
    {
        const CReportPanel* panel = m_view->ReportPanel();
        for (int row = 0; row < panel->RowCount(); ++row)
            if (panel->RowText(row).contains(text))
                return row;
        return -1;
    }

    // Saves into `folder` through the panel, as a user picking it would.
    void SaveInto(const QString& folder)
    {
        const CFolderDialog::Handler previous =
            CFolderDialog::SetHandler([&](const QString&, const QString&) { return folder; });
        QTest::mouseClick(m_view->ReportPanel()->SaveButton(), Qt::LeftButton);
        CFolderDialog::SetHandler(previous);
    }

private slots:
    void initTestCase()
    {
        m_strPath = QString::fromStdString(m_recordings.Write(FaultyRecipe()));
        for (const CGeneratedRecord& r : m_recordings.Last().Records())
            if (r.m_nPictureIndex == 560)
                m_nSetBackSeconds = DateTimeToSeconds(r.m_time);
        const CToolRun run = Kvxtool({"report", m_strPath, "--json"});
        QCOMPARE(run.status, 0);
        m_toolJson = run.out;
        m_fixture.WriteSkin();
        m_frame = m_fixture.Start(m_strPath);
        QVERIFY(m_frame);
        m_view = m_frame->View();
        QVERIFY(QTest::qWaitFor([&] { return m_view->Session().Report().Report().has_value(); }, WAIT_MS));
        QVERIFY(QTest::qWaitFor([&] { return m_view->DeliveredFrames() >= 4 && IsIdle(m_view); }, WAIT_MS));
    }

    void cleanupTestCase()
    {
        m_frame.reset();
    }

    // One mark for each clock jump (a leap forward is the recording's gap, which every
    // camera's own gap across it does not repeat) and each damaged run, at the
    // positions of their offsets, with their times and sizes in words.
    void theMarksAreWhatTheToolReports()
    {
        const QJsonObject report = ToolReport();
        const QJsonArray jumps = report["clock_jumps"].toArray(), runs = report["damaged_runs"].toArray();
        QCOMPARE(jumps.size(), 2);
        QVERIFY(runs.size() >= 3);
        int cameraGaps = 0;
        for (const QJsonValue& c : report["channels"].toArray())
            cameraGaps += c.toObject()["gaps"].toArray().size();
        QCOMPARE(cameraGaps, 4); // every camera across the leap

        const CSliderMarks& marks = m_view->Slider()->Marks(ESliderMarkLayer::Evidence);
        QCOMPARE(int(marks.size()), jumps.size() + runs.size());
        const QJsonObject leap = jumps[0].toObject(), setBack = jumps[1].toObject();
        QCOMPARE(marks[0].m_nFrom, PositionOf(leap["offset"]));
        QCOMPARE(marks[0].m_nTo, marks[0].m_nFrom);
        QCOMPARE(marks[0].m_text, "no recording " + Clock(leap["from"]) + " \u2013 " + Clock(leap["to"]));
        QCOMPARE(marks[1].m_nFrom, PositionOf(setBack["offset"]));
        QCOMPARE(marks[1].m_text, "clock set back from " + Clock(setBack["from"]) + " to " + Clock(setBack["to"]));
        QVERIFY(marks[1].m_colour != marks[0].m_colour);
        for (int i = 0; i < runs.size(); ++i) {
            const QJsonObject run = runs[i].toObject();
            const CSliderMark& mark = marks[size_t(2 + i)];
            QCOMPARE(mark.m_nFrom, PositionOf(run["offset"]));
            QCOMPARE(mark.m_nTo, PositionOf(run["end"]));
            const int blocks = run["blocks"].toInt();
            QCOMPARE(mark.m_text, QString("damaged: %1 block%2").arg(blocks).arg(blocks == 1 ? "" : "s"));
        }
        QVERIFY(m_view->Slider()->MarkTextAt(marks[1].m_nFrom).contains(marks[1].m_text));
    }

    // The panel lists the file, the cameras and every finding; a click on the set-back
    // shows the record after it, paused.
    void thePanelGoesToAFinding()
    {
        OpenPanel();
        CReportPanel* panel = m_view->ReportPanel();
        QVERIFY(panel->RowText(0).contains(m_strPath));
        QVERIFY(RowContaining("Camera 4:") > 0);
        const QJsonObject setBack = ToolReport()["clock_jumps"].toArray()[1].toObject();
        const int row = RowContaining("clock set back");
        QVERIFY(row > 0);
        QCOMPARE(panel->OffsetAt(row), std::optional<uint64_t>(setBack["offset"].toInteger()));
        QVERIFY(!panel->OffsetAt(0));

        const int before = m_view->DeliveredFrames();
        QListWidget* rows = panel->Rows();
        rows->scrollToItem(rows->item(row));
        QCoreApplication::processEvents();
        QTest::mouseClick(rows->viewport(), Qt::LeftButton, {}, rows->visualItemRect(rows->item(row)).center());
        QVERIFY(QTest::qWaitFor([&] { return m_view->DeliveredFrames() > before && IsIdle(m_view); }, WAIT_MS));
        const int64_t shown = DateTimeToSeconds(m_view->ShownTime());
        QVERIFY2(shown >= m_nSetBackSeconds && shown <= m_nSetBackSeconds + 1,
                 qPrintable(QString::fromStdString(m_view->ShownTime().ToIsoString())));
    }

    // JSON to the byte as kvxtool prints it, a PDF with the panel's words, sums over
    // both that verify, signed; a second save takes the next free names.
    void saveWritesWhatVerifies()
    {
        OpenPanel();
        QTemporaryDir folder;
        SaveInto(folder.path());
        const QString stem = folder.filePath(QFileInfo(m_strPath).completeBaseName() + "_report");
        QCOMPARE(Contents(stem + ".json"), m_toolJson);
        QVERIFY(Contents(stem + ".pdf").startsWith("%PDF"));
        QVERIFY2(m_view->ReportPanel()->SaveOutcome().contains("signed by the key"),
                 qPrintable(m_view->ReportPanel()->SaveOutcome()));

        const CToolRun verify = Kvxtool({"verify", stem + ".sha256"});
        QCOMPARE(verify.status, 0);
        QVERIFY(verify.out.contains(QString(stem + ".json: OK").toUtf8()));
        QVERIFY(verify.out.contains(QString(stem + ".pdf: OK").toUtf8()));
        QVERIFY(verify.out.contains("signed by key"));

        if (!QStandardPaths::findExecutable("pdftotext").isEmpty()) {
            const CToolRun text = CToolRun::Of("pdftotext", {stem + ".pdf", "-"});
            QCOMPARE(text.status, 0);
            QVERIFY2(text.out.contains("clock set back from"), text.out.constData());
            QVERIFY(text.out.contains("damaged:"));
        }

        const QByteArray first = Contents(stem + ".pdf");
        SaveInto(folder.path());
        QVERIFY(QFile::exists(stem + "_2.json") && QFile::exists(stem + "_2.pdf") && QFile::exists(stem + "_2.sha256"));
        QCOMPARE(Contents(stem + ".pdf"), first);
    }

    // A key that cannot be had costs the signature, not the files: the panel says
    // they are unsigned and why, and verify finds the sums whole but not signed.
    void withoutAKeyTheSaveIsUnsigned()
    {
        OpenPanel();
        QTemporaryDir folder;
        const QString notAFolder = folder.filePath("plain-file");
        QFile(notAFolder).open(QIODevice::WriteOnly);
        const QByteArray config = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", (notAFolder + "/config").toUtf8());
        SaveInto(folder.path());
        qputenv("XDG_CONFIG_HOME", config);
        const QString outcome = m_view->ReportPanel()->SaveOutcome();
        QVERIFY2(outcome.contains("unsigned: ") && outcome.contains("plain-file"), qPrintable(outcome));
        const QString stem = folder.filePath(QFileInfo(m_strPath).completeBaseName() + "_report");
        QCOMPARE(Contents(stem + ".json"), m_toolJson);
        const CToolRun verify = Kvxtool({"verify", stem + ".sha256"});
        QCOMPARE(verify.status, 1);
        QVERIFY2(verify.out.contains(QString(stem + ".sha256: NOT SIGNED").toUtf8()), verify.out.constData());
    }

    // Opening another recording clears the marks at once and the panel says the
    // report is being read; once read, its own marks come.
    void anotherRecordingStartsOver()
    {
        OpenPanel();
        CRecordingRecipe clean;
        clean.m_nChannels = 4;
        clean.m_nRecords = 64;
        const QString other = QString::fromStdString(m_recordings.Write(clean));
        const COpenDialog::Handler previous = COpenDialog::SetHandler([&](const QString&) { return other; });
        m_view->OnCommand(ctl::OPEN);
        COpenDialog::SetHandler(previous);
        QVERIFY(m_view->Slider()->Marks(ESliderMarkLayer::Evidence).empty());
        QVERIFY2(m_view->ReportPanel()->Caption().contains("being read"),
                 qPrintable(m_view->ReportPanel()->Caption()));
        QVERIFY(!m_view->ReportPanel()->SaveButton()->isEnabled());
        QVERIFY(QTest::qWaitFor([&] { return m_view->Session().Report().Report().has_value(); }, WAIT_MS));
        QVERIFY(m_view->Slider()->Marks(ESliderMarkLayer::Evidence).empty());
        QVERIFY(RowContaining("Gaps: 0") > 0);
        QVERIFY(m_view->ReportPanel()->SaveButton()->isEnabled());
    }
};

KVX_REGISTER_TEST(TestPlayerReport);
#include "tst_playerreport.moc"
