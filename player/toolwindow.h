#pragma once

#include <QWidget>

class QKeyEvent;
class QLayout;

// A tool window beside the player that stays open while the user plays on: a list
// of places in the recording, whose current row Enter chooses, and which Escape
// hides, so that the keyboard alone can go through it and put it away. What choosing
// a row does is the list's own.
//
// Threads: window thread only.
class CToolWindow : public QWidget {
    Q_OBJECT

protected:
    // `objectName` names it to its style sheet.
    CToolWindow(QWidget* parent, const QString& title, const QString& objectName);
    // The caption over the rows, which take the height, and the row of buttons, if
    // any, under them.
    void LayOut(QWidget* caption, QWidget* rows, QLayout* buttons = nullptr);

    // Enter: chooses the current row. False when the list leaves the key alone (it
    // has no current row), so that it goes on as any key would.
    virtual bool ChooseCurrent() = 0;
    void keyPressEvent(QKeyEvent* event) override;
};
