#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

#include <array>

class QPainter;
class QString;

// The picture slots of a skin button.
inline constexpr int SKIN_IMG_NORMAL = 0;  // released and enabled
inline constexpr int SKIN_IMG_DOWN = 1;    // while the left button is held on it
inline constexpr int SKIN_IMG_DNCHECK = 2; // latched: re-enabled while held, or set by its window
inline constexpr int SKIN_IMG_DISABLE = 3; // disabled with EnableButton

// A momentary push button drawn from four pictures. A press and a release make a
// click, and so does a press followed by the pointer leaving the button; the click
// reaches the window as clicked(id) after the mouse event has been handled. The
// button has no text, no focus, no keyboard interface and no hover picture, and it
// ignores the second click of a double-click.
//
// Beside the four pictures it has two looks of its own. A lit button (the layout or
// camera that is on) rests on its latched picture, or on its normal one outlined when
// the skin has no latched picture. A button whose widget is disabled (a transport key
// with nothing open) is unavailable: its normal picture, faded into the window. That
// look is apart from EnableButton's picture, which some keys use to show a running
// state. Window thread only.
class CSkinButton : public QWidget {
    Q_OBJECT

public:
    CSkinButton(int controlId, QWidget* parent);

    int ControlId() const { return m_nControlId; }

    // Loads the pictures (an empty name leaves its slot empty) and shows the normal one.
    void LoadBitmaps(const QString& normal, const QString& down, const QString& dncheck, const QString& disable,
                     unsigned notifyId);
    // Shows `slot`; nothing happens when it is shown already.
    void SetImage(int slot);
    // A disabled button shows its disabled picture and ignores the mouse; it stays a
    // live widget, so it keeps its tool tip.
    void EnableButton(bool enable);
    // A lit button rests on its latched picture instead of its normal one.
    void SetLit(bool lit);

    bool IsButtonEnabled() const { return m_bEnable; }
    int CurrentImage() const { return m_nCurImage; }
    bool IsPressed() const { return m_bPressed; }
    bool IsLit() const { return m_bLit; }

    // The outline of a lit button whose skin has no latched picture: the default
    // skin's accent.
    static inline const QColor LIT_OUTLINE{255, 178, 62};

signals:
    // A completed click, delivered queued.
    void clicked(int controlId);
    // Press (pressed true) and release (false) notifications: the first delivered
    // queued, the second at once.
    void pressNotified(unsigned notifyId, bool pressed);
    void pressNotifiedSync(unsigned notifyId, bool pressed);
    // A release, or the pointer leaving, without a press on this button; queued.
    void upWithoutPress();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void OnLeftButtonUp();
    void OnMouseLeave();
    template <typename Emit> void Post(Emit emitter);
    int RestingImage() const;
    void PaintUnavailable(QPainter& painter) const;
    void PaintDrawnLit(QPainter& painter) const;

    std::array<QPixmap, 4> m_hImage;
    bool m_bPressed = false;
    unsigned m_nNotifyID = 0;
    int m_nCurImage = -1;
    bool m_bEnable = true;
    bool m_bTracking = false;
    bool m_bLit = false;
    const int m_nControlId;
};
