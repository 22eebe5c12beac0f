#include "export/recordingexport.h"

#include "platform/nativefilename.h"
#include "platform/outputfolders.h"
#include "platform/sha256.h"
#include "recording/recordformat.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <future>
#include <thread>

namespace {

constexpr unsigned MAX_DECODING_THREADS = 4;
// Decoded pictures waiting per writing thread: a few megabytes.
constexpr size_t STRAND_QUEUE = 8;

QString CameraText(int channel)
{
    return QString("%1").arg(channel, 2, 10, QChar('0'));
}

} // namespace

CRecordingExport::CRecordingExport(std::string recording, const CRecordingFacts& facts,
                                   CRecordingExportSettings settings, IRecordingExportView& view)
    : m_strRecording(std::move(recording)), m_facts(facts), m_settings(std::move(settings)), m_view(view),
      m_cameras(m_settings.m_bMosaic ? 1 : m_settings.m_channels.size())
{
    for (size_t i = 0; i < m_cameras.size(); ++i) {
        m_cameras[i].m_nChannel = m_settings.m_channels[i];
        m_cameras[i].m_recorder = std::make_unique<CBackupRecorder>(m_settings.m_strFolder);
    }
    for (size_t i = 0; i < m_settings.m_channels.size(); ++i)
        m_byChannel[size_t(m_settings.m_channels[i] - 1)] = &m_cameras[m_settings.m_bMosaic ? 0 : i];
    m_master.m_strPath = CNativeFileName::Decode(QByteArray::fromStdString(m_strRecording));
    m_master.m_nSize = m_facts.m_nFileLength;
    m_master.m_bookmarks = m_settings.m_bookmarks;
}

CRecordingExport::EResult CRecordingExport::Run()
{
    // The master's sum is read by a reader of its own while the pass runs, and awaited
    // when the notes are written.
    m_master.m_sha256 = std::async(std::launch::async, [path = m_strRecording] { return Sha256OfFile(path); }).share();
    const int threads = int(std::clamp(std::thread::hardware_concurrency(), 1u, MAX_DECODING_THREADS));
    std::vector<bool> exported(size_t(m_facts.m_nChannelCount));
    for (const int channel : m_settings.m_channels)
        exported[size_t(channel - 1)] = true;
    m_decoders = std::make_unique<COrderedDecoder>(m_facts.m_nChannelCount, threads, std::move(exported),
                                                   COrderedDecoder::ERest::CodeOnly,
                                                   [this](const COrderedDecoder::CDecoded& d) { OnPicture(d); });
    m_strands = std::make_unique<CStrandPool>(unsigned(std::min<size_t>(size_t(threads), m_cameras.size())),
                                              STRAND_QUEUE);
    const bool readOk = m_reader.Run(m_strRecording, m_facts, [this](const CForwardReader::CFrame& f) { OnRecord(f); });
    m_decoders.reset(); // every picture read is handled
    m_strands.reset();  // and written
    return Finish(readOk);
}

uint32_t CRecordingExport::FrameCount() const
{
    uint32_t frames = 0;
    for (const CCamera& camera : m_cameras)
        frames += camera.m_recorder->FrameCount();
    return frames;
}

std::vector<CRecordingExport::CExported> CRecordingExport::Results() const
{
    std::vector<CExported> results;
    for (const CCamera& camera : m_cameras) {
        const CBackupRecorder::COutcome outcome = camera.m_recorder->Outcome();
        const QFileInfo avi(outcome.m_strAviName);
        const QString base = avi.path() + '/' + avi.completeBaseName();
        results.push_back({camera.m_nChannel, outcome.m_strAviName, base + ".log", base + ".txt", outcome.m_nFrames,
                           outcome.m_byFrameRate, outcome.m_nSoundChannel});
    }
    return results;
}

QString CRecordingExport::FolderFor(const std::string& given)
{
    if (given.empty())
        return COutputFolders(QCoreApplication::applicationDirPath()).AviFolder();
    const QString folder = QDir::cleanPath(CNativeFileName::Decode(QByteArray::fromStdString(given)));
    return folder.endsWith('/') ? folder : folder + '/';
}

bool CRecordingExport::InRange(const CRecordHeader& header) const
{
    const uint64_t key = DateTimeToOrderKey(header.Time());
    return (!m_settings.m_from.IsValid() || key >= DateTimeToOrderKey(m_settings.m_from))
        && (!m_settings.m_to.IsValid() || key <= DateTimeToOrderKey(m_settings.m_to));
}

// The exports begin at the first record delivered (in the range), whose date-time
// starts the logs.
void CRecordingExport::OnRecord(const CForwardReader::CFrame& f)
{
    if (m_bCancelled) {
        m_reader.Stop();
        return;
    }
    if (!InRange(f.record.m_header))
        return m_view.OnExportProgress(f.record.m_nHeaderOffset, false);
    m_timeLast = CFrameTime::Of(f.record.m_header);
    if ((!m_bStarted && !StartExport(m_timeLast)) || m_bWriteFailed) {
        m_reader.Stop();
        return;
    }
    m_view.OnExportProgress(f.record.m_nHeaderOffset, false);
    if (f.audioMode != kvx::AUDIO_MODE_ONLY)
        m_decoders->Push(f.picture, f.pictureLength, m_timeLast);
    if (f.audioMode == kvx::AUDIO_MODE_ONLY || f.audioMode == kvx::AUDIO_MODE_WITH_PICTURE)
        PostSound(f.audio);
}

// Each camera's sound goes to its strand, in record order, beside its pictures.
void CRecordingExport::PostSound(const uint8_t* audio)
{
    if (m_settings.m_options.m_format != EExportFormat::Mp4)
        return;
    for (size_t i = 0; i < m_cameras.size(); ++i) {
        const int channel = m_soundChannels[i];
        if (channel < 0)
            continue;
        auto slice = std::make_shared<std::vector<uint8_t>>(audio + size_t(channel) * kvx::AUDIO_SLICE_SIZE,
                                                            audio + size_t(channel + 1) * kvx::AUDIO_SLICE_SIZE);
        m_strands->Post(i, [this, &camera = m_cameras[i], channel, slice, time = m_timeLast] {
            if (camera.m_recorder->WriteSound(channel, slice->data(), time) == CBackupRecorder::EFrame::Failed)
                m_bWriteFailed = true;
        });
    }
}

// The camera's own audio channel is its sound when the recording has one of that number.
CExportOptions CRecordingExport::OptionsFor(int channel) const
{
    CExportOptions options = m_settings.m_options;
    options.m_master = m_master;
    if (m_settings.m_bOwnSound && m_settings.m_bMosaic)
        options.m_nSoundChannel = -1;
    else if (m_settings.m_bOwnSound)
        options.m_nSoundChannel = m_facts.m_bAudio && channel <= kvx::AUDIO_CHANNELS ? channel - 1 : -1;
    if (options.m_format != EExportFormat::Mp4)
        options.m_nSoundChannel = -1;
    if (m_settings.m_bMosaic)
        for (const int c : m_settings.m_channels)
            options.m_mosaic.push_back(c - 1);
    return options;
}

// The first picture decides the video standard of the crop, as the player's first frame does.
void CRecordingExport::OnPicture(const COrderedDecoder::CDecoded& d)
{
    const CDecodedPicture& p = d.picture;
    if (!p.IsDecoded())
        return;
    if (!m_bPal)
        m_bPal = p.m_nStreamHeight > 240;
    if (!d.whole || !p.m_pBits || p.m_nChannel >= m_byChannel.size() || !m_byChannel[p.m_nChannel] || m_bWriteFailed)
        return;
    CCamera& camera = *m_byChannel[p.m_nChannel];
    const BITMAPINFOHEADER header = p.m_header;
    // Each camera writes on its own strand, side by side with the other cameras and
    // with the decoding of the next pictures, from a copy of the picture (the
    // decoder's is needed for the next one).
    auto bits = std::make_shared<std::vector<uint8_t>>(p.m_pBits, p.m_pBits + header.biSizeImage);
    const bool markAbsent = p.m_bMarkAbsent;
    const bool pal = *m_bPal;
    m_strands->Post(size_t(&camera - m_cameras.data()), [this, &camera, channel = int(p.m_nChannel), header, bits, markAbsent, pal,
                                                           time = d.time] {
        ExportPicture(camera, channel, {&header, bits->data(), markAbsent, pal, m_facts.m_nChannelCount}, time);
    });
}

void CRecordingExport::ExportPicture(CCamera& camera, int channel, const CTilePicture& picture,
                                     const CFrameTime& time)
{
    if (camera.m_recorder->WritePicture(channel, picture, time) == CBackupRecorder::EFrame::Failed)
        m_bWriteFailed = true;
}

// Every camera's export is tried, so that each one that cannot be created says why.
bool CRecordingExport::StartExport(const CFrameTime& start)
{
    m_bStarted = true;
    for (CCamera& camera : m_cameras) {
        BACKUPSETTING setting;
        setting.m_byFrameRate = uint8_t(m_settings.m_nFps);
        setting.m_byChannel = uint8_t(camera.m_nChannel - 1);
        setting.m_byChannelCount = m_facts.m_nChannelCount;
        setting.m_nWidth = m_settings.m_nWidth;
        setting.m_nHeight = m_settings.m_nHeight;
        const CExportOptions options = OptionsFor(camera.m_nChannel);
        m_soundChannels.push_back(options.m_nSoundChannel);
        if (!camera.m_recorder->StartBackup(setting, start, options)) {
            m_view.OnExportMessage(camera.m_recorder->ErrorText());
            if (m_strStopCause.isEmpty())
                m_strStopCause = "the export of camera " + CameraText(camera.m_nChannel) + " could not be created";
        }
    }
    return m_strStopCause.isEmpty();
}

// Why the pass ended before the recording's end, for the exports it cut short: empty
// when it ran to the end.
QString CRecordingExport::StopCause(bool readOk) const
{
    if (!m_strStopCause.isEmpty())
        return m_strStopCause;
    for (const CCamera& camera : m_cameras)
        if (!camera.m_recorder->FailureText().isEmpty())
            return "the export of camera " + CameraText(camera.m_nChannel) + " could not be written";
    if (m_bCancelled)
        return "the export was stopped before the end of its range";
    return readOk ? QString() : QString("the recording could not be read on");
}

// A range without a record makes nothing; otherwise every export is completed, those
// of a pass that ended early cut short, each saying why.
CRecordingExport::EResult CRecordingExport::Finish(bool readOk)
{
    const bool ranged = m_settings.m_from.IsValid() || m_settings.m_to.IsValid();
    if (!m_bStarted && ranged && readOk && !m_bCancelled)
        return EResult::NothingInRange;
    if (!m_bStarted)
        StartExport(m_timeLast);
    m_view.OnExportProgress(m_facts.m_nFileLength, true);
    const QString cause = StopCause(readOk);
    bool ok = cause.isEmpty();
    for (CCamera& camera : m_cameras) {
        if (!cause.isEmpty())
            camera.m_recorder->CutShort(cause);
        const bool stopped = camera.m_recorder->StopBackup(m_timeLast);
        const CBackupRecorder::COutcome outcome = camera.m_recorder->Outcome();
        if (!outcome.m_strFailure.isEmpty())
            m_view.OnExportMessage(outcome.m_strFailure);
        if (!stopped)
            m_view.OnExportMessage(outcome.m_strError);
        if (!outcome.m_strUnsigned.isEmpty())
            m_view.OnExportUnsigned(outcome.m_strUnsigned, outcome.m_strUnsignedReason);
        ok = ok && stopped;
    }
    return ok ? EResult::Done : EResult::Failed;
}
