#pragma once

#include <QCheckBox>

// An audio channel switch, drawn in the panel's colours over the skin instead of as a
// desktop check box. It does not check itself when clicked: the view flips the
// channel and then sets the check mark to match.
class CAudioCheckBox : public QCheckBox {
    Q_OBJECT

public:
    CAudioCheckBox(int controlId, const QString& text, QWidget* parent);
    int ControlId() const { return m_nControlId; }

    // Where the box with the check mark sits inside the control.
    QRect BoxRect() const;

protected:
    void nextCheckState() override {}
    void paintEvent(QPaintEvent* event) override;
    // The whole control takes the click, its text too.
    bool hitButton(const QPoint& pos) const override { return rect().contains(pos); }

private:
    const int m_nControlId;
};
