#include "app/aboutdialog.h"
#include "recording/recordingprobe.h"
#include "app/kvxplayerapp.h"
#include "app/mainframe.h"
#include "platform/opendialog.h"
#include "player/audiocheckbox.h"
#include "player/clockglyphs.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "player/panelcolours.h"
#include "skin/profilefile.h"
#include "skin/skinbutton.h"
#include "session/soundoutputs.h"
#include "skin/skinslider.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QSettings>

#include <algorithm>

namespace {

const int NAV_IDS[7] = {ctl::START, ctl::RWPLAY, ctl::BPLAY, ctl::PAUSE, ctl::FPLAY, ctl::FFPLAY, ctl::END};

// Controls and the keys that place them; `pal` says whether they follow the PAL layout.
struct CPlaced {
    int id;
    const char* section;
    std::string key;
    bool pal;
};

std::vector<CPlaced> PlacedControls()
{
    std::vector<CPlaced> all = {
        {ctl::EXIT, "MAIN POS", "POS_EXIT", true},          {ctl::OPEN, "MAIN POS", "POS_OPEN", true},
        {ctl::BACKUP, "MAIN POS", "POS_BACKUP", true},      {ctl::EDIT, "MAIN POS", "POS_EDIT", true},
        {ctl::SPEED_UP, "MAIN POS", "POS_SPEED_UP", false}, {ctl::SPEED_DN, "MAIN POS", "POS_SPEED_DN", false},
        {ctl::SPEED_VAL, "MAIN POS", "POS_SPEED_VAL", false}, {ctl::DELAY_UP, "MAIN POS", "POS_DELAY_UP", false},
        {ctl::DELAY_DN, "MAIN POS", "POS_DELAY_DN", false}, {ctl::DELAY_VAL, "MAIN POS", "POS_DELAY_VAL", false},
        {ctl::SLIDER, "MAIN POS", "POS_SLIDE", true},       {ctl::MODE1, "MODE POS", "POS_MODE1", false},
        {ctl::MODE4, "MODE POS", "POS_MODE4", false},       {ctl::MODE9, "MODE POS", "POS_MODE9", false},
        {ctl::MODE16, "MODE POS", "POS_MODE16", false},     {ctl::PAGE_VAL, "CH POS", "POS_PAGE_VAL", true},
        {ctl::PREV_PAGE, "CH POS", "POS_PREV_PAGE", true},  {ctl::NEXT_PAGE, "CH POS", "POS_NEXT_PAGE", true},
    };
    const char* navKeys[7] = {"POS_START", "POS_RWPLAY", "POS_BPLAY", "POS_PAUSE", "POS_FPLAY", "POS_FFPLAY", "POS_END"};
    const char* lampKeys[7] = {"POS_STATE_START", "POS_STATE_RW", "POS_STATE_BP", "POS_STATE_PAUSE",
                               "POS_STATE_FP", "POS_STATE_FF", "POS_STATE_END"};
    for (int i = 0; i < 7; ++i) {
        all.push_back({NAV_IDS[i], "NAVIGATION POS", navKeys[i], true});
        all.push_back({ctl::LAMP_FIRST + i, "NAVIGATION POS", lampKeys[i], false});
    }
    for (int n = 1; n <= 16; ++n)
        all.push_back({ctl::CHANNEL_FIRST + n - 1, "CH POS", "POS_CH" + std::to_string(n), true});
    return all;
}

CSkinButton* ButtonOf(CMainFrame& frame, int id)
{
    return frame.View()->Button(id);
}

bool IsPlayerWindowShown()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(),
                       [](const QWidget* w) { return qobject_cast<const CMainFrame*>(w) && w->isVisible(); });
}

} // namespace

class TestPlayerView : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;

    std::string SixteenChannelRecording(const char* name = nullptr)
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 48;
        const std::string path = m_recordings.Write(recipe);
        if (!name)
            return path;
        const std::string renamed = m_recordings.PathFor(name);
        QFile::rename(QString::fromStdString(path), QString::fromStdString(renamed));
        return renamed;
    }

private slots:
    void refusesToStartWithoutASkin()
    {
        CPlayerFixture fixture; // no res.ini at all
        QVERIFY(!fixture.Start(""));
        QCOMPARE(fixture.m_messages, QStringList{"KVX PLAYER|Can't create window. Needs another resource."});

        CPlayerFixture noSize;
        noSize.WriteSkin();
        CProfileFile(noSize.IniPath().toStdString()).WriteString("MAIN POS", "POS_SKIN", "<0><0><0><600>");
        QVERIFY(!noSize.Start(""));
        QVERIFY(noSize.m_messages.isEmpty()); // a size that is not positive refuses silently
    }

    void startsWithoutARecording()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = fixture.Start("");
        QVERIFY(frame);
        CKVXPlayerView* view = frame->View();
        QCOMPARE(frame->size(), QSize(1000, 640));
        QCOMPARE(frame->mask().boundingRect(), QRect(3, 3, 1000, 640 + 96));
        for (const CPlaced& c : PlacedControls()) {
            QWidget* control = view->Control(c.id);
            QVERIFY2(control, qPrintable(QString::number(c.id)));
            QCOMPARE(control->geometry(), fixture.SkinRect(c.section, c.key));
            QVERIFY(control->isVisible());
        }
        for (int id : NAV_IDS) {
            QVERIFY(!ButtonOf(*frame, id)->IsButtonEnabled());
            QCOMPARE(ButtonOf(*frame, id)->CurrentImage(), SKIN_IMG_DISABLE);
        }
        QVERIFY(!view->Slider()->isEnabled());
        QVERIFY(!ButtonOf(*frame, ctl::BACKUP)->IsButtonEnabled());
        QVERIFY(!ButtonOf(*frame, ctl::EDIT)->IsButtonEnabled());
        QVERIFY(!ButtonOf(*frame, ctl::PREV_PAGE)->IsButtonEnabled());
        QVERIFY(!ButtonOf(*frame, ctl::NEXT_PAGE)->IsButtonEnabled());
        for (int k = 0; k < 7; ++k)
            QVERIFY(!ButtonOf(*frame, ctl::LAMP_FIRST + k)->IsButtonEnabled()); // all lamps dark
        for (int id : {ctl::AUDIO_CAPTION, ctl::AUDIO1, ctl::AUDIO2, ctl::AUDIO3, ctl::AUDIO4}) {
            QVERIFY(!view->Control(id)->isVisible());
            QCOMPARE(view->Control(id)->geometry().x(), 6);
        }
        QCOMPARE(static_cast<QLabel*>(view->Control(ctl::SPEED_VAL))->text(), QString(" 2x "));
        QCOMPARE(static_cast<QLabel*>(view->Control(ctl::DELAY_VAL))->text(), QString("  1  "));
        QCOMPARE(static_cast<QLabel*>(view->Control(ctl::PAGE_VAL))->text(), QString("1"));
        QCOMPARE(view->Grid(), 4);
        const QRect video = fixture.SkinRect("MAIN POS", "POS_OVERLAY_TERM");
        QCOMPARE(view->VideoRect(), QRect(video.topLeft(), QSize(720, 480)));
        QCOMPARE(view->TileRect(0), QRect(video.topLeft(), QSize(180, 120)));
        QCOMPARE(view->TileRect(15), QRect(video.x() + 540, video.y() + 360, 180, 120));
        QVERIFY(QDir(fixture.Folder() + "Backup").exists());
        QVERIFY(QDir(fixture.Folder() + "avi").exists());
        QVERIFY(fixture.m_messages.isEmpty());
        view->grab(); // painting without a recording draws the empty tiles
    }

    void opensTheRecordingOfTheCommandLine()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        const std::string path = SixteenChannelRecording("camera recording.kvx");
        auto frame = fixture.Start("\"" + QString::fromStdString(path) + "\"");
        CKVXPlayerView* view = frame->View();
        QCOMPARE(view->FilePath(), QString::fromStdString(path));
        QCOMPARE(view->Recording().m_nChannelCount, uint8_t(16));
        QVERIFY(view->IsPlayThreadStarted());
        QTRY_COMPARE(view->DeliveredFrames(), 17); // the first group, then a pause
        QTRY_COMPARE(view->PlayStateForTest(), uint8_t(0));
        const bool startPattern[7] = {false, false, false, false, true, true, true};
        for (int i = 0; i < 7; ++i)
            QCOMPARE(ButtonOf(*frame, NAV_IDS[i])->IsButtonEnabled(), startPattern[i]);
        QVERIFY(view->Slider()->isEnabled());
        QVERIFY(ButtonOf(*frame, ctl::BACKUP)->IsButtonEnabled());
        QVERIFY(!ButtonOf(*frame, ctl::EDIT)->IsButtonEnabled());
        QVERIFY(fixture.m_messages.isEmpty());
        view->grab();
        QTRY_COMPARE(ButtonOf(*frame, ctl::LAMP_FIRST + 3)->IsButtonEnabled(), true); // paused: the pause lamp
    }

    void refusedRecordingIsReportedAndNotPlayed()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        const std::string junk = m_recordings.WriteBytes(std::vector<uint8_t>(100000, 0x5A));
        auto frame = fixture.Start(QString::fromStdString(junk));
        QCOMPARE(fixture.m_messages,
                 QStringList{"KVXPlayer|" + QString::fromStdString(UnknownCdMessage(junk, PROBE_NO_FIRST_HEADER))});
        QVERIFY(!frame->View()->IsPlayThreadStarted());
        QVERIFY(!ButtonOf(*frame, ctl::BACKUP)->IsButtonEnabled());
    }

    // A pipe would make opening wait for a writer: it is refused at once, and the
    // window comes up.
    void pipeIsRefusedWithoutWaiting()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        const std::string pipe = m_recordings.MakePipe("pipe.kvx");
        CPipeWatchdog watchdog(pipe);
        auto frame = fixture.Start(QString::fromStdString(pipe));
        QVERIFY(!watchdog.Released());
        QVERIFY(frame->isVisible());
        QCOMPARE(fixture.m_messages,
                 QStringList{"KVXPlayer|Can not open KVX file.\n" + QString::fromStdString(pipe) + "\nIt is a pipe, not a file."});
        QVERIFY(!frame->View()->IsPlayThreadStarted());
    }

    void palLayoutMovesTheControlsBelowTheVideo()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin("[INFO]\nPAL=1");
        {
            auto frame = fixture.Start("");
            CKVXPlayerView* view = frame->View();
            QVERIFY(view->IsPal());
            QCOMPARE(frame->size(), QSize(1000, 640 + 96 + 5));
            QCOMPARE(view->VideoRect().size(), QSize(720, 576));
            QCOMPARE(view->TileRect(5).size(), QSize(180, 144));
            for (const CPlaced& c : PlacedControls())
                QCOMPARE(view->Control(c.id)->geometry(), fixture.SkinRect(c.section, c.key).translated(0, c.pal ? 99 : 0));
            QCOMPARE(view->Grid(), 4);
            QCOMPARE(view->Page(), 0);
        }
        QCOMPARE(CProfileFile(fixture.IniPath().toStdString()).GetInt("INFO", "PAL", 0), 1);

        CProfileFile(fixture.IniPath().toStdString()).WriteString("INFO", "PAL", "0");
        auto ntsc = fixture.Start("");
        QCOMPARE(ntsc->size(), QSize(1000, 640));
        ntsc.reset();
        QCOMPARE(CProfileFile(fixture.IniPath().toStdString()).GetInt("INFO", "PAL", 7), 0);
    }

    void audioRecordingShowsTheAudioControls()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(16, 0.25);
        auto frame = fixture.Start(QString::fromStdString(m_recordings.Write(recipe)));
        CKVXPlayerView* view = frame->View();
        const int ids[5] = {ctl::AUDIO_CAPTION, ctl::AUDIO1, ctl::AUDIO2, ctl::AUDIO3, ctl::AUDIO4};
        for (int i = 0; i < 5; ++i) {
            QVERIFY(view->Control(ids[i])->isVisible());
            QCOMPARE(view->Control(ids[i])->geometry(), QRect(6, 220 + 21 * i, 42, 21));
        }
        QCOMPARE(static_cast<QCheckBox*>(view->Control(ctl::AUDIO2))->text(), QString("2"));
    }

    // The switches sit on the skin's dark rail, not as white desktop check boxes; the
    // label takes the click too, and the box still does not check itself.
    void audioSwitchesAreDrawnInThePanelColours()
    {
        QWidget holder;
        CAudioCheckBox box(ctl::AUDIO2, "2", &holder);
        box.setGeometry(6, 262, 42, 21);
        const QRect square = box.BoxRect();
        const QImage off = box.grab().toImage();
        QCOMPARE(off.pixelColor(40, 2), panel::GROUND);
        QCOMPARE(off.pixelColor(square.topLeft()), panel::TEXT);
        QCOMPARE(off.pixelColor(square.center()), panel::GROUND);

        box.setChecked(true); // on is lit: box, number and an outline round the switch in the accent
        const QImage on = box.grab().toImage();
        QCOMPARE(on.pixelColor(square.topLeft() + QPoint(1, 1)), panel::LIT);
        QCOMPARE(on.pixelColor(36, 1), panel::LIT);
        QCOMPARE(on.pixelColor(36, 3), panel::GROUND);
        box.setEnabled(false);
        QVERIFY(box.grab().toImage().pixelColor(square.topLeft()) != panel::TEXT);

        box.setEnabled(true);
        box.setChecked(false);
        int clicks = 0;
        connect(&box, &QCheckBox::clicked, this, [&clicks] { ++clicks; });
        QTest::mouseClick(&box, Qt::LeftButton, {}, QPoint(38, 10));
        QCOMPARE(clicks, 1);
        QVERIFY(!box.isChecked());
    }

    // CTest runs the window tests with a sound server that does not exist. The player
    // says so once, over its window once that is up, however many recordings with
    // sound are opened.
    void withoutASoundServerPicturesStillPlay()
    {
        if (qgetenv("PULSE_SERVER") != "unix:/nonexistent")
            QSKIP("needs PULSE_SERVER=unix:/nonexistent (run through CTest)");
        QVERIFY(!CSoundOutputs::HasDevice());
        bool playerShown = false; // the message must not stand alone on an empty screen
        CPlayerFixture fixture;
        fixture.WriteSkin();
        const CMessageBox::Handler record = CMessageBox::SetHandler({});
        CMessageBox::SetHandler([&playerShown, record](const QString& caption, const QString& text) {
            record(caption, text);
            playerShown = IsPlayerWindowShown();
        });
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(16, 0.25);
        auto frame = fixture.Start(QString::fromStdString(m_recordings.Write(recipe)));
        QVERIFY(fixture.m_messages.isEmpty()); // not while the window is being built
        QTRY_COMPARE(fixture.m_messages,
                     QStringList{"Error|Audio initialize exception.\n"
                                 "No sound device was found, so the recording plays without sound"});
        QVERIFY(playerShown);
        QTRY_COMPARE(frame->View()->DeliveredFrames(), 5);
        QVERIFY(!frame->View()->HasAudioOutput(0));
        QVERIFY(frame->View()->Control(ctl::AUDIO1)->isVisible());

        const QString second = QString::fromStdString(m_recordings.Write(recipe));
        const COpenDialog::Handler previous = COpenDialog::SetHandler([second](const QString&) { return second; });
        QTest::keyClick(frame->View(), Qt::Key_O, Qt::ControlModifier);
        COpenDialog::SetHandler(previous);
        QCOMPARE(frame->View()->FilePath(), second);
        QTRY_COMPARE(frame->View()->DeliveredFrames(), 5);
        QCoreApplication::processEvents();
        QCOMPARE(fixture.m_messages.size(), 1);
    }

    void invalidEndTimeKeepsGoToEndDisabled()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        CRecordingRecipe recipe;
        recipe.m_nRecords = 48;
        recipe.m_invalidDates = {CRecordingRecipe::LAST_RECORD};
        auto frame = fixture.Start(QString::fromStdString(m_recordings.Write(recipe)));
        QTRY_COMPARE(frame->View()->DeliveredFrames(), 17);
        QVERIFY(!ButtonOf(*frame, ctl::END)->IsButtonEnabled());
        QVERIFY(ButtonOf(*frame, ctl::FPLAY)->IsButtonEnabled());
    }

    void toolTipsComeFromTheSkin()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin("[INFO]\nTOOLTIP_ON=1");
        auto frame = fixture.Start("");
        CKVXPlayerView* view = frame->View();
        QCOMPARE(view->Control(ctl::EXIT)->toolTip(), QString("Exit the player"));
        QCOMPARE(view->Control(ctl::CHANNEL_FIRST + 4)->toolTip(), QString(79, 'c'));
        QCOMPARE(view->Control(ctl::OPEN)->toolTip(), QString("EMPTY"));
        QCOMPARE(view->Control(ctl::SLIDER)->toolTip(), QString("EMPTY"));

        CPlayerFixture off;
        off.WriteSkin();
        auto quiet = off.Start("");
        QCOMPARE(quiet->View()->Control(ctl::EXIT)->toolTip(), QString());
    }

    void exitStopsPlaybackAndClosesTheWindow()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = fixture.Start(QString::fromStdString(SixteenChannelRecording()));
        CKVXPlayerView* view = frame->View();
        QVERIFY(view->IsPlayThreadStarted());
        QTest::mouseClick(view->Button(ctl::EXIT), Qt::LeftButton, {}, QPoint(2, 2));
        QTRY_VERIFY(!frame->isVisible());
        QVERIFY(!view->IsPlayThreadStarted());
    }

    void clockReadsTwelveHourTime()
    {
        auto strip = [](int h, int m, int s) {
            std::vector<int> x;
            for (const CClockGlyph& g : ClockGlyphs(h, m, s))
                x.push_back(g.stripX);
            return x;
        };
        // sign, then the digits and colons: PM 00:05:09
        QCOMPARE(strip(12, 5, 9), (std::vector<int>{115, 0, 0, 90, 0, 45, 90, 0, 81}));
        QCOMPARE(strip(0, 30, 0), (std::vector<int>{96, 0, 0, 90, 27, 0, 90, 0, 0}));
        QCOMPARE(strip(23, 59, 58), (std::vector<int>{115, 9, 9, 90, 45, 81, 90, 45, 72}));
        std::vector<int> x;
        for (const CClockGlyph& g : ClockGlyphs(1, 2, 3))
            x.push_back(g.x);
        QCOMPARE(x, (std::vector<int>{870, 796, 805, 815, 822, 831, 841, 848, 857}));
    }

    void recentFilesKeepTheLastFour()
    {
        QTemporaryDir settingsDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        for (int i = 1; i <= 6; ++i)
            CKVXPlayerApp::AddToRecentFileList(QString("/rec/%1.kvx").arg(i));
        CKVXPlayerApp::AddToRecentFileList("/rec/4.kvx");
        QCOMPARE(CKVXPlayerApp::RecentFiles(), (QStringList{"/rec/4.kvx", "/rec/6.kvx", "/rec/5.kvx", "/rec/3.kvx"}));
        QCOMPARE(CommandLineText({"kvxplayer", "\"/media/cd/my", "rec.kvx\""}), QString("\"/media/cd/my rec.kvx\""));
    }
};

KVX_REGISTER_TEST(TestPlayerView);
#include "tst_playerview.moc"
