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
           "  filter IN.bmp OUT.bmp OP [OP ...] [--force]\n"
           "                       Run the snapshot editor's picture commands on a bitmap\n"
           "                       file, in the order given, and write the result to\n"
           "                       OUT.bmp. OP is bright (+10), dark (-10), sharpen, blur,\n"
           "                       despeckle or contrast (spread from mid-grey, factor 10).\n"
           "                       IN.bmp must be a bitmap the editor loads (\"BM\" and a\n"
           "                       size field equal to its size; 24-bit pixels). An\n"
           "                       existing OUT.bmp is replaced only with --force, and never\n"
           "                       when it is IN.bmp. Exit 1 when IN.bmp is refused (OUT.bmp\n"
           "                       is then not written) or OUT.bmp may not be written.\n"
           "  snapshot FILE --channel N --at \"YYYY-MM-DD HH:MM:SS\" [--out DIR] [--json]\n"
           "                       Save the picture of camera N (1..16, as the player\n"
           "                       numbers them) that forward play shows first at or after\n"
           "                       the time, drawn as the one-camera layout shows it (720 x\n"
           "                       480, or 720 x 576 for PAL recordings, with its date-time\n"
           "                       and camera number), as the editor's save button saves it:\n"
           "                       a JPEG named after the picture's time, e.g.\n"
           "                       20240115_093005.jpg, then name(1).jpg, ... never replacing\n"
           "                       a file. DIR defaults to where the editor saves (Backup/\n"
           "                       beside kvxtool, or ~/Pictures/KVXPlayer/Backup/ when that\n"
           "                       folder is read-only) and is created when missing. --json\n"
           "                       prints one JSON object:\n"
           "                       {\"file\",\"time\",\"channel\",\"width\",\"height\"}.\n"
           "                       Exit 1 when the recording is refused or has no such\n"
           "                       picture.\n"
           "  report FILE [--json] [--gap SECONDS] [--no-hash]\n"
           "                       Read the whole file once, to its very end (past where\n"
           "                       forward play stops), and report: its size and SHA-256\n"
           "                       (--no-hash skips it), the probe's facts; per camera the\n"
           "                       pictures, first and last date-time and the gaps longer\n"
           "                       than SECONDS (default 10) between its pictures; clock\n"
           "                       jumps (time going back, or forward by more than the\n"
           "                       gap, between consecutive records); damaged stretches\n"
           "                       (blocks that are no header, headers with invalid\n"
           "                       dates, pictures over 8 units, pictures cut off); the\n"
           "                       pictures that do not decode and the audio blocks. Every\n"
           "                       picture is counted under the camera its bar code names;\n"
           "                       a gap's or jump's offset is the header of the record\n"
           "                       after it. --json prints one JSON object: {\"file\",\n"
           "                       \"size\",\"sha256\",\"probe\",\"records\",\"pictures\",\n"
           "                       \"channels\":[{\"channel\" (from 1),\"pictures\",\"first\",\n"
           "                       \"last\",\"gaps\":[{\"from\",\"to\",\"offset\"}]}],\n"
           "                       \"clock_jumps\":[{\"offset\",\"from\",\"to\"}],\n"
           "                       \"damaged\":[{\"offset\",\"bytes\",\"what\"}],\n"
           "                       \"undecodable\",\"audio_blocks\"}. Pictures are decoded\n"
           "                       on every core; a bar on a terminal shows the progress.\n"
           "  excerpt FILE --from \"YYYY-MM-DD HH:MM:SS\" --to \"YYYY-MM-DD HH:MM:SS\"\n"
           "          --out OUT.kvx\n"
           "                       Copy the records from the first dated at or after --from\n"
           "                       to the last dated at or before --to, bit for bit with\n"
           "                       whatever lies between them, after a copy of the source's\n"
           "                       reserved area: a recording of its own that the player and\n"
           "                       every command open. Beside it OUT.kvx.sha256 (for\n"
           "                       sha256sum -c) and OUT.kvx.txt naming the source, its\n"
           "                       SHA-256, the range, the offsets copied and the version.\n"
           "                       None of the three may exist: nothing is ever replaced.\n"
           "                       Exit 1 when the range holds no record.\n"
           "  --help               Show this text.\n"
           "\n"
           "frames and bench read on as forward play does and stop at the end of the file\n"
           "when no picture before it ends forward play.\n"
           "\n"
           "Exit status: 0 on success; 1 when the file is not a playable recording or an\n"
           "output file cannot be written (the reason, e.g. \" Unknown CD \", goes to\n"
           "standard error) or, for filter and snapshot, as said above; 2 for usage errors.\n";
}
