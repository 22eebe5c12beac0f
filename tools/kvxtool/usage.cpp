#include "tools/kvxtool/usage.h"

#include <cstdio>

bool ParseFileAndJson(const std::vector<std::string>& args, CCommandArgs& out)
{
    for (const std::string& arg : args) {
        if (arg == "--json")
            out.m_bJson = true;
        else if (arg.starts_with("--") || !out.m_strFile.empty())
            return false;
        else
            out.m_strFile = arg;
    }
    return !out.m_strFile.empty();
}

int UsageError(const char* synopsis)
{
    std::fprintf(stderr, "usage: kvxtool %s\nTry 'kvxtool --help' for more information.\n", synopsis);
    return EXIT_USAGE;
}

const char* HelpText()
{
    return "usage: kvxtool COMMAND [ARGUMENTS]\n"
           "\n"
           "The command-line side of KVXPlayer: reads DVR backup recordings (.kvx) the way\n"
           "the player does and prints what it finds. Recordings are only ever read.\n"
           "\n"
           "Commands:\n"
           "  info FILE [--json]   Probe the recording: channel count (4 or 16), header\n"
           "                       layout, first and last record date-time, first sector,\n"
           "                       sector span, the offset where forward play stops, audio,\n"
           "                       and the file size. --json prints one JSON object:\n"
           "                       {\"channels\",\"layout\",\"start\",\"end\",\"end_valid\",\n"
           "                        \"first_sector\",\"sector_span\",\"end_offset\",\"audio\",\"size\"}\n"
           "                       with date-times as \"YYYY-MM-DD HH:MM:SS\" or null.\n"
           "  frames FILE [--json] Read the recording as forward play does, from its first\n"
           "                       record to the offset where forward play stops, and print\n"
           "                       one line per delivered record: header offset, kind, date-\n"
           "                       time, group length, audio mode, picture bytes, the channel\n"
           "                       read from the picture's bar code and whether the row mark\n"
           "                       is there. --json prints one JSON object per line:\n"
           "                       {\"offset\",\"kind\",\"time\",\"group\",\"audio_mode\",\"bytes\",\n"
           "                        \"channel\",\"mark\"}; channel is 255 when the picture cannot\n"
           "                       be decoded, and null with mark for audio-only records.\n"
           "                       Channels count from 0; tiles show them as 01, 02, ...\n"
           "  locate FILE --at \"YYYY-MM-DD HH:MM:SS\" [--json]\n"
           "                       The record the player shows for that moment: its header\n"
           "                       offset and date-time. On a recording whose time only runs\n"
           "                       forward, the first record in forward-play order dated at\n"
           "                       or after the moment; before the first record, the first\n"
           "                       record. --json prints {\"offset\",\"time\",\"gap\"}: gap is\n"
           "                       null, or {\"from\",\"to\"}, the dates of the records on\n"
           "                       either side when the moment falls between two records\n"
           "                       more than a second apart. Exit status 1 also when the\n"
           "                       moment lies after the last record.\n"
           "  bench FILE [--mjpeg OUT [--force]]\n"
           "                       Read and decode every picture as fast as possible and\n"
           "                       print frames/s and megapixels/s. --mjpeg writes the\n"
           "                       repaired JPEG streams one after another to OUT, a new\n"
           "                       file; --force replaces an existing one. The recording\n"
           "                       itself (under any name or link) is never written.\n"
           "  --help               Show this text.\n"
           "\n"
           "frames and bench read on as forward play does and stop at the end of the file\n"
           "when no picture before it ends forward play.\n"
           "\n"
           "Exit status: 0 on success; 1 when the file is not a playable recording or an\n"
           "output file cannot be written (the reason, e.g. \" Unknown CD \", goes to\n"
           "standard error); 2 for usage errors.\n";
}
