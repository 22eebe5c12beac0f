#include "app/mainframe.h"
#include "playback/playstate.h"
#include "playback/seekposition.h"
#include "player/controlids.h"
#include "player/gotodialog.h"
#include "player/kvxplayerview.h"
#include "player/slidertimetip.h"
#include "skin/skinbutton.h"
#include "skin/skinslider.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QHelpEvent>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>
#include <QToolTip>
#include <QWheelEvent>

namespace {

CDateTime At(const char* text)
{
    return CDateTime::FromIsoString(text);
}

QString Text(const CDateTime& t)
{
    return QString::fromStdString(t.ToIsoString());
}

// Answers the next modal go-to dialog: the moment, then OK.
void AnswerGoToDialog(const CDateTime& moment, QString* note = nullptr)
{
    QTimer::singleShot(0, [moment, note] {
        auto* dialog = qobject_cast<CGoToDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->SetMoment(moment);
        dialog->accept();
        if (note)
            *note = dialog->Note();
    });
}

// Answers the next modal go-to dialog as a user does: types the moment over the
// field's text and presses Enter, with `modifiers` held.
void TypeIntoGoToDialog(const CDateTime& moment, Qt::KeyboardModifiers modifiers, QString* note)
{
    QTimer::singleShot(0, [moment, modifiers, note] {
        auto* dialog = qobject_cast<CGoToDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto* edit = dialog->findChild<QLineEdit*>();
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromStdString(moment.ToIsoString()));
        QTRY_COMPARE(dialog->Note(), *note); // looked up once the typing stops
        QTest::keyClick(edit, Qt::Key_Return, modifiers);
        if (dialog->isVisible()) {
            *note = "still open";
            dialog->reject();
        }
    });
}

void Wheel(QWidget* view, QPoint at, int notches, Qt::KeyboardModifiers modifiers = {})
{
    QWheelEvent event(at, view->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, modifiers,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &event);
}

} // namespace

class TestPlayerFind : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;

    // 16 cameras from 14:00:00, one moment a second; nothing from 14:00:20 to 14:02:19.
    std::string RecordingWithAGap()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 16 * 40;
        recipe.m_dSecondsPerRecord = 1.0 / 16;
        recipe.m_timeStart = At("2024-03-18 14:00:00");
        recipe.m_timeShifts = {{16 * 20, 120}};
        recipe.m_nQuality = 30;
        return m_recordings.Write(recipe);
    }

    static std::unique_ptr<CMainFrame> StartPaused(CPlayerFixture& fixture, const std::string& path)
    {
        auto frame = fixture.Start(QString::fromStdString(path));
        if (!QTest::qWaitFor([&] { return frame->View()->DeliveredFrames() >= 17 && IsIdle(frame->View()); }, 20000))
            qFatal("the first group was not shown");
        return frame;
    }

    static bool IsIdle(CKVXPlayerView* view)
    {
        QCoreApplication::processEvents();
        return view->PlayStateForTest() == PS_PAUSE;
    }

    // Waits until `frames` more frames have come and playback has paused again.
    static bool WaitForFrames(CKVXPlayerView* view, int before, int frames)
    {
        return QTest::qWaitFor([&] { return view->DeliveredFrames() >= before + frames && IsIdle(view); }, 20000)
            && view->DeliveredFrames() == before + frames;
    }

private slots:
    void goToADateAndTimeThenStepThroughIt()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, RecordingWithAGap());
        CKVXPlayerView* view = frame->View();

        int before = view->DeliveredFrames();
        AnswerGoToDialog(At("2024-03-18 14:00:12"));
        QTest::keyClick(view, Qt::Key_G, Qt::ControlModifier);
        QVERIFY(WaitForFrames(view, before, 16)); // one group from the moment on
        QCOMPARE(Text(view->ShownTime()), QString("2024-03-18 14:00:12"));
        QVERIFY(!view->Button(ctl::PAUSE)->IsButtonEnabled());
        QVERIFY(view->Button(ctl::START)->IsButtonEnabled() && view->Button(ctl::FPLAY)->IsButtonEnabled());

        // The group ended on the last record of 14:00:12: the next one is 14:00:13.
        before = view->DeliveredFrames();
        QTest::keyClick(view, Qt::Key_Period);
        QVERIFY(WaitForFrames(view, before, 1));
        QCOMPARE(Text(view->ShownTime()), QString("2024-03-18 14:00:13"));
        QTest::keyClick(view, Qt::Key_Comma);
        QVERIFY(WaitForFrames(view, before, 2));
        QCOMPARE(Text(view->ShownTime()), QString("2024-03-18 14:00:12"));
        QTest::keyClick(view, Qt::Key_Greater, Qt::ShiftModifier);
        QVERIFY(WaitForFrames(view, before, 2 + 16));
        QCOMPARE(Text(view->ShownTime()), QString("2024-03-18 14:00:13"));
        QTest::keyClick(view, Qt::Key_Comma, Qt::ShiftModifier);
        QVERIFY(WaitForFrames(view, before, 2 + 16 + 16));
        QCOMPARE(Text(view->ShownTime()), QString("2024-03-18 14:00:12"));

        // Nothing while playing.
        QTest::keyClick(view, Qt::Key_Right);
        QCOMPARE(view->PlayStateForTest(), PS_FPLAY);
        QTest::keyClick(view, Qt::Key_Period);
        QCOMPARE(view->PlayStateForTest(), PS_FPLAY);
        QTest::keyClick(view, Qt::Key_Space);
    }

    void aMomentInAGapSaysSoAndShowsWhatFollows()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, RecordingWithAGap());
        CKVXPlayerView* view = frame->View();
        const int before = view->DeliveredFrames();
        QString note;
        AnswerGoToDialog(At("2024-03-18 14:01:00"), &note);
        // A click on the play-time text opens the dialog too.
        QToolButton* playTime = view->findChild<QToolButton*>();
        QVERIFY(playTime && playTime->isVisible());
        QTest::mouseClick(playTime, Qt::LeftButton);
        QCOMPARE(note, QString("no recording between 14:00:19 and 14:02:20; showing 14:02:20"));
        QVERIFY(WaitForFrames(view, before, 16));
        QCOMPARE(Text(view->ShownTime()), QString("2024-03-18 14:02:20"));
    }

    // 14:00:00 to 14:00:19 (records 0 to 319), set back to 14:00:10 and on to 14:00:29
    // (320 to 479): 14:00:19 was recorded twice, in records 304 to 319 and 464 to 479.
    // Enter shows the first time round, Shift+Enter the second: the slider says where.
    void aTimeRecordedTwiceShowsTheFirstAndShiftEnterTheSecond()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 16 * 30;
        recipe.m_dSecondsPerRecord = 1.0 / 16;
        recipe.m_timeStart = At("2024-03-18 14:00:00");
        recipe.m_timeShifts = {{16 * 20, -10}};
        recipe.m_nQuality = 30;
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, m_recordings.Write(recipe));
        CKVXPlayerView* view = frame->View();
        const std::vector<CGeneratedRecord>& r = m_recordings.Last().Records();
        const uint64_t length = m_recordings.Last().FileLength();

        for (const auto& [modifiers, from] :
             {std::pair{Qt::KeyboardModifiers(), 304}, std::pair{Qt::KeyboardModifiers(Qt::ShiftModifier), 464}}) {
            const int before = view->DeliveredFrames();
            QString note = "this time occurs twice; showing the first; Shift+Enter for the second";
            TypeIntoGoToDialog(At("2024-03-18 14:00:19"), modifiers, &note);
            QTest::keyClick(view, Qt::Key_G, Qt::ControlModifier);
            QCOMPARE(note, QString("this time occurs twice; showing the first; Shift+Enter for the second"));
            QVERIFY(WaitForFrames(view, before, 16));
            QCOMPARE(Text(view->ShownTime()), QString("2024-03-18 14:00:19"));
            // The slider stands where reading stopped, just after the group shown.
            const int pos = view->Slider()->Pos(), first = SliderPosition(r[size_t(from)].m_nOffset, length);
            QVERIFY2(pos >= first && pos <= first + 40, QByteArray::number(pos) + " " + QByteArray::number(first));
        }

        // Recorded once: no such note, and Shift+Enter goes where Enter does.
        const int before = view->DeliveredFrames();
        QString note;
        TypeIntoGoToDialog(At("2024-03-18 14:00:05"), Qt::ShiftModifier, &note);
        QTest::keyClick(view, Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(note, QString());
        QVERIFY(WaitForFrames(view, before, 16));
        QCOMPARE(Text(view->ShownTime()), QString("2024-03-18 14:00:05"));
        const int pos = view->Slider()->Pos(), first = SliderPosition(r[16 * 5].m_nOffset, length);
        QVERIFY2(pos >= first && pos <= first + 40, QByteArray::number(pos) + " " + QByteArray::number(first));
    }

    void theDialogKeepsToTheRecordingAndLooksUpAsYouType()
    {
        int lookUps = 0;
        CGoToDialog dialog(nullptr, At("2024-03-18 14:00:30"), At("2024-03-18 14:00:00"), At("2024-03-18 14:02:00"),
                           [&lookUps](const CDateTime& moment) {
                               ++lookUps;
                               CLocateResult r;
                               r.m_status = moment.GetMinute() == 2 ? CLocateResult::EStatus::AfterEnd
                                                                     : CLocateResult::EStatus::Found;
                               return r;
                           });
        QCOMPARE(Text(dialog.Moment()), QString("2024-03-18 14:00:30")); // the time on screen
        QCOMPARE(lookUps, 1);
        dialog.SetMoment(At("2024-03-18 13:00:00"));
        QCOMPARE(Text(dialog.Moment()), QString("2024-03-18 14:00:00"));
        dialog.SetMoment(At("2024-03-19 00:00:00"));
        QCOMPARE(Text(dialog.Moment()), QString("2024-03-18 14:02:00"));
        QTRY_COMPARE(lookUps, 2); // once the typing stops
        QCOMPARE(dialog.Note(), QString("no recording at or after 14:02:00"));
        dialog.accept(); // nothing to go to: the dialog stays
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        dialog.findChild<QLineEdit*>()->setText("2024-02-30 14:01:00"); // no such day
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QCOMPARE(dialog.Note(), QString("type a date and time, such as 2024-03-18 14:00:00"));
        dialog.SetMoment(At("2024-03-18 14:01:00"));
        dialog.accept();
        QCOMPARE(lookUps, 3);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    void theSliderTipShowsTheDateAtThePosition()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        const std::string path = RecordingWithAGap();
        const std::vector<CGeneratedRecord> records = m_recordings.Last().Records();
        const uint64_t length = m_recordings.Last().FileLength();
        auto frame = StartPaused(fixture, path);
        CSliderTimeTip* tip = frame->View()->SliderTimeTip();
        QCOMPARE(tip->TextAt(0), QString("2024-03-18 14:00:00"));
        QCOMPARE(tip->TextAt(SLIDER_MAX), Text(records.back().m_time));
        const uint64_t middle = SliderSeekOffset(SLIDER_MAX / 2, length);
        size_t i = 0;
        while (records[i].m_nOffset < middle)
            ++i;
        QCOMPARE(tip->TextAt(SLIDER_MAX / 2), Text(records[i].m_time));
        QCOMPARE(tip->TextAt(9999), tip->TextAt(SLIDER_MAX));

        // Resting on the slider shows it.
        QWidget* slider = frame->View()->Slider();
        QHelpEvent help(QEvent::ToolTip, QPoint(SLIDER_MAX / 2, 2), slider->mapToGlobal(QPoint(SLIDER_MAX / 2, 2)));
        QApplication::sendEvent(slider, &help);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text().section('\n', 0, 0), Text(records[i].m_time)); // marks' words may follow
        QToolTip::hideText();
    }

    void theEnlargedPictureZooms()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, RecordingWithAGap());
        CKVXPlayerView* view = frame->View();
        Wheel(view, view->TileRect(0).center(), 1);
        QCOMPARE(view->Zoom().Factor(), 1.0); // sixteen tiles do not zoom

        QTest::mouseClick(view->Button(ctl::CHANNEL_FIRST + 2), Qt::LeftButton, {}, QPoint(2, 2));
        QCoreApplication::processEvents();
        QCOMPARE(view->Grid(), 1);
        const QRect tile = view->TileRect(2);
        const QImage plain = view->grab(tile).toImage();
        const QPoint at = tile.topLeft() + QPoint(200, 150);
        Wheel(view, at, 3);
        const double factor = CTileZoom::STEP * CTileZoom::STEP * CTileZoom::STEP;
        QCOMPARE(view->Zoom().Factor(), factor);
        QCOMPARE(view->Zoom().PictureAt(QPointF(200, 150), tile.size()),
                 CTileZoom().PictureAt(QPointF(200, 150), tile.size()));
        QCoreApplication::processEvents();
        QVERIFY(view->grab(tile).toImage() != plain);

        // A right-button drag moves the picture with the pointer.
        const QPointF under = view->Zoom().PictureAt(QPointF(200, 150), tile.size());
        QTest::mousePress(view, Qt::RightButton, {}, at);
        QMouseEvent move(QEvent::MouseMove, QPointF(at + QPoint(40, 0)), view->mapToGlobal(QPointF(at + QPoint(40, 0))),
                         Qt::NoButton, Qt::RightButton, {});
        QApplication::sendEvent(view, &move);
        QTest::mouseRelease(view, Qt::RightButton, {}, at + QPoint(40, 0));
        QCOMPARE(view->Zoom().PictureAt(QPointF(240, 150), tile.size()), under);

        QTest::keyClick(view, Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(view->Zoom().Factor(), 1.0);
        QCOMPARE(view->Grid(), 1); // not the sixteen tiles of the plain 0 key
        QTest::keyClick(view, Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(view->Zoom().Factor(), CTileZoom::STEP);
        QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(view->Zoom().Factor(), 1.0);
        QCOMPARE(view->SpeedIndex(), 0);

        // A double-click first ends the zoom, then goes back to the layout.
        Wheel(view, at, 2);
        QTest::mouseDClick(view, Qt::LeftButton, {}, at);
        QCOMPARE(view->Zoom().Factor(), 1.0);
        QCOMPARE(view->Grid(), 1);
        QTest::mouseDClick(view, Qt::LeftButton, {}, at);
        QCOMPARE(view->Grid(), 4);
    }
};

KVX_REGISTER_TEST(TestPlayerFind);
#include "tst_playerfind.moc"
