#pragma once

#include "evidence/activityindex.h"

#include "player/toolwindow.h"

#include <cstdint>
#include <vector>

class QLabel;
class QTreeWidget;
class QTreeWidgetItem;

// The stretches of activity the window's search finds, one row each: its first and
// last date-time, its camera and its peak. A double-click (or Enter) on a row asks to
// go there. A tool window beside the player that stays open while the user plays on.
//
// Threads: window thread only.
class CActivityList : public CToolWindow {
    Q_OBJECT

public:
    explicit CActivityList(QWidget* parent);

    // What is searched ("CAM 03, in the region") and how far the index reaches, over
    // the rows; the rows are those of `stretches`, in time order of the file.
    void Show(const QString& what, const std::vector<CActivityStretch>& stretches);
    int RowCount() const;
    // The header offset row `row` goes to.
    uint64_t OffsetAt(int row) const;
    QTreeWidget* Rows() const { return m_pRows; }
    QString Caption() const;

signals:
    void chosen(uint64_t offset);

protected:
    bool ChooseCurrent() override;

private:
    void Choose(QTreeWidgetItem* item);

    QLabel* m_pCaption = nullptr;
    QTreeWidget* m_pRows = nullptr;
};
