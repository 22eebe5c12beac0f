#include "player/activitylist.h"

#include "player/panelcolours.h"

#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>

#include <algorithm>

namespace {

constexpr int OFFSET_ROLE = Qt::UserRole;
enum EColumn { COLUMN_FROM, COLUMN_TO, COLUMN_CAMERA, COLUMN_PEAK, COLUMNS };

QString TimeText(const CDateTime& t)
{
    return QString::fromStdString(t.ToIsoString());
}

} // namespace

CActivityList::CActivityList(QWidget* parent) : CToolWindow(parent, "Activity", "activityList")
{
    setStyleSheet(panel::ListWindowStyle(objectName()));
    m_pCaption = new QLabel(this);
    m_pRows = new QTreeWidget(this);
    m_pRows->setColumnCount(COLUMNS);
    m_pRows->setHeaderLabels({"From", "To", "Camera", "Peak"});
    m_pRows->setRootIsDecorated(false);
    m_pRows->setUniformRowHeights(true);
    m_pRows->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pRows->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(m_pRows, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { Choose(item); });
    LayOut(m_pCaption, m_pRows);
    resize(470, 320);
}

// The row chosen before stays chosen when its stretch is still listed, so that the
// list can grow under the user's eyes while the index is built.
void CActivityList::Show(const QString& what, const std::vector<CActivityStretch>& stretches)
{
    m_pCaption->setText(what);
    const QTreeWidgetItem* current = m_pRows->currentItem();
    const QVariant chosenOffset = current ? current->data(COLUMN_FROM, OFFSET_ROLE) : QVariant();
    std::vector<CActivityStretch> rows = stretches;
    std::stable_sort(rows.begin(), rows.end(),
                     [](const CActivityStretch& a, const CActivityStretch& b) { return a.m_nOffset < b.m_nOffset; });
    m_pRows->clear();
    for (const CActivityStretch& s : rows) {
        auto* item = new QTreeWidgetItem(m_pRows);
        item->setText(COLUMN_FROM, TimeText(s.m_from));
        item->setText(COLUMN_TO, TimeText(s.m_to));
        item->setText(COLUMN_CAMERA, QString::asprintf("CAM %02d", s.m_nChannel + 1));
        item->setText(COLUMN_PEAK, QString::asprintf("%.0f %%", s.m_dPeak * 100));
        item->setData(COLUMN_FROM, OFFSET_ROLE, QVariant::fromValue<qulonglong>(s.m_nOffset));
        if (chosenOffset.isValid() && chosenOffset.toULongLong() == s.m_nOffset)
            m_pRows->setCurrentItem(item);
    }
}

int CActivityList::RowCount() const
{
    return m_pRows->topLevelItemCount();
}

uint64_t CActivityList::OffsetAt(int row) const
{
    const QTreeWidgetItem* item = m_pRows->topLevelItem(row);
    return item ? item->data(COLUMN_FROM, OFFSET_ROLE).toULongLong() : 0;
}

QString CActivityList::Caption() const
{
    return m_pCaption->text();
}

bool CActivityList::ChooseCurrent()
{
    if (!m_pRows->currentItem())
        return false;
    Choose(m_pRows->currentItem());
    return true;
}

void CActivityList::Choose(QTreeWidgetItem* item)
{
    if (item)
        emit chosen(item->data(COLUMN_FROM, OFFSET_ROLE).toULongLong());
}
