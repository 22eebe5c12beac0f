#include "player/reportpanel.h"

#include "player/panelcolours.h"
#include "session/reportfindings.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace {

constexpr int OFFSET_ROLE = Qt::UserRole;

} // namespace

CReportPanel::CReportPanel(QWidget* parent) : CToolWindow(parent, "Report", "reportPanel")
{
    setStyleSheet(QString("QWidget#reportPanel, QListWidget { background: %1; color: %2; }"
                          "QLabel { color: %3; }")
                      .arg(panel::GROUND.name(), panel::TEXT.name(), panel::CAPTION.name()));
    m_pCaption = new QLabel(this);
    m_pCaption->setWordWrap(true);
    m_pRows = new QListWidget(this);
    m_pRows->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_pRows, &QListWidget::itemClicked, this, [this](const QListWidgetItem* item) { Choose(item); });
    m_pSave = new QPushButton("Save\u2026", this);
    m_pSave->setToolTip("Writes the report as JSON and as a printable PDF, with their sums, signed");
    connect(m_pSave, &QPushButton::clicked, this, &CReportPanel::saveWanted);
    m_pOutcome = new QLabel(this);
    m_pOutcome->setWordWrap(true);
    m_pOutcome->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pOutcome, 1);
    buttons->addWidget(m_pSave, 0, Qt::AlignTop);
    LayOut(m_pCaption, m_pRows, buttons);
    resize(560, 420);
}

void CReportPanel::ShowBuilding(const QString& file)
{
    ShowLines(QString("The report of %1 is being read; it lists here once the whole file is read.").arg(file),
              false);
}

void CReportPanel::ShowFailure(const QString& text)
{
    ShowLines(text, false);
}

void CReportPanel::ShowReport(const CRecordingReport& report, const CBookmarks& bookmarks)
{
    ShowLines("Click a gap, a set-back, damage or a bookmark to go there.", true);
    for (const CReportLine& line : ReportInWords(report, bookmarks)) {
        auto* item = new QListWidgetItem(line.m_strText, m_pRows);
        if (line.m_nOffset) {
            item->setData(OFFSET_ROLE, QVariant::fromValue<qulonglong>(*line.m_nOffset));
            item->setToolTip(QString("Go to offset %1").arg(*line.m_nOffset));
        } else {
            item->setFlags(Qt::ItemIsEnabled);
        }
    }
}

void CReportPanel::ShowLines(const QString& caption, bool saveable)
{
    m_pCaption->setText(caption);
    m_pRows->clear();
    m_pSave->setEnabled(saveable);
}

void CReportPanel::ShowSaveOutcome(const QString& text)
{
    m_pOutcome->setText(text);
}

int CReportPanel::RowCount() const
{
    return m_pRows->count();
}

QString CReportPanel::RowText(int row) const
{
    const QListWidgetItem* item = m_pRows->item(row);
    return item ? item->text() : QString();
}

std::optional<uint64_t> CReportPanel::OffsetAt(int row) const
{
    const QListWidgetItem* item = m_pRows->item(row);
    if (!item || !item->data(OFFSET_ROLE).isValid())
        return std::nullopt;
    return item->data(OFFSET_ROLE).toULongLong();
}

QString CReportPanel::Caption() const
{
    return m_pCaption->text();
}

QString CReportPanel::SaveOutcome() const
{
    return m_pOutcome->text();
}

bool CReportPanel::ChooseCurrent()
{
    if (!m_pRows->currentItem())
        return false;
    Choose(m_pRows->currentItem());
    return true;
}

void CReportPanel::Choose(const QListWidgetItem* item)
{
    if (item && item->data(OFFSET_ROLE).isValid())
        emit chosen(item->data(OFFSET_ROLE).toULongLong());
}
