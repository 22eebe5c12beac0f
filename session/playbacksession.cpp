#include "session/playbacksession.h"

#include "export/backuprecorder.h"
#include "platform/nativefilename.h"

#include <QThread>

#include <algorithm>

CPlaybackSession::CPlaybackSession(QObject* parent)
    : QObject(parent),
      m_finisher([this](const CExportFinisher::CResult& result) {
          QMetaObject::invokeMethod(
              this,
              [this, result] {
                  emit exportCompleted(result.m_strAviName, result.m_problems, result.m_nFrames, result.m_strUnsignedReason);
              },
              Qt::QueuedConnection);
      }),
      m_export([this] { OnWindowThread([this] { emit exportWriteFailed(); }); })
{
    m_router.SetSoundSink(&m_sound);
}

CPlaybackSession::~CPlaybackSession()
{
    Close();
}

// --- the recording ---

// Nothing is left to draw: the pause needs no refresh.
void CPlaybackSession::Reset()
{
    m_steering.m_nPlayState = PS_PAUSE;
    m_steering.m_nFirstSector = 0;
    m_nDeliveredFrames = 0;
    m_activity.Stop();
    m_report.Stop();
    m_activityAnchor.reset();
    m_nRoutedOffset = 0;
    m_router.ReleaseChannelPictures();
    SetSliderPos(0);
}

// The facts stay as the probe left them, also when it refuses the file.
bool CPlaybackSession::Open(const QString& path)
{
    Reset();
    m_bookmarks.Unload();
    m_strBookmarkMessage.clear();
    m_masks.Unload();
    m_strMaskMessage.clear();
    m_pRateProbe.reset();
    m_cameraRates.reset();
    m_bRecordingHasSound = false; // until the probe finds sound
    CRecordingProbe probe(m_recording, *this);
    if (!probe.ProbeRecording(CNativeFileName::Encode(path).toStdString()))
        return false;
    m_steering.m_nFirstSector = m_recording.m_nFirstSector;
    m_router.SetChannelCount(m_recording.m_nChannelCount);
    m_activity.Start(CNativeFileName::Encode(path).toStdString(), m_recording);
    m_report.Start(CNativeFileName::Encode(path).toStdString(), m_recording);
    LoadUserData(path);
    return true;
}

// Without an identity nothing can be kept about the recording: both say why.
void CPlaybackSession::LoadUserData(const QString& path)
{
    const std::string native = CNativeFileName::Encode(path).toStdString();
    std::string bookmarkMessage, maskMessage;
    if (const std::optional<CRecordingIdentity> identity = CRecordingIdentity::Of(native, bookmarkMessage)) {
        m_bookmarks.Load(*identity, native, bookmarkMessage);
        m_masks.Load(*identity, native, maskMessage);
    } else {
        maskMessage = bookmarkMessage;
    }
    m_strBookmarkMessage = QString::fromStdString(bookmarkMessage);
    m_strMaskMessage = QString::fromStdString(maskMessage);
}

CBookmark CPlaybackSession::BookmarkHere() const
{
    return {m_nRoutedOffset.load(), ShownTime(), Grid() == 1 ? CurChannel() + 1 : 0, {}};
}

void CPlaybackSession::StartThread(const QString& path)
{
    m_playThread.Stop(); // before its per-thread values change under it
    m_steering.m_nChannelCount = m_recording.m_nChannelCount;
    m_steering.m_nEndOffset = m_recording.m_nEndOffset;
    m_steering.m_strPath = CNativeFileName::Encode(path).toStdString();
    ++m_nThreadGeneration; // what the previous thread still asked for is dropped
    m_playThread.Start(m_steering, *this, m_currentRecord);
}

void CPlaybackSession::StopThread()
{
    m_playThread.Stop();
}

void CPlaybackSession::Close()
{
    StopThread();
    m_activity.Stop();
    m_report.Stop();
    m_export.Finish(m_router.FrameTime());
}

// --- steering ---

void CPlaybackSession::SetPlayState(uint8_t state)
{
    m_steering.m_nPlayState = state;
    if (state == PS_PAUSE)
        RefreshIfPaused();
    else
        m_activityAnchor.reset();
}

int CPlaybackSession::ChangeSpeed(bool faster)
{
    const int index = std::clamp(m_steering.m_nSpeedIndex + (faster ? 1 : -1), SPEED_MIN, SPEED_MAX);
    m_steering.m_nSpeedIndex = index;
    return index;
}

int CPlaybackSession::ChangeDelay(bool longer)
{
    const int index = std::clamp(m_steering.m_nDelayIndex + (longer ? 1 : -1), DELAY_MIN, DELAY_MAX);
    m_steering.m_nDelayIndex = index;
    return index;
}

void CPlaybackSession::Seek(int pos)
{
    m_activityAnchor.reset();
    m_steering.m_nSeekPos = pos;
    m_steering.m_nPlayState = PS_SEEK;
}

void CPlaybackSession::GoTo(uint64_t offset)
{
    m_activityAnchor.reset();
    m_steering.m_nTargetOffset = offset;
    m_steering.m_nPlayState = PS_LOCATE;
}

bool CPlaybackSession::FrameStep(bool forward, int records, int channel)
{
    if (PlayState() != PS_PAUSE)
        return false;
    m_activityAnchor.reset();
    m_steering.m_nStepChannel = channel;
    m_steering.m_nStepRecords = records;
    m_steering.m_nPlayState = forward ? PS_STEP_FORWARD : PS_STEP_BACKWARD;
    return true;
}

// --- the video area ---

CDateTime CPlaybackSession::ShownTime() const
{
    const std::optional<CFrameTime> t = m_router.ShownFrameTime();
    if (!t)
        return m_recording.m_timeStart;
    return CDateTime(t->m_wYear, t->m_byMonth, t->m_byDay, t->m_byHour, t->m_byMinute, t->m_bySecond);
}

// While playing, the playback thread draws the tiles; while paused the page is drawn
// here from each channel's picture.
void CPlaybackSession::RefreshIfPaused()
{
    if (PlayState() != PS_PAUSE)
        return;
    m_router.RefreshPage();
    emit paused();
}

// --- the activity index ---

std::optional<CActivityStretch> CPlaybackSession::GoToActivity(const CActivityQuery& query, bool forward)
{
    const uint64_t from = m_activityAnchor.value_or(m_nRoutedOffset.load());
    const std::optional<CActivityStretch> stretch = m_activity.Neighbour(query, from, forward);
    if (stretch) {
        GoTo(stretch->m_nOffset);
        m_activityAnchor = stretch->m_nOffset;
    }
    return stretch;
}

std::optional<CTileRegionMap> CPlaybackSession::RegionMap(int channel) const
{
    std::optional<CTileRegionMap> map;
    m_router.UseChannelPicture(channel, [&](const CTilePicture& picture, const CFrameTime&) {
        const QSize size(picture.m_pHeader->biWidth, picture.m_pHeader->biHeight);
        map.emplace(m_router.TileRect(channel), size, CTileRenderer::CropRect(picture), m_router.Zoom(),
                    CTileRenderer::ExportCropRect(picture));
    });
    return map;
}

std::optional<CFrameTime> CPlaybackSession::PictureTime(int channel) const
{
    std::optional<CFrameTime> time;
    m_router.UseChannelPicture(channel, [&](const CTilePicture&, const CFrameTime& t) { time = t; });
    return time;
}

// --- sound and export ---

void CPlaybackSession::SetExportWindowOpen(bool open)
{
    m_bExportOpen = open;
    m_router.SetPictureSink(open ? &m_export : nullptr);
    m_router.SetSoundSink(open ? static_cast<ISoundSink*>(&m_export) : &m_sound);
    ApplyAudioFilter();
}

bool CPlaybackSession::StartExport(BACKUPSETTING& setting, CExportOptions options)
{
    setting.m_byChannelCount = uint8_t(m_recording.m_nChannelCount);
    const std::string path = m_steering.m_strPath;
    options.m_master = CExportMaster{CNativeFileName::Decode(QByteArray::fromStdString(path)),
                                     m_recording.m_nFileLength, MasterSum(), m_bookmarks.Bookmarks()};
    if (options.m_strCommand.isEmpty())
        options.m_strCommand = "the player's export window";
    if (!Recorder()->StartBackup(setting, m_router.FrameTime(), options))
        return false;
    if (PlayState() == PS_PAUSE) {
        // The export begins with the camera's picture the paused window shows, then
        // plays on: started right after opening, it holds every picture forward play
        // delivers, as kvxtool's export does.
        const int channel = setting.m_byChannel;
        m_router.UseChannelPicture(channel, [&](const CTilePicture& picture, const CFrameTime& time) {
            m_export.OnPicture(channel, picture, time);
        });
        m_steering.m_nPlayState = PS_FPLAY;
    }
    return true;
}

// --- the window's export: completion, the master's sum, the cameras' rates ---

bool CPlaybackSession::StopExport()
{
    std::optional<CFinishedExport> done = Recorder()->TakeExport();
    if (!done)
        return false;
    m_finisher.Complete(std::move(*done), m_router.FrameTime());
    return true;
}

// A sum no export awaits any more is dropped; one still being read for an export of
// another recording reads on.
CMasterHash::Sum CPlaybackSession::MasterSum()
{
    const std::string& path = m_steering.m_strPath;
    const uint64_t size = m_recording.m_nFileLength;
    std::erase_if(m_masterHashes, [&](const auto& hash) { return hash->IsDone() && !hash->Reads(path, size); });
    for (const auto& hash : m_masterHashes)
        if (hash->Reads(path, size))
            return hash->Result();
    m_masterHashes.push_back(std::make_unique<CMasterHash>(path, size));
    return m_masterHashes.back()->Result();
}

void CPlaybackSession::ReadCameraRates()
{
    if (m_cameraRates || m_pRateProbe)
        return;
    const int probe = ++m_nRateProbe;
    m_pRateProbe = std::make_unique<CCameraRateProbe>(
        m_steering.m_strPath, m_recording, [this, probe](const CCameraRateProbe::Rates& rates) {
            QMetaObject::invokeMethod(
                this,
                [this, probe, rates] {
                    if (probe != m_nRateProbe)
                        return;
                    m_cameraRates = rates;
                    emit cameraRatesRead(QVector<int>(rates.begin(), rates.end()));
                },
                Qt::QueuedConnection);
        });
}

void CPlaybackSession::SetSoundLevel(const CSoundLevel& level)
{
    m_soundLevel = level;
    m_sound.SetVolume(level.Gain());
}

bool CPlaybackSession::IsSoundPlaying() const
{
    CSoundRoute route;
    route.m_byAudioMask = AudioMask();
    for (int i = 0; i < 4; ++i)
        route.m_byOpenOutputs |= uint8_t(m_sound.IsOpen(i) << i);
    route.m_nPlayState = PlayState();
    route.m_bRecordingHasSound = m_bRecordingHasSound;
    route.m_bExportOpen = m_bExportOpen;
    return SoundReachesSpeakers(route, m_soundLevel);
}

// The copy takes the sound as it was recorded; the filter only ever shaped what is
// heard, and nothing is heard while the export window is open.
void CPlaybackSession::SetAudioFilter(bool on)
{
    m_bAudioFilter = on;
    ApplyAudioFilter();
}

void CPlaybackSession::ApplyAudioFilter()
{
    m_router.SetAudioFilter(m_bAudioFilter && !m_bExportOpen);
}

// --- the playback thread's calls ---

void CPlaybackSession::OnWindowThread(std::function<void()> call)
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

// A pause of the playback thread (at either end of the recording, after a seek or a
// jump) ends a running export: the export window's stop sequence runs.
void CPlaybackSession::OnPlayStateSet(uint8_t state)
{
    if (state != PS_PAUSE)
        return;
    if (m_bExportOpen)
        OnWindowThread([this] { emit exportStopWanted(); });
    OnWindowThread([this] { RefreshIfPaused(); });
}

uint8_t CPlaybackSession::OnPlayFrame(bool firstFrame, int audioMode, uint32_t pictureLength, const uint8_t* audio,
                                      const uint8_t* picture)
{
    ++m_nDeliveredFrames;
    m_nRoutedOffset = m_currentRecord.m_nHeaderOffset;
    const uint8_t channel = m_router.OnPlayFrame(firstFrame, audioMode, pictureLength, audio, picture, m_currentRecord);
    if (m_onFrameRouted)
        m_onFrameRouted();
    return channel;
}

// The engine reports an end it paused at. A command the window stored before the
// report arrives makes the report stale: the buttons already follow that command.
void CPlaybackSession::SetStartButtons()
{
    OnWindowThread([this] {
        if (PlayState() == PS_PAUSE)
            emit startReached();
    });
}

void CPlaybackSession::SetEndButtons()
{
    OnWindowThread([this] {
        if (PlayState() == PS_PAUSE)
            emit endReached();
    });
}

void CPlaybackSession::SetSliderPos(int pos)
{
    OnWindowThread([this, pos] { emit sliderMoved(pos); });
}

void CPlaybackSession::ShowReadError(const char* text)
{
    OnWindowThread([this, message = QString(text)] { emit readFailed(message); });
}

// Runs on the playback thread, which alone stores pictures: none from before the
// jump is left to pass for the moment read next.
void CPlaybackSession::OnJump()
{
    m_router.ForgetPictures();
}

// --- what the frame router asks for ---

void CPlaybackSession::RepaintWindowRect(const QRect& rect)
{
    if (QThread::currentThread() == thread()) {
        emit repaintWanted(rect, false);
        return;
    }
    QMetaObject::invokeMethod(this, [this, rect] { emit repaintWanted(rect, true); }, Qt::QueuedConnection);
}

// The video area is laid out anew for the other standard, which clears it; the
// window draws the pictures that came meanwhile again.
void CPlaybackSession::SwitchVideoStandard(bool pal)
{
    OnWindowThread([this, pal] { emit videoStandardSwitched(pal); });
}

void CPlaybackSession::OnPicturesChanged()
{
    OnWindowThread([this] { emit picturesChanged(); });
}

// --- what the probe asks for ---

void CPlaybackSession::ShowProbeMessage(const std::string& text)
{
    emit probeMessage(QString::fromStdString(text));
}

// The audio caption and switches show only for recordings with sound; the outputs
// are opened the first time one is probed and stay open across recordings.
void CPlaybackSession::EnableAudioControls(bool enable)
{
    m_bRecordingHasSound = enable;
    emit audioControlsShown(enable);
    if (!enable)
        return;
    for (int i = 0; i < 4; ++i) {
        if (m_sound.IsOpen(i))
            continue;
        if (!m_sound.Open(i)) {
            emit audioOutputFailed();
            break; // one message is enough: the others fail alike and are tried next time
        }
    }
}

void CPlaybackSession::DisableEndButton()
{
    emit endButtonDisabled();
}
