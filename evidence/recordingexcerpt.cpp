#include "evidence/recordingexcerpt.h"

#include "platform/outputfile.h"
#include "platform/readonlyfile.h"
#include "platform/sha256.h"
#include "platform/usersigner.h"
#include "recording/recordinglocator.h"
#include "recording/recordwalker.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

using namespace kvx;

namespace {

// Collects, over the whole recording, the records dated within the range, the
// stretches they form and the records between them.
class CRangeSink : public IRecordWalkSink {
public:
    CRangeSink(CExcerptRange& range, uint64_t fromKey, uint64_t toKey)
        : m_range(range), m_nFromKey(fromKey), m_nToKey(toKey)
    {
    }

    void OnRecord(const CWalkedRecord& record) override
    {
        const CDateTime time = record.m_header.Time();
        const uint64_t key = DateTimeToOrderKey(time);
        const bool started = !m_range.m_stretches.empty();
        if (started)
            ++m_nRecordsSince;
        if (started && record.m_pPicture && key > m_nFirstKey && !m_nRunsOnAt)
            m_nRunsOnAt = record.m_nOffset;
        if (key < m_nFromKey || key > m_nToKey) {
            m_bOpen = false;
            m_nOutsideSince += started;
            return;
        }
        if (!started) {
            m_range.m_nStart = record.m_nOffset;
            m_range.m_first = time;
            m_nFirstKey = key;
            m_nRecordsSince = 1;
        }
        if (!m_bOpen || key < m_nLastKey)
            m_range.m_stretches.push_back({record.m_nOffset, 0, time, time, 0});
        CExcerptStretch& stretch = m_range.m_stretches.back();
        stretch.m_nEnd = record.m_nEnd;
        stretch.m_last = time;
        ++stretch.m_nRecords;
        m_bOpen = true;
        m_nLastKey = key;
        m_range.m_last = time;
        m_range.m_nEnd = record.m_nEnd;
        m_range.m_nRecords = m_nRecordsSince;
        m_range.m_nOutside = m_nOutsideSince;
    }
    void OnDamage(const CDamagedStretch&) override {}

    // Once the walk is over: whether a later picture lies within the span.
    bool RunsOn() const { return m_nRunsOnAt && m_nRunsOnAt < m_range.m_nEnd; }

private:
    CExcerptRange& m_range;
    const uint64_t m_nFromKey, m_nToKey;
    uint64_t m_nFirstKey = 0, m_nLastKey = 0;
    bool m_bOpen = false;            // the last record was within the range
    uint64_t m_nRecordsSince = 0;    // records from the first in the range on
    uint64_t m_nOutsideSince = 0;    // of them, dated outside it
    uint64_t m_nRunsOnAt = 0;        // the first picture dated after the first record
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

// Which stretches of the range the excerpt holds, each with its dates and source offsets.
std::string StretchLines(const CExcerptRange& range)
{
    const size_t count = range.m_stretches.size();
    std::string text = "Stretches copied: " + std::to_string(count)
                     + (count > 1 ? " (the clock was set back: the range was recorded more than once)\n" : "\n");
    for (size_t i = 0; i < count; ++i) {
        const CExcerptStretch& s = range.m_stretches[i];
        char line[256];
        std::snprintf(line, sizeof line, "    %zu: %s to %s, %llu records, offsets %llu to %llu of the source\n", i + 1,
                      s.m_first.ToIsoString().c_str(), s.m_last.ToIsoString().c_str(), (unsigned long long)s.m_nRecords,
                      (unsigned long long)s.m_nStart, (unsigned long long)(s.m_nEnd - 1));
        text += line;
    }
    if (range.m_nOutside)
        text += "Between them:     " + std::to_string(range.m_nOutside)
              + " records dated outside the range, copied as they lie\n";
    return text;
}

// Said only when there are some, so that a note without bookmarks reads as it always did.
std::string BookmarkLines(const CBookmarks& bookmarks)
{
    if (bookmarks.empty())
        return {};
    std::string text = "Bookmarks:        " + std::to_string(bookmarks.size()) + " set within the span copied\n";
    for (const CBookmark& b : bookmarks)
        text += "    " + BookmarkLine(b) + "\n";
    return text;
}

std::string SignatureLine(const CExcerptFiles& files, const CSigningOutcome& signing)
{
    return !signing.m_strFingerprint.empty() ? "Signed by:        " + signing.SignedBy() + ", in " + FileName(files.m_strSignature) + "\n"
                             : "Signed by:        nobody, not signed: " + signing.m_strReason + "\n";
}

std::string Note(const CExcerptFiles& files, const CExcerptOrigin& origin, const CExcerptRange& range,
                 const CExcerptResult& result, const CSigningOutcome& signing)
{
    const std::string source = std::filesystem::absolute(origin.m_strSource).lexically_normal().string();
    char head[2048], tail[1024];
    std::snprintf(head, sizeof head,
                  "Excerpt of a DVR recording, copied bit for bit by %s (KVXPlayer %s).\n"
                  "Source:           %s\n"
                  "Source size:      %llu bytes\n"
                  "Source SHA-256:   %s\n"
                  "Range asked for:  %s to %s\n"
                  "Records copied:   %llu, dated %s to %s\n",
                  origin.m_strMadeBy.c_str(), KVX_VERSION, source.c_str(), (unsigned long long)result.m_nSourceSize,
                  result.m_strSourceSha256.c_str(), origin.m_from.ToIsoString().c_str(),
                  origin.m_to.ToIsoString().c_str(), (unsigned long long)range.m_nRecords,
                  range.m_first.ToIsoString().c_str(), range.m_last.ToIsoString().c_str());
    std::snprintf(tail, sizeof tail,
                  "Offsets copied:   0 to %llu (reserved area), then %llu to %llu of the source\n"
                  "Excerpt:          %s, %llu bytes\n"
                  "Excerpt SHA-256:  %s\n",
                  (unsigned long long)(RECORD_AREA_OFFSET - 1), (unsigned long long)range.m_nStart,
                  (unsigned long long)(range.m_nEnd - 1), FileName(files.m_strExcerpt).c_str(),
                  (unsigned long long)result.m_nExcerptSize, result.m_strExcerptSha256.c_str());
    const CBookmarks copied = BookmarksAt(origin.m_bookmarks, range.m_nStart, range.m_nEnd - 1);
    return head + StretchLines(range) + BookmarkLines(copied) + tail + SignatureLine(files, signing);
}

} // namespace

CExcerptFiles::CExcerptFiles(const std::string& excerpt)
    : m_strExcerpt(excerpt), m_strSums(excerpt + ".sha256"), m_strSignature(m_strSums + ".sig"),
      m_strNote(excerpt + ".txt")
{
}

std::string CExcerptFiles::FirstTaken() const
{
    for (const std::string& path : {m_strExcerpt, m_strSums, m_strSignature, m_strNote}) {
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

    CRecordWalker walker(LayoutForChannelCount(facts.m_nChannelCount).value_or(facts.m_layout));
    if (!walker.Open(path)) {
        range.m_status = CExcerptRange::EStatus::ReadFailed;
        range.m_strError = walker.ErrorText();
        return range;
    }
    CRangeSink sink(range, DateTimeToOrderKey(from), DateTimeToOrderKey(to));
    if (!walker.Walk(RECORD_AREA_OFFSET, sink)) {
        range.m_status = CExcerptRange::EStatus::ReadFailed;
        range.m_strError = walker.ErrorText();
        return range;
    }
    range.m_bRunsOn = sink.RunsOn();
    range.m_status = range.m_nRecords ? CExcerptRange::EStatus::Found : CExcerptRange::EStatus::InGap;
    if (range.m_status == CExcerptRange::EStatus::InGap)
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
                          const CExcerptResult& result, CSigningOutcome& signing, std::string& error)
{
    // The note names its signer before the sums that cover it are signed, so that
    // a changed note fails verification as a changed excerpt does.
    const CUserSigner signer;
    const std::string note = Note(files, origin, range, result, signer.Prospect());
    if (!WriteNewTextFile(files.m_strNote, note, origin.m_strSource, error)) {
        std::remove(files.m_strExcerpt.c_str());
        return false;
    }
    CSha256 noteHash;
    noteHash.Add(note.data(), note.size());
    const std::string sums = Sha256SumLine(result.m_strExcerptSha256, FileName(files.m_strExcerpt))
                           + Sha256SumLine(noteHash.HexDigest(), FileName(files.m_strNote));
    if (!WriteNewTextFile(files.m_strSums, sums, origin.m_strSource, error)) {
        std::remove(files.m_strNote.c_str());
        std::remove(files.m_strExcerpt.c_str());
        return false;
    }
    signing = signer.Sign(files.m_strSums);
    return true;
}
