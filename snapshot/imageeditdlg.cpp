#include "snapshot/imageeditdlg.h"

#include "platform/messagebox.h"
#include "playback/cellfont.h"
#include "playback/maskpainter.h"
#include "skin/skinbutton.h"
#include "skin/skinreader.h"
#include "snapshot/editcontrolids.h"
#include "snapshot/snapshotbitmap.h"
#include "snapshot/snapshotprinter.h"
#include "snapshot/stillsaver.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QToolTip>
#include <QWindow>

#include <algorithm>

namespace {

// The editor's buttons move down by this much under a PAL picture, 96 lines taller.
constexpr int EDIT_PAL_OFFSET = 96;
constexpr int SAVE_OK_MS = 1000;

const QColor CAPTION_COLOUR(141, 198, 63);
const QColor VALUE_COLOUR(205, 205, 205);
const QColor TEXT_BACK(24, 24, 24);
const QColor SAVE_OK_COLOUR(255, 255, 0);

// The command texts carry trailing spaces: each is drawn on an opaque ground, so a
// shorter name drawn after a longer one covers it.
const QString TEXT_NONE = "NONE";
const QString TEXT_SAVE = "SAVE                            ";
const QString TEXT_PRINT = "PRINT                            ";
const QString TEXT_UNDO = "UNDO                            ";
const QString TEXT_ORIGINAL = "ORIGINAL                        ";

struct CButtonPlace {
    int id;
    const char* key;
    const char* section;
    bool palShift; // placed anew for each snapshot, lower under a PAL picture
    const char* toolTip;
};
constexpr CButtonPlace BUTTONS[9] = {
    {editctl::BRIGHT, "POS_BRIGHT", "BTN_BRIGHT", false, "Brighter: adds 10 to every colour (Ctrl+Z undoes)"},
    {editctl::DARK, "POS_DARK", "BTN_DARK", false, "Darker: takes 10 from every colour (Ctrl+Z undoes)"},
    {editctl::SHARPEN, "POS_SHARPEN", "BTN_SHARPEN", false, "Sharpen the edges (Ctrl+Z undoes)"},
    {editctl::BLUR, "POS_BLUR", "BTN_BLUR", false, "Blur: soften the picture (Ctrl+Z undoes)"},
    {editctl::CONTRAST_UP, "POS_CONTRAST_UP", "BTN_CONTRAST_UP", false,
     "Despeckle: remove isolated specks and noise (Ctrl+Z undoes)"},
    {editctl::CONTRAST_DN, "POS_CONTRAST_DN", "BTN_CONTRAST_DN", false,
     "Contrast up: spread the colours away from mid-grey (Ctrl+Z undoes)"},
    {editctl::SAVE, "POS_SAVE", "BTN_SAVE", true,
     "Save as a JPEG in the Backup folder, named after the picture's recording time (Ctrl+S)"},
    {editctl::PRINT, "POS_PRINT", "BTN_PRINT", true, "Print the picture with its recording data (Ctrl+P)"},
    {editctl::CLOSE, "POS_CLOSE", "BTN_CLOSE_EDIT", true, "Close and go back to the paused player (Esc)"},
};
const char* const MASKS_TIP = "Hide the recording's privacy masks under the date and time in the picture shown, "
                              "saved (named _redacted) and printed";
const char* const NO_MASKS_TIP = "no masks for this camera at this moment";
constexpr int MASKS_BOX_WIDTH = 150;

bool AnyMaskActive(const CPrivacyMaskSet& set, int channel, double seconds)
{
    const std::vector<const CPrivacyMask*> masks = set.MasksFor(channel);
    return std::any_of(masks.begin(), masks.end(), [seconds](const CPrivacyMask* m) { return m->IsActive(seconds); });
}

QColor TextOn(const QColor& ground)
{
    return qGray(ground.rgb()) < 128 ? VALUE_COLOUR : TEXT_BACK;
}

const char* const PICTURE_TOOL_TIP = "Ctrl+Z takes back the last step; Ctrl+R goes back to the captured picture";

} // namespace

CImageEditDlg::CImageEditDlg(QString appTitle)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_strAppTitle(std::move(appTitle)),
      m_saver(std::make_unique<CStillSaver>(m_strAppTitle))
{
    setWindowTitle("Image Edit");
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus); // the keys
    m_timerSaveOk.setSingleShot(true);
    connect(&m_timerSaveOk, &QTimer::timeout, this, [this] {
        m_bSaveOkShown = false;
        update(m_rcSaveOk);
    });
}

CImageEditDlg::~CImageEditDlg() = default;

void CImageEditDlg::Initialise(const QString& appFolder, const QString& iniPath, const QString& backupFolder)
{
    m_saver->SetFolder(backupFolder);
    m_strCommand = TEXT_NONE;
    m_skin = std::make_unique<CSkinReader>(iniPath.toStdString(), appFolder.toStdString(), EDIT_PAL_OFFSET);
    m_bmpNtSkin = m_skin->LoadSkinBitmap("KVX_EDIT", "NTSKIN");
    m_bmpPalSkin = m_skin->LoadSkinBitmap("KVX_EDIT", "PALSKIN");
    m_pBackground = &m_bmpNtSkin;
    m_ptPicture = m_skin->LoadSkinRect("EDIT POS", "POS_OVERLAY_TERM", false).topLeft();
    m_rcPicture = QRect(m_ptPicture, QSize(720, 480));
    CreateButtons();
    CreateMasksBox();

    m_fontText = MakeCellFont(12, 5);
    const auto rect = [this](const char* key) { return m_skin->LoadSkinRect("EDIT POS", key, false); };
    m_rcRecDateTimeTxt = rect("POS_REC_DATE_TIME_TXT");
    m_rcRecDate = rect("POS_REC_DATE");
    m_rcRecTime = rect("POS_REC_TIME");
    m_rcImgSizeTxt = rect("POS_IMG_SIZE_TXT");
    m_rcImgWidth = rect("POS_IMG_WIDTH");
    m_rcImgHeight = rect("POS_IMG_HEIGHT");
    m_rcCommandTxt = rect("POS_COMMAND_TXT");
    m_rcCommand = rect("POS_COMMAND");
    m_rcSaveOk = rect("POS_SAVE_OK");
}

void CImageEditDlg::CreateButtons()
{
    for (const CButtonPlace& place : BUTTONS) {
        auto* button = new CSkinButton(place.id, this);
        const CButtonImageNames names = m_skin->ReadButtonImages(place.section, false);
        button->LoadBitmaps(names.m_names[0], names.m_names[1], QString(), names.m_names[3], unsigned(place.id));
        button->EnableButton(true);
        connect(button, &CSkinButton::clicked, this, &CImageEditDlg::OnCommand);
        m_buttons.push_back(button);
        PlaceButton(place.id, place.key, false);
    }
    ApplyToolTips(m_skin->Profile().GetInt("INFO", "TOOLTIP_ON", 0) != 0);
}

void CImageEditDlg::CreateMasksBox()
{
    m_checkMasks = new QCheckBox("apply masks", this);
    QFont font = m_checkMasks->font();
    font.setPixelSize(12);
    m_checkMasks->setFont(font);
    m_checkMasks->setFocusPolicy(Qt::NoFocus); // the editor's keys stay with it
    connect(m_checkMasks, &QCheckBox::toggled, this, [this] { update(); });
}

// Skins without a place for the box get it beside the print button, in the skin's
// colours there.
void CImageEditDlg::PlaceMasksBox(bool pal)
{
    const QRect print = m_skin->LoadSkinRect("EDIT POS", "POS_PRINT", pal);
    const int height = m_checkMasks->sizeHint().height();
    const QRect place = m_skin->FindSkinRect("EDIT POS", "POS_APPLY_MASKS", pal)
                            .value_or(QRect(print.right() + 12, print.center().y() - height / 2, MASKS_BOX_WIDTH, height));
    m_checkMasks->setGeometry(place);
    const QColor ground = m_pBackground && m_pBackground->valid(place.center()) ? m_pBackground->pixelColor(place.center())
                                                                                : QColor(Qt::white);
    QPalette palette = m_checkMasks->palette();
    palette.setColor(QPalette::WindowText, TextOn(ground));
    m_checkMasks->setPalette(palette);
    m_checkMasks->show();
}

bool CImageEditDlg::HasMasksAtSnapshot() const
{
    return m_info.m_pMasks && AnyMaskActive(*m_info.m_pMasks, m_info.m_nChannel + 1, m_info.m_dMaskSeconds);
}

bool CImageEditDlg::AppliesMasks() const
{
    return m_checkMasks->isChecked() && HasMasksAtSnapshot();
}

// The tool tips name the keys; they show while the skin switches tool tips on.
void CImageEditDlg::ApplyToolTips(bool on)
{
    for (size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setToolTip(on ? BUTTONS[i].toolTip : QString());
    m_strPictureTip = on ? QString(PICTURE_TOOL_TIP) : QString();
}

void CImageEditDlg::PlaceButton(int id, const char* key, bool pal)
{
    if (CSkinButton* button = Button(id)) {
        button->setGeometry(m_skin->LoadSkinRect("EDIT POS", key, pal));
        button->show();
    }
}

CSkinButton* CImageEditDlg::Button(int id) const
{
    for (CSkinButton* button : m_buttons)
        if (button->ControlId() == id)
            return button;
    return nullptr;
}

void CImageEditDlg::LayoutForSnapshot(bool pal, QSize playerSize, const SNAPSHOTINFO& info)
{
    m_sizeBackground = playerSize;
    m_bPal = pal;
    m_info = info;
    m_rcPicture = QRect(m_ptPicture, QSize(720, pal ? 576 : 480));
    m_pBackground = pal ? &m_bmpPalSkin : &m_bmpNtSkin;
    const CDateTime& t = info.m_timeSnapshot;
    m_strDate = t.IsValid() ? QString::asprintf("DATE : %d / %02d / %02d", t.GetYear(), t.GetMonth(), t.GetDay())
                            : "DATE : --- / --- / ---";
    m_strTime = t.IsValid() ? QString::asprintf("TIME : %02d : %02d : %02d", t.GetHour(), t.GetMinute(), t.GetSecond())
                            : "TIME : --- : --- : ---";
    for (const CButtonPlace& place : BUTTONS)
        if (place.palShift)
            PlaceButton(place.id, place.key, pal);
    PlaceMasksBox(pal);
    const bool masks = HasMasksAtSnapshot();
    m_checkMasks->setEnabled(masks);
    m_checkMasks->setChecked(masks);
    m_checkMasks->setToolTip(masks ? MASKS_TIP : NO_MASKS_TIP);
}

void CImageEditDlg::SetPictureHeader(const BITMAPINFOHEADER& header)
{
    m_bih = header;
}

// A new snapshot starts afresh: no steps to take back, no command and nothing saved
// yet. A block that is no bitmap is refused in a message rather than shown blank.
bool CImageEditDlg::LoadSnapshot(CBitmapBlock bitmap, QImage textLayer)
{
    m_undo.clear();
    m_filters.clear();
    m_pPicture = CImageFilter::CheckedBitmap(std::move(bitmap));
    m_textLayer = std::move(textLayer);
    m_bPictureLoaded = bool(m_pPicture);
    m_captured = m_pPicture.Copy();
    m_strCommand = TEXT_NONE;
    m_strSaved.clear();
    m_bSaveOkShown = false;
    m_timerSaveOk.stop();
    update();
    if (!m_bPictureLoaded)
        CMessageBox::Show(nullptr, m_strAppTitle,
                          QString("Can not open the picture of camera %1 of %2 in the editor: the captured picture "
                                  "is not a bitmap it can show.")
                              .arg(m_info.m_nChannel + 1)
                              .arg(QDir::toNativeSeparators(m_info.m_strRecordingPath)));
    return m_bPictureLoaded;
}

QImage CImageEditDlg::WorkingPicture() const
{
    return CSnapshotBitmap::PictureOf(m_pPicture, m_bih);
}

// --- commands ---

void CImageEditDlg::OnCommand(int id)
{
    if (const CFilterCommand* command = CFilterCommand::FromControlId(id)) {
        RunFilter(*command);
        TakeKeyboard();
        return;
    }
    switch (id) {
    case editctl::SAVE:
        SaveSnapshot();
        m_strCommand = TEXT_SAVE;
        update();
        TakeKeyboard();
        break;
    case editctl::PRINT:
        m_strCommand = TEXT_PRINT;
        update(m_rcCommand);
        PrintSnapshot();
        TakeKeyboard();
        break;
    case editctl::CLOSE:
        OnClose();
        break;
    default:
        break;
    }
}

// After a button or a dialog the editor's own keys (Esc, Ctrl+S, Ctrl+Z, ...) must
// still reach it, whichever of the program's windows the dialog left active; another
// program that has the keyboard keeps it.
void CImageEditDlg::TakeKeyboard()
{
    if (!isVisible())
        return;
    if (QApplication::activeWindow() && QApplication::activeWindow() != this)
        activateWindow();
    setFocus(Qt::OtherFocusReason);
}

// The filter runs here, once for each press; the paint that follows only shows it.
void CImageEditDlg::RunFilter(const CFilterCommand& command)
{
    m_strCommand = command.m_szText;
    if (m_bPictureLoaded) {
        PushUndo(m_pPicture.Copy());
        command.m_pRun(m_filter, m_pPicture.Bytes());
        m_filters << QString(command.m_szName).toUpper();
    }
    update();
}

// The oldest step goes when the list is full.
void CImageEditDlg::PushUndo(CBitmapBlock picture)
{
    if (!picture)
        return;
    if (m_undo.size() == UNDO_STEPS)
        m_undo.erase(m_undo.begin());
    m_undo.push_back({std::move(picture), m_filters});
}

void CImageEditDlg::Undo()
{
    if (m_undo.empty())
        return;
    m_pPicture = std::move(m_undo.back().m_picture);
    m_filters = std::move(m_undo.back().m_filters);
    m_undo.pop_back();
    m_strCommand = TEXT_UNDO;
    update();
}

// Going back to the captured picture is a step of its own, which Ctrl+Z takes back.
void CImageEditDlg::RevertToCaptured()
{
    if (!m_bPictureLoaded)
        return;
    CBitmapBlock captured = m_captured.Copy();
    if (!captured)
        return;
    PushUndo(std::exchange(m_pPicture, std::move(captured)));
    m_filters.clear();
    m_strCommand = TEXT_ORIGINAL;
    update();
}

void CImageEditDlg::SaveSnapshot()
{
    if (!m_bPictureLoaded)
        return;
    const CStillMetadata still{m_info.m_timeSnapshot, m_info.m_nChannel + 1,
                               QFileInfo(m_info.m_strRecordingPath).fileName(), m_filters, AppliesMasks()};
    const std::optional<CSavedStill> saved = m_saver->Save(this, still, ComposedPicture());
    if (!saved)
        return;
    m_strSaved = "SAVED " + QFileInfo(saved->m_strPath).fileName();
    QApplication::beep();
    ShowSaveOk();
    if (!saved->m_signing.m_bSigned)
        ShowUnsigned(saved->m_strPath, QString::fromStdString(saved->m_signing.m_strReason));
}

// The line is too short for the reason, which names the key file: the box says it whole.
void CImageEditDlg::ShowUnsigned(const QString& path, const QString& reason)
{
    m_strSaved += ", NOT SIGNED: " + reason;
    update();
    CMessageBox::Show(this, m_strAppTitle,
                      QString("%1 is saved but not signed: %2").arg(QDir::toNativeSeparators(path), reason));
}

// The confirmation stays for a second while the editor goes on working.
void CImageEditDlg::ShowSaveOk()
{
    m_bSaveOkShown = true;
    update(m_rcSaveOk);
    m_timerSaveOk.start(SAVE_OK_MS);
}

// The picture area from its second line: 720 x 479, or 720 x 575 for PAL.
void CImageEditDlg::PrintSnapshot()
{
    if (!m_bPictureLoaded)
        return;
    const QImage area = PictureArea();
    const QImage picture = area.copy(0, 1, area.width(), area.height() - 1);
    CSnapshotPrinter::PrintSnapshot(this, picture, QSize(m_bih.biWidth, m_bih.biHeight), m_info, m_filters,
                                    m_strAppTitle);
}

// The window is only hidden: the player keeps it for the next snapshot.
void CImageEditDlg::OnClose()
{
    m_pPicture = {};
    m_captured = {};
    m_textLayer = {};
    m_info.m_pMasks.reset();
    m_undo.clear();
    m_filters.clear();
    m_bPictureLoaded = false;
    m_bSaveOkShown = false;
    m_timerSaveOk.stop();
    hide();
    emit closed();
}

// --- window events ---

void CImageEditDlg::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (m_pBackground && !m_pBackground->isNull())
        painter.drawImage(QPoint(0, 0), *m_pBackground, QRect(QPoint(0, 0), m_sizeBackground));
    if (!m_bPictureLoaded)
        return;
    painter.drawImage(m_rcPicture.topLeft(), PictureArea());
    DrawTexts(painter);
    if (m_bSaveOkShown) {
        painter.setFont(m_fontText);
        painter.setPen(SAVE_OK_COLOUR);
        painter.drawText(m_rcSaveOk, Qt::AlignLeft | Qt::AlignTop, "BACKUP OK!");
    }
}

// What the editor shows in its picture rectangle: the working picture with the tile
// texts over it, stretched to the rectangle and shown from one pixel in, with a frame
// of the background around.
QImage CImageEditDlg::PictureArea() const
{
    QImage area(m_rcPicture.size(), QImage::Format_RGB32);
    area.fill(Qt::white);
    QPainter painter(&area);
    if (m_pBackground && !m_pBackground->isNull())
        painter.drawImage(QPoint(0, 0), *m_pBackground, m_rcPicture.intersected(QRect(QPoint(0, 0), m_sizeBackground)));
    QImage picture = ComposedPicture();
    if (picture.isNull())
        return area;
    if (picture.size() != area.size())
        picture = picture.scaled(area.size());
    painter.drawImage(QPoint(1, 1), picture, QRect(0, 0, area.width() - 2, area.height() - 2));
    return area;
}

// The working picture with the masks and then the tile texts over it, at the captured
// size: what a save writes, the same picture the command line's snapshot makes of the
// moment. The masks go over the filters' work, so that no step brings back what they hide.
QImage CImageEditDlg::ComposedPicture() const
{
    QImage picture = WorkingPicture();
    const bool masks = AppliesMasks();
    if (picture.isNull() || (m_textLayer.isNull() && !masks))
        return picture;
    picture.convertTo(QImage::Format_RGB32);
    if (masks)
        CMaskPainter::Paint(picture, *m_info.m_pMasks, m_info.m_nChannel + 1, m_info.m_dMaskSeconds);
    if (!m_textLayer.isNull())
        QPainter(&picture).drawImage(QPoint(0, 0), m_textLayer);
    return picture;
}

// Beside the last command, in plain words: the steps the picture now carries, and
// the file it was last saved as.
QString CImageEditDlg::StepsText() const
{
    return "STEPS : " + (m_filters.isEmpty() ? QString("NONE") : m_filters.join(", "));
}

void CImageEditDlg::DrawPlainLines(QPainter& painter) const
{
    const QRect steps = m_rcCommand.translated(0, m_rcCommand.height() + 1);
    const QRect saved = m_rcSaveOk.translated(0, m_rcSaveOk.height() + 1);
    painter.drawText(steps, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     painter.fontMetrics().elidedText(StepsText(), Qt::ElideRight, steps.width()));
    if (!m_strSaved.isEmpty())
        painter.drawText(saved, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         painter.fontMetrics().elidedText(m_strSaved, Qt::ElideMiddle, saved.width()));
}

void CImageEditDlg::DrawTexts(QPainter& painter) const
{
    painter.save();
    painter.setFont(m_fontText);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(TEXT_BACK);
    const int wrap = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;
    painter.setPen(CAPTION_COLOUR);
    painter.drawText(m_rcRecDateTimeTxt, wrap, "RECORD DATE/TIME");
    painter.drawText(m_rcImgSizeTxt, wrap, "IMAGE SIZE");
    painter.drawText(m_rcCommandTxt, wrap, "COMMAND");
    painter.setPen(VALUE_COLOUR);
    painter.drawText(m_rcRecDate, wrap, m_strDate);
    painter.drawText(m_rcRecTime, wrap, m_strTime);
    painter.drawText(m_rcImgWidth, wrap, QString::asprintf("WIDTH  : %d pixel", m_bih.biWidth));
    painter.drawText(m_rcImgHeight, wrap, QString::asprintf("HEIGHT: %d pixel", m_bih.biHeight));
    painter.drawText(m_rcCommand, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, m_strCommand);
    DrawPlainLines(painter);
    painter.restore();
}

// The window has no caption: dragging its body moves it.
void CImageEditDlg::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    if (QWindow* window = windowHandle())
        window->startSystemMove();
}

void CImageEditDlg::keyPressEvent(QKeyEvent* event)
{
    const bool control = event->modifiers() & Qt::ControlModifier;
    if (event->key() == Qt::Key_Escape)
        OnCommand(editctl::CLOSE);
    else if (control && event->key() == Qt::Key_S)
        OnCommand(editctl::SAVE);
    else if (control && event->key() == Qt::Key_P)
        OnCommand(editctl::PRINT);
    else if (control && event->key() == Qt::Key_Z)
        Undo();
    else if (control && event->key() == Qt::Key_R)
        RevertToCaptured();
    else if (control && event->key() == Qt::Key_Q)
        emit quitWanted(); // the program's own key, in its every window
    else
        QWidget::keyPressEvent(event);
}

// Closed by the desktop (a window manager's close): as the close button.
void CImageEditDlg::closeEvent(QCloseEvent* event)
{
    if (isVisible())
        OnClose();
    QWidget::closeEvent(event);
}

bool CImageEditDlg::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (!m_strPictureTip.isEmpty() && m_rcPicture.contains(help->pos()))
            QToolTip::showText(help->globalPos(), m_strPictureTip, this, m_rcPicture);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

const QString& CImageEditDlg::SaveFolder() const
{
    return m_saver->Folder();
}
