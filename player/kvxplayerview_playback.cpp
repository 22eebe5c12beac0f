// The view's side of playback: opening a recording, starting and stopping its
// playback thread, and answering what the playback thread, the probe and the frame
// router ask of the window. Calls that come from the playback thread only touch
// atomics and hand everything visible to the window thread.

#include "player/kvxplayerview.h"

#include "platform/messagebox.h"
#include "platform/nativefilename.h"
#include "platform/waveout.h"
#include "playback/playstate.h"
#include "player/audiocheckbox.h"
#include "skin/skinbutton.h"
#include "skin/skinslider.h"

#include <QLabel>
#include <QThread>

// Reset, probe and, when the file is a recording, start playing it from its start.
// A file the probe refuses leaves the player without a recording.
bool CKVXPlayerView::OpenRecording()
{
    ResetPlayback();
    m_bEndAllowed = true;
    CRecordingProbe probe(m_recording, *this);
    if (!probe.ProbeRecording(CNativeFileName::Encode(m_strFilePath).toStdString())) {
        m_strFilePath.clear();
        EnableNavButtons(false);
        m_controls.m_btnBackup->EnableButton(false);
        EnableAudioControls(false);
        OpenLocator();
        update();
        return false;
    }
    m_nFirstSector = m_recording.m_nFirstSector;
    m_router.SetChannelCount(m_recording.m_nChannelCount);
    EnableChannelButtons();
    OpenLocator();
    SetStartButtons();
    StartPlayThread();
    m_controls.m_btnBackup->EnableButton(true);
    update();
    return true;
}

void CKVXPlayerView::ResetPlayback()
{
    m_nPlayState = PS_PAUSE;
    m_nFirstSector = 0;
    ReleaseChannelPictures();
    SetSliderPos(0);
}

void CKVXPlayerView::ReleaseChannelPictures()
{
    m_nDeliveredFrames = 0;
    m_router.ReleaseChannelPictures();
}

void CKVXPlayerView::StartPlayThread()
{
    m_pPlayParam->m_nChannelCount = m_recording.m_nChannelCount;
    m_pPlayParam->m_dwEndOffset = m_recording.m_dwEndOffset;
    m_pPlayParam->m_strPath = CNativeFileName::Encode(m_strFilePath).toStdString();
    ++m_nThreadGeneration; // what the previous thread still asked for is dropped
    m_pPlayThread.Start(*m_pPlayParam);
}

void CKVXPlayerView::StopPlayThread()
{
    m_pPlayThread.Stop();
}

void CKVXPlayerView::OnWindowThread(std::function<void()> call)
{
    if (QThread::currentThread() == thread()) {
        call();
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, generation = m_nThreadGeneration.load(), call = std::move(call)] {
            if (generation == m_nThreadGeneration)
                call();
        },
        Qt::QueuedConnection);
}

// --- what the playback thread asks for ---

// A pause of the playback thread ends a running export (at either end of the
// recording, after a seek or a jump): the backup window's stop sequence runs.
void CKVXPlayerView::SetPlayState(uint8_t state)
{
    if (state == PS_PAUSE && m_bBackupOpen)
        OnWindowThread([this] { StopBackupOnPause(); });
    if (state == PS_PAUSE)
        OnWindowThread([this] { OnPlaybackPaused(); });
    m_nPlayState = state;
}

uint8_t CKVXPlayerView::OnPlayFrame(bool firstFrame, int audioMode, uint32_t pictureLength, const uint8_t* audio,
                                    const uint8_t* picture)
{
    ++m_nDeliveredFrames;
    const uint8_t channel = m_router.OnPlayFrame(firstFrame, audioMode, pictureLength, audio, picture, m_currentRecord);
    if (m_onFrameRouted)
        m_onFrameRouted();
    return channel;
}

void CKVXPlayerView::SetStartButtons()
{
    OnWindowThread([this] { SetNavButtonsEnabled({false, false, false, false, true, true, true}); });
}

void CKVXPlayerView::SetEndButtons()
{
    OnWindowThread([this] { SetNavButtonsEnabled({true, true, true, false, false, false, false}); });
}

void CKVXPlayerView::SetSliderPos(int pos)
{
    OnWindowThread([this, pos] {
        if (pos == m_controls.m_slider->m_nPos)
            return;
        m_controls.m_slider->m_nPos = pos;
        m_controls.m_slider->update();
    });
}

// Runs on the playback thread, which alone stores pictures: none from before the
// jump is left to pass for the moment read next.
void CKVXPlayerView::OnJump()
{
    m_router.ForgetPictures();
}

void CKVXPlayerView::ShowReadError(const char* text)
{
    OnWindowThread([this, message = QString(text)] { CMessageBox::Show(this, m_frame.AppTitle(), message); });
}

// --- what the probe asks for ---

void CKVXPlayerView::ShowProbeMessage(const std::string& text)
{
    CMessageBox::Show(this, m_frame.AppTitle(), QString::fromStdString(text));
}

// The audio caption and switches show only for recordings with sound; the outputs
// are opened the first time one is probed and stay open across recordings.
void CKVXPlayerView::EnableAudioControls(bool enable)
{
    m_controls.m_staticAudio->setVisible(enable);
    for (CAudioCheckBox* box : m_controls.m_checkAudio)
        box->setVisible(enable);
    if (!enable)
        return;
    for (int i = 0; i < 4; ++i) {
        if (!IsAudioChannelMissing(i))
            continue;
        OpenAudioOutput(i);
        if (IsAudioChannelMissing(i))
            break; // one message is enough: the others fail alike and are tried next time
    }
}

bool CKVXPlayerView::IsAudioChannelMissing(int channel) const
{
    return !m_pAudioOut[size_t(channel)] || !m_pAudioOut[size_t(channel)]->IsOpen();
}

bool CKVXPlayerView::HasAudioOutput(int channel) const
{
    return !IsAudioChannelMissing(channel);
}

void CKVXPlayerView::OpenAudioOutput(int channel)
{
    if (channel < 0 || channel > 3)
        return;
    auto output = std::make_unique<CWaveOut>();
    if (!output->Open()) {
        CMessageBox::Show(this, "Error", "Audio initialize exception.");
        return;
    }
    m_pAudioOut[size_t(channel)] = std::move(output);
}

// --- what the frame router asks for ---

void CKVXPlayerView::RepaintWindowRect(const QRect& rect)
{
    if (QThread::currentThread() == thread()) {
        update(rect);
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, rect] {
            update(rect);
            update(m_geometry.m_rcPlayTime);
        },
        Qt::QueuedConnection);
}

// The video area is laid out anew for the other standard, which clears it; the
// pictures that came meanwhile are of this recording and are drawn again.
void CKVXPlayerView::SwitchVideoStandard(bool pal)
{
    OnWindowThread([this, pal] {
        m_bPal = pal;
        SetVideoStandard(pal);
        m_router.RefreshPage();
    });
}

// The snapshot button follows whether the enlarged camera has a picture.
void CKVXPlayerView::OnPicturesChanged()
{
    OnWindowThread([this] { EnableEditButton(m_router.Grid() == 1); });
}

// The outputs are created on the window thread before a playback thread starts and
// live until the view goes; queuing is safe from the playback thread.
void CKVXPlayerView::QueueAudioSlice(int channel, const uint8_t* slice)
{
    if (CWaveOut* output = m_pAudioOut[size_t(channel)].get(); output && output->IsOpen())
        output->Queue(slice);
}

void CKVXPlayerView::DisableEndButton()
{
    m_bEndAllowed = false;
    m_controls.m_btnEnd->EnableButton(false);
}
