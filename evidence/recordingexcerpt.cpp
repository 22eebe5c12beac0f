#include "evidence/recordingexcerpt.h"

#include "platform/outputfile.h"
#include "platform/readonlyfile.h"
#include "platform/sha256.h"
#include "recording/recordinglocator.h"
#include "recording/recordwalker.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

using namespace kvx;

namespace {

// Collects the records from the start on while their dates stay at or before `to`.
class CRangeSink : public IRecordWalkSink {
public:
    CRangeSink(CRecordWalker& walker, CExcerptRange& range, uint64_t toKey)
        : m_walker(walker), m_range(range), m_nToKey(toKey)
    {
    }

    void OnRecord(const CWalkedRecord& record) override
    {
        const CDateTime time = record.m_header.Time();
        if (DateTimeToOrderKey(time) > m_nToKey) {
            if (m_range.m_nRecords == 0)
                m_range.m_next = time;
            m_walker.Stop();
            return;
        }
        if (m_range.m_nRecords++ == 0)
            m_range.m_first = time;
        else if (record.m_pPicture && DateTimeToOrderKey(time) > DateTimeToOrderKey(m_range.m_first))
            m_range.m_bRunsOn = true;
        m_range.m_last = time;
        m_range.m_nEnd = record.m_nEnd;
    }
    void OnDamage(const CDamagedStretch&) override {}

private:
    CRecordWalker& m_walker;
    CExcerptRange& m_range;
    const uint64_t m_nToKey;
};

constexpr size_t COPY_CHUNK = 1 << 20;

std::string FileName(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

// A small new text file; an existing one is never replaced, and one begun and not
// completed is removed.
bool WriteNewTextFile(const std::string& path, const std::string& text, const std::string& source,
                      std::string& error)
{
    COutputFile file;
    if (file.Create(path, false, {source}) != COutputFile::ECreate::Created) {
        error = "cannot write " + path + ": " + (file.ErrorText().empty() ? "it exists already" : file.ErrorText());
        return false;
    }
    if (!file.Write(text.data(), text.size()) || !file.Close()) {
        error = "cannot write " + path + ": " + file.ErrorText();
        std::remove(path.c_str());
        return false;
    }
    return true;
}

std::string Note(const CExcerptFiles& files, const CExcerptOrigin& origin, const CExcerptRange& range,
                 const CExcerptResult& result)
{
    const std::string source = std::filesystem::absolute(origin.m_strSource).lexically_normal().string();
    char text[2048];
    std::snprintf(text, sizeof text,
                  "Excerpt of a DVR recording, copied bit for bit by kvxtool excerpt (KVXPlayer %s).\n"
                  "Source:           %s\n"
                  "Source size:      %llu bytes\n"
                  "Source SHA-256:   %s\n"
                  "Range asked for:  %s to %s\n"
                  "Records copied:   %llu, dated %s to %s\n"
                  "Offsets copied:   0 to %llu (reserved area), then %llu to %llu of the source\n"
                  "Excerpt:          %s, %llu bytes\n"
                  "Excerpt SHA-256:  %s\n",
                  KVX_VERSION, source.c_str(), (unsigned long long)result.m_nSourceSize,
                  result.m_strSourceSha256.c_str(), origin.m_from.ToIsoString().c_str(),
                  origin.m_to.ToIsoString().c_str(), (unsigned long long)range.m_nRecords,
                  range.m_first.ToIsoString().c_str(), range.m_last.ToIsoString().c_str(),
                  (unsigned long long)(RECORD_AREA_OFFSET - 1), (unsigned long long)range.m_nStart,
                  (unsigned long long)(range.m_nEnd - 1), FileName(files.m_strExcerpt).c_str(),
                  (unsigned long long)result.m_nExcerptSize, result.m_strExcerptSha256.c_str());
    return text;
}

} // namespace

CExcerptFiles::CExcerptFiles(const std::string& excerpt)
    : m_strExcerpt(excerpt), m_strSums(excerpt + ".sha256"), m_strNote(excerpt + ".txt")
{
}

std::string CExcerptFiles::FirstTaken() const
{
    for (const std::string& path : {m_strExcerpt, m_strSums, m_strNote}) {
        std::error_code ec;
        if (std::filesystem::exists(std::filesystem::symlink_status(path, ec)))
            return path;
    }
    return {};
}

CExcerptRange FindExcerptRange(const std::string& path, const CRecordingFacts& facts, const CDateTime& from,
                               const CDateTime& to)
{
    CExcerptRange range;
    CRecordingLocator locator(facts);
    if (!locator.Open(path)) {
        range.m_status = CExcerptRange::EStatus::ReadFailed;
        range.m_strError = locator.ErrorText();
        return range;
    }
    const CLocateResult start = locator.Locate(from);
    if (start.m_status != CLocateResult::EStatus::Found) {
        range.m_status = start.m_status == CLocateResult::EStatus::AfterEnd ? CExcerptRange::EStatus::AfterEnd
                                                                             : CExcerptRange::EStatus::NoRecords;
        return range;
    }
    range.m_nStart = start.m_record.m_nOffset;

    CRecordWalker walker(LayoutForChannelCount(facts.m_nChannelCount).value_or(facts.m_layout));
    if (!walker.Open(path)) {
        range.m_status = CExcerptRange::EStatus::ReadFailed;
        range.m_strError = walker.ErrorText();
        return range;
    }
    CRangeSink sink(walker, range, DateTimeToOrderKey(to));
    if (!walker.Walk(range.m_nStart, sink)) {
        range.m_status = CExcerptRange::EStatus::ReadFailed;
        range.m_strError = walker.ErrorText();
        return range;
    }
    range.m_status = range.m_nRecords ? CExcerptRange::EStatus::Found : CExcerptRange::EStatus::InGap;
    if (range.m_status == CExcerptRange::EStatus::InGap && !range.m_next.IsValid())
        range.m_next = start.m_record.Time();
    return range;
}

CExcerptResult WriteExcerpt(const std::string& source, const CExcerptRange& range, const std::string& out)
{
    CExcerptResult result;
    CReadOnlyFile in;
    if (!in.Open(source)) {
        result.m_strError = in.ErrorText();
        return result;
    }
    COutputFile file;
    switch (file.Create(out, false, {source})) {
    case COutputFile::ECreate::Created:
        break;
    case COutputFile::ECreate::Exists:
    case COutputFile::ECreate::IsInput:
        result.m_strError = out + " exists already; an excerpt never replaces a file";
        return result;
    case COutputFile::ECreate::Failed:
        result.m_strError = "cannot write " + out + ": " + file.ErrorText();
        return result;
    }

    CSha256 sourceHash, excerptHash;
    std::vector<uint8_t> buffer(COPY_CHUNK);
    uint64_t position = 0;
    bool ok = true;
    while (ok) {
        const int64_t got = in.Read(buffer.data(), buffer.size());
        if (got < 0) {
            result.m_strError = "cannot read " + source + ": " + in.ErrorText();
            ok = false;
            break;
        }
        if (got == 0)
            break;
        sourceHash.Add(buffer.data(), size_t(got));
        // The parts of this chunk that lie in the reserved area or in the range.
        for (const auto& [from, to] : {std::pair{uint64_t(0), RECORD_AREA_OFFSET}, std::pair{range.m_nStart, range.m_nEnd}}) {
            const uint64_t a = std::max(from, position), b = std::min(to, position + uint64_t(got));
            if (a >= b)
                continue;
            excerptHash.Add(buffer.data() + (a - position), size_t(b - a));
            result.m_nExcerptSize += b - a;
            if (!file.Write(buffer.data() + (a - position), size_t(b - a))) {
                result.m_strError = "cannot write " + out + ": " + file.ErrorText();
                ok = false;
            }
        }
        position += uint64_t(got);
    }
    if (ok && result.m_nExcerptSize != RECORD_AREA_OFFSET + (range.m_nEnd - range.m_nStart)) {
        result.m_strError = source + " ended before the excerpt was copied";
        ok = false;
    }
    if (!file.Close() && ok) {
        result.m_strError = "cannot write " + out + ": " + file.ErrorText();
        ok = false;
    }
    if (!ok) {
        std::remove(out.c_str()); // we created it: nothing of the user's is lost
        return result;
    }
    result.m_nSourceSize = position;
    result.m_strSourceSha256 = sourceHash.HexDigest();
    result.m_strExcerptSha256 = excerptHash.HexDigest();
    return result;
}

bool WriteExcerptSidecars(const CExcerptFiles& files, const CExcerptOrigin& origin, const CExcerptRange& range,
                          const CExcerptResult& result, std::string& error)
{
    const std::string sums = Sha256SumLine(result.m_strExcerptSha256, FileName(files.m_strExcerpt));
    if (!WriteNewTextFile(files.m_strSums, sums, origin.m_strSource, error)) {
        std::remove(files.m_strExcerpt.c_str());
        return false;
    }
    if (!WriteNewTextFile(files.m_strNote, Note(files, origin, range, result), origin.m_strSource, error)) {
        std::remove(files.m_strSums.c_str());
        std::remove(files.m_strExcerpt.c_str());
        return false;
    }
    return true;
}
