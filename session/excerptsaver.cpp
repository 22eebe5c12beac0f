#include "session/excerptsaver.h"

#include "platform/nativefilename.h"
#include "platform/threadpriority.h"

namespace {

QString Name(const std::string& path)
{
    return CNativeFileName::Decode(QByteArray::fromStdString(path));
}

} // namespace

CExcerptSaver::CExcerptSaver(QObject* parent) : QObject(parent)
{
    // The worker is joined on the window thread once its result arrives there.
    connect(this, &CExcerptSaver::saved, this, [this] { Join(); }, Qt::QueuedConnection);
}

CExcerptSaver::~CExcerptSaver()
{
    Join();
}

bool CExcerptSaver::Save(CExcerptJob::CRequest request, const CRecordingFacts& facts, const CBookmarks& bookmarks)
{
    if (m_pJob)
        return false;
    m_pJob = std::make_unique<CExcerptJob>(std::move(request), facts, bookmarks);
    m_worker = std::thread(&CExcerptSaver::Run, this);
    return true;
}

void CExcerptSaver::Join()
{
    if (m_worker.joinable())
        m_worker.join();
    m_pJob.reset();
}

void CExcerptSaver::Run()
{
    LowerThisThreadPriority();
    const bool ok = m_pJob->Run();
    emit saved(ok, ok ? SavedText(*m_pJob)
                      : QString("The excerpt was not saved:\n%1").arg(Name(m_pJob->Error())));
}

QString CExcerptSaver::SavedText(const CExcerptJob& job)
{
    const CExcerptFiles& files = job.Files();
    const CExcerptRange& range = job.Range();
    QString text = QString("Saved the excerpt %1: %2 records, %3 to %4, with %5 and %6")
                       .arg(Name(files.m_strExcerpt))
                       .arg(range.m_nRecords)
                       .arg(QString::fromStdString(range.m_first.ToIsoString()),
                            QString::fromStdString(range.m_last.ToIsoString()),
                            Name(files.m_strSums), Name(files.m_strNote));
    if (range.m_stretches.size() > 1)
        text += QString("\nIt holds %1 stretches of the range: the clock was set back").arg(range.m_stretches.size());
    if (!job.Signing().m_bSigned)
        text += QString("\nIt is not signed: %1").arg(QString::fromStdString(job.Signing().m_strReason));
    return text;
}
