#include "export/exportoutcomeline.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QUrl>

namespace {

void ShowInFileManager(const QString& folder)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

QString Frames(uint32_t frames)
{
    return QString("%1 frame%2").arg(frames).arg(frames == 1 ? "" : "s");
}

} // namespace

CExportOutcomeLine::CExportOutcomeLine(QWidget* parent)
    : QWidget(parent), m_label(new QLabel(this)), m_btnFolder(new QToolButton(this)), m_openFolder(ShowInFileManager)
{
    QFont font = m_label->font();
    font.setPixelSize(10);
    m_label->setFont(font);
    setAutoFillBackground(true);

    // Flat, with the desktop's folder picture: it reads as part of the panel, and the
    // keyboard stays with the player after a click.
    m_btnFolder->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    m_btnFolder->setAutoRaise(true);
    m_btnFolder->setFocusPolicy(Qt::NoFocus);
    m_btnFolder->setToolTip("Open the folder the export was saved in");
    connect(m_btnFolder, &QToolButton::clicked, this, [this] {
        m_openFolder(m_strFolder);
        emit folderShown();
    });

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    row->addWidget(m_label, 1);
    row->addWidget(m_btnFolder);
    Clear();
}

void CExportOutcomeLine::SetColours(const QColor& ground, const QColor& text)
{
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ground);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::ButtonText, text);
    setPalette(palette);
}

void CExportOutcomeLine::ShowSaving(const QString& fileName)
{
    m_btnFolder->hide();
    SetText(QString("Saving %1 \u2026").arg(fileName), QString());
}

// An export cut short says so first: it must not read as one that is complete. One
// left unsigned says so before its folder, which is shortened first.
void CExportOutcomeLine::ShowCompleted(const QString& path, uint32_t frames, bool complete, const QString& unsignedReason)
{
    const QFileInfo file(path);
    m_strFolder = QDir::toNativeSeparators(file.absolutePath());
    const QString signing = complete && !unsignedReason.isEmpty() ? ", NOT SIGNED: " + unsignedReason : QString();
    const QString lead = QString(complete ? "Saved %1, %2%3, in " : "Incomplete: %1, %2%3, in ")
                             .arg(file.fileName(), Frames(frames), signing);
    m_btnFolder->setIconSize(QSize(height() - 2, height() - 2));
    m_btnFolder->setFixedSize(height() + 2, height());
    m_btnFolder->show();
    SetText(lead, m_strFolder);
}

void CExportOutcomeLine::Clear()
{
    m_strFolder.clear();
    m_btnFolder->hide();
    SetText(QString(), QString());
}

void CExportOutcomeLine::SetText(const QString& lead, const QString& folder)
{
    m_strLead = lead;
    m_strText = lead + folder;
    setToolTip(m_strText);
    setVisible(!m_strText.isEmpty());
    FitText();
}

void CExportOutcomeLine::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FitText();
}

// The file and its frames matter most: the folder's path is shortened first, in its
// middle, and the rest only when even the first part does not fit.
void CExportOutcomeLine::FitText()
{
    const QFontMetrics metrics = m_label->fontMetrics();
    const int room = std::max(0, width() - (!m_btnFolder->isHidden() ? m_btnFolder->width() + 2 : 0));
    const QString folder = m_strText.mid(m_strLead.size());
    const int forFolder = room - metrics.horizontalAdvance(m_strLead);
    if (metrics.horizontalAdvance(m_strText) <= room || folder.isEmpty() || forFolder < metrics.averageCharWidth() * 8)
        m_label->setText(metrics.elidedText(m_strText, Qt::ElideRight, room));
    else
        m_label->setText(m_strLead + metrics.elidedText(folder, Qt::ElideMiddle, forFolder));
}

QString CExportOutcomeLine::ShownText() const
{
    return m_label->text();
}
