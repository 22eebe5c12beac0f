#include "tools/kvxtool/usage.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

bool ParseFileAndJson(const std::vector<std::string>& args, CCommandArgs& out)
{
    for (const std::string& arg : args) {
        if (arg == "--json")
            out.m_bJson = true;
        else if (arg.starts_with("-") || !out.m_strFile.empty())
            return RefuseStray(arg, {});
        else
            out.m_strFile = arg;
    }
    return !out.m_strFile.empty() || Refuse("FILE", "the recording to read must be named");
}

bool Refuse(const std::string& what, const std::string& reason)
{
    std::fprintf(stderr, "kvxtool: %s: %s\n", what.c_str(), reason.c_str());
    return false;
}

bool RefuseStray(const std::string& arg, std::initializer_list<const char*> valueOptions)
{
    if (std::find(valueOptions.begin(), valueOptions.end(), arg) != valueOptions.end())
        return Refuse(arg, "a value must follow it");
    if (arg.starts_with("-"))
        return Refuse(arg, "the command has no such option");
    return Refuse(arg, "one file is taken, and it is named already");
}

bool ParseIntIn(const std::string& text, int low, int high, int& value)
{
    int parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high)
        return false;
    value = parsed;
    return true;
}

bool ParseDateTimeArg(const std::string& option, const std::string& text, CDateTime& out)
{
    out = CDateTime::FromIsoString(text);
    return out.IsValid() || Refuse(option + " " + text, "not a date-time \"YYYY-MM-DD HH:MM:SS\"");
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
           "                       picture, or when N is not one of its cameras.\n"
           "  export RECORDING --channel N|N,N,...|all [--from T] [--to T] [--fps F]\n"
           "         [--size 360x240|720x480] [--out DIR] [--json]\n"
           "                       Export camera N (1 to the recording's channel count) as\n"
           "                       the player's backup window does: every picture of the\n"
           "                       camera that forward play delivers, from the first record\n"
           "                       to where forward play stops, becomes one Motion-JPEG\n"
           "                       frame of NN_Capture.avi (NN_Capture(01).avi, ... when the\n"
           "                       name is taken), cropped, scaled to the size (default\n"
           "                       360x240) and stamped with the camera number and the\n"
           "                       recording's date-time. F is the AVI's frame rate, 1..60\n"
           "                       (default 10). Beside it: NN_Capture.log (the first and\n"
           "                       last record's date-time, camera, rate and size) and\n"
           "                       NN_Capture.sha256 for `sha256sum -c`. DIR defaults to the\n"
           "                       player's avi folder (avi/ beside kvxtool, or\n"
           "                       ~/Videos/KVXPlayer/avi/ when that folder is read-only)\n"
           "                       and is created when missing. On a terminal a progress\n"
           "                       bar goes to standard error. --json prints one JSON\n"
           "                       object: {\"avi\",\"log\",\"frames\",\"channel\",\"fps\",\n"
           "                        \"width\",\"height\"}. Exit 1 when the recording is\n"
           "                       refused (no file is made) or an export cannot be\n"
           "                       written: every camera's export then ends with the\n"
           "                       frames written before, its log ends at the last of\n"
           "                       them, it gets NN_Capture.INCOMPLETE.txt (the reason\n"
           "                       and the frames) instead of the .sha256, and each\n"
           "                       camera's stop is said with its file and the reason;\n"
           "                       2 for a camera, rate or size outside those given.\n"
           "                       --channel 1,3,5 or all exports each of those cameras in\n"
           "                       one pass over the recording, each picture decoded once:\n"
           "                       one AVI, log and .sha256 per camera, named as above;\n"
           "                       --json then prints one object per camera, one a line.\n"
           "                       --from and --to (\"YYYY-MM-DD HH:MM:SS\") export only the\n"
           "                       records dated in that range, and the logs run from the\n"
           "                       first to the last of them; exit 1, and no file made,\n"
           "                       when none is.\n"
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
           "                       None of the three may exist: nothing is ever replaced,\n"
           "                       and when one cannot be written none is left. Exit 1\n"
           "                       when the range holds no record, or only records of\n"
           "                       one second (the excerpt would not open).\n"
           "  --help               Show this text.\n"
           "\n"
           "frames and bench read on as forward play does and stop at the end of the file\n"
           "when no picture before it ends forward play.\n"
           "\n"
           "Exit status: 0 on success; 1 when the file is not a playable recording or an\n"
           "output file cannot be written (the reason, e.g. \" Unknown CD \", goes to\n"
           "standard error) or, for filter and snapshot, as said above; 2 for usage errors,\n"
           "each named with its reason, e.g. \"kvxtool: --fps 0: the rate is 1 to 60\".\n"
           "Folder and file names are taken as the bytes given, UTF-8 or not.\n";
}
