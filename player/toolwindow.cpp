#include "player/toolwindow.h"

#include <QKeyEvent>
#include <QVBoxLayout>

CToolWindow::CToolWindow(QWidget* parent, const QString& title, const QString& objectName) : QWidget(parent, Qt::Tool)
{
    setWindowTitle(title);
    setObjectName(objectName);
}

void CToolWindow::LayOut(QWidget* caption, QWidget* rows, QLayout* buttons)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(caption);
    layout->addWidget(rows, 1);
    if (buttons)
        layout->addLayout(buttons);
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
