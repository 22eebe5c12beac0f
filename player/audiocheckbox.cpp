#include "player/audiocheckbox.h"

CAudioCheckBox::CAudioCheckBox(int controlId, const QString& text, QWidget* parent)
    : QCheckBox(text, parent), m_nControlId(controlId)
{
    setFocusPolicy(Qt::NoFocus);
    setProperty("controlId", controlId);
    setAutoFillBackground(true); // the desktop's own control colours, whatever the skin
}
