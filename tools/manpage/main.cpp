// kvxtool's manual page, written at build time from its command table, so that the
// page and `kvxtool --help` describe the same commands in the same words.
// usage: manpage VERSION OUT.1

#include "tools/kvxtool/commandtable.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>

namespace {

// In the help text a command's synopsis fills the first columns and its description
// starts here.
constexpr size_t DESCRIPTION_COLUMN = 23;

// roff: a backslash is \e, options read as minus signs, and a line may not start
// with a dot or a quote.
std::string Roff(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\')
            out += "\\e";
        else if (c == '-' && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '[' || text[i - 1] == '-'
                              || text[i - 1] == '|' || text[i - 1] == '('))
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first);
}

// The description part of a command's help paragraph, one roff line per help line.
std::string Description(const CCommand& command)
{
    std::istringstream lines(command.m_szHelp);
    std::string line, text;
    while (std::getline(lines, line)) {
        if (line.size() <= DESCRIPTION_COLUMN)
            continue;
        // A word the help text broke at its hyphen ("date-" / "time") is one word.
        const bool brokenWord = text.size() > 1 && text.back() == '-' && std::isalpha(uint8_t(text[text.size() - 2]));
        text += (text.empty() || brokenWord ? "" : "\n") + Trimmed(line.substr(DESCRIPTION_COLUMN));
    }
    std::istringstream joined(text);
    std::string out;
    while (std::getline(joined, line))
        out += Roff(line) + "\n";
    return out;
}

void PrintHeader(std::FILE* out, const char* version)
{
    std::fprintf(out, ".TH KVXTOOL 1 \"\" \"KVXPlayer %s\" \"User Commands\"\n"
                 // Options and JSON keys read better unbroken and unstretched.
                 ".nh\n.ad l\n"
                ".SH NAME\n"
                "kvxtool \\- read, check and export DVR backup recordings from the command line\n"
                ".SH SYNOPSIS\n",
                version);
    for (const CCommand* command : Commands())
        std::fprintf(out, ".B kvxtool\n%s\n.br\n", Roff(command->m_szSynopsis).c_str());
    std::fprintf(out, ".B kvxtool \\-\\-help\n"
                ".SH DESCRIPTION\n"
                ".B kvxtool\n"
                "is the scriptable side of KVXPlayer. It reads the backup recordings (.kvx) of\n"
                "4- and 16-camera digital video recorders with the player's own code: it\n"
                "probes them, lists their records, finds the record of a moment, reports\n"
                "gaps, clock jumps and damage, finds activity, saves stills and exports\n"
                "working copies (AVI, MP4) and bit-exact excerpts. A recording is only ever\n"
                "read, under any name or link. Every file it writes is new: it never replaces\n"
                "one, and each export names its master recording and carries a .sha256,\n"
                "which it signs with the user's key (.sha256.sig), as it signs its excerpts'\n"
                "and stills' sums; verify checks them.\n"
                ".PP\n"
                "Cameras are numbered from 1, as the player numbers them. Date-times are\n"
                "written \"YYYY-MM-DD HH:MM:SS\", in the recorder's own clock.\n");
}

void PrintCommands(std::FILE* out)
{
    std::fprintf(out, ".SH COMMANDS\n");
    for (const CCommand* command : Commands())
        std::fprintf(out, ".SS %s\n.B kvxtool\n%s\n.PP\n%s", command->m_szName, Roff(command->m_szSynopsis).c_str(),
                    Description(*command).c_str());
    std::fprintf(out, ".SS \\-\\-help\nShows the help text: every command with its options.\n");
}

void PrintFooter(std::FILE* out)
{
    std::fprintf(out, ".SH EXIT STATUS\n"
                ".TP\n.B 0\nSuccess. A search that finds nothing is a success with an empty list.\n"
                ".TP\n.B 1\nThe file is not a playable recording, or an output file cannot be written;\n"
                "the reason goes to standard error with the file's name (e.g. \" Unknown CD \").\n"
                "For filter, snapshot, locate and excerpt also as their sections say. An export\n"
                "cut short ends with the frames written before and an NN_Capture.INCOMPLETE.txt\n"
                "in place of its .sha256.\n"
                ".TP\n.B 2\nA usage error, naming the wrong argument and the reason, e.g.\n"
                "\"kvxtool: \\-\\-fps 0: the rate is 1 to 60\".\n"
                ".SH FILES\n"
                ".TP\n.I ~/Videos/KVXPlayer/avi/\n"
                "Exports, when the program folder cannot be written (else its avi/ folder).\n"
                ".TP\n.I ~/Pictures/KVXPlayer/Backup/\n"
                "Stills, when the program folder cannot be written (else its Backup/ folder).\n"
                ".TP\n.I ~/.config/KVXPlayer/signing/\n"
                "The signing key pair, made on first need (the private key readable by the\n"
                "user alone), and signer, whose first line names who signs (else login@host).\n"
                ".TP\n.I ~/.cache/KVXPlayer/activity/\n"
                "The activity index of each recording searched, kept to be used again; shared\n"
                "with the player. Deleting it is safe.\n"
                ".SH EXAMPLES\n"
                "What a disc holds, and whether anything is missing or damaged:\n"
                ".PP\n.nf\n"
                "kvxtool info /media/cdrom/backup.kvx\n"
                "kvxtool report /media/cdrom/backup.kvx \\-\\-json > report.json\n"
                ".fi\n.PP\n"
                "Where camera 3 saw movement in the left half of its picture:\n"
                ".PP\n.nf\n"
                "kvxtool activity backup.kvx \\-\\-channel 3 \\-\\-region 0,0,0.5,1\n"
                ".fi\n.PP\n"
                "A working copy of camera 2 that plays anywhere, with its sound, and its check:\n"
                ".PP\n.nf\n"
                "kvxtool export backup.kvx \\-\\-channel 2 \\-\\-format mp4 \\-\\-out ~/case\n"
                "cd ~/case && sha256sum \\-c 02_Capture.sha256\n"
                "kvxtool verify ~/case \\-\\-key colleague.pem\n"
                ".fi\n.PP\n"
                "Ten minutes of the recording, bit for bit, as a recording of its own:\n"
                ".PP\n.nf\n"
                "kvxtool excerpt backup.kvx \\-\\-from \"2024\\-03\\-18 14:00:00\" \\e\n"
                "        \\-\\-to \"2024\\-03\\-18 14:10:00\" \\-\\-out excerpt.kvx\n"
                ".fi\n"
                ".SH SEE ALSO\n"
                ".BR kvxplayer (1),\n"
                ".BR sha256sum (1)\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: manpage VERSION OUT.1\n");
        return 2;
    }
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(argv[2], "w"), std::fclose);
    if (!out) {
        std::fprintf(stderr, "manpage: cannot create %s: %s\n", argv[2], std::strerror(errno));
        return 1;
    }
    PrintHeader(out.get(), argv[1]);
    PrintCommands(out.get());
    PrintFooter(out.get());
    return std::ferror(out.get()) ? 1 : 0;
}
