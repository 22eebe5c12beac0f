// Privacy masks: Ctrl+M turns the mask tool on and off over the enlarged camera. With
// it on, a drag over the picture draws a mask (Ctrl for an ellipse), a drag inside one
// moves it and one on its edge or corner resizes it, keyed at the picture's own
// record time. Masks show as outlines only, never in the picture. The store is the
// session's; the drag is the editor's; the list beside the player lists, restyles,
// removes, loads and saves them.

#include "export/backupdlg.h"
#include "player/kvxplayerview.h"

#include "player/masklist.h"
#include "platform/datafiledialog.h"
#include "platform/nativefilename.h"
#include "platform/outputfile.h"

#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace {

const QColor MASK_COLOUR(255, 210, 0); // apart from the search region's outline
const QColor DRAG_COLOUR(255, 255, 255);
constexpr int MASK_LIST_GAP = 8;
const char* const MASK_FILTER = "Privacy masks (*.json);;All files (*)";

CDateTime DateTimeOf(const CFrameTime& t)
{
    return CDateTime(t.m_wYear, t.m_byMonth, t.m_byDay, t.m_byHour, t.m_byMinute, t.m_bySecond);
}

// Where `mask` is at `seconds` whether active or not: an inactive mask still shows
// where it would be.
std::optional<QRectF> BoxShown(CPrivacyMask mask, double seconds, const CDateTime& at)
{
    mask.m_from = mask.m_to = at;
    return mask.BoxAt(seconds);
}

} // namespace

void CKVXPlayerView::CreateMaskControls()
{
    m_pMaskList = new CMaskList(this);
    connect(m_pMaskList, &CMaskList::removeWanted, this, &CKVXPlayerView::RemoveMaskRow);
    connect(m_pMaskList, &CMaskList::muteWanted, this, &CKVXPlayerView::MuteMarkedRange);
    connect(m_pMaskList, &CMaskList::shapeWanted, this, [this](int row, EMaskShape shape) {
        ChangeMask(row, [shape](CPrivacyMask& mask) { mask.m_shape = shape; });
    });
    connect(m_pMaskList, &CMaskList::styleWanted, this, [this](int row, EMaskStyle style) {
        ChangeMask(row, [style](CPrivacyMask& mask) { mask.m_style = style; });
    });
    connect(m_pMaskList, &CMaskList::loadWanted, this, &CKVXPlayerView::LoadMaskFile);
    connect(m_pMaskList, &CMaskList::saveWanted, this, &CKVXPlayerView::SaveMaskFile);
}

// After a recording opened: the tool starts off, and what went wrong with the masks
// is said once, naming the file.
void CKVXPlayerView::ShowOpenedMasks()
{
    SetMaskTool(false);
    if (!m_strFilePath.isEmpty() && !m_session.MaskMessage().isEmpty())
        ShowMessage(m_session.MaskMessage());
}

void CKVXPlayerView::ShowMaskNote(const QString& text)
{
    m_strMaskNote = text;
    ShowNote(text);
}

bool CKVXPlayerView::IsMaskToolOn() const
{
    return m_bMaskTool && m_session.Grid() == 1 && !m_strFilePath.isEmpty();
}

void CKVXPlayerView::SetMaskTool(bool on)
{
    m_bMaskTool = on;
    m_maskEditor.Cancel();
    if (on) {
        m_pMaskList->setWindowTitle("Privacy masks - " + m_strFilePath.section('/', -1));
        m_pMaskList->show();
        if (!m_pMaskList->property("placed").toBool())
            PlaceMaskList();
        RefreshMasks();
    } else {
        m_pMaskList->hide();
    }
    setCursor(on ? Qt::CrossCursor : Qt::ArrowCursor);
    update(m_geometry.m_rcVideo);
}

// Masks are drawn over one camera's picture, as it is exported: never over a page of
// tiles, where a drag would not say which camera it meant.
void CKVXPlayerView::ToggleMaskTool()
{
    if (m_bMaskTool) {
        SetMaskTool(false);
        ShowMaskNote("Mask tool off");
    } else if (m_strFilePath.isEmpty()) {
        ShowMaskNote("Mask tool: no recording is open");
    } else if (m_session.Grid() != 1) {
        ShowMaskNote("Mask tool: masks are drawn on one enlarged camera; double-click a camera first");
    } else {
        SetMaskTool(true);
        ShowMaskNote(QString::asprintf("Mask tool on CAM %02d: drag to draw a mask (Ctrl: ellipse), drag a mask to "
                                      "move or resize it; Ctrl+M ends",
                                      m_session.CurChannel() + 1));
    }
}

bool CKVXPlayerView::HandleMaskKey(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers =
        event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (event.key() != Qt::Key_M || modifiers != Qt::ControlModifier)
        return false;
    ToggleMaskTool();
    return true;
}

void CKVXPlayerView::RefreshMasks()
{
    if (!m_pMaskList->isVisible())
        return;
    QString what = "No recording is open";
    if (!m_strFilePath.isEmpty())
        what = m_session.Masks().IsLoaded()
                 ? QString(m_session.Masks().Set().m_masks.size() == 1 ? "%1 mask of %2, kept in %3" : "%1 masks of %2, kept in %3")
                       .arg(m_session.Masks().Set().m_masks.size())
                       .arg(m_strFilePath.section('/', -1), m_session.Masks().FilePath())
                 : "Masks cannot be kept: " + m_session.MaskMessage();
    m_pMaskList->Show(what, m_session.Masks().Set());
}

// The first time, beside the player under the bookmark list's place.
void CKVXPlayerView::PlaceMaskList()
{
    const QRect player = window()->frameGeometry();
    const QRect screen = window()->screen() ? window()->screen()->availableGeometry() : QRect();
    QPoint at = player.bottomLeft() + QPoint(0, MASK_LIST_GAP);
    if (!screen.isEmpty() && at.y() + m_pMaskList->height() > screen.bottom())
        at.setY(screen.bottom() + 1 - m_pMaskList->height());
    m_pMaskList->move(at);
    m_pMaskList->setProperty("placed", true);
}

// Every change is saved at once; a store that refused it keeps what it had, and says
// which file and why.
void CKVXPlayerView::ReplaceMasks(CPrivacyMaskSet set)
{
    std::string error;
    if (!m_session.Masks().Replace(std::move(set), error))
        ShowMessage(QString::fromStdString(error));
    if (m_pBackupDlg)
        m_pBackupDlg->SetMasksAvailable(MasksForOutput() != nullptr);
    RefreshMasks();
    update(m_geometry.m_rcVideo);
}

// The list's rows are the masks, then the mute ranges.
void CKVXPlayerView::RemoveMaskRow(int row)
{
    CPrivacyMaskSet set = m_session.Masks().Set();
    const size_t masks = set.m_masks.size();
    if (row < 0 || size_t(row) >= masks + set.m_mute.size())
        return;
    if (size_t(row) < masks)
        set.m_masks.erase(set.m_masks.begin() + row);
    else
        set.m_mute.erase(set.m_mute.begin() + std::ptrdiff_t(size_t(row) - masks));
    ReplaceMasks(std::move(set));
}

// Sound is muted over what the user marked, as masks default to it: a stretch without
// both marks would leave the user guessing what was silenced.
void CKVXPlayerView::MuteMarkedRange()
{
    if (!m_inOut.IsRange()) {
        ShowMaskNote("Mute: set the in and out marks (I, O) around the sound to silence first");
        return;
    }
    CPrivacyMaskSet set = m_session.Masks().Set();
    set.m_mute.push_back({m_inOut.From(), m_inOut.To()});
    ReplaceMasks(std::move(set));
    ShowMaskNote(QString("Sound muted in outputs from %1 to %2")
                     .arg(QString::fromStdString(m_inOut.From().ToIsoString()),
                          QString::fromStdString(m_inOut.To().ToIsoString())));
}

void CKVXPlayerView::ChangeMask(int row, const std::function<void(CPrivacyMask&)>& change)
{
    CPrivacyMaskSet set = m_session.Masks().Set();
    if (row < 0 || size_t(row) >= set.m_masks.size())
        return;
    change(set.m_masks[size_t(row)]);
    ReplaceMasks(std::move(set));
}

// --- the drag ---

// Each mask's outline in the window where it can be taken: the enlarged camera's
// masks active at the moment shown.
std::vector<std::optional<QRectF>> CKVXPlayerView::MaskRects(bool activeOnly) const
{
    const CPrivacyMaskSet& set = m_session.Masks().Set();
    std::vector<std::optional<QRectF>> rects(set.m_masks.size());
    const int channel = m_session.CurChannel();
    const std::optional<CTileRegionMap> map = m_session.RegionMap(channel);
    const std::optional<CFrameTime> time = m_session.PictureTime(channel);
    if (!map || !time)
        return rects;
    const double seconds = CPrivacyMaskSet::SecondsOf(*time);
    for (size_t i = 0; i < set.m_masks.size(); ++i) {
        const CPrivacyMask& mask = set.m_masks[i];
        if (mask.m_nChannel != channel + 1 || (activeOnly && !mask.IsActive(seconds)))
            continue;
        if (const std::optional<QRectF> box = BoxShown(mask, seconds, DateTimeOf(*time)))
            rects[i] = map->WindowRectOfExported(*box);
    }
    return rects;
}

bool CKVXPlayerView::StartMaskDrag(const QMouseEvent& event)
{
    if (event.button() != Qt::LeftButton || !IsMaskToolOn()
        || !TileRect(m_session.CurChannel()).contains(event.position().toPoint()))
        return false;
    if (!m_session.Masks().IsLoaded()) {
        ShowMessage("Masks cannot be kept: " + m_session.MaskMessage());
        return true;
    }
    m_maskEditor.Press(event.position(), MaskRects(true));
    m_bMaskEllipse = event.modifiers() & Qt::ControlModifier;
    return true;
}

bool CKVXPlayerView::DragMask(const QMouseEvent& event)
{
    if (!m_maskEditor.Drag())
        return false;
    m_maskEditor.Move(event.position());
    update(m_geometry.m_rcVideo);
    return true;
}

bool CKVXPlayerView::EndMaskDrag(const QMouseEvent& event)
{
    if (event.button() != Qt::LeftButton || !m_maskEditor.Drag())
        return false;
    const std::optional<CMaskEditor::CDrag> drag = m_maskEditor.Release(event.position());
    update(m_geometry.m_rcVideo);
    const int channel = m_session.CurChannel();
    const std::optional<CTileRegionMap> map = m_session.RegionMap(channel);
    const std::optional<CFrameTime> time = m_session.PictureTime(channel);
    if (!drag)
        return true;
    if (!map || !time) {
        ShowMaskNote(QString::asprintf("CAM %02d has shown no picture yet to draw a mask on", channel + 1));
        return true;
    }
    const bool moved = drag->m_nEdges == CMaskEditor::INSIDE;
    const QRectF box = CMaskEditor::KeepInside(map->ExportedBoxOf(drag->m_now), moved);
    if (box.isEmpty())
        return true;
    KeyMask(drag->m_nMask, box, DateTimeOf(*time));
    return true;
}

// A new mask is active from the in mark to the out mark, or over the whole recording;
// a mask taken gets a key at the moment, or its key there replaced.
void CKVXPlayerView::KeyMask(int index, const QRectF& box, const CDateTime& at)
{
    CPrivacyMaskSet set = m_session.Masks().Set();
    if (index >= 0) {
        set.m_masks[size_t(index)].SetKey(at, box);
        ReplaceMasks(std::move(set));
        return;
    }
    CPrivacyMask& mask = set.m_masks.emplace_back();
    mask.m_nChannel = m_session.CurChannel() + 1;
    mask.m_shape = m_bMaskEllipse ? EMaskShape::Ellipse : EMaskShape::Rect;
    mask.m_from = m_inOut.IsRange() ? m_inOut.From() : m_session.Recording().m_timeStart;
    mask.m_to = m_inOut.IsRange() ? m_inOut.To() : m_session.Recording().m_timeEnd;
    if (!mask.m_from.IsValid() || !mask.m_to.IsValid())
        mask.m_from = mask.m_to = at;
    mask.SetKey(at, box);
    if (!mask.IsActive(double(DateTimeToSeconds(at))))
        ShowMaskNote(QString("The new mask is active from %1 to %2 (the in and out marks), not at the moment shown")
                        .arg(QString::fromStdString(mask.m_from.ToIsoString()),
                             QString::fromStdString(mask.m_to.ToIsoString())));
    ReplaceMasks(std::move(set));
}

// Outlines over the picture on screen, never in it: the operator sees everything,
// and a snapshot or an export carries no trace of them. Active masks solid, the others dashed.
void CKVXPlayerView::PaintMasks(QPainter& painter) const
{
    if (m_session.Grid() != 1 || m_strFilePath.isEmpty() || (m_session.Masks().Set().m_masks.empty() && !m_bMaskTool))
        return;
    const std::vector<std::optional<QRectF>> shown = MaskRects(false);
    const std::vector<std::optional<QRectF>> active = MaskRects(true);
    const std::optional<CMaskEditor::CDrag>& drag = m_maskEditor.Drag();
    painter.save();
    painter.setClipRect(TileRect(m_session.CurChannel()));
    painter.setBrush(Qt::NoBrush);
    const auto outline = [&painter](const QRectF& r, EMaskShape shape) {
        if (shape == EMaskShape::Ellipse)
            painter.drawEllipse(r);
        else
            painter.drawRect(r);
    };
    const CPrivacyMaskSet& set = m_session.Masks().Set();
    for (size_t i = 0; i < shown.size(); ++i) {
        if (!shown[i] || (drag && drag->m_nMask == int(i)))
            continue;
        painter.setPen(QPen(MASK_COLOUR, 2, active[i] ? Qt::SolidLine : Qt::DashLine));
        outline(*shown[i], set.m_masks[i].m_shape);
    }
    if (drag) {
        painter.setPen(QPen(DRAG_COLOUR, 1, Qt::DashLine));
        const bool ellipse = drag->m_nMask >= 0 ? set.m_masks[size_t(drag->m_nMask)].m_shape == EMaskShape::Ellipse
                                                : m_bMaskEllipse;
        outline(drag->m_now, ellipse ? EMaskShape::Ellipse : EMaskShape::Rect);
    }
    painter.restore();
}

// --- the masks file ---

// A file with a fault, or naming a camera the recording does not have, is refused
// whole, naming the entry; the store keeps what it had.
void CKVXPlayerView::LoadMaskFile()
{
    const QString path = CDataFileDialog::GetFileName(m_pMaskList, CDataFileDialog::EMode::Load, "Load privacy masks",
                                                      QDir::homePath(), MASK_FILTER);
    if (path.isEmpty())
        return;
    QFile file(path);
    QString error;
    std::optional<CPrivacyMaskSet> set;
    if (!file.open(QIODevice::ReadOnly))
        error = file.errorString();
    else if ((set = CPrivacyMaskSet::FromJson(file.readAll(), error)) && !set->CheckChannels(ChannelCount(), error))
        set.reset();
    if (!set) {
        ShowMessage(path + ": the masks are not loaded: " + error);
        return;
    }
    ReplaceMasks(std::move(*set));
}

// The save dialog asked before the user chose an existing file; the recording itself
// is never replaced, whatever name leads to it.
void CKVXPlayerView::SaveMaskFile()
{
    const QString path = CDataFileDialog::GetFileName(m_pMaskList, CDataFileDialog::EMode::Save, "Save privacy masks as",
                                                      QDir::homePath(), MASK_FILTER);
    if (path.isEmpty())
        return;
    const QByteArray bytes = m_session.Masks().Set().ToJson();
    COutputFile file;
    const COutputFile::ECreate created = file.Create(CNativeFileName::Encode(path).toStdString(), true,
                                                     {CNativeFileName::Encode(m_strFilePath).toStdString()});
    if (created == COutputFile::ECreate::IsInput)
        ShowMessage(path + ": the masks are not saved: it is the recording");
    else if (created != COutputFile::ECreate::Created || !file.Write(bytes.constData(), size_t(bytes.size()))
             || !file.Close())
        ShowMessage(path + ": the masks are not saved: " + QString::fromStdString(file.ErrorText()));
    else
        ShowMaskNote(path + ": the masks are saved");
}
