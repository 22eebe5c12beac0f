#pragma once

#include "evidence/bookmark.h"
#include "evidence/recordingreport.h"

#include "player/toolwindow.h"

#include <cstdint>
#include <optional>

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;

// The open recording's report in words, one line each: the file and its sum, the
// cameras with their first and last times, then its gaps, clock set-backs and
// damage, each of which a click (or Enter) goes to. Save asks to write the report's
// files. A tool window beside the player that stays open while the user plays on.
//
// Threads: window thread only.
class CReportPanel : public CToolWindow {
    Q_OBJECT

public:
    explicit CReportPanel(QWidget* parent);

    // While the report of `file` is read, nothing to list and nothing to save yet.
    void ShowBuilding(const QString& file);
    // No report: `text` says why.
    void ShowFailure(const QString& text);
    void ShowReport(const CRecordingReport& report, const CBookmarks& bookmarks);
    // What the last save came to.
    void ShowSaveOutcome(const QString& text);

    int RowCount() const;
    QString RowText(int row) const;
    // The header offset row `row` goes to; none for a line that names no place.
    std::optional<uint64_t> OffsetAt(int row) const;
    QString Caption() const;
    QString SaveOutcome() const;
    QPushButton* SaveButton() const { return m_pSave; }
    QListWidget* Rows() const { return m_pRows; }

signals:
    void chosen(uint64_t offset);
    void saveWanted();

protected:
    bool ChooseCurrent() override;

private:
    void ShowLines(const QString& caption, bool saveable);
    void Choose(const QListWidgetItem* item);

    QLabel* m_pCaption = nullptr;
    QListWidget* m_pRows = nullptr;
    QPushButton* m_pSave = nullptr;
    QLabel* m_pOutcome = nullptr;
};
