#include "evidence/excerptjob.h"
#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/consolebookmarks.h"
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
    "                       every command open. Beside it OUT.kvx.txt naming the\n"
    "                       source, its SHA-256, the range, the offsets copied, your\n"
    "                       bookmarks within them, the version and the signing key's\n"
    "                       fingerprint, and OUT.kvx.sha256 over both (for sha256sum\n"
    "                       -c); OUT.kvx.sha256.sig signs the sums with your key\n"
    "                       (see key and verify). A key that\n"
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

// The excerpt, its sums, signature and note; the reason on standard error when it
// cannot be made, and why it is unsigned when the signature could not be made.
int Run(const std::vector<std::string>& args)
{
    CExcerptArgs a;
    if (!Parse(args, a))
        return UsageError(EXCERPT_COMMAND.m_szSynopsis);
    CRecordingFacts facts;
    if (!CConsoleProbeView::Probe(a.m_strFile, facts))
        return EXIT_PROBE_FAILED;
    CExcerptJob job({a.m_strFile, a.m_from, a.m_to, a.m_strOut}, facts, ConsoleBookmarks(a.m_strFile));
    if (!job.Run()) {
        std::fprintf(stderr, "kvxtool: %s\n", job.Error().c_str());
        return EXIT_PROBE_FAILED;
    }
    const CExcerptFiles& files = job.Files();
    const CExcerptRange& range = job.Range();
    if (!job.Signing().m_bSigned)
        std::fprintf(stderr, "kvxtool: %s is written but not signed: %s\n", files.m_strExcerpt.c_str(),
                     job.Signing().m_strReason.c_str());
    std::printf("%s: %llu records, %s to %s, %llu bytes\n%s\n", files.m_strExcerpt.c_str(),
                (unsigned long long)range.m_nRecords, range.m_first.ToIsoString().c_str(),
                range.m_last.ToIsoString().c_str(), (unsigned long long)job.Result().m_nExcerptSize,
                files.m_strSums.c_str());
    if (job.Signing().m_bSigned)
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
