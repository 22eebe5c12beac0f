#include "session/rangeexport.h"

#include "platform/nativefilename.h"
#include "platform/threadpriority.h"

CRangeExport::CRangeExport(QObject* parent) : QObject(parent)
{
    // The worker is joined on the window thread once its result arrives there.
    connect(this, &CRangeExport::finished, this, [this] { Join(); }, Qt::QueuedConnection);
}

CRangeExport::~CRangeExport()
{
    Cancel();
    Join();
}

bool CRangeExport::Start(const std::string& recording, const CRecordingFacts& facts,
                         const CRecordingExportSettings& settings)
{
    if (m_pExport)
        return false;
    m_problems.clear();
    m_strUnsigned.clear();
    m_strNothing = QString("No export was made: %1 holds no record dated from %2 to %3")
                       .arg(CNativeFileName::Decode(QByteArray::fromStdString(recording)),
                            QString::fromStdString(settings.m_from.ToIsoString()),
                            QString::fromStdString(settings.m_to.ToIsoString()));
    m_pExport = std::make_unique<CRecordingExport>(recording, facts, settings, static_cast<IRecordingExportView&>(*this));
    m_worker = std::thread(&CRangeExport::Run, this);
    return true;
}

void CRangeExport::Cancel()
{
    if (m_pExport)
        m_pExport->Cancel();
}

QString CRangeExport::VideoName() const
{
    if (!m_pExport || m_pExport->Cameras().empty())
        return {};
    return m_pExport->Cameras().front().m_recorder->AviName();
}

void CRangeExport::Join()
{
    if (m_worker.joinable())
        m_worker.join();
    m_pExport.reset();
}

void CRangeExport::Run()
{
    LowerThisThreadPriority();
    const CRecordingExport::EResult result = m_pExport->Run();
    QStringList problems;
    QString unsignedText;
    {
        const std::lock_guard lock(m_mutex);
        if (result == CRecordingExport::EResult::NothingInRange)
            m_problems << m_strNothing;
        problems = m_problems;
        unsignedText = m_strUnsigned;
    }
    const bool made = result != CRecordingExport::EResult::NothingInRange;
    const QString video = made ? VideoName() : QString();
    emit finished(video, problems, made ? m_pExport->FrameCount() : 0, unsignedText);
}

void CRangeExport::OnExportProgress(uint64_t, bool) {}

void CRangeExport::OnExportUnsigned(const QString&, const QString& reason)
{
    const std::lock_guard lock(m_mutex);
    m_strUnsigned = reason;
}

void CRangeExport::OnExportMessage(const QString& text)
{
    const std::lock_guard lock(m_mutex);
    m_problems << text;
}
