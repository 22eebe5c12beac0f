// The view's side of playback: opening a recording and starting and stopping its
// playback thread through the session, and showing what the session tells, on the
// window thread.

#include "player/kvxplayerview.h"

#include "platform/messagebox.h"
#include "player/audiocheckbox.h"
#include "skin/skinbutton.h"
#include "skin/skinslider.h"

#include <QLabel>

void CKVXPlayerView::ConnectSession()
{
    const CPlaybackSession* s = &m_session;
    connect(s, &CPlaybackSession::sliderMoved, this, &CKVXPlayerView::MoveSlider);
    connect(s, &CPlaybackSession::startReached, this, &CKVXPlayerView::SetStartButtons);
    connect(s, &CPlaybackSession::endReached, this, &CKVXPlayerView::SetEndButtons);
    connect(s, &CPlaybackSession::readFailed, this, &CKVXPlayerView::ShowMessage);
    connect(s, &CPlaybackSession::repaintWanted, this, &CKVXPlayerView::RepaintPart);
    connect(s, &CPlaybackSession::videoStandardSwitched, this, &CKVXPlayerView::OnVideoStandardSwitched);
    // The snapshot button follows whether the enlarged camera has a picture.
    connect(s, &CPlaybackSession::picturesChanged, this, [this] { EnableEditButton(m_session.Grid() == 1); });
    connect(s, &CPlaybackSession::paused, this, &CKVXPlayerView::OnPaused);
    connect(s, &CPlaybackSession::probeMessage, this, &CKVXPlayerView::ShowMessage);
    connect(s, &CPlaybackSession::audioControlsShown, this, &CKVXPlayerView::ShowAudioControls);
    connect(s, &CPlaybackSession::audioOutputFailed, this, &CKVXPlayerView::OnAudioOutputFailed);
    connect(s, &CPlaybackSession::endButtonDisabled, this, &CKVXPlayerView::DisableEndButton);
    connect(s, &CPlaybackSession::exportStopWanted, this, &CKVXPlayerView::StopBackupOnPause);
    connect(s, &CPlaybackSession::exportWriteFailed, this, &CKVXPlayerView::OnBackupWriteFailed);
    connect(s, &CPlaybackSession::exportCompleted, this, &CKVXPlayerView::OnExportCompleted);
    connect(s, &CPlaybackSession::cameraRatesRead, this, &CKVXPlayerView::OnCameraRatesRead);
}

// Reset, probe and, when the file is a recording, start playing it from its start.
// A file the probe refuses leaves the player without a recording.
bool CKVXPlayerView::OpenRecording()
{
    m_bEndAllowed = true;
    m_region.reset(); // drawn on a picture of the recording open before
    m_nRegionChannel = -1;
    m_strActivityNote.clear();
    if (!m_session.Open(m_strFilePath)) {
        m_strFilePath.clear();
        EnableNavButtons(false);
        ShowLitKeys();
        EnableChannelButtons();
        m_controls.m_btnBackup->EnableButton(false);
        ShowAudioControls(false);
        OpenLocator();
        RefreshActivity();
        RefreshBookmarks();
        update();
        return false;
    }
    EnableChannelButtons();
    ShowLitKeys();
    OpenLocator();
    SetStartButtons();
    m_session.StartThread(m_strFilePath);
    m_controls.m_btnBackup->EnableButton(true);
    OnActivityProgress(0);
    RefreshActivity();
    ShowOpenedBookmarks();
    ShowOpenedMasks();
    update();
    return true;
}

void CKVXPlayerView::ResetPlayback()
{
    m_session.Reset();
    ClearInOutMarks(); // they were set on the recording open before
}

void CKVXPlayerView::StopPlayThread()
{
    m_session.StopThread();
}

// --- what the session tells ---

void CKVXPlayerView::SetStartButtons()
{
    SetNavButtonsEnabled({false, false, false, false, true, true, true});
    UpdateSpeakerLamp();
}

void CKVXPlayerView::SetEndButtons()
{
    SetNavButtonsEnabled({true, true, true, false, false, false, false});
    UpdateSpeakerLamp();
}

void CKVXPlayerView::MoveSlider(int pos)
{
    m_controls.m_slider->SetPos(pos);
}

void CKVXPlayerView::ShowMessage(const QString& text)
{
    CMessageBox::Show(this, m_frame.AppTitle(), text);
}

// A tile the playback thread drew moves the play time with it.
void CKVXPlayerView::RepaintPart(const QRect& rect, bool played)
{
    update(rect);
    UpdateFullScreen(rect);
    if (played)
        update(m_geometry.PlayTimeArea());
}

// The video area is laid out anew for the other standard, which clears it; the
// pictures that came meanwhile are of this recording and are drawn again.
// Full screen is left meanwhile: the window takes the other standard's size.
void CKVXPlayerView::OnVideoStandardSwitched(bool pal)
{
    const bool fullScreen = IsFullScreen();
    LeaveFullScreen();
    m_bPal = pal;
    SetVideoStandard(pal);
    m_session.RefreshPage();
    if (fullScreen)
        EnterFullScreen();
}

// Whatever paused playback, the pause lamp lights while a recording is open; a
// command given since has the last word.
void CKVXPlayerView::OnPaused()
{
    UpdateSpeakerLamp();
    if (!m_strFilePath.isEmpty() && m_session.PlayState() == PS_PAUSE)
        m_controls.SetStateLamp(int(std::find(std::begin(ctl::NAVIGATION), std::end(ctl::NAVIGATION), ctl::PAUSE)
                                    - std::begin(ctl::NAVIGATION)));
}

// The audio caption and switches show only for recordings with sound.
void CKVXPlayerView::ShowAudioControls(bool show)
{
    m_controls.m_staticAudio->setVisible(show);
    for (CAudioCheckBox* box : m_controls.m_checkAudio)
        box->setVisible(show);
}

void CKVXPlayerView::DisableEndButton()
{
    m_bEndAllowed = false;
    m_controls.m_btnEnd->EnableButton(false);
}
