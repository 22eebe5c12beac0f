#pragma once

#include <QRect>
#include <QRegion>
#include <QString>
#include <QTimer>
#include <QTransform>
#include <QWidget>

#include <functional>

// The video area alone, over the whole screen: the window that holds the player goes
// full screen for as long as this lives, and this covers it, painting the video area
// scaled to the screen with its own aspect, black around it, and the playback
// date-time small in a corner. The keys stay the player's: the view keeps the
// keyboard focus under this cover. The mouse pointer hides while it rests.
//
// Threads: window thread only.
class CFullScreenView : public QWidget {
    Q_OBJECT

public:
    // Paints the video area as the player window paints it, in the window's coordinates.
    using VideoPainter = std::function<void(QPainter&)>;
    // The playback date-time, its date and its time on two lines; empty before a picture.
    using TimeText = std::function<QString()>;

    // `window` is the top-level window that goes full screen, `keyTarget` the widget
    // that keeps the keyboard, `video` the video area's rectangle in `window`.
    CFullScreenView(QWidget* window, QWidget* keyTarget, QRect video, VideoPainter paintVideo, TimeText timeText);
    // The window goes back to the place, size and shape it had.
    ~CFullScreenView() override;

    // Where the video area is painted in this widget: as large as fits, centred.
    QRect PictureRect() const;
    // A part of the video area (window coordinates) to paint again.
    void UpdateVideoPart(const QRect& part);
    bool IsPointerHidden() const { return cursor().shape() == Qt::BlankCursor; }

signals:
    // A double-click: the user wants the normal window back.
    void leaveWanted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTransform VideoToScreen() const;
    QRect TimeRect() const;
    int TimeLineHeight() const;
    void ShowPointer();

    // Written by the window thread only.
    QWidget* m_pWindow;
    QRect m_rcVideo;
    VideoPainter m_paintVideo;
    TimeText m_timeText;
    QRect m_rcNormal;        // the window's geometry before it went full screen
    QRegion m_regionNormal;  // and its shape
    QTimer m_timerPointer;   // hides the pointer when it fires
};
