#include "player/toolwindow.h"

#include <QKeyEvent>

CToolWindow::CToolWindow(QWidget* parent, const QString& title, const QString& objectName) : QWidget(parent, Qt::Tool)
{
    setWindowTitle(title);
    setObjectName(objectName);
}

void CToolWindow::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && ChooseCurrent())
        return;
    if (event->key() == Qt::Key_Escape) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}
