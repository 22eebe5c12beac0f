#pragma once

#include <QString>
#include <QWidget>

#include <cstdint>
#include <functional>

class QLabel;
class QToolButton;

// One row of the export panel that says how the last export ended: "Saving …" while
// a worker completes it, then "Saved 02_Capture.avi, 211 frames, in /home/…/avi", or
// that it is incomplete, with a button that shows its folder. The desktop's file
// manager opens only from that button. A text too long for the row has its folder
// shortened in the middle, the whole of it in the tool tip.
//
// Window thread only.
class CExportOutcomeLine : public QWidget {
    Q_OBJECT

public:
    using FolderOpener = std::function<void(const QString& folder)>;

    explicit CExportOutcomeLine(QWidget* parent);

    // The skin's colour under the row, and the text's on it.
    void SetColours(const QColor& ground, const QColor& text);
    void ShowSaving(const QString& fileName);
    // `path` is the video's; `complete` false for an export cut short; `unsignedReason`
    // why a complete one has no signature ("Saved …, NOT SIGNED: …, in …").
    void ShowCompleted(const QString& path, uint32_t frames, bool complete, const QString& unsignedReason = {});
    void Clear();
    // Replaces how the folder is shown (the desktop's file manager); for tests.
    void SetFolderOpener(FolderOpener opener) { m_openFolder = std::move(opener); }

    // The whole text, as the tool tip has it; empty when the row is clear.
    const QString& Text() const { return m_strText; }
    // As the row shows it, shortened to fit.
    QString ShownText() const;
    QToolButton* FolderButton() const { return m_btnFolder; }

signals:
    // The folder button was pressed, after the folder was asked to be shown.
    void folderShown();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void SetText(const QString& lead, const QString& folder);
    void FitText();

    QLabel* m_label;
    QToolButton* m_btnFolder;
    QString m_strText; // the lead and the folder
    QString m_strLead;
    QString m_strFolder;
    FolderOpener m_openFolder;
};
