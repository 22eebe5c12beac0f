#pragma once

#include "evidence/bookmark.h"
#include "evidence/recordingexcerpt.h"
#include "platform/sumsignature.h"
#include "recording/datetime.h"
#include "recording/recordingprobe.h"

#include <string>

// One excerpt from start to end, as kvxtool excerpt and the player's "Save excerpt…"
// both make it: the range found by reading the whole recording, the copy written bit
// for bit, then its sums, signature and note. Nothing is replaced: when any of the
// files exists already, none is written. A signature that cannot be made leaves the
// excerpt written but unsigned, as Signing() says.
//
// Any one thread; the player runs it on a worker of its own.
class CExcerptJob {
public:
    struct CRequest {
        std::string m_strSource; // the recording, probed into the facts given
        CDateTime m_from, m_to;
        std::string m_strOut;    // the excerpt's path; its companions are named after it
        std::string m_strMadeBy = "kvxtool excerpt"; // for the note
    };

    // `bookmarks` of the source: those in the range are listed in the note.
    CExcerptJob(CRequest request, const CRecordingFacts& facts, const CBookmarks& bookmarks);

    // False when nothing is left written: Error() says which file and why.
    bool Run();

    const std::string& Error() const { return m_strError; }
    const CExcerptFiles& Files() const { return m_files; }
    const CExcerptRange& Range() const { return m_range; }
    const CExcerptResult& Result() const { return m_result; }
    const CSigningOutcome& Signing() const { return m_signing; }

private:
    std::string NothingText() const;
    std::string OneSecondText() const;

    const CRequest m_request;
    const CRecordingFacts m_facts;
    const CBookmarks m_bookmarks;
    const CExcerptFiles m_files;
    CExcerptRange m_range;
    CExcerptResult m_result;
    CSigningOutcome m_signing;
    std::string m_strError;
};
