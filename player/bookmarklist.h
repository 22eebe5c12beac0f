#pragma once

#include "evidence/bookmark.h"

#include "player/toolwindow.h"

#include <cstdint>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The bookmarks of the open recording, one row each in file order: date-time,
// camera, note. A click (or Enter) on a row asks to go there; its note can be edited
// in place (F2, a double-click, or Edit note) and the row removed (Delete,
// or Remove). A tool window beside the player that stays open while the user plays on.
// It only asks: the view changes the store and shows the list again.
//
// Threads: window thread only.
class CBookmarkList : public CToolWindow {
    Q_OBJECT

public:
    explicit CBookmarkList(QWidget* parent);

    // `what` over the rows (the recording, or why bookmarks cannot be kept); the row
    // chosen before stays chosen when it is still there.
    void Show(const QString& what, const CBookmarks& bookmarks);
    int RowCount() const;
    QTreeWidget* Rows() const { return m_pRows; }
    QString Caption() const;
    // Starts editing the note of the chosen row.
    void EditNote();

signals:
    void chosen(uint64_t offset);
    void removeWanted(int row);
    void noteEdited(int row, const QString& note);

protected:
    bool ChooseCurrent() override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Choose(QTreeWidgetItem* item);
    void RemoveChosen();
    void OnItemChanged(QTreeWidgetItem* item, int column);

    QLabel* m_pCaption = nullptr;
    QTreeWidget* m_pRows = nullptr;
    QPushButton* m_btnEdit = nullptr;
    QPushButton* m_btnRemove = nullptr;
};
