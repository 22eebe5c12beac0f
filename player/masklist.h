#pragma once

#include "playback/privacymaskset.h"

#include "player/toolwindow.h"

class QLabel;
class QMenu;
class QPushButton;
class QTreeWidget;

// The privacy masks of the open recording, one row each in the set's order: camera,
// shape, style, active from and to, keys; then its mute ranges, a row each. A mask
// row's shape and style are changed, and any row removed, from its context menu
// (Delete removes it too); "Mute I-O" asks for the marked range to be silenced; Load
// and Save as take and write a masks file. A tool window beside the player, open while the mask
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
    // A row of the list: the masks' rows first, then the mute ranges'.
    void removeWanted(int row);
    void shapeWanted(int row, EMaskShape shape);
    void styleWanted(int row, EMaskStyle style);
    void muteWanted();
    void loadWanted();
    void saveWanted();

protected:
    // The masks are no places to go to: Enter is left alone.
    bool ChooseCurrent() override { return false; }
    void keyPressEvent(QKeyEvent* event) override;

private:
    void ShowMenu(const QPoint& at);
    void AddMaskActions(QMenu& menu, int row);
    int ChosenRow() const;

    QLabel* m_pCaption = nullptr;
    QTreeWidget* m_pRows = nullptr;
    QPushButton* m_btnRemove = nullptr;
    int m_nMaskRows = 0; // the rows above are masks, those below mute ranges
};
