#include "player/bookmarklist.h"

#include "player/panelcolours.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTreeWidget>

namespace {

constexpr int OFFSET_ROLE = Qt::UserRole;
enum EColumn { COLUMN_TIME, COLUMN_CAMERA, COLUMN_NOTE, COLUMNS };

} // namespace

CBookmarkList::CBookmarkList(QWidget* parent) : CToolWindow(parent, "Bookmarks", "bookmarkList")
{
    setStyleSheet(panel::ListWindowStyle(objectName()));
    m_pCaption = new QLabel(this);
    m_pRows = new QTreeWidget(this);
    m_pRows->setColumnCount(COLUMNS);
    m_pRows->setHeaderLabels({"Time", "Camera", "Note"});
    m_pRows->setRootIsDecorated(false);
    m_pRows->setUniformRowHeights(true);
    m_pRows->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pRows->setEditTriggers(QAbstractItemView::NoEditTriggers); // the note alone, through EditNote
    m_pRows->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_pRows->header()->setStretchLastSection(true);
    connect(m_pRows, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem* item) { Choose(item); });
    connect(m_pRows, &QTreeWidget::itemDoubleClicked, this, &CBookmarkList::EditNote);
    connect(m_pRows, &QTreeWidget::itemChanged, this, &CBookmarkList::OnItemChanged);
    m_btnEdit = new QPushButton("Edit note", this);
    m_btnRemove = new QPushButton("Remove", this);
    connect(m_btnEdit, &QPushButton::clicked, this, &CBookmarkList::EditNote);
    connect(m_btnRemove, &QPushButton::clicked, this, &CBookmarkList::RemoveChosen);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_btnEdit);
    buttons->addWidget(m_btnRemove);
    LayOut(m_pCaption, m_pRows, buttons);
    resize(470, 320);
}

void CBookmarkList::Show(const QString& what, const CBookmarks& bookmarks)
{
    m_pCaption->setText(what);
    const int chosenRow = m_pRows->currentItem() ? m_pRows->indexOfTopLevelItem(m_pRows->currentItem()) : -1;
    const QSignalBlocker quiet(m_pRows); // filling the rows is no edit of a note
    m_pRows->clear();
    for (const CBookmark& b : bookmarks) {
        auto* item = new QTreeWidgetItem(m_pRows);
        item->setText(COLUMN_TIME, b.m_time.IsValid() ? QString::fromStdString(b.m_time.ToIsoString()) : "no date");
        item->setText(COLUMN_CAMERA, QString::fromStdString(BookmarkCameraText(b.m_nCamera)));
        item->setText(COLUMN_NOTE, QString::fromStdString(b.m_strNote));
        item->setData(COLUMN_TIME, OFFSET_ROLE, QVariant::fromValue<qulonglong>(b.m_nOffset));
        item->setToolTip(COLUMN_TIME, QString("offset %1").arg(b.m_nOffset));
        item->setFlags(item->flags() | Qt::ItemIsEditable);
    }
    if (chosenRow >= 0 && chosenRow < RowCount())
        m_pRows->setCurrentItem(m_pRows->topLevelItem(chosenRow));
    m_btnEdit->setEnabled(RowCount() > 0);
    m_btnRemove->setEnabled(RowCount() > 0);
}

int CBookmarkList::RowCount() const
{
    return m_pRows->topLevelItemCount();
}

QString CBookmarkList::Caption() const
{
    return m_pCaption->text();
}

void CBookmarkList::EditNote()
{
    if (QTreeWidgetItem* item = m_pRows->currentItem())
        m_pRows->editItem(item, COLUMN_NOTE);
}

// Enter is the list's with no row too: there is nothing else for it to do here.
bool CBookmarkList::ChooseCurrent()
{
    Choose(m_pRows->currentItem());
    return true;
}

void CBookmarkList::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Delete:
        RemoveChosen();
        return;
    case Qt::Key_F2:
        EditNote();
        return;
    default:
        CToolWindow::keyPressEvent(event);
    }
}

void CBookmarkList::Choose(QTreeWidgetItem* item)
{
    if (item)
        emit chosen(item->data(COLUMN_TIME, OFFSET_ROLE).toULongLong());
}

void CBookmarkList::RemoveChosen()
{
    if (QTreeWidgetItem* item = m_pRows->currentItem())
        emit removeWanted(m_pRows->indexOfTopLevelItem(item));
}

void CBookmarkList::OnItemChanged(QTreeWidgetItem* item, int column)
{
    if (column == COLUMN_NOTE)
        emit noteEdited(m_pRows->indexOfTopLevelItem(item), item->text(COLUMN_NOTE));
}
