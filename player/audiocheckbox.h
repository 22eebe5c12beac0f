#pragma once

#include <QCheckBox>

// An audio channel switch. It does not check itself when clicked: the view flips the
// channel and then sets the check mark to match.
class CAudioCheckBox : public QCheckBox {
    Q_OBJECT

public:
    CAudioCheckBox(int controlId, const QString& text, QWidget* parent);
    int ControlId() const { return m_nControlId; }

protected:
    void nextCheckState() override {}

private:
    const int m_nControlId;
};
