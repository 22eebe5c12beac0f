#include "app/mainframe.h"
#include "platform/opendialog.h"
#include "playback/playstate.h"
#include "player/clockglyphs.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "player/panelcolours.h"
#include "skin/profilefile.h"
#include "skin/skinbutton.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QCheckBox>
#include <QPainter>
#include <QWheelEvent>

namespace {

const int NAV_IDS[7] = {ctl::START, ctl::RWPLAY, ctl::BPLAY, ctl::PAUSE, ctl::FPLAY, ctl::FFPLAY, ctl::END};

void Click(QWidget* control, QPoint at = QPoint(2, 2))
{
    QTest::mouseClick(control, Qt::LeftButton, {}, at);
    QCoreApplication::processEvents();
}

void Key(QWidget* view, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(view, key, modifiers);
    QCoreApplication::processEvents();
}

void Wheel(QWidget* view, QPoint at, int delta)
{
    QWheelEvent event(at, view->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, {}, Qt::NoScrollPhase,
                      false);
    QApplication::sendEvent(view, &event);
}

// The lit keys as the window shows them: which layout key and which camera keys
// rest on their latched picture. "" when a lit key shows another picture.
QString LitKeys(CKVXPlayerView* view)
{
    QStringList lit;
    for (int id : ctl::MODES)
        if (view->Button(id)->IsLit())
            lit << QString("mode%1").arg(id - ctl::MODE1);
    for (int k = 0; k < 16; ++k)
        if (view->Button(ctl::CHANNEL_FIRST + k)->IsLit())
            lit << QString("ch%1").arg(k + 1);
    for (int i = 0; i < 4; ++i)
        if (static_cast<QCheckBox*>(view->Control(ctl::AUDIO_IDS[i]))->isChecked())
            lit << QString("audio%1").arg(i + 1);
    for (QString key : lit) {
        if (!key.startsWith("audio")) {
            const int id = key.startsWith("mode") ? ctl::MODE1 + key.mid(4).toInt() : ctl::CHANNEL_FIRST + key.mid(2).toInt() - 1;
            if (view->Button(id)->IsButtonEnabled() && view->Button(id)->CurrentImage() != SKIN_IMG_DNCHECK)
                return key + " lit but not on its latched picture";
        }
    }
    return lit.join(' ');
}

// One command and the keys lit after it.
struct CLitStep {
    const char* what;
    std::function<void()> act;
    const char* lit;
};

template <size_t N>
void CheckLitSteps(CKVXPlayerView* view, const CLitStep (&steps)[N])
{
    for (const CLitStep& step : steps) {
        step.act();
        QCoreApplication::processEvents();
        const QString lit = LitKeys(view);
        QVERIFY2(lit == step.lit, qPrintable(QString("%1: %2, not %3").arg(step.what, lit, step.lit)));
    }
}

// The level bar's lit cells: the accent's pixels on the audio panel, a cell at a time.
int LitLevelCells(CKVXPlayerView* view)
{
    const QImage panel = view->grab(CKVXPlayerView::SoundPanelRect()).toImage();
    int lit = 0;
    for (int y = 0; y < panel.height(); ++y)
        for (int x = 0; x < panel.width(); ++x)
            lit += panel.pixelColor(x, y) == panel::LIT;
    constexpr int CELL_PIXELS = 3 * 8;
    return lit % CELL_PIXELS == 0 ? lit / CELL_PIXELS : -1;
}

// The rows of a line that hold the white of its text.
int InkHeight(const QImage& line)
{
    int top = -1, bottom = -1;
    for (int y = 0; y < line.height(); ++y)
        for (int x = 0; x < line.width(); ++x)
            if (line.pixelColor(x, y).lightness() > 200) {
                top = top < 0 ? y : top;
                bottom = y;
            }
    return top < 0 ? 0 : bottom - top + 1;
}

} // namespace

class TestPlayerKeys : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;
    COpenDialog::Handler m_previousDialog;
    QString m_strDialogAnswer;

    std::string Recording(int channels, int records, bool audio, CDateTime start = CDateTime(2024, 3, 18, 14, 0, 0))
    {
        CRecordingRecipe recipe;
        recipe.m_nChannels = channels;
        recipe.m_nRecords = records;
        recipe.m_bAudio = audio;
        recipe.m_timeStart = start;
        recipe.m_dSecondsPerRecord = 1.0 / channels;
        return m_recordings.Write(recipe);
    }

    std::unique_ptr<CMainFrame> StartPaused(CPlayerFixture& fixture, const std::string& path, int groupFrames)
    {
        auto frame = fixture.Start(QString::fromStdString(path));
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

    void layoutCameraAndAudioKeysAreLit()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        {
            auto frame = fixture.Start("");
            QCOMPARE(LitKeys(frame->View()), QString("mode3")); // the empty 16 tiles, and no camera
        }
        auto frame = StartPaused(fixture, Recording(4, 24, true), 5);
        CKVXPlayerView* view = frame->View();
        const QString opened = LitKeys(view);
        QCOMPARE(opened, QString("mode%1 ch1").arg(view->Grid() - 1));

        const CLitStep steps[] = {
            {"layout 4", [&] { Click(view->Button(ctl::MODE4)); }, "mode1 ch1"},
            {"no next page of four cameras", [&] { Click(view->Button(ctl::NEXT_PAGE)); }, "mode1 ch1"},
            {"camera 3", [&] { Click(view->Button(ctl::CHANNEL_FIRST + 2)); }, "mode0 ch3"},
            {"next camera", [&] { Click(view->Button(ctl::NEXT_PAGE)); }, "mode0 ch4"},
            {"previous camera", [&] { Click(view->Button(ctl::PREV_PAGE)); }, "mode0 ch3"},
            {"audio 2 in the single tile", [&] { Click(view->Control(ctl::AUDIO2), QPoint(5, 5)); }, "mode0 ch3 audio2"},
            {"audio 4", [&] { Click(view->Control(ctl::AUDIO4), QPoint(5, 5)); }, "mode0 ch3 audio2 audio4"},
            {"audio 2 off", [&] { Click(view->Control(ctl::AUDIO2), QPoint(5, 5)); }, "mode0 ch3 audio4"},
            {"key 9 is off for four cameras", [&] { Key(view, Qt::Key_9); }, "mode0 ch3 audio4"},
            {"camera 2", [&] { Click(view->Button(ctl::CHANNEL_FIRST + 1)); }, "mode0 ch2 audio4"},
            {"page down", [&] { Key(view, Qt::Key_PageDown); }, "mode0 ch3 audio4"},
            {"double-click: back to the last layout",
             [&] { QTest::mouseDClick(view, Qt::LeftButton, {}, view->VideoRect().center()); }, "mode1 ch1 audio4"},
            {"double-click on camera 2's tile",
             [&] { QTest::mouseDClick(view, Qt::LeftButton, {}, view->TileRect(1).center()); }, "mode0 ch2 audio4"},
            {"key 4", [&] { Key(view, Qt::Key_4); }, "mode1 ch1 audio4"},
            {"key 0 is off for four cameras", [&] { Key(view, Qt::Key_0); }, "mode1 ch1 audio4"},
        };
        CheckLitSteps(view, steps);
    }

    // The 9 and 16 layouts, which a recording of sixteen cameras offers.
    void layoutKeysOfSixteenCamerasAreLit()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, Recording(16, 48, false), 5);
        CKVXPlayerView* view = frame->View();
        const CLitStep steps[] = {
            {"key 9", [&] { Key(view, Qt::Key_9); }, "mode2 ch1"},
            {"next page of nine", [&] { Key(view, Qt::Key_PageDown); }, "mode2 ch10"},
            {"camera 12", [&] { Click(view->Button(ctl::CHANNEL_FIRST + 11)); }, "mode0 ch12"},
            {"key 0", [&] { Key(view, Qt::Key_0); }, "mode3 ch1"},
        };
        CheckLitSteps(view, steps);
    }

    // Nothing open: the seven transport keys are faded, neither their normal picture
    // nor the "held in" one the skin gives the running state. Open: their pictures.
    void transportLooksUnavailableUntilARecordingOpens()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = fixture.Start("");
        CKVXPlayerView* view = frame->View();
        QCoreApplication::processEvents();
        for (int id : NAV_IDS) {
            CSkinButton* key = view->Button(id);
            QVERIFY(!key->isEnabled());
            const QColor shown = view->grab(key->geometry()).toImage().pixelColor(5, 5);
            QVERIFY2(shown != SlotColour(SKIN_IMG_NORMAL) && shown != SlotColour(SKIN_IMG_DISABLE)
                         && shown.red() > shown.green() + 20,
                     qPrintable(QString("%1: %2").arg(id).arg(shown.name())));
        }
        m_strDialogAnswer = QString::fromStdString(Recording(16, 40, false));
        Click(view->Button(ctl::OPEN));
        QTRY_COMPARE(view->PlayStateForTest(), PS_PAUSE);
        for (int id : NAV_IDS) {
            CSkinButton* key = view->Button(id);
            QVERIFY(key->isEnabled());
            const QColor shown = view->grab(key->geometry()).toImage().pixelColor(5, 5);
            QCOMPARE(shown, SlotColour(key->CurrentImage()));
        }
        // A file that is no recording leaves the player with nothing open again.
        m_strDialogAnswer = QString::fromStdString(m_recordings.WriteBytes(std::vector<uint8_t>(4096, 0x20)));
        Click(view->Button(ctl::OPEN));
        QTRY_VERIFY(!fixture.m_messages.isEmpty());
        for (int id : NAV_IDS)
            QVERIFY(!view->Button(id)->isEnabled());
        QCOMPARE(LitKeys(view).contains("ch"), false);
    }

    void volumeKeysWheelAndMute()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = fixture.Start("");
        CKVXPlayerView* view = frame->View();
        const QPoint panel = CKVXPlayerView::SoundPanelRect().center();
        QCOMPARE(view->SoundLevel().Percent(), 100);
        QCOMPARE(LitLevelCells(view), 10);
        Key(view, Qt::Key_Up);
        QCOMPARE(view->SoundLevel().Percent(), 100);
        for (int i = 0; i < 3; ++i)
            Key(view, Qt::Key_Down);
        QCOMPARE(view->SoundLevel().Percent(), 70);
        Wheel(view, panel, 120);
        QCOMPARE(view->SoundLevel().Percent(), 80);
        Wheel(view, panel, -240);
        QCOMPARE(view->SoundLevel().Percent(), 60);
        Wheel(view, panel, 60); // half a notch of a touchpad, then the other half
        QCOMPARE(view->SoundLevel().Percent(), 60);
        Wheel(view, panel, 60);
        QCOMPARE(view->SoundLevel().Percent(), 70);
        Wheel(view, view->VideoRect().center(), 120); // over the pictures the wheel zooms
        QCOMPARE(view->SoundLevel().Percent(), 70);
        QCOMPARE(LitLevelCells(view), 7);

        Key(view, Qt::Key_M);
        QVERIFY(view->SoundLevel().IsMuted());
        QCOMPARE(view->SoundLevel().Percent(), 70);
        QCOMPARE(LitLevelCells(view), 0);
        Key(view, Qt::Key_M, Qt::ControlModifier); // kept for another tool
        Key(view, Qt::Key_M, Qt::ShiftModifier);
        QVERIFY(view->SoundLevel().IsMuted());
        Key(view, Qt::Key_M);
        QVERIFY(!view->SoundLevel().IsMuted());
        QCOMPARE(LitLevelCells(view), 7);
        Key(view, Qt::Key_M);
        Key(view, Qt::Key_Up); // turning it up is meant to be heard
        QVERIFY(!view->SoundLevel().IsMuted());
        QCOMPARE(view->SoundLevel().Percent(), 80);
        QCOMPARE(view->Grid(), 4); // the layout keys stay the layout's
        QVERIFY(fixture.m_messages.isEmpty());
    }

    // The level and mute are the user's: written to res.ini at each change and read
    // by the next window.
    void levelAndMuteOutliveTheWindow()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        {
            auto frame = fixture.Start("");
            for (int i = 0; i < 6; ++i)
                Key(frame->View(), Qt::Key_Down);
            Key(frame->View(), Qt::Key_M);
            const CProfileFile ini(fixture.IniPath().toStdString());
            QCOMPARE(ini.GetString("INFO", "Volume", ""), std::string("40"));
            QCOMPARE(ini.GetString("INFO", "Mute", ""), std::string("1"));
        }
        auto frame = fixture.Start("");
        QCOMPARE(frame->View()->SoundLevel().Percent(), 40);
        QVERIFY(frame->View()->SoundLevel().IsMuted());
        QCOMPARE(LitLevelCells(frame->View()), 0);
    }

    // The sign lights only while forward play sends a switched-on channel to an open
    // output; a computer without one never lights it.
    void speakerLightsWhileSoundPlays()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, Recording(4, 4000, true), 5);
        CKVXPlayerView* view = frame->View();
        const bool device = view->HasAudioOutput(0);
        QVERIFY(!view->IsSpeakerLit());
        Click(view->Button(ctl::FPLAY));
        QVERIFY(!view->IsSpeakerLit()); // no switch on
        Click(view->Control(ctl::AUDIO1), QPoint(5, 5));
        QCOMPARE(view->IsSpeakerLit(), device);
        Key(view, Qt::Key_M);
        QVERIFY(!view->IsSpeakerLit());
        Key(view, Qt::Key_M);
        QCOMPARE(view->IsSpeakerLit(), device);
        Click(view->Button(ctl::FFPLAY));
        QVERIFY(!view->IsSpeakerLit());
        Click(view->Button(ctl::PAUSE));
        QVERIFY(!view->IsSpeakerLit());
    }

    // Across midnight the time alone reads the same: the date stands with it, in
    // figures as tall as the computer's clock's, and nothing stands there with no
    // recording open.
    void playTimeShowsTheDateAcrossMidnight()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        {
            auto frame = fixture.Start("");
            QCoreApplication::processEvents();
            const QRect area = frame->View()->PlayDateRect() | frame->View()->PlayTimeRect();
            QCOMPARE(InkHeight(frame->View()->grab(area).toImage()), 0);
        }
        auto frame = StartPaused(fixture, Recording(4, 48, false, CDateTime(2024, 3, 18, 23, 59, 58)), 5);
        CKVXPlayerView* view = frame->View();
        QVERIFY(!view->PlayDateRect().intersects(view->PlayTimeRect()));
        // The line as the window would write it over the ground the skin shows there.
        const auto written = [&](const QRect& rect, const QString& text) {
            const QImage shown = view->grab(rect).toImage().convertToFormat(QImage::Format_RGB32);
            QImage want(rect.size(), QImage::Format_RGB32);
            want.fill(shown.pixelColor(rect.width() - 1, rect.height() - 1));
            QPainter painter(&want);
            painter.setFont(view->PlayTimeFont());
            painter.setPen(Qt::white);
            painter.setBackgroundMode(Qt::OpaqueMode);
            painter.setBackground(panel::GROUND);
            painter.drawText(want.rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWordWrap, text);
            painter.end();
            return shown == want;
        };
        const auto expect = [&](const QString& date, const QString& time) {
            QTRY_VERIFY2(written(view->PlayDateRect(), date), qPrintable(date));
            QTRY_VERIFY2(written(view->PlayTimeRect(), time), qPrintable(time));
        };
        expect("DATE : 2024 / 03 / 18", "TIME : 23 : 59 : 58");
        QVERIFY(InkHeight(view->grab(view->PlayTimeRect()).toImage()) >= CLOCK_HEIGHT);

        Click(view->Button(ctl::END));
        QTRY_VERIFY(view->Session().ShownFrameTime() && view->Session().ShownFrameTime()->m_byDay == 19);
        const CFrameTime after = *view->Session().ShownFrameTime();
        QCOMPARE(after.m_byHour, uint8_t(0));
        expect("DATE : 2024 / 03 / 19", QString::asprintf("TIME : 00 : 00 : %02d", after.m_bySecond));
    }
};

KVX_REGISTER_TEST(TestPlayerKeys);
#include "tst_playerkeys.moc"
