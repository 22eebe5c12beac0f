#include "session/exportsink.h"

#include "export/backuprecorder.h"

CExportSink::CExportSink(std::function<void()> onWriteFailed) : m_onWriteFailed(std::move(onWriteFailed))
{
}

CExportSink::~CExportSink() = default;

void CExportSink::Create(const QString& aviFolder)
{
    m_pRecorder = std::make_unique<CBackupRecorder>(aviFolder);
}

void CExportSink::Finish(const CFrameTime& end)
{
    if (m_pRecorder)
        m_pRecorder->StopBackup(end);
}

void CExportSink::OnPicture(int channel, const CTilePicture& picture, const CFrameTime& time)
{
    if (!m_pRecorder)
        return;
    if (m_pRecorder->WritePicture(channel, picture, time) == CBackupRecorder::EFrame::Failed)
        m_onWriteFailed();
}

void CExportSink::OnSoundSlice(int channel, const uint8_t* slice, const CFrameTime& time)
{
    if (!m_pRecorder)
        return;
    if (m_pRecorder->WriteSound(channel, slice, time) == CBackupRecorder::EFrame::Failed)
        m_onWriteFailed();
}
