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
    SetText(QString("Saving %1 \u2026").arg(fileName));
}

// An export cut short says so first: it must not read as one that is complete.
void CExportOutcomeLine::ShowCompleted(const QString& path, uint32_t frames, bool complete)
{
    const QFileInfo file(path);
    m_strFolder = QDir::toNativeSeparators(file.absolutePath());
    const QString text = QString(complete ? "Saved %1, %2, in %3" : "Incomplete: %1, %2, in %3")
                             .arg(file.fileName(), Frames(frames), m_strFolder);
    m_btnFolder->setIconSize(QSize(height() - 2, height() - 2));
    m_btnFolder->setFixedSize(height() + 2, height());
    m_btnFolder->show();
    SetText(text);
}

void CExportOutcomeLine::Clear()
{
    m_strFolder.clear();
    m_btnFolder->hide();
    SetText(QString());
}

void CExportOutcomeLine::SetText(const QString& text)
{
    m_strText = text;
    setToolTip(text);
    setVisible(!text.isEmpty());
    FitText();
}

void CExportOutcomeLine::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FitText();
}

void CExportOutcomeLine::FitText()
{
    const int room = width() - (!m_btnFolder->isHidden() ? m_btnFolder->width() + 2 : 0);
    m_label->setText(m_label->fontMetrics().elidedText(m_strText, Qt::ElideMiddle, std::max(0, room)));
}
