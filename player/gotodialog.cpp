#include "player/gotodialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

constexpr int LOOK_UP_DELAY_MS = 250;

QString TimeOfDay(const CDateTime& t)
{
    return QString::fromStdString(t.ToIsoString().substr(11));
}

} // namespace

CGoToDialog::CGoToDialog(QWidget* parent, const CDateTime& shown, const CDateTime& start, const CDateTime& end,
                         Locate locate)
    : QDialog(parent), m_start(start), m_end(end), m_locate(std::move(locate))
{
    setWindowTitle("Go to date and time");
    // A masked line rather than a date-time spin box: a whole date and time typed over
    // it, separators and all, lands as typed.
    m_edit = new QLineEdit(this);
    m_edit->setInputMask("9999-99-99 99:99:99;_");
    SetMoment(shown.IsValid() ? shown : start);
    m_edit->selectAll();

    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    m_note->setMinimumWidth(m_note->fontMetrics().horizontalAdvance("this time occurs twice; showing the first; Shift+Enter for the second"));

    auto* form = new QFormLayout;
    form->addRow("Date and time:", m_edit);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &CGoToDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &CGoToDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_note);
    layout->addWidget(buttons);

    m_timerLookUp.setSingleShot(true);
    m_timerLookUp.setInterval(LOOK_UP_DELAY_MS);
    connect(&m_timerLookUp, &QTimer::timeout, this, &CGoToDialog::LookUp);
    connect(m_edit, &QLineEdit::textChanged, this, [this] {
        m_bResultCurrent = false;
        m_bAfterEnd = IsAfterRecordingEnd(TypedMoment());
        m_timerLookUp.start();
    });
    connect(m_edit, &QLineEdit::editingFinished, this, [this] { SetMoment(TypedMoment()); });
    LookUp();
}

// The field itself takes any date and time: limits there would refuse the keys that
// pass through a value outside them while a time is typed. What it holds is kept
// within the recording's start and end; the invalid date-time while it holds none.
CDateTime CGoToDialog::TypedMoment() const
{
    return CDateTime::FromIsoString(m_edit->text().toStdString());
}

bool CGoToDialog::IsAfterRecordingEnd(const CDateTime& moment) const
{
    return moment.IsValid() && m_end.IsValid() && DateTimeToOrderKey(moment) > DateTimeToOrderKey(m_end);
}

CDateTime CGoToDialog::Moment() const
{
    const CDateTime moment = TypedMoment();
    if (!moment.IsValid())
        return moment;
    if (m_start.IsValid() && DateTimeToOrderKey(moment) < DateTimeToOrderKey(m_start))
        return m_start;
    if (IsAfterRecordingEnd(moment))
        return m_end;
    return moment;
}

// The field shows the moment kept within the recording; that it was typed after the
// end is remembered.
void CGoToDialog::SetMoment(const CDateTime& moment)
{
    m_edit->setText(QString::fromStdString(moment.ToIsoString()));
    if (const CDateTime kept = Moment(); kept.IsValid())
        m_edit->setText(QString::fromStdString(kept.ToIsoString()));
    m_bAfterEnd = IsAfterRecordingEnd(moment);
}

QString CGoToDialog::Note() const
{
    return m_note->text();
}

void CGoToDialog::LookUp()
{
    m_timerLookUp.stop();
    m_bResultCurrent = true;
    if (!Moment().IsValid()) {
        m_result = CLocateResult();
        m_note->setText("type a date and time, such as " + QString::fromStdString(m_start.ToIsoString()));
        return;
    }
    m_result = m_locate(Moment());
    switch (m_result.m_status) {
    case CLocateResult::EStatus::Found:
        if (m_bAfterEnd)
            m_note->setText("after the end of the recording at " + TimeOfDay(m_end) + "; showing its last pictures");
        else if (!m_result.m_occurrences.empty())
            m_note->setText(QString::fromStdString(LocateTwiceText(m_result)));
        else
            m_note->setText(QString::fromStdString(LocateGapText(m_result)));
        break;
    case CLocateResult::EStatus::AfterEnd:
        m_note->setText("no recording at or after " + TimeOfDay(Moment()));
        break;
    case CLocateResult::EStatus::NoRecords:
        m_note->setText("no record of the recording has a valid date");
        break;
    }
}

uint64_t CGoToDialog::ChosenOffset() const
{
    const std::vector<uint64_t>& times = m_result.m_occurrences;
    return m_bSecond && times.size() > 1 && !m_bAfterEnd ? times[1] : m_result.m_record.m_nOffset;
}

// The dialog's own Enter ignores a held Shift; here Shift+Enter accepts for the second
// time round (for the first when the moment is recorded once).
void CGoToDialog::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (!enter || !(event->modifiers() & Qt::ShiftModifier)) {
        QDialog::keyPressEvent(event);
        return;
    }
    m_bSecond = true;
    accept();
    if (result() != QDialog::Accepted)
        m_bSecond = false;
}

// OK goes where the moment was found; a moment with nothing at or after it keeps the
// dialog open with its note.
void CGoToDialog::accept()
{
    if (Moment().IsValid())
        SetMoment(TypedMoment());
    if (!m_bResultCurrent)
        LookUp();
    if (m_result.m_status == CLocateResult::EStatus::Found)
        QDialog::accept();
}
