#pragma once

#include "recording/recordinglocator.h"

#include <QDialog>
#include <QTimer>

#include <functional>

class QKeyEvent;
class QLineEdit;
class QLabel;

// Go to a date and time: one field with the date and the time to the second
// ("2024-03-18 14:01:07"), kept within the recording's start and end. While the user edits it the moment is looked up,
// and a moment that falls between two records says so ("no recording between 14:02:10
// and 14:05:00; showing 14:05:00"), as does a moment the recorder recorded twice
// because its clock was set back ("this time occurs twice; showing the first;
// Shift+Enter for the second"). OK (Enter) closes the dialog once the moment is found,
// Shift+Enter too, choosing the second time round; ChosenOffset() then names the
// record to show.
class CGoToDialog : public QDialog {
    Q_OBJECT

public:
    using Locate = std::function<CLocateResult(const CDateTime&)>;

    CGoToDialog(QWidget* parent, const CDateTime& shown, const CDateTime& start, const CDateTime& end, Locate locate);

    CDateTime Moment() const;
    void SetMoment(const CDateTime& moment);
    // The line under the field: empty, or what the moment falls into.
    QString Note() const;
    const CLocateResult& Result() const { return m_result; }
    // The header of the record to show: the second time round after Shift+Enter.
    uint64_t ChosenOffset() const;
    // The moment typed lies after the recording's last record: the player shows its
    // end, as the End button does, rather than the pictures of one second there.
    bool IsAfterEnd() const { return m_bAfterEnd; }

    void accept() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void LookUp();
    CDateTime TypedMoment() const;
    bool IsAfterRecordingEnd(const CDateTime& moment) const;

    const CDateTime m_start, m_end;
    Locate m_locate;
    QLineEdit* m_edit = nullptr;
    QLabel* m_note = nullptr;
    QTimer m_timerLookUp; // looks up once the user stops typing
    CLocateResult m_result;
    bool m_bResultCurrent = false;
    bool m_bAfterEnd = false;
    bool m_bSecond = false; // accepted with Shift+Enter
};
