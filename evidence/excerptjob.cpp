#include "evidence/excerptjob.h"

CExcerptJob::CExcerptJob(CRequest request, const CRecordingFacts& facts, const CBookmarks& bookmarks)
    : m_request(std::move(request)), m_facts(facts), m_bookmarks(bookmarks), m_files(m_request.m_strOut)
{
}

bool CExcerptJob::Run()
{
    if (const std::string taken = m_files.FirstTaken(); !taken.empty()) {
        m_strError = taken + " exists already; an excerpt never replaces a file";
        return false;
    }
    m_range = FindExcerptRange(m_request.m_strSource, m_facts, m_request.m_from, m_request.m_to);
    if (m_range.m_status != CExcerptRange::EStatus::Found) {
        m_strError = NothingText();
        return false;
    }
    // An excerpt of records of one second would not open: the probe needs a later date.
    if (!m_range.m_bRunsOn) {
        m_strError = OneSecondText();
        return false;
    }
    m_result = WriteExcerpt(m_request.m_strSource, m_range, m_files.m_strExcerpt);
    m_strError = m_result.m_strError;
    if (m_strError.empty())
        WriteExcerptSidecars(m_files, {m_request.m_strSource, m_request.m_from, m_request.m_to, m_bookmarks, m_request.m_strMadeBy}, m_range,
                             m_result, m_signing, m_strError);
    return m_strError.empty();
}

std::string CExcerptJob::NothingText() const
{
    const CRequest& r = m_request;
    switch (m_range.m_status) {
    case CExcerptRange::EStatus::AfterEnd:
        return "no recording at or after " + r.m_from.ToIsoString()
             + (m_facts.m_timeEnd.IsValid() ? "; the recording ends at " + m_facts.m_timeEnd.ToIsoString() : "");
    case CExcerptRange::EStatus::InGap:
        return "no recording between " + r.m_from.ToIsoString() + " and " + r.m_to.ToIsoString()
             + "; the next record is dated " + m_range.m_next.ToIsoString();
    case CExcerptRange::EStatus::NoRecords:
        return "no record of the recording has a valid date";
    default:
        return "Can not read KVX file.\n" + r.m_strSource + "\n" + m_range.m_strError;
    }
}

std::string CExcerptJob::OneSecondText() const
{
    const CRequest& r = m_request;
    return r.m_strSource + ": every record from " + r.m_from.ToIsoString() + " to " + r.m_to.ToIsoString()
         + " is dated " + m_range.m_first.ToIsoString()
         + "; an excerpt needs a later one to be a recording the player opens: take a range of two seconds or more";
}
