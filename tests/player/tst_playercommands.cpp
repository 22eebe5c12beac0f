#include "app/kvxplayerapp.h"
#include "recording/recordingprobe.h"
#include "app/mainframe.h"
#include "platform/nativefilename.h"
#include "platform/opendialog.h"
#include "playback/playstate.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "skin/profilefile.h"
#include "skin/skinbutton.h"
#include "skin/skinslider.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"
#include "tools/recgen/scenepainter.h"

#include <QCheckBox>
#include <QLabel>

#include <cstdio>

namespace {

const int NAV_IDS[7] = {ctl::START, ctl::RWPLAY, ctl::BPLAY, ctl::PAUSE, ctl::FPLAY, ctl::FFPLAY, ctl::END};

void Click(QWidget* control, QPoint at = QPoint(2, 2))
{
    QTest::mouseClick(control, Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
}

std::array<bool, 7> NavEnabled(CKVXPlayerView* view)
{
    std::array<bool, 7> enabled{};
    for (int i = 0; i < 7; ++i)
        enabled[size_t(i)] = view->Button(NAV_IDS[i])->IsButtonEnabled();
    return enabled;
}

int LitLamp(CKVXPlayerView* view)
{
    int lit = -1;
    for (int k = 0; k < 7; ++k)
        if (view->Button(ctl::LAMP_FIRST + k)->IsButtonEnabled())
            lit = lit < 0 ? k : 99;
    return lit;
}

QString Text(CKVXPlayerView* view, int id)
{
    return static_cast<QLabel*>(view->Control(id))->text();
}

bool Near(QColor a, QColor b, int tolerance = 30)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
        && std::abs(a.blue() - b.blue()) <= tolerance;
}

// What the commands change that the window shows at once.
struct CObserved {
    int grid, page, channel, speed, delay, audio, lamp;
    bool operator==(const CObserved&) const = default;
};

CObserved Observe(CKVXPlayerView* view)
{
    return {view->Grid(), view->Page(), view->CurrentChannel(), view->SpeedIndex(), view->DelayIndex(),
            view->AudioMask(), LitLamp(view)};
}

QString Describe(const CObserved& o)
{
    return QString("grid %1 page %2 channel %3 speed %4 delay %5 audio %6 lamp %7")
        .arg(o.grid).arg(o.page).arg(o.channel).arg(o.speed).arg(o.delay).arg(o.audio).arg(o.lamp);
}

// Where a tile shows the plain background of its channel's scene.
QPoint BackgroundPointOf(const QRect& tile)
{
    return tile.topLeft() + QPoint(tile.width() * 92 / 100, tile.height() * 30 / 100);
}

} // namespace

class TestPlayerCommands : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;
    COpenDialog::Handler m_previousDialog;
    QString m_strDialogAnswer;

    std::string Recording(int channels, int records, bool audio = false, bool pal = false)
    {
        CRecordingRecipe recipe;
        recipe.m_nChannels = channels;
        recipe.m_nRecords = records;
        recipe.m_bAudio = audio;
        recipe.m_dSecondsPerRecord = 1.0 / channels;
        if (pal) {
            recipe.m_nWidth = 720;
            recipe.m_nHeight = 288;
        }
        return m_recordings.Write(recipe);
    }

    // Opens a recording and waits until its first group is shown and playback pauses.
    std::unique_ptr<CMainFrame> StartPaused(CPlayerFixture& fixture, const std::string& path, int groupFrames)
    {
        return StartPaused(fixture, QString::fromStdString(path), groupFrames);
    }
    std::unique_ptr<CMainFrame> StartPaused(CPlayerFixture& fixture, const QString& commandLine, int groupFrames)
    {
        auto frame = fixture.Start(commandLine);
        if (!QTest::qWaitFor([&] { return frame->View()->DeliveredFrames() >= groupFrames
                                       && frame->View()->PlayStateForTest() == PS_PAUSE; }, 20000))
            qFatal("the first group was not shown");
        QCoreApplication::processEvents();
        return frame;
    }

private slots:
    void initTestCase()
    {
        m_previousDialog = COpenDialog::SetHandler([this](const QString&) { return m_strDialogAnswer; });
    }
    void cleanupTestCase() { COpenDialog::SetHandler(m_previousDialog); }

    void navigationButtonsAndLampsFollowTheState()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, Recording(16, 400), 17);
        CKVXPlayerView* view = frame->View();
        QCOMPARE(NavEnabled(view), (std::array<bool, 7>{false, false, false, false, true, true, true}));

        Click(view->Button(ctl::FPLAY));
        QCOMPARE(view->PlayStateForTest(), PS_FPLAY);
        QCOMPARE(NavEnabled(view), (std::array<bool, 7>{true, true, true, true, false, true, true}));
        QCOMPARE(LitLamp(view), 4);

        Click(view->Button(ctl::PAUSE));
        QCOMPARE(view->PlayStateForTest(), PS_PAUSE);
        QCOMPARE(NavEnabled(view), (std::array<bool, 7>{true, true, true, false, true, true, true}));
        QCOMPARE(LitLamp(view), 3);

        Click(view->Button(ctl::END));
        QCOMPARE(NavEnabled(view), (std::array<bool, 7>{true, true, true, false, false, false, false}));
        QCOMPARE(LitLamp(view), 6);
        QTRY_COMPARE(view->PlayStateForTest(), PS_PAUSE); // the last group shown, stepping back

        Click(view->Button(ctl::START));
        QCOMPARE(NavEnabled(view), (std::array<bool, 7>{false, false, false, false, true, true, true}));
        QCOMPARE(LitLamp(view), 0);
        QTRY_COMPARE(view->PlayStateForTest(), PS_PAUSE);

        Click(view->Button(ctl::FFPLAY));
        QCOMPARE(NavEnabled(view), (std::array<bool, 7>{true, true, true, true, true, false, true}));
        QCOMPARE(LitLamp(view), 5);
        QTRY_COMPARE(view->PlayStateForTest(), PS_PAUSE); // fast forward ran into the end
        QTRY_COMPARE(NavEnabled(view), (std::array<bool, 7>{true, true, true, false, false, false, false}));
    }

    // Every control ID runs its own command and only that: the first audio switch's
    // ID lies between the delay buttons' IDs, and the mode and channel IDs border
    // on others.
    void everyControlRunsItsOwnCommand()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, Recording(16, 400), 17);
        CKVXPlayerView* view = frame->View();
        struct CStep {
            int id;
            std::function<void(CObserved&)> change;
        };
        std::vector<CStep> steps = {
            {ctl::SPEED_UP, [](CObserved& o) { o.speed = 1; }},
            {ctl::DELAY_UP, [](CObserved& o) { o.delay = 2; }},
            {ctl::SPEED_DN, [](CObserved& o) { o.speed = 0; }},
            {ctl::DELAY_DN, [](CObserved& o) { o.delay = 1; }},
            {ctl::MODE4, [](CObserved& o) { o.grid = 2; }},
            {ctl::NEXT_PAGE, [](CObserved& o) { o.page = 1; o.channel = 4; }},
            {ctl::PREV_PAGE, [](CObserved& o) { o.page = 0; o.channel = 0; }},
            {ctl::MODE9, [](CObserved& o) { o.grid = 3; }},
            {ctl::MODE1, [](CObserved& o) { o.grid = 1; }},
            {ctl::MODE16, [](CObserved& o) { o.grid = 4; }},
        };
        for (int bit = 0; bit < 4; ++bit)
            steps.push_back({ctl::AUDIO_IDS[bit], [bit](CObserved& o) { o.audio ^= 1 << bit; }});
        for (int channel = 15; channel >= 0; --channel)
            steps.push_back({ctl::CHANNEL_FIRST + channel, [channel](CObserved& o) {
                                 o.grid = 1;
                                 o.page = o.channel = channel;
                             }});
        for (int lamp : {4, 3, 5, 2, 1, 0, 6})
            steps.push_back({NAV_IDS[lamp], [lamp](CObserved& o) { o.lamp = lamp; }});

        for (const CStep& step : steps) {
            CObserved want = Observe(view);
            step.change(want);
            view->OnCommand(step.id); // no events between: the playback thread's pauses wait
            const CObserved got = Observe(view);
            QVERIFY2(got == want,
                     qPrintable(QString("%1: %2, not %3").arg(step.id).arg(Describe(got), Describe(want))));
        }
    }

    void withoutARecordingNavigationStaysOff()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = fixture.Start("");
        CKVXPlayerView* view = frame->View();
        for (int id : NAV_IDS)
            Click(view->Button(id));
        QTest::keyClick(view, Qt::Key_Right);
        QTest::keyClick(view, Qt::Key_Space);
        QCoreApplication::processEvents();
        QCOMPARE(NavEnabled(view), (std::array<bool, 7>{}));
        QVERIFY(!view->Slider()->isEnabled());
        QCOMPARE(view->PlayStateForTest(), PS_PAUSE);
    }

    void tilesShowTheirChannels()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, Recording(16, 64), 17);
        CKVXPlayerView* view = frame->View();
        QImage shown = view->grab().toImage();
        for (int ch = 0; ch < 16; ++ch)
            QVERIFY2(Near(shown.pixelColor(BackgroundPointOf(view->TileRect(ch))), CScenePainter::BackgroundColour(ch)),
                     qPrintable(QString::number(ch)));

        Click(view->Button(ctl::MODE9));
        Click(view->Button(ctl::NEXT_PAGE));
        QCOMPARE(view->CurrentChannel(), 9);
        shown = view->grab().toImage();
        const int onPage[9] = {0, 1, 9, 10, 11, 12, 13, 14, 15};
        for (int ch : onPage)
            QVERIFY2(Near(shown.pixelColor(BackgroundPointOf(view->TileRect(ch))), CScenePainter::BackgroundColour(ch)),
                     qPrintable(QString::number(ch)));

        Click(view->Button(ctl::CHANNEL_FIRST + 12));
        QCOMPARE(view->Grid(), 1);
        shown = view->grab().toImage();
        QVERIFY(Near(shown.pixelColor(BackgroundPointOf(view->TileRect(12))), CScenePainter::BackgroundColour(12)));
    }

    void layoutsAndPages()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, Recording(16, 48), 17);
        CKVXPlayerView* view = frame->View();
        CSkinButton* prev = view->Button(ctl::PREV_PAGE);
        CSkinButton* next = view->Button(ctl::NEXT_PAGE);
        QVERIFY(!prev->IsButtonEnabled() && !next->IsButtonEnabled()); // 16 tiles: one page

        Click(view->Button(ctl::MODE4));
        QCOMPARE(view->Grid(), 2);
        QVERIFY(!prev->IsButtonEnabled() && next->IsButtonEnabled());
        for (int i = 0; i < 3; ++i)
            Click(next);
        QCOMPARE(view->Page(), 3);
        QCOMPARE(view->CurrentChannel(), 12);
        QCOMPARE(Text(view, ctl::PAGE_VAL), QString("4"));
        QVERIFY(prev->IsButtonEnabled() && !next->IsButtonEnabled());

        Click(view->Button(ctl::MODE9));
        QCOMPARE(view->Page(), 0);
        QCOMPARE(Text(view, ctl::PAGE_VAL), QString("1"));
        Click(next);
        QCOMPARE(view->Page(), 1);
        QVERIFY(!next->IsButtonEnabled()); // nine tiles: two pages
        QVERIFY(!view->Button(ctl::EDIT)->IsButtonEnabled());

        Click(view->Button(ctl::CHANNEL_FIRST + 15));
        QCOMPARE(view->Grid(), 1);
        QCOMPARE(view->CurrentChannel(), 15);
        QVERIFY(prev->IsButtonEnabled() && !next->IsButtonEnabled());
        QVERIFY(view->Button(ctl::EDIT)->IsButtonEnabled());
        Click(view->Button(ctl::CHANNEL_FIRST));
        QVERIFY(!prev->IsButtonEnabled() && next->IsButtonEnabled());

        // A double-click on the enlarged picture goes back to the last layout, page 1;
        // one on a tile enlarges the tile's channel.
        const QPoint middle = view->VideoRect().center();
        QTest::mouseDClick(view, Qt::LeftButton, {}, middle);
        QCOMPARE(view->Grid(), 3);
        QCOMPARE(view->Page(), 0);
        QTest::mouseDClick(view, Qt::LeftButton, {}, view->TileRect(4).center());
        QCOMPARE(view->Grid(), 1);
        QCOMPARE(view->CurrentChannel(), 4);

        QTest::keyClick(view, Qt::Key_0);
        QCoreApplication::processEvents();
        QCOMPARE(view->Grid(), 4);
        QTest::keyClick(view, Qt::Key_4);
        QTest::keyClick(view, Qt::Key_PageDown);
        QCoreApplication::processEvents();
        QCOMPARE(view->Page(), 1);
    }

    void speedAndDelayStopAtTheirEnds()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = fixture.Start("");
        CKVXPlayerView* view = frame->View();
        const QString speeds[6] = {" 2x ", " 4x ", " 8x ", "16x", "32x", "64x"};
        for (int i = 1; i <= 7; ++i) {
            Click(view->Button(ctl::SPEED_UP));
            QCOMPARE(Text(view, ctl::SPEED_VAL), speeds[std::min(i, 5)]);
        }
        QCOMPARE(view->SpeedIndex(), 5);
        for (int i = 0; i < 7; ++i)
            Click(view->Button(ctl::SPEED_DN));
        QCOMPARE(view->SpeedIndex(), 0);
        QCOMPARE(Text(view, ctl::SPEED_VAL), QString(" 2x "));
        for (int i = 0; i < 8; ++i)
            Click(view->Button(ctl::DELAY_UP));
        QCOMPARE(view->DelayIndex(), 7);
        QCOMPARE(Text(view, ctl::DELAY_VAL), QString(" 1/128"));
        QTest::keyClick(view, Qt::Key_BracketLeft);
        QCoreApplication::processEvents();
        QCOMPARE(Text(view, ctl::DELAY_VAL), QString(" 1/64 "));
        for (int i = 0; i < 8; ++i)
            Click(view->Button(ctl::DELAY_DN));
        QCOMPARE(view->DelayIndex(), 1);
        QCOMPARE(Text(view, ctl::DELAY_VAL), QString("  1  "));
    }

    void sliderSeeksWhereItIsClicked()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, Recording(16, 400), 17);
        CKVXPlayerView* view = frame->View();
        const int before = view->DeliveredFrames();
        Click(view->Slider(), QPoint(500, 5));
        QCOMPARE(view->Slider()->m_nClickPos, 500);
        QVERIFY(!view->Button(ctl::PAUSE)->IsButtonEnabled());
        QVERIFY(view->Button(ctl::START)->IsButtonEnabled());
        QTRY_COMPARE(view->PlayStateForTest(), PS_PAUSE);
        QTRY_VERIFY(view->DeliveredFrames() >= before + 17);
        // One group stepped back from the target: the thumb stands a little short of it.
        QTRY_VERIFY(std::abs(view->Slider()->Pos() - 500) < 40);
    }

    void audioSwitchesShrinkTheEnlargedPicture()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, Recording(4, 24, true), 5);
        CKVXPlayerView* view = frame->View();
        Click(view->Button(ctl::CHANNEL_FIRST + 1));
        const QRect video = view->VideoRect();
        QCOMPARE(view->TileRect(1), video);
        auto* box = static_cast<QCheckBox*>(view->Control(ctl::AUDIO2));
        Click(box, QPoint(5, 5));
        QVERIFY(box->isChecked());
        QCOMPARE(view->AudioMask(), uint8_t(0b0010));
        QCOMPARE(view->TileRect(1), QRect(video.topLeft() + QPoint(180, 120), QSize(360, 240)));
        Click(box, QPoint(5, 5));
        QVERIFY(!box->isChecked());
        QCOMPARE(view->AudioMask(), uint8_t(0));
        QCOMPARE(view->TileRect(1), video);
    }

    void openingARefusedFileLeavesNoPlayback()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, Recording(16, 48), 17);
        CKVXPlayerView* view = frame->View();
        Click(view->Button(ctl::MODE4));
        m_strDialogAnswer = QString::fromStdString(m_recordings.WriteBytes(std::vector<uint8_t>(70000, 0)));
        Click(view->Button(ctl::OPEN));
        QCOMPARE(fixture.m_messages,
                 QStringList{"KVXPlayer|" + QString::fromStdString(UnknownCdMessage(m_strDialogAnswer.toStdString(),
                                                                                    PROBE_NO_FIRST_HEADER))});
        QVERIFY(!view->IsPlayThreadStarted());
        QCOMPARE(view->Grid(), 4);
        QCOMPARE(NavEnabled(view), (std::array<bool, 7>{}));
        QVERIFY(!view->Button(ctl::BACKUP)->IsButtonEnabled());

        m_strDialogAnswer = QString::fromStdString(Recording(4, 12));
        Click(view->Button(ctl::OPEN));
        QVERIFY(view->IsPlayThreadStarted());
        QCOMPARE(view->Recording().m_nChannelCount, uint8_t(4));
        QCOMPARE(view->Grid(), 2); // its four cameras, no empty tiles
        QCOMPARE(NavEnabled(view), (std::array<bool, 7>{false, false, false, false, true, true, true}));

        m_strDialogAnswer.clear(); // cancelled: nothing changes
        Click(view->Button(ctl::OPEN));
        QVERIFY(view->IsPlayThreadStarted());
    }

    // A name whose bytes are not UTF-8 (0xFF 0xFE) opens from the command line and
    // from the open dialog, which shows those bytes as U+FFFD.
    void fileNameThatIsNotUtf8Opens()
    {
        const std::string made = Recording(16, 48);
        QByteArray native = QByteArray::fromStdString(made);
        native.insert(native.size() - 4, "\xFF\xFE");
        QVERIFY(std::rename(made.c_str(), native.constData()) == 0);
        CPlayerFixture fixture;
        fixture.WriteSkin();
        char program[] = "kvxplayer";
        char* argv[] = {program, native.data()};
        auto frame = StartPaused(fixture, CommandLineText(CNativeFileName::Arguments(2, argv)), 17);
        QVERIFY2(fixture.m_messages.isEmpty(), qPrintable(fixture.m_messages.join(", ")));
        QCOMPARE(CNativeFileName::Encode(frame->View()->FilePath()), native);

        frame = fixture.Start("");
        m_strDialogAnswer = QFile::decodeName(native);
        QVERIFY(m_strDialogAnswer.contains(QChar::ReplacementCharacter));
        Click(frame->View()->Button(ctl::OPEN));
        QVERIFY2(fixture.m_messages.isEmpty(), qPrintable(fixture.m_messages.join(", ")));
        QVERIFY(frame->View()->IsPlayThreadStarted());
        QTRY_COMPARE(frame->View()->DeliveredFrames(), 17);
        QCOMPARE(CNativeFileName::Encode(frame->View()->FilePath()), native);
    }

    void exitWhilePlayingJoinsAndSavesTheLayout()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, Recording(16, 2000), 17);
        CKVXPlayerView* view = frame->View();
        Click(view->Button(ctl::FPLAY));
        QTest::qWait(100);
        QTest::keyClick(view, Qt::Key_Q, Qt::ControlModifier);
        QTRY_VERIFY(!frame->isVisible());
        QVERIFY(!view->IsPlayThreadStarted());
        frame.reset();
        QCOMPARE(CProfileFile(fixture.IniPath().toStdString()).GetString("INFO", "PAL", "missing"), std::string("0"));
    }

    void firstPalFrameSwitchesTheLayout()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        {
            auto frame = StartPaused(fixture, Recording(4, 12, false, true), 5);
            CKVXPlayerView* view = frame->View();
            QTRY_VERIFY(view->IsPal());
            QTRY_COMPARE(frame->height(), 640 + 96 + 5);
            QCOMPARE(view->VideoRect().size(), QSize(720, 576));
            QCOMPARE(view->Grid(), 2); // a 4-camera recording keeps its layout
        }
        QCOMPARE(CProfileFile(fixture.IniPath().toStdString()).GetInt("INFO", "PAL", 0), 1);
    }

    void keysDoWhatTheirButtonsDo()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, Recording(16, 2000), 17);
        CKVXPlayerView* view = frame->View();
        QTest::keyClick(view, Qt::Key_Left); // backward play is off at the start
        QCOMPARE(view->PlayStateForTest(), PS_PAUSE);
        QTest::keyClick(view, Qt::Key_Space);
        QCOMPARE(view->PlayStateForTest(), PS_FPLAY);
        QTest::keyClick(view, Qt::Key_Space);
        QCOMPARE(view->PlayStateForTest(), PS_PAUSE);
        QTest::keyClick(view, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(view->PlayStateForTest(), PS_FFPLAY);
        QTest::keyClick(view, Qt::Key_Home);
        QCOMPARE(LitLamp(view), 0);
        QTest::keyClick(view, Qt::Key_Plus);
        QCOMPARE(view->SpeedIndex(), 1);
    }
};

KVX_REGISTER_TEST(TestPlayerCommands);
#include "tst_playercommands.moc"
