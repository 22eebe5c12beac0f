// Bookmarks: B marks the record shown with an optional note, the marks along the
// position slider, Shift+B the list that jumps to each and edits or removes it. The
// session keeps them in the user's data folder; here they are wired to the window.

#include "player/kvxplayerview.h"

#include "player/activitylist.h"
#include "player/bookmarklist.h"
#include "player/reportpanel.h"
#include "playback/seekposition.h"
#include "skin/skinslider.h"

#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScreen>

namespace {

const QColor BOOKMARK_COLOUR(64, 200, 255); // apart from the gaps' and damage's reds and the in/out range
constexpr int BOOKMARK_LIST_GAP = 8;

QString ClockOf(const CDateTime& t)
{
    return t.IsValid() ? QString::asprintf("%02d:%02d:%02d", t.GetHour(), t.GetMinute(), t.GetSecond())
                       : QString("(no date)");
}

} // namespace

void CKVXPlayerView::CreateBookmarkControls()
{
    m_pBookmarkList = new CBookmarkList(this);
    connect(m_pBookmarkList, &CBookmarkList::chosen, this, [this](uint64_t offset) {
        if (!m_strFilePath.isEmpty())
            ShowRecordAt(offset);
    });
    connect(m_pBookmarkList, &CBookmarkList::removeWanted, this, &CKVXPlayerView::RemoveBookmark);
    connect(m_pBookmarkList, &CBookmarkList::noteEdited, this, &CKVXPlayerView::EditBookmarkNote);
}

// After a recording opened (or failed to): its bookmarks, and what went wrong with
// them, said once, naming the file.
void CKVXPlayerView::ShowOpenedBookmarks()
{
    RefreshBookmarks();
    if (!m_strFilePath.isEmpty() && !m_session.BookmarkMessage().isEmpty())
        ShowMessage(m_session.BookmarkMessage());
}

void CKVXPlayerView::RefreshBookmarks()
{
    const CBookmarks& bookmarks = m_session.Bookmarks().Bookmarks();
    CSliderMarks marks;
    const uint64_t length = m_session.Recording().m_nFileLength;
    for (const CBookmark& b : bookmarks) {
        const int at = SliderPosition(b.m_nOffset, length);
        QString text = "bookmark " + ClockOf(b.m_time);
        if (!b.m_strNote.empty())
            text += ": " + QString::fromStdString(b.m_strNote);
        marks.push_back({at, at, BOOKMARK_COLOUR, text});
    }
    m_controls.m_slider->SetMarks(ESliderMarkLayer::Bookmarks, m_strFilePath.isEmpty() ? CSliderMarks() : marks);
    if (m_pBookmarkList->isVisible())
        m_pBookmarkList->Show(BookmarksWhat(), m_strFilePath.isEmpty() ? CBookmarks() : bookmarks);
    const std::optional<CRecordingReport>& report = m_session.Report().Report();
    if (report && !m_strFilePath.isEmpty())
        m_pReportPanel->ShowReport(*report, bookmarks);
}

QString CKVXPlayerView::BookmarksWhat() const
{
    if (m_strFilePath.isEmpty())
        return "No recording is open";
    if (!m_session.Bookmarks().IsLoaded())
        return "Bookmarks cannot be kept: " + m_session.BookmarkMessage();
    return QString("%1 bookmarks of %2")
        .arg(m_session.Bookmarks().Bookmarks().size())
        .arg(m_strFilePath.section('/', -1));
}

// The note is asked for at once, so that the moment and the words go together; an
// empty note is a bookmark all the same, and Esc sets none.
void CKVXPlayerView::AddBookmark()
{
    if (m_strFilePath.isEmpty() || !m_session.ShownFrameTime())
        return;
    CBookmark bookmark = m_session.BookmarkHere();
    QInputDialog dialog(this);
    dialog.setWindowTitle("Bookmark");
    dialog.setLabelText(QString("Bookmark at %1, %2. Note (optional):")
                            .arg(QString::fromStdString(bookmark.m_time.ToIsoString()),
                                 QString::fromStdString(BookmarkCameraText(bookmark.m_nCamera))));
    dialog.setTextValue(QString());
    if (dialog.exec() != QDialog::Accepted)
        return;
    bookmark.m_strNote = dialog.textValue().trimmed().toStdString();
    std::string error;
    if (!m_session.Bookmarks().Add(bookmark, error))
        ShowMessage(QString::fromStdString(error));
    RefreshBookmarks();
}

void CKVXPlayerView::RemoveBookmark(int row)
{
    std::string error;
    if (!m_session.Bookmarks().Remove(size_t(row), error))
        ShowMessage(QString::fromStdString(error));
    RefreshBookmarks();
}

void CKVXPlayerView::EditBookmarkNote(int row, const QString& note)
{
    std::string error;
    if (!m_session.Bookmarks().SetNote(size_t(row), note.trimmed().toStdString(), error))
        ShowMessage(QString::fromStdString(error));
    RefreshBookmarks();
}

void CKVXPlayerView::ToggleBookmarkList()
{
    if (m_pBookmarkList->isVisible()) {
        m_pBookmarkList->hide();
        return;
    }
    m_pBookmarkList->setWindowTitle("Bookmarks - " + m_strFilePath.section('/', -1));
    m_pBookmarkList->show(); // first, so that the rows are filled
    RefreshBookmarks();
    if (!m_pBookmarkList->property("placed").toBool())
        PlaceBookmarkList();
    m_pBookmarkList->raise();
}

// The first time, beside the player under the activity list's place, so that both
// can be open at once; at the screen's right edge when there is no room beside it.
void CKVXPlayerView::PlaceBookmarkList()
{
    const QRect player = window()->frameGeometry();
    const QRect screen = window()->screen() ? window()->screen()->availableGeometry() : QRect();
    QPoint at = player.topRight() + QPoint(BOOKMARK_LIST_GAP, m_pActivityList->height() + BOOKMARK_LIST_GAP);
    if (!screen.isEmpty() && at.x() + m_pBookmarkList->width() > screen.right())
        at.setX(screen.right() + 1 - m_pBookmarkList->width());
    m_pBookmarkList->move(at);
    m_pBookmarkList->setProperty("placed", true);
}

bool CKVXPlayerView::HandleBookmarkKey(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers =
        event.modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (event.key() != Qt::Key_B || (modifiers != Qt::NoModifier && modifiers != Qt::ShiftModifier))
        return false;
    if (modifiers == Qt::ShiftModifier)
        ToggleBookmarkList();
    else
        AddBookmark();
    return true;
}
