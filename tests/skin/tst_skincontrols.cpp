#include "skin/skinbutton.h"
#include "skin/skinslider.h"
#include "tests/support/testmain.h"

#include <QApplication>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {

// Counts the paints a widget gets.
class CPaintCounter : public QObject {
public:
    int m_nPaints = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        m_nPaints += event->type() == QEvent::Paint;
        return false;
    }
};

void Settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
}

} // namespace

class TestSkinButton : public QObject {
    Q_OBJECT

    struct CSpies {
        explicit CSpies(CSkinButton& b)
            : clicked(&b, &CSkinButton::clicked), press(&b, &CSkinButton::pressNotified),
              pressSync(&b, &CSkinButton::pressNotifiedSync), upNoPress(&b, &CSkinButton::upWithoutPress)
        {
        }
        QSignalSpy clicked, press, pressSync, upNoPress;
    };

    QWidget m_window;
    QTemporaryDir m_dir;
    QString m_strPictures[4];

    std::unique_ptr<CSkinButton> MakeButton()
    {
        auto button = std::make_unique<CSkinButton>(1027, &m_window);
        button->setGeometry(10, 10, 40, 30);
        button->LoadBitmaps(m_strPictures[0], m_strPictures[1], m_strPictures[2], m_strPictures[3], 1027);
        button->show();
        return button;
    }
    static void SendLeave(QWidget* w)
    {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(w, &leave);
    }

private slots:
    void initTestCase()
    {
        const QColor colours[4] = {Qt::red, Qt::green, Qt::blue, Qt::gray};
        for (int i = 0; i < 4; ++i) {
            QImage picture(40, 30, QImage::Format_RGB32);
            picture.fill(colours[i]);
            m_strPictures[i] = m_dir.filePath(QString("slot%1.bmp").arg(i));
            QVERIFY(picture.save(m_strPictures[i]));
        }
        m_window.resize(200, 100);
        m_window.show();
    }

    void clickIsReportedAfterTheRelease()
    {
        auto button = MakeButton();
        CSpies spies(*button);
        QCOMPARE(button->CurrentImage(), SKIN_IMG_NORMAL);
        QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(button->CurrentImage(), SKIN_IMG_DOWN);
        QCOMPARE(spies.pressSync.size(), 1); // sent at once
        QCOMPARE(spies.press.size(), 0);     // posted
        QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(6, 6));
        QCOMPARE(button->CurrentImage(), SKIN_IMG_NORMAL);
        QCOMPARE(spies.clicked.size(), 0);
        Settle();
        QCOMPARE(spies.clicked.size(), 1);
        QCOMPARE(spies.clicked[0][0].toInt(), 1027);
        QCOMPARE(spies.press.size(), 2);
        QCOMPARE(spies.press[0][1].toBool(), true);
        QCOMPARE(spies.press[1][1].toBool(), false);
        QCOMPARE(spies.pressSync.size(), 2);
        QCOMPARE(spies.upNoPress.size(), 0);
    }

    void leavingWhilePressedCompletesTheClick()
    {
        auto button = MakeButton();
        CSpies spies(*button);
        QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(button.get(), QPoint(100, 5));
        Settle();
        QCOMPARE(spies.clicked.size(), 1);
        QCOMPARE(button->CurrentImage(), SKIN_IMG_NORMAL);
        QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(100, 5));
        SendLeave(button.get());
        Settle();
        QCOMPARE(spies.clicked.size(), 1);
        QCOMPARE(spies.upNoPress.size(), 0); // the later release elsewhere does nothing
    }

    void releaseOrPassingWithoutPress()
    {
        auto button = MakeButton();
        CSpies spies(*button);
        QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(button.get(), QPoint(6, 6));
        SendLeave(button.get());
        Settle();
        QCOMPARE(spies.upNoPress.size(), 2);
        QCOMPARE(spies.clicked.size(), 0);
        QCOMPARE(spies.press.size() + spies.pressSync.size(), 0);
    }

    void disabledButtonIgnoresTheMouse()
    {
        auto button = MakeButton();
        CSpies spies(*button);
        button->EnableButton(false);
        QCOMPARE(button->CurrentImage(), SKIN_IMG_DISABLE);
        QTest::mouseClick(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseMove(button.get(), QPoint(6, 6));
        SendLeave(button.get());
        Settle();
        QCOMPARE(spies.clicked.size() + spies.press.size() + spies.pressSync.size() + spies.upNoPress.size(), 0);
        QCOMPARE(button->CurrentImage(), SKIN_IMG_DISABLE);
        QVERIFY(button->isEnabled()); // still a live widget with its tool tip
        button->EnableButton(true);
        QCOMPARE(button->CurrentImage(), SKIN_IMG_NORMAL);

        // Disabled and enabled again while held down: the latched picture.
        QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
        button->EnableButton(false);
        QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
        button->EnableButton(true);
        QCOMPARE(button->CurrentImage(), SKIN_IMG_DNCHECK);
    }

    void secondClickOfADoubleClickIsNoPress()
    {
        auto button = MakeButton();
        CSpies spies(*button);
        QTest::mouseClick(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
        QTest::mouseDClick(button.get(), Qt::LeftButton, {}, QPoint(5, 5)); // the second press, as a double-click
        QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
        Settle();
        QCOMPARE(spies.clicked.size(), 1);
        QCOMPARE(spies.upNoPress.size(), 1);
    }

    void settingTheShownPictureDoesNotRepaint()
    {
        auto button = MakeButton();
        CPaintCounter counter;
        button->installEventFilter(&counter);
        Settle();
        const int painted = counter.m_nPaints;
        button->SetImage(SKIN_IMG_NORMAL);
        Settle();
        QCOMPARE(counter.m_nPaints, painted);
        button->SetImage(SKIN_IMG_DNCHECK);
        Settle();
        QCOMPARE(counter.m_nPaints, painted + 1);
        QCOMPARE(button->grab().toImage().pixelColor(5, 5), QColor(Qt::blue));
    }

    void missingPicturesDrawNothing()
    {
        CSkinButton button(1030, &m_window);
        button.setGeometry(60, 10, 20, 10);
        button.LoadBitmaps(m_dir.filePath("none.bmp"), QString(), QString(), QString(), 1030);
        button.show();
        button.repaint(); // no picture in the slot: nothing is drawn, nothing breaks
        QCOMPARE(button.CurrentImage(), SKIN_IMG_NORMAL);
    }

    // A lit key rests on its latched picture: a click on it, or its disabling and
    // enabling, brings it back there and not to the normal one.
    void litButtonRestsOnItsLatchedPicture()
    {
        auto button = MakeButton();
        button->SetLit(true);
        QCOMPARE(button->CurrentImage(), SKIN_IMG_DNCHECK);
        Settle();
        QCOMPARE(button->grab().toImage().pixelColor(5, 5), QColor(Qt::blue));
        QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(button->CurrentImage(), SKIN_IMG_DOWN);
        QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(button->CurrentImage(), SKIN_IMG_DNCHECK);
        button->EnableButton(false);
        QCOMPARE(button->CurrentImage(), SKIN_IMG_DISABLE);
        button->EnableButton(true);
        QCOMPARE(button->CurrentImage(), SKIN_IMG_DNCHECK);
        button->SetLit(false);
        QCOMPARE(button->CurrentImage(), SKIN_IMG_NORMAL);
        // Lit while held down: the press picture stays until the release.
        QTest::mousePress(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
        button->SetLit(true);
        QCOMPARE(button->CurrentImage(), SKIN_IMG_DOWN);
        QTest::mouseRelease(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(button->CurrentImage(), SKIN_IMG_DNCHECK);
    }

    // A skin without a latched picture: the normal picture, outlined.
    void litButtonWithoutLatchedPictureIsOutlined()
    {
        CSkinButton button(1003, &m_window);
        button.setGeometry(60, 10, 40, 30);
        button.LoadBitmaps(m_strPictures[0], m_strPictures[1], QString(), m_strPictures[3], 1003);
        button.show();
        button.SetLit(true);
        const QImage lit = button.grab().toImage();
        QCOMPARE(lit.pixelColor(20, 15), QColor(Qt::red));
        QCOMPARE(lit.pixelColor(1, 15), CSkinButton::LIT_OUTLINE);
        QCOMPARE(lit.pixelColor(20, 28), CSkinButton::LIT_OUTLINE);
        button.SetLit(false);
        QCOMPARE(button.grab().toImage().pixelColor(1, 15), QColor(Qt::red));
    }

    // An unavailable key (its widget disabled) is its normal picture faded, whatever
    // slot it is on, and takes no click.
    void unavailableButtonIsFadedAndDeaf()
    {
        auto button = MakeButton();
        CSpies spies(*button);
        button->EnableButton(false); // the slot some keys use for a running state
        button->setEnabled(false);
        Settle();
        const QColor faded = button->grab().toImage().pixelColor(5, 5);
        QVERIFY2(faded.red() > faded.green() + 30 && faded != QColor(Qt::red) && faded != QColor(Qt::gray),
                 qPrintable(faded.name()));
        QTest::mouseClick(button.get(), Qt::LeftButton, {}, QPoint(5, 5));
        Settle();
        QCOMPARE(spies.clicked.size() + spies.press.size(), 0);
        button->setEnabled(true);
        button->EnableButton(true);
        QCOMPARE(button->grab().toImage().pixelColor(5, 5), QColor(Qt::red));
    }
};

class TestSkinSlider : public QObject {
    Q_OBJECT

    QWidget m_window;
    QImage m_thumb, m_track;

    std::unique_ptr<CSkinSlider> MakeSlider()
    {
        auto slider = std::make_unique<CSkinSlider>(1067, &m_window);
        slider->SetBitmaps(&m_thumb, &m_track);
        slider->MoveSlider(0, 0, 728, 20, true);
        slider->show();
        slider->repaint();
        return slider;
    }

private slots:
    void initTestCase()
    {
        m_thumb = QImage(18, 20, QImage::Format_RGB32);
        m_thumb.fill(Qt::white);
        m_track = QImage(8, 8, QImage::Format_RGB32);
        m_track.fill(Qt::darkBlue);
        m_window.resize(800, 40);
        m_window.show();
    }

    void clickOnTheTrackMovesTheThumbAndSeeks()
    {
        auto slider = MakeSlider();
        QSignalSpy clicked(slider.get(), &CSkinSlider::clicked);
        QTest::mouseClick(slider.get(), Qt::LeftButton, {}, QPoint(100, 10));
        QCOMPARE(slider->Pos(), 91);
        QCOMPARE(slider->m_nClickPos, 100);
        QCOMPARE(clicked.size(), 0);
        Settle();
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(clicked[0][0].toInt(), 1067);
        const QImage shown = slider->grab().toImage();
        QCOMPARE(shown.pixelColor(95, 10), QColor(Qt::white));
        QCOMPARE(shown.pixelColor(50, 10), QColor(Qt::darkBlue));

        QTest::mouseClick(slider.get(), Qt::LeftButton, {}, QPoint(3, 10));
        QCOMPARE(slider->Pos(), 0); // the thumb stays on the track
        QCOMPARE(slider->m_nClickPos, 3);
    }

    void dragStaysOnTheTrackAndSeeksToTheThumbsCentre()
    {
        auto slider = MakeSlider();
        QSignalSpy clicked(slider.get(), &CSkinSlider::clicked);
        slider->SetPos(200);
        QTest::mousePress(slider.get(), Qt::LeftButton, {}, QPoint(205, 10));
        QTest::mouseMove(slider.get(), QPoint(-50, 10));
        QCOMPARE(slider->Pos(), 0);
        QTest::mouseMove(slider.get(), QPoint(2000, 10));
        QCOMPARE(slider->Pos(), 710);
        QTest::mouseMove(slider.get(), QPoint(400, 10));
        QTest::mouseRelease(slider.get(), Qt::LeftButton, {}, QPoint(400, 10));
        Settle();
        QCOMPARE(clicked.size(), 1);
        QCOMPARE(slider->m_nClickPos, 400);
    }

    void clickOnTheThumbWithoutMovingDoesNotSeek()
    {
        auto slider = MakeSlider();
        QSignalSpy clicked(slider.get(), &CSkinSlider::clicked);
        slider->m_nClickPos = 555;
        QTest::mouseClick(slider.get(), Qt::LeftButton, {}, QPoint(5, 10));
        Settle();
        QCOMPARE(clicked.size(), 0);
        QCOMPARE(slider->m_nClickPos, 555);
    }

    void releaseAwayFromTheSliderDoesNotSeek()
    {
        auto slider = MakeSlider();
        QSignalSpy clicked(slider.get(), &CSkinSlider::clicked);
        QTest::mousePress(slider.get(), Qt::LeftButton, {}, QPoint(300, 10));
        QTest::mouseRelease(slider.get(), Qt::LeftButton, {}, QPoint(300, 90));
        Settle();
        QCOMPARE(clicked.size(), 0);
    }

    void positionBeyondTheEndIsDrawnAtTheEnd()
    {
        auto slider = MakeSlider();
        slider->SetPos(900);
        QCOMPARE(slider->Pos(), 710);
        QCOMPARE(slider->grab().toImage().pixelColor(720, 10), QColor(Qt::white));
    }

    // Layers are drawn evidence, bookmarks, in/out, and hovering reads them top first;
    // a one-pixel tick is found a little beside it, a stretch only over itself.
    void marksAreDrawnInLayersAndSayWhatTheyAre()
    {
        auto slider = MakeSlider();
        slider->SetPos(700);
        slider->SetMarks(ESliderMarkLayer::Evidence, {{100, 140, Qt::red, "no recording"}});
        slider->SetMarks(ESliderMarkLayer::Bookmarks, {{120, 120, Qt::green, "bookmark: door"}});
        slider->SetMarks(ESliderMarkLayer::InOut, {{300, 400, Qt::yellow, "in/out"}});
        const QImage shown = slider->grab().toImage();
        QCOMPARE(shown.pixelColor(110, 19), QColor(Qt::red));
        QCOMPARE(shown.pixelColor(110, 2), QColor(Qt::darkBlue)); // the band leaves the groove free
        QCOMPARE(shown.pixelColor(120, 19), QColor(Qt::green));   // the bookmark over the gap
        QCOMPARE(shown.pixelColor(300, 10), QColor(Qt::yellow));
        QVERIFY(shown.pixelColor(350, 10) != QColor(Qt::darkBlue)); // tinted
        QVERIFY(shown.pixelColor(350, 10) != QColor(Qt::yellow));

        QCOMPARE(slider->MarkTextAt(122), QString("bookmark: door\nno recording"));
        QCOMPARE(slider->MarkTextAt(141), QString());
        QCOMPARE(slider->MarkTextAt(50), QString());
        QCOMPARE(slider->MarkTextAt(400), QString("in/out"));

        slider->SetMarks(ESliderMarkLayer::Evidence, {});
        QCOMPARE(slider->MarkTextAt(130), QString());
        QCOMPARE(slider->Marks(ESliderMarkLayer::Bookmarks).size(), size_t(1));
    }
};

KVX_REGISTER_TEST(TestSkinButton);
KVX_REGISTER_TEST(TestSkinSlider);
#include "tst_skincontrols.moc"
