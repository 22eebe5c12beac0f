#include "tools/kvxtool/excerptcommand.h"

#include "platform/outputfile.h"
#include "platform/sha256.h"
#include "tools/kvxtool/consoleprobeview.h"
#include "evidence/recordingexcerpt.h"
#include "tools/kvxtool/usage.h"

#include <cstdio>
#include <filesystem>

namespace {

constexpr const char* SYNOPSIS = "excerpt RECORDING --from \"YYYY-MM-DD HH:MM:SS\" --to \"YYYY-MM-DD HH:MM:SS\" --out FILE.kvx";

struct CExcerptArgs {
    std::string m_strFile, m_strOut;
    CDateTime m_from, m_to;
};

bool Parse(const std::vector<std::string>& args, CExcerptArgs& out)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--from" && hasValue) {
            if (!ParseDateTimeArg(arg, args[++i], out.m_from))
                return false;
        } else if (arg == "--to" && hasValue) {
            if (!ParseDateTimeArg(arg, args[++i], out.m_to))
                return false;
        } else if (arg == "--out" && hasValue) {
            if ((out.m_strOut = args[++i]).empty())
                return Refuse("--out", "the excerpt's name is empty");
        } else if (arg.starts_with("-") || !out.m_strFile.empty()) {
            return RefuseStray(arg, {"--from", "--to", "--out"});
        } else {
            out.m_strFile = arg;
        }
    }
    if (out.m_strFile.empty())
        return Refuse("RECORDING", "the recording to copy from must be named");
    if (!out.m_from.IsValid() || !out.m_to.IsValid())
        return Refuse(out.m_from.IsValid() ? "--to" : "--from", "both ends of the range must be given");
    if (out.m_strOut.empty())
        return Refuse("--out", "the excerpt's file must be named");
    if (DateTimeToOrderKey(out.m_to) < DateTimeToOrderKey(out.m_from))
        return Refuse("--to " + out.m_to.ToIsoString(), "it lies before --from " + out.m_from.ToIsoString());
    return true;
}

bool Exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

std::string FileName(const std::string& path)
{
    return std::filesystem::path(path).filename().string();
}

// Writes a small new text file; an existing one is never replaced, and one begun
// and not completed is removed.
bool WriteNewTextFile(const std::string& path, const std::string& text, const std::string& source)
{
    COutputFile file;
    if (file.Create(path, false, {source}) != COutputFile::ECreate::Created) {
        std::fprintf(stderr, "kvxtool: cannot write %s: %s\n", path.c_str(),
                     file.ErrorText().empty() ? "it exists already" : file.ErrorText().c_str());
        return false;
    }
    if (!file.Write(text.data(), text.size()) || !file.Close()) {
        std::fprintf(stderr, "kvxtool: cannot write %s: %s\n", path.c_str(), file.ErrorText().c_str());
        std::remove(path.c_str());
        return false;
    }
    return true;
}

std::string Note(const CExcerptArgs& a, const CExcerptRange& range, const CExcerptResult& result)
{
    const std::string source = std::filesystem::absolute(a.m_strFile).lexically_normal().string();
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
                  result.m_strSourceSha256.c_str(), a.m_from.ToIsoString().c_str(), a.m_to.ToIsoString().c_str(),
                  (unsigned long long)range.m_nRecords, range.m_first.ToIsoString().c_str(),
                  range.m_last.ToIsoString().c_str(), (unsigned long long)(kvx::RECORD_AREA_OFFSET - 1),
                  (unsigned long long)range.m_nStart, (unsigned long long)(range.m_nEnd - 1),
                  FileName(a.m_strOut).c_str(), (unsigned long long)result.m_nExcerptSize,
                  result.m_strExcerptSha256.c_str());
    return text;
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

// The excerpt's sums and note. Without both it is not vouched for, so when either
// cannot be written the excerpt and whatever was written beside it are removed,
// as when the excerpt itself fails.
bool WriteSidecars(const CExcerptArgs& a, const CExcerptRange& range, const CExcerptResult& result)
{
    const std::string sumPath = a.m_strOut + ".sha256", notePath = a.m_strOut + ".txt";
    if (!WriteNewTextFile(sumPath, Sha256SumLine(result.m_strExcerptSha256, FileName(a.m_strOut)), a.m_strFile)) {
        std::remove(a.m_strOut.c_str());
        return false;
    }
    if (!WriteNewTextFile(notePath, Note(a, range, result), a.m_strFile)) {
        std::remove(sumPath.c_str());
        std::remove(a.m_strOut.c_str());
        return false;
    }
    return true;
}

} // namespace

int RunExcerptCommand(const std::vector<std::string>& args)
{
    CExcerptArgs a;
    if (!Parse(args, a))
        return UsageError(SYNOPSIS);
    const std::string sumPath = a.m_strOut + ".sha256", notePath = a.m_strOut + ".txt";
    for (const std::string& path : {a.m_strOut, sumPath, notePath}) {
        if (Exists(path)) {
            std::fprintf(stderr, "kvxtool: %s exists already; an excerpt never replaces a file\n", path.c_str());
            return EXIT_PROBE_FAILED;
        }
    }
    CRecordingFacts facts;
    CConsoleProbeView probeView;
    if (!CRecordingProbe(facts, probeView).ProbeRecording(a.m_strFile))
        return EXIT_PROBE_FAILED;
    const CExcerptRange range = FindExcerptRange(a.m_strFile, facts, a.m_from, a.m_to);
    if (range.m_status != CExcerptRange::EStatus::Found) {
        std::fprintf(stderr, "kvxtool: %s\n", NothingText(a, range, facts).c_str());
        return EXIT_PROBE_FAILED;
    }
    if (!range.m_bRunsOn) {
        std::fprintf(stderr,
                     "kvxtool: %s: every record from %s to %s is dated %s; an excerpt needs a later one to be a "
                     "recording the player opens: take a range of two seconds or more\n",
                     a.m_strFile.c_str(), a.m_from.ToIsoString().c_str(), a.m_to.ToIsoString().c_str(),
                     range.m_first.ToIsoString().c_str());
        return EXIT_PROBE_FAILED;
    }
    const CExcerptResult result = WriteExcerpt(a.m_strFile, range, a.m_strOut);
    if (!result.m_strError.empty()) {
        std::fprintf(stderr, "kvxtool: %s\n", result.m_strError.c_str());
        return EXIT_PROBE_FAILED;
    }
    if (!WriteSidecars(a, range, result))
        return EXIT_PROBE_FAILED;
    std::printf("%s: %llu records, %s to %s, %llu bytes\n%s\n%s\n", a.m_strOut.c_str(),
                (unsigned long long)range.m_nRecords, range.m_first.ToIsoString().c_str(),
                range.m_last.ToIsoString().c_str(), (unsigned long long)result.m_nExcerptSize, sumPath.c_str(),
                notePath.c_str());
    return 0;
}
