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
    const std::optional<BACKUPSETTING> setting = m_pRecorder->Setting();
    if (!setting || channel != setting->m_byChannel)
        return;
    CBackupFrame frame;
    frame.m_nChannel = channel;
    frame.m_nWidth = setting->m_nWidth;
    frame.m_nHeight = setting->m_nHeight;
    frame.m_nFontHeight = CBackupRecorder::FontHeightFor(frame.m_nWidth);
    frame.m_time = time;
    frame.m_pHeader = picture.m_pHeader;
    frame.m_pBits = picture.m_pBits;
    frame.m_bMarkAbsent = picture.m_bMarkAbsent;
    frame.m_bPal = picture.m_bPal;
    frame.m_nChannelCount = picture.m_nChannelCount;
    if (m_pRecorder->WriteBackupFrame(frame) == CBackupRecorder::EFrame::Failed)
        m_onWriteFailed();
}
