#include "evidence/bookmarkstore.h"
#include "platform/jsonline.h"
#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/optionparser.h"

#include <cstdio>

namespace {

constexpr const char* HELP =
    "  bookmarks RECORDING [--json]\n"
    "                       The bookmarks set in the player (B) on this recording, in\n"
    "                       file order, one a line: date-time, header offset, camera\n"
    "                       (or \"several cameras\" when a grid was shown) and note.\n"
    "                       They are kept in KVXPlayer/bookmarks under your data\n"
    "                       folder ($XDG_DATA_HOME, or ~/.local/share), filed under\n"
    "                       the recording's size and a SHA-256 of its first and last\n"
    "                       MiB, never beside it: a copy of the recording anywhere\n"
    "                       has them too. A damaged file there is set aside as\n"
    "                       .damaged-N and named on standard error. --json prints\n"
    "                       {\"file\",\"bookmarks\"}, each bookmark {\"offset\",\"time\",\n"
    "                       \"camera\",\"note\"} (camera 0: several; time null when the\n"
    "                       record had no date). Exit 1 when the recording or its\n"
    "                       bookmarks cannot be read.\n";

void PrintJson(const std::string& file, const CBookmarks& bookmarks)
{
    std::vector<CJsonLine> entries;
    for (const CBookmark& b : bookmarks)
        entries.push_back(CJsonLine()
                              .Add("offset", b.m_nOffset)
                              .AddOrNull("time", b.m_time.ToIsoString())
                              .Add("camera", b.m_nCamera)
                              .Add("note", b.m_strNote));
    std::printf("%s\n", CJsonLine().Add("file", file).AddArray("bookmarks", entries).Text().c_str());
}

void PrintForPerson(const std::string& file, const CBookmarks& bookmarks)
{
    if (bookmarks.empty())
        std::printf("%s has no bookmarks\n", file.c_str());
    for (const CBookmark& b : bookmarks)
        std::printf("%s\n", BookmarkLine(b).c_str());
}

int Run(const std::vector<std::string>& args)
{
    std::string file;
    bool json = false;
    if (!COptionParser().Flag("--json", json).File(file, "RECORDING", "the recording must be named").Parse(args))
        return UsageError(BOOKMARKS_COMMAND.m_szSynopsis);
    CBookmarkStore store;
    std::string message;
    const bool loaded = store.Load(file, message);
    if (!message.empty())
        std::fprintf(stderr, "kvxtool: %s\n", message.c_str());
    // A damaged file set aside leaves a store that holds nothing, and says so above.
    if (!loaded && !store.IsLoaded())
        return EXIT_PROBE_FAILED;
    (json ? PrintJson : PrintForPerson)(file, store.Bookmarks());
    return 0;
}

} // namespace

// What the user marked in a recording in the player, with their notes.
const CCommand BOOKMARKS_COMMAND = {"bookmarks", "bookmarks RECORDING [--json]", HELP, Run};
