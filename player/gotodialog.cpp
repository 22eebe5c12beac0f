#include "player/gotodialog.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

constexpr int LOOK_UP_DELAY_MS = 250;

// The recorder's clock knows no time zones or daylight saving: the field shows its
// times as they are, in UTC, where every moment exists exactly once.
QDateTime ToQt(const CDateTime& t)
{
    return QDateTime(QDate(t.GetYear(), t.GetMonth(), t.GetDay()), QTime(t.GetHour(), t.GetMinute(), t.GetSecond()),
                     Qt::UTC);
}

CDateTime FromQt(const QDateTime& t)
{
    return CDateTime(t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(),
                     t.time().second());
}

QString TimeOfDay(const CDateTime& t)
{
    return QString::fromStdString(t.ToIsoString().substr(11));
}

} // namespace

CGoToDialog::CGoToDialog(QWidget* parent, const CDateTime& shown, const CDateTime& start, const CDateTime& end,
                         Locate locate)
    : QDialog(parent), m_locate(std::move(locate))
{
    setWindowTitle("Go to date and time");
    m_edit = new QDateTimeEdit(this);
    m_edit->setTimeSpec(Qt::UTC);
    m_edit->setDisplayFormat("yyyy-MM-dd HH:mm:ss");
    if (start.IsValid())
        m_edit->setMinimumDateTime(ToQt(start));
    if (end.IsValid())
        m_edit->setMaximumDateTime(ToQt(end));
    m_edit->setDateTime(ToQt(shown.IsValid() ? shown : start));
    m_edit->setCurrentSection(QDateTimeEdit::SecondSection);

    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    m_note->setMinimumWidth(m_note->fontMetrics().horizontalAdvance("no recording between 00:00:00 and 00:00:00; showing 00:00:00"));

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
    connect(m_edit, &QDateTimeEdit::dateTimeChanged, this, [this] {
        m_bResultCurrent = false;
        m_timerLookUp.start();
    });
    LookUp();
}

CDateTime CGoToDialog::Moment() const
{
    return FromQt(m_edit->dateTime());
}

void CGoToDialog::SetMoment(const CDateTime& moment)
{
    m_edit->setDateTime(ToQt(moment));
}

QString CGoToDialog::Note() const
{
    return m_note->text();
}

void CGoToDialog::LookUp()
{
    m_timerLookUp.stop();
    m_result = m_locate(Moment());
    m_bResultCurrent = true;
    switch (m_result.m_status) {
    case CLocateResult::EStatus::Found:
        m_note->setText(QString::fromStdString(LocateGapText(m_result)));
        break;
    case CLocateResult::EStatus::AfterEnd:
        m_note->setText("no recording at or after " + TimeOfDay(Moment()));
        break;
    case CLocateResult::EStatus::NoRecords:
        m_note->setText("no record of this recording has a valid date");
        break;
    }
}

// OK goes where the moment was found; a moment with nothing at or after it keeps the
// dialog open with its note.
void CGoToDialog::accept()
{
    if (!m_bResultCurrent)
        LookUp();
    if (m_result.m_status == CLocateResult::EStatus::Found)
        QDialog::accept();
}
