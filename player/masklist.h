#pragma once

#include "playback/privacymaskset.h"

#include "player/toolwindow.h"

class QLabel;
class QPushButton;
class QTreeWidget;

// The privacy masks of the open recording, one row each in the set's order: camera,
// shape, style, active from and to, keys. A row's shape and style are changed, and
// the row removed, from its context menu (Delete removes it too); Load and Save as
// take and write a masks file. A tool window beside the player, open while the mask
// tool is on. It only asks: the view changes the store and shows the list again.
//
// Threads: window thread only.
class CMaskList : public CToolWindow {
    Q_OBJECT

public:
    explicit CMaskList(QWidget* parent);

    // `what` over the rows (the recording, or why masks cannot be kept).
    void Show(const QString& what, const CPrivacyMaskSet& set);
    int RowCount() const;
    QTreeWidget* Rows() const { return m_pRows; }
    QString Caption() const;

signals:
    void removeWanted(int row);
    void shapeWanted(int row, EMaskShape shape);
    void styleWanted(int row, EMaskStyle style);
    void loadWanted();
    void saveWanted();

protected:
    // The masks are no places to go to: Enter is left alone.
    bool ChooseCurrent() override { return false; }
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowMenu(const QPoint& at);
    int ChosenRow() const;

    QLabel* m_pCaption = nullptr;
    QTreeWidget* m_pRows = nullptr;
    QPushButton* m_btnRemove = nullptr;
};
