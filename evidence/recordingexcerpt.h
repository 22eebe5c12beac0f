#pragma once

#include "evidence/bookmark.h"
#include "recording/datetime.h"
#include "platform/sumsignature.h"
#include "recording/recordingprobe.h"

#include <cstdint>
#include <string>
#include <vector>

// A run of records dated within an excerpt's range, in file order, that no set-back
// of the clock and no record dated outside the range divides.
struct CExcerptStretch {
    uint64_t m_nStart = 0; // source offset of its first header
    uint64_t m_nEnd = 0;   // source offset after its last record
    CDateTime m_first, m_last;
    uint64_t m_nRecords = 0;
};

// The stretch of a recording that an excerpt copies: from the header of the first
// record in file order dated from `from` to `to` to the end of the last one. Where the
// clock was set back, the range can be recorded more than once: the span then holds
// every stretch of it, and the records between them dated outside it.
struct CExcerptRange {
    enum class EStatus { Found, AfterEnd, InGap, NoRecords, ReadFailed };
    EStatus m_status = EStatus::NoRecords;
    uint64_t m_nStart = 0; // source offset of the first header copied
    uint64_t m_nEnd = 0;   // source offset after the last record copied
    uint64_t m_nRecords = 0;   // every record in the span
    uint64_t m_nOutside = 0;   // of them, dated outside the range (between stretches)
    CDateTime m_first, m_last; // dates of the first and last record copied
    std::vector<CExcerptStretch> m_stretches; // in file order
    // A picture dated after the first record follows it: without one, every record
    // carries the first one's second, and the probe refuses such a recording.
    bool m_bRunsOn = false;
    CDateTime m_next;          // InGap: the first record after `from`, already past `to`
    std::string m_strError;    // ReadFailed
};

// Finds the range by reading the recording's records from the first to the end of the
// file: only a whole read finds every time the clock came back into the range. Any
// one thread.
CExcerptRange FindExcerptRange(const std::string& path, const CRecordingFacts& facts, const CDateTime& from,
                               const CDateTime& to);

// What writing an excerpt produced.
struct CExcerptResult {
    std::string m_strSourceSha256, m_strExcerptSha256;
    uint64_t m_nSourceSize = 0, m_nExcerptSize = 0;
    std::string m_strError; // empty on success
};

// The files an excerpt makes: the copy, its sums (for sha256sum -c), their signature
// and the note of where it came from. None may exist beforehand.
struct CExcerptFiles {
    explicit CExcerptFiles(const std::string& excerpt);
    // The first of them that exists already (a link counts), or empty.
    std::string FirstTaken() const;

    std::string m_strExcerpt, m_strSums, m_strSignature, m_strNote;
};

// Reads the source once from start to end, hashing all of it, and writes to `out`
// its reserved area and the bytes of `range`, exactly as they are. `out` must be a
// new file; nothing is replaced, and on failure the new file is removed again.
CExcerptResult WriteExcerpt(const std::string& source, const CExcerptRange& range, const std::string& out);

// What the note beside an excerpt says: the source, the range asked for, what was
// copied, and those of the user's bookmarks that lie in the copy.
struct CExcerptOrigin {
    std::string m_strSource;
    CDateTime m_from, m_to;
    CBookmarks m_bookmarks;
    std::string m_strMadeBy = "kvxtool excerpt"; // what copied it, as the note says
};

// Writes the note, which names the user's key or why there is none, then the sums of
// the excerpt and the note, and signs them: new files all. Without sums and note it
// is not vouched for: when either cannot be written, it, the excerpt and whatever was
// written beside it are removed, and `error` says which file failed and why. A
// signature that cannot be made leaves the excerpt unsigned, as `signing` says.
bool WriteExcerptSidecars(const CExcerptFiles& files, const CExcerptOrigin& origin, const CExcerptRange& range,
                          const CExcerptResult& result, CSigningOutcome& signing, std::string& error);
