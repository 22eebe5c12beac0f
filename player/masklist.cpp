#include "player/masklist.h"

#include "player/panelcolours.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

namespace {

QString Clock(const CDateTime& t)
{
    return QString::fromStdString(t.ToIsoString());
}

QString KeysText(const CPrivacyMask& mask)
{
    QStringList keys;
    for (const CMaskKey& k : mask.m_keys)
        keys << QString("%1 [%2 %3 %4 %5]")
                    .arg(Clock(k.m_at).section(' ', 1))
                    .arg(k.m_box.x(), 0, 'f', 3)
                    .arg(k.m_box.y(), 0, 'f', 3)
                    .arg(k.m_box.width(), 0, 'f', 3)
                    .arg(k.m_box.height(), 0, 'f', 3);
    return keys.join(", ");
}

} // namespace

CMaskList::CMaskList(QWidget* parent) : CToolWindow(parent, "Privacy masks", "maskList")
{
    setStyleSheet(panel::ListWindowStyle(objectName()));
    m_pCaption = new QLabel(this);
    m_pCaption->setWordWrap(true);
    m_pRows = new QTreeWidget(this);
    m_pRows->setHeaderLabels({"Camera", "Shape", "Style", "From", "To", "Keys"});
    m_pRows->setRootIsDecorated(false);
    m_pRows->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pRows->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pRows->setContextMenuPolicy(Qt::CustomContextMenu);
    m_pRows->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    connect(m_pRows, &QTreeWidget::customContextMenuRequested, this, &CMaskList::ShowMenu);
    auto* load = new QPushButton("Load...", this);
    auto* save = new QPushButton("Save as...", this);
    auto* mute = new QPushButton("Mute I-O", this);
    mute->setToolTip("Silences the sound between the in and out marks in every output");
    m_btnRemove = new QPushButton("Remove", this);
    connect(load, &QPushButton::clicked, this, &CMaskList::loadWanted);
    connect(save, &QPushButton::clicked, this, &CMaskList::saveWanted);
    connect(mute, &QPushButton::clicked, this, &CMaskList::muteWanted);
    connect(m_btnRemove, &QPushButton::clicked, this, [this] {
        if (ChosenRow() >= 0)
            emit removeWanted(ChosenRow());
    });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(load);
    buttons->addWidget(save);
    buttons->addStretch();
    buttons->addWidget(mute);
    buttons->addWidget(m_btnRemove);
    LayOut(m_pCaption, m_pRows, buttons);
    resize(620, 260);
}

void CMaskList::Show(const QString& what, const CPrivacyMaskSet& set)
{
    m_pCaption->setText(what);
    const int chosen = ChosenRow();
    m_pRows->clear();
    for (const CPrivacyMask& mask : set.m_masks) {
        auto* item = new QTreeWidgetItem(m_pRows);
        item->setText(0, QString::asprintf("CAM %02d", mask.m_nChannel));
        item->setText(1, CPrivacyMask::ShapeName(mask.m_shape));
        item->setText(2, CPrivacyMask::StyleName(mask.m_style));
        item->setText(3, Clock(mask.m_from));
        item->setText(4, Clock(mask.m_to));
        item->setText(5, KeysText(mask));
    }
    m_nMaskRows = int(set.m_masks.size());
    for (const CMuteRange& range : set.m_mute) {
        auto* item = new QTreeWidgetItem(m_pRows);
        item->setText(0, "sound");
        item->setText(1, "muted");
        item->setText(3, Clock(range.m_from));
        item->setText(4, Clock(range.m_to));
    }
    if (chosen >= 0 && chosen < RowCount())
        m_pRows->setCurrentItem(m_pRows->topLevelItem(chosen));
    m_btnRemove->setEnabled(RowCount() > 0);
}

int CMaskList::RowCount() const
{
    return m_pRows->topLevelItemCount();
}

QString CMaskList::Caption() const
{
    return m_pCaption->text();
}

int CMaskList::ChosenRow() const
{
    return m_pRows->currentItem() ? m_pRows->indexOfTopLevelItem(m_pRows->currentItem()) : -1;
}

void CMaskList::ShowMenu(const QPoint& at)
{
    QTreeWidgetItem* item = m_pRows->itemAt(at);
    if (!item)
        return;
    const int row = m_pRows->indexOfTopLevelItem(item);
    QMenu menu(this);
    if (row < m_nMaskRows)
        AddMaskActions(menu, row);
    menu.addAction("Remove", this, [this, row] { emit removeWanted(row); });
    menu.exec(m_pRows->viewport()->mapToGlobal(at));
}

void CMaskList::AddMaskActions(QMenu& menu, int row)
{
    for (EMaskShape shape : {EMaskShape::Rect, EMaskShape::Ellipse})
        menu.addAction(QString("Shape: %1").arg(CPrivacyMask::ShapeName(shape)), this,
                       [this, row, shape] { emit shapeWanted(row, shape); });
    menu.addSeparator();
    for (EMaskStyle style : {EMaskStyle::Solid, EMaskStyle::Pixelate, EMaskStyle::Blur})
        menu.addAction(QString("Style: %1").arg(CPrivacyMask::StyleName(style)), this,
                       [this, row, style] { emit styleWanted(row, style); });
    menu.addSeparator();
}

void CMaskList::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && ChosenRow() >= 0)
        emit removeWanted(ChosenRow());
    else
        CToolWindow::keyPressEvent(event);
}
