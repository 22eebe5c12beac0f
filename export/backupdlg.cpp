#include "export/backupdlg.h"

#include "export/exportoutcomeline.h"
#include "export/ibackupowner.h"
#include "platform/messagebox.h"
#include "skin/skinbutton.h"
#include "skin/skinreader.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>

namespace {

const char* const SECTION = "BACKUP POS";
const QColor BACKGROUND(161, 160, 160);
const QColor TEXT(41, 42, 42);
constexpr int DEFAULT_CHANNEL = 0;
constexpr int DEFAULT_FRAMERATE = 9; // "10"
constexpr int DEFAULT_SIZE = 0;      // "360 * 240"
constexpr int PROGRESS_PERIOD_MS = 250;
constexpr int PROGRESS_TOP = 3, PROGRESS_HEIGHT = 17;
const char* const NO_SIZE = "Not selected backup size.";
// The sizes the box offers, in its order: the two of every recording, then the two
// that keep a PAL picture's own shape.
struct CExportSize {
    const char* m_szText;
    int m_nWidth, m_nHeight;
};
constexpr CExportSize EXPORT_SIZES[] = {
    {"360 * 240", 360, 240}, {"720 * 480", 720, 480}, {"352 * 288", 352, 288}, {"720 * 576", 720, 576}};
constexpr int SIZES_OF_EVERY_RECORDING = 2;
const QStringList FORMATS{"AVI (Motion-JPEG)", "MP4 (H.264)"};
constexpr int RATE_TEXT_HEIGHT = 13;
constexpr int MASKS_BOX_HEIGHT = 16;
const char* const MASKS_TIP = "Hide the recording's privacy masks in every frame, under the date and time, and "
                              "silence its mute ranges; the copy is named _redacted and its note lists the masks";
const char* const NO_MASKS_TIP = "no masks for this recording";
const char* const MP4_RATE_TIP = "An MP4 is timed by the recorder's clock: each picture is shown when it was "
                                 "recorded, so no frame rate applies.";

QColor TextOn(const QColor& ground)
{
    return qGray(ground.rgb()) < 128 ? QColor(230, 230, 230) : TEXT;
}

QStringList Numbers(int last)
{
    QStringList items;
    for (int n = 1; n <= last; ++n)
        items << QString::number(n);
    return items;
}

} // namespace

CBackupDlg::CBackupDlg(const QString& appFolder, const QString& iniPath, const QString& appTitle,
                       IBackupOwner& owner, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), m_strAppTitle(appTitle), m_owner(owner),
      m_skin(std::make_unique<CSkinReader>(iniPath.toStdString(), appFolder.toStdString(), 0))
{
    setWindowTitle("Backup");
    setModal(false);
    setAttribute(Qt::WA_ShowWithoutActivating); // opening it leaves the keys with the player
    OnInitDialog();
    m_timerProgress.setInterval(PROGRESS_PERIOD_MS);
    connect(&m_timerProgress, &QTimer::timeout, this, &CBackupDlg::UpdateProgress);
}

CBackupDlg::~CBackupDlg() = default;

void CBackupDlg::OnInitDialog()
{
    QPalette palette = this->palette(); // the dialog's and its texts' colours
    palette.setColor(QPalette::Window, BACKGROUND);
    palette.setColor(QPalette::WindowText, TEXT);
    setPalette(palette);
    setAutoFillBackground(true);

    m_rcSkin = m_skin->LoadSkinRect(SECTION, "POS_BACKUP_SKIN", false);
    m_bmpSkin = m_skin->LoadSkinBitmap("BACKUP", "SKIN");
    m_comboChannel = MakeBox(backupctl::CHANNEL, {});
    m_comboFrameRate = MakeBox(backupctl::FRAMERATE, Numbers(60));
    m_comboSize = MakeBox(backupctl::IMAGESIZE, {});
    m_btnStart = SetupSkinButton(backupctl::START, "BTN_AVISTART", "POS_BACKUP_START");
    m_btnStop = SetupSkinButton(backupctl::STOP, "BTN_AVISTOP", "POS_BACKUP_STOP");
    m_outcome = new CExportOutcomeLine(this);
    connect(m_outcome, &CExportOutcomeLine::folderShown, this, [this] { m_owner.ReturnKeyboard(); });

    m_comboFormat = MakeBox(backupctl::FORMAT, FORMATS);
    m_comboFormat->setToolTip("AVI: Motion-JPEG at the chosen rate. MP4: H.264 timed by the recorder's clock, "
                              "with the sound of the audio switch that is on.");
    connect(m_comboFormat, &QComboBox::currentIndexChanged, this, &CBackupDlg::OnFormatChanged);
    connect(m_comboChannel, &QComboBox::currentIndexChanged, this, &CBackupDlg::ShowCameraRate);
    m_staticRate = MakeRateLabel();
    m_checkMasks = MakeMasksBox();
    m_staticProgress = MakeProgressLabel();
}

// The colour of the skin under `point` of the panel.
QColor CBackupDlg::SkinColourAt(QPoint point) const
{
    const QPoint inSkin = point - m_rcSkin.topLeft();
    return m_bmpSkin.valid(inSkin) ? m_bmpSkin.pixelColor(inSkin) : BACKGROUND;
}

QLabel* CBackupDlg::MakeRateLabel()
{
    auto* label = new QLabel(this);
    QFont font = label->font();
    font.setPixelSize(10);
    label->setFont(font);
    label->hide();
    return label;
}

QCheckBox* CBackupDlg::MakeMasksBox()
{
    auto* box = new QCheckBox("apply masks", this);
    QFont font = box->font();
    font.setPixelSize(11);
    box->setFont(font);
    box->setFocusPolicy(Qt::NoFocus); // the keys stay with the player
    connect(box, &QCheckBox::clicked, this, [this] { m_owner.ReturnKeyboard(); });
    return box;
}

// While an export runs, the panel's title row shows its file and frames so far, in
// the colours of the skin under it.
QLabel* CBackupDlg::MakeProgressLabel()
{
    auto* label = new QLabel(this);
    QFont font = label->font();
    font.setPixelSize(11);
    label->setFont(font);
    label->setTextFormat(Qt::RichText);
    const int left = m_skin->LoadSkinRect(SECTION, "POS_BACKUP_CHANNEL", false).left();
    const QRect row(left, PROGRESS_TOP, m_rcSkin.width() - 2 * left, PROGRESS_HEIGHT);
    label->setGeometry(row);
    const QColor ground = SkinColourAt(row.topRight() + QPoint(-2, row.height() / 2));
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, ground);
    palette.setColor(QPalette::WindowText, TextOn(ground));
    label->setPalette(palette);
    label->setAutoFillBackground(true);
    label->hide();
    return label;
}

QComboBox* CBackupDlg::MakeBox(int id, const QStringList& items)
{
    auto* box = new QComboBox(this);
    box->setProperty("controlId", id);
    box->setPalette(QApplication::palette()); // the boxes keep the desktop's colours
    box->addItems(items);
    box->setMaxVisibleItems(16);
    connect(box, &QComboBox::activated, this, [this] { m_owner.ReturnKeyboard(); });
    return box;
}

CSkinButton* CBackupDlg::SetupSkinButton(int id, const char* imageSection, const char* key)
{
    auto* button = new CSkinButton(id, this);
    const CButtonImageNames names = m_skin->ReadButtonImages(imageSection, false);
    button->LoadBitmaps(names.m_names[0], names.m_names[1], QString(), names.m_names[3], unsigned(id));
    button->EnableButton(true);
    button->setGeometry(m_skin->LoadSkinRect(SECTION, key, false));
    button->setToolTip(id == backupctl::START ? "Start the export" : "Stop the export");
    button->show();
    connect(button, &CSkinButton::clicked, this, &CBackupDlg::OnCommand);
    return button;
}

void CBackupDlg::OnCommand(int id)
{
    if (id == backupctl::START)
        OnStart();
    else if (id == backupctl::STOP)
        OnStop();
}

void CBackupDlg::Prepare(BACKUPSETTING* setting, bool pal)
{
    m_pSetting = setting;
    m_comboSize->clear();
    for (int i = 0; i < (pal ? int(std::size(EXPORT_SIZES)) : SIZES_OF_EVERY_RECORDING); ++i)
        m_comboSize->addItem(EXPORT_SIZES[i].m_szText);
    m_cameraRates.clear();
    m_outcome->Clear();
    SetExporting(false);
    m_comboChannel->clear();
    const int count = setting ? setting->m_byChannelCount : 0;
    if (count == 1 || count == 4 || count == 8 || count == 16)
        m_comboChannel->addItems(Numbers(count));
    m_comboChannel->setGeometry(m_skin->LoadSkinRect(SECTION, "POS_BACKUP_CHANNEL", false));
    m_comboFrameRate->setGeometry(m_skin->LoadSkinRect(SECTION, "POS_BACKUP_FRAMERATE", false));
    m_comboSize->setGeometry(m_skin->LoadSkinRect(SECTION, "POS_BACKUP_IMAGESIZE", false));
    PlaceNewControls();
    m_comboChannel->setCurrentIndex(DEFAULT_CHANNEL);
    m_comboFrameRate->setCurrentIndex(DEFAULT_FRAMERATE);
    m_comboSize->setCurrentIndex(DEFAULT_SIZE);
    m_comboFormat->setCurrentIndex(0);
    OnFormatChanged();
    ShowCameraRate();
}

// Skins made before the format box and the rate text have no places for them: the
// format box then takes the title row above the size box (the progress, which covers
// that row, shows only while the box is off), and the text the line under the boxes.
void CBackupDlg::PlaceNewControls()
{
    const QRect camera = m_comboChannel->geometry(), size = m_comboSize->geometry();
    m_comboFormat->setGeometry(m_skin->FindSkinRect(SECTION, "POS_BACKUP_FORMAT", false)
                                   .value_or(QRect(size.left(), PROGRESS_TOP, size.width(), PROGRESS_HEIGHT + 1)));
    const QRect text =
        m_skin->FindSkinRect(SECTION, "POS_BACKUP_RATE_TEXT", false)
            .value_or(QRect(camera.left(), camera.bottom() + 1, size.right() - camera.left() + 1, RATE_TEXT_HEIGHT));
    m_staticRate->setGeometry(text);
    const QColor ground = SkinColourAt(text.center());
    QPalette palette = m_staticRate->palette();
    palette.setColor(QPalette::WindowText, TextOn(ground));
    m_staticRate->setPalette(palette);
    m_outcome->setGeometry(text);
    m_outcome->SetColours(ground, TextOn(ground));
    const QRect masks = m_skin->FindSkinRect(SECTION, "POS_BACKUP_MASKS", false)
                            .value_or(QRect(text.left(), text.bottom() + 2, text.width(), MASKS_BOX_HEIGHT));
    m_checkMasks->setGeometry(masks);
    palette = m_checkMasks->palette();
    palette.setColor(QPalette::WindowText, TextOn(SkinColourAt(masks.center())));
    m_checkMasks->setPalette(palette);
}

EExportFormat CBackupDlg::Format() const
{
    return m_comboFormat->currentIndex() == 1 ? EExportFormat::Mp4 : EExportFormat::Avi;
}

void CBackupDlg::OnFormatChanged()
{
    const bool mp4 = Format() == EExportFormat::Mp4;
    m_comboFrameRate->setEnabled(!mp4);
    m_comboFrameRate->setToolTip(mp4 ? MP4_RATE_TIP : QString());
}

// Rates that arrive during an export are shown once it stops: the running export's
// boxes stay as it was started with.
void CBackupDlg::SetCameraRates(const QVector<int>& rates)
{
    m_cameraRates = rates;
    m_bRatesPending = !m_bStopped;
    ShowCameraRate();
}

// A camera without a rate of its own to offer gets the default again, so that no
// other camera's rate is left standing for it.
void CBackupDlg::ShowCameraRate()
{
    if (!m_bStopped)
        return;
    const int channel = m_comboChannel->currentIndex();
    const int rate = channel >= 0 && channel < m_cameraRates.size() ? m_cameraRates[channel] : 0;
    const QString rateText = rate > 0 ? QString("the camera records %1 pictures a second").arg(rate) : QString();
    const QString text = m_strRange.isEmpty() || rateText.isEmpty() ? m_strRange + rateText
                                                                     : m_strRange + " \u00B7 " + rateText;
    // The range and the rate may not both fit: an ellipsis says so, the tool tip has all.
    m_staticRate->setText(m_staticRate->fontMetrics().elidedText(text, Qt::ElideRight, m_staticRate->width()));
    m_staticRate->setToolTip(text);
    m_staticRate->setVisible(!text.isEmpty() && m_outcome->Text().isEmpty());
    m_comboFrameRate->setCurrentIndex(rate > 0 ? rate - 1 : DEFAULT_FRAMERATE);
}

// Masks drawn or removed while the panel is open change the box only when the
// recording gains its first or loses its last: a box the user unticked stays so.
void CBackupDlg::SetMasksAvailable(bool available)
{
    if (available != m_bMasksAvailable)
        m_checkMasks->setChecked(available);
    m_bMasksAvailable = available;
    m_checkMasks->setEnabled(available && m_bStopped);
    m_checkMasks->setToolTip(available ? MASKS_TIP : NO_MASKS_TIP);
}

bool CBackupDlg::AppliesMasks() const
{
    return m_bMasksAvailable && m_checkMasks->isChecked();
}

void CBackupDlg::SetRangeText(const QString& range)
{
    m_strRange = range.isEmpty() ? QString() : "only " + range;
    ShowCameraRate();
}

void CBackupDlg::OnStart()
{
    if (!m_pSetting || !m_bStopped)
        return;
    m_pSetting->m_byFrameRate = uint8_t(m_comboFrameRate->currentIndex() + 1);
    const int size = m_comboSize->currentIndex();
    const bool offered = size >= 0 && size < m_comboSize->count();
    if (!offered)
        CMessageBox::Show(this, m_strAppTitle, NO_SIZE);
    m_pSetting->m_nWidth = offered ? EXPORT_SIZES[size].m_nWidth : 0;
    if (!offered)
        CMessageBox::Show(this, m_strAppTitle, NO_SIZE);
    m_pSetting->m_nHeight = offered ? EXPORT_SIZES[size].m_nHeight : 0;
    m_pSetting->m_byChannel = uint8_t(m_comboChannel->currentIndex());
    m_outcome->Clear();
    SetExporting(true);
    m_owner.StartBackup();
    m_owner.ReturnKeyboard();
}

// Runs once per export, whoever asks: the stop button, the player pausing, the window closing.
void CBackupDlg::OnStop()
{
    if (m_bStopped)
        return;
    SetExporting(false);
    m_owner.StopBackup();
    m_owner.ReturnKeyboard();
}

// The outcome takes the rate text's row; the rate stays chosen in its box.
void CBackupDlg::ShowSaving(const QString& fileName)
{
    m_outcome->ShowSaving(fileName);
    m_staticRate->hide();
}

void CBackupDlg::ShowCompleted(const QString& path, uint32_t frames, bool complete, const QString& unsignedReason)
{
    m_outcome->ShowCompleted(path, frames, complete, unsignedReason);
    m_staticRate->hide();
}

void CBackupDlg::ReturnToIdle()
{
    SetExporting(false);
}

void CBackupDlg::SetExporting(bool exporting)
{
    m_bStopped = !exporting;
    m_btnStart->EnableButton(!exporting);
    m_btnStop->EnableButton(exporting);
    m_comboFormat->setEnabled(!exporting);
    m_checkMasks->setEnabled(!exporting && m_bMasksAvailable);
    if (!exporting && m_bRatesPending) {
        m_bRatesPending = false;
        ShowCameraRate();
    }
    if (exporting) {
        m_timerProgress.start();
    } else {
        m_timerProgress.stop();
        m_staticProgress->clear();
    }
    m_staticProgress->setVisible(exporting);
}

void CBackupDlg::UpdateProgress()
{
    m_staticProgress->setText("<span style='color:#e0403a'>\u25CF</span> " + m_owner.BackupProgressText().toHtmlEscaped());
}

void CBackupDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    if (!m_bmpSkin.isNull())
        painter.drawImage(m_rcSkin.topLeft(), m_bmpSkin, QRect(QPoint(0, 0), m_rcSkin.size()));
}

// Escape would end the dialog behind the player's back: only the backup button closes it.
void CBackupDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape)
        return;
    QDialog::keyPressEvent(event);
}
