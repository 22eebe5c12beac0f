#include "evidence/bookmarkstore.h"
#include "evidence/recordingexcerpt.h"
#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "tools/kvxtool/optionparser.h"

#include <cstdio>

namespace {

constexpr const char* HELP =
    "  excerpt FILE --from \"YYYY-MM-DD HH:MM:SS\" --to \"YYYY-MM-DD HH:MM:SS\"\n"
    "          --out OUT.kvx\n"
    "                       Copy the records from the first dated at or after --from\n"
    "                       to the last dated at or before --to, bit for bit with\n"
    "                       whatever lies between them, after a copy of the source's\n"
    "                       reserved area: a recording of its own that the player and\n"
    "                       every command open. Beside it OUT.kvx.sha256 (for\n"
    "                       sha256sum -c) and OUT.kvx.txt naming the source, its\n"
    "                       SHA-256, the range, the offsets copied, your bookmarks\n"
    "                       within them, the version and the signing key's\n"
    "                       fingerprint; OUT.kvx.sha256.sig signs\n"
    "                       the sums with your key (see key and verify). A key that\n"
    "                       cannot be had leaves the excerpt unsigned, and says why.\n"
    "                       Where the clock was set back and the range was recorded\n"
    "                       more than once, the copy runs from the first record in\n"
    "                       the file dated within the range to the last, holding\n"
    "                       every stretch of it, and the note lists each stretch\n"
    "                       (its dates and offsets in the source).\n"
    "                       None of the four may exist: nothing is ever replaced,\n"
    "                       and when one cannot be written none is left. Exit 1\n"
    "                       when the range holds no record, or only records of\n"
    "                       one second (the excerpt would not open).\n";

struct CExcerptArgs {
    std::string m_strFile, m_strOut;
    CDateTime m_from, m_to;
};

bool Parse(const std::vector<std::string>& args, CExcerptArgs& out)
{
    return COptionParser()
               .DateTime("--from", out.m_from)
               .DateTime("--to", out.m_to)
               .Text("--out", out.m_strOut, "the excerpt's name is empty")
               .File(out.m_strFile, "RECORDING", "the recording to copy from must be named")
               .Parse(args)
        && ((out.m_from.IsValid() && out.m_to.IsValid())
            || Refuse(out.m_from.IsValid() ? "--to" : "--from", "both ends of the range must be given"))
        && (!out.m_strOut.empty() || Refuse("--out", "the excerpt's file must be named"))
        && (DateTimeToOrderKey(out.m_to) >= DateTimeToOrderKey(out.m_from)
            || Refuse("--to " + out.m_to.ToIsoString(), "it lies before --from " + out.m_from.ToIsoString()));
}

// Why there is nothing to copy, for standard error.
std::string NothingText(const CExcerptArgs& a, const CExcerptRange& range, const CRecordingFacts& facts)
{
    switch (range.m_status) {
    case CExcerptRange::EStatus::AfterEnd:
        return "no recording at or after " + a.m_from.ToIsoString()
             + (facts.m_timeEnd.IsValid() ? "; the recording ends at " + facts.m_timeEnd.ToIsoString() : "");
    case CExcerptRange::EStatus::InGap:
        return "no recording between " + a.m_from.ToIsoString() + " and " + a.m_to.ToIsoString()
             + "; the next record is dated " + range.m_next.ToIsoString();
    case CExcerptRange::EStatus::NoRecords:
        return "no record of the recording has a valid date";
    default:
        return "Can not read KVX file.\n" + a.m_strFile + "\n" + range.m_strError;
    }
}

// An excerpt of records of one second would not open: the probe needs a later date.
bool RefuseOneSecond(const CExcerptArgs& a, const CExcerptRange& range)
{
    std::fprintf(stderr,
                 "kvxtool: %s: every record from %s to %s is dated %s; an excerpt needs a later one to be a "
                 "recording the player opens: take a range of two seconds or more\n",
                 a.m_strFile.c_str(), a.m_from.ToIsoString().c_str(), a.m_to.ToIsoString().c_str(),
                 range.m_first.ToIsoString().c_str());
    return false;
}

// The user's bookmarks in the span copied, for the note. Bookmarks that cannot be
// had cost the excerpt nothing: why goes to standard error.
CBookmarks BookmarksWithin(const std::string& recording, const CExcerptRange& range)
{
    std::string message;
    const CBookmarks bookmarks = CBookmarkStore::BookmarksOf(recording, message);
    if (!message.empty())
        std::fprintf(stderr, "kvxtool: %s\n", message.c_str());
    return BookmarksAt(bookmarks, range.m_nStart, range.m_nEnd - 1);
}

// The excerpt, then its sums, signature and note; the reason on standard error when
// any fails, and why it is unsigned when the signature could not be made.
bool WriteFiles(const CExcerptArgs& a, const CExcerptFiles& files, const CExcerptRange& range,
                CExcerptResult& result, CSigningOutcome& signing)
{
    result = WriteExcerpt(a.m_strFile, range, files.m_strExcerpt);
    std::string error = result.m_strError;
    if (error.empty())
        WriteExcerptSidecars(files, {a.m_strFile, a.m_from, a.m_to, BookmarksWithin(a.m_strFile, range)}, range,
                             result, signing, error);
    if (!error.empty())
        std::fprintf(stderr, "kvxtool: %s\n", error.c_str());
    else if (!signing.m_bSigned)
        std::fprintf(stderr, "kvxtool: %s is written but not signed: %s\n", files.m_strExcerpt.c_str(),
                     signing.m_strReason.c_str());
    return error.empty();
}

int Run(const std::vector<std::string>& args)
{
    CExcerptArgs a;
    if (!Parse(args, a))
        return UsageError(EXCERPT_COMMAND.m_szSynopsis);
    const CExcerptFiles files(a.m_strOut);
    if (const std::string taken = files.FirstTaken(); !taken.empty()) {
        std::fprintf(stderr, "kvxtool: %s exists already; an excerpt never replaces a file\n", taken.c_str());
        return EXIT_PROBE_FAILED;
    }
    CRecordingFacts facts;
    if (!CConsoleProbeView::Probe(a.m_strFile, facts))
        return EXIT_PROBE_FAILED;
    const CExcerptRange range = FindExcerptRange(a.m_strFile, facts, a.m_from, a.m_to);
    if (range.m_status != CExcerptRange::EStatus::Found) {
        std::fprintf(stderr, "kvxtool: %s\n", NothingText(a, range, facts).c_str());
        return EXIT_PROBE_FAILED;
    }
    CExcerptResult result;
    CSigningOutcome signing;
    if ((!range.m_bRunsOn && !RefuseOneSecond(a, range)) || !WriteFiles(a, files, range, result, signing))
        return EXIT_PROBE_FAILED;
    std::printf("%s: %llu records, %s to %s, %llu bytes\n%s\n", files.m_strExcerpt.c_str(),
                (unsigned long long)range.m_nRecords, range.m_first.ToIsoString().c_str(),
                range.m_last.ToIsoString().c_str(), (unsigned long long)result.m_nExcerptSize,
                files.m_strSums.c_str());
    if (signing.m_bSigned)
        std::printf("%s\n", files.m_strSignature.c_str());
    std::printf("%s\n", files.m_strNote.c_str());
    if (range.m_stretches.size() > 1)
        std::printf("It holds %zu stretches of the range: the clock was set back (see %s)\n", range.m_stretches.size(),
                    files.m_strNote.c_str());
    return 0;
}

} // namespace

// The records of a time range copied bit for bit into a recording of their own, with
// FILE.kvx.sha256 and a note of where they came from (FILE.kvx.txt).
const CCommand EXCERPT_COMMAND = {
    "excerpt", "excerpt RECORDING --from \"YYYY-MM-DD HH:MM:SS\" --to \"YYYY-MM-DD HH:MM:SS\" --out FILE.kvx", HELP,
    Run};
