// kvxgen: writes test recordings laid out as the recorder writes them, with the
// faults and variants that the readers must survive.

#include "tools/recgen/recordinggenerator.h"

#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

namespace {

const char* HELP =
    "usage: kvxgen [OPTIONS] OUTPUT\n"
    "\n"
    "Writes a test recording: the reserved area, then pair-swapped records of JPEG\n"
    "pictures (a moving scene per camera with the channel bar code and row mark in\n"
    "the top rows) and, with --audio, bit-reversed audio blocks of four tones.\n"
    "\n"
    "  --channels 4|16            channel count (default 16)\n"
    "  --records N                picture records (default 64)\n"
    "  --start 'Y-M-D H:M:S'      time of the first record (default 2005-01-01 00:00:00)\n"
    "  --seconds-per-record S     record i is stamped start + floor(i * S) (default 1/16)\n"
    "  --group N                  group length written in every header (default: channels)\n"
    "  --size WxH                 picture size (default 720x240 for 4 channels, 352x240 for 16)\n"
    "  --pal                      720x288 pictures\n"
    "  --first-sector N           sector number of the first record (default 1000)\n"
    "  --quality Q                JPEG quality (default 75)\n"
    "  --audio                    4 channels: an audio block after every picture\n"
    "  --audio-only-every N       an audio-only record (kind 0x05) after every Nth picture\n"
    "  --garbage-every N          a garbage block after every Nth picture\n"
    "  --invalid-date LIST        records (0-based, or 'last') stamped with month 13\n"
    "  --oversize LIST            records whose picture needs 9 units\n"
    "  --jpeg-start LIST:VARIANT  records whose stream starts with extra-ff, missing-ff, two-bytes\n"
    "                             or broken (three stray bytes: past repair)\n"
    "  --cut-last-picture         end the file inside the last picture\n"
    "  --truncate BYTES           cut this many bytes off the end\n"
    "  --gap-before-last BYTES    leave a hole (sparse) of this size before the last record\n"
    "  --hole-every N:BYTES       leave a hole (sparse) of BYTES after every Nth picture\n"
    "  --time-shift LIST          INDEX:SECONDS,...: from record INDEX on, stamps move by\n"
    "                             SECONDS more (a long gap; negative: the clock set back)\n"
    "  --seed N                   seed of the garbage and filler bytes\n"
    "  --still                    a scene that stands still: only what the options below\n"
    "                             add moves (for a search for activity with a known truth)\n"
    "  --no-clock                 --still: no date-time drawn into the pictures\n"
    "  --noise LEVELS             --still: each pixel moved by up to LEVELS in every picture\n"
    "  --brightness-step INDEX:LEVELS\n"
    "                             --still: from record INDEX on, every camera brighter by LEVELS\n"
    "  --moving-box CAMERA:X,Y,W,H:FROM:TO\n"
    "                             --still: a box crossing camera CAMERA (from 1) from left to\n"
    "                             right in the region X,Y,W,H (fractions of the picture),\n"
    "                             from FROM to TO seconds after the first record; repeatable\n";

[[noreturn]] void Fail(const std::string& text)
{
    std::fprintf(stderr, "kvxgen: %s\n", text.c_str());
    std::exit(2);
}

long long Number(const std::string& text)
{
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end)
        Fail("not a number: " + text);
    return value;
}

std::set<int> IndexList(const std::string& text)
{
    std::set<int> out;
    std::stringstream stream(text);
    for (std::string item; std::getline(stream, item, ',');)
        out.insert(item == "last" ? CRecordingRecipe::LAST_RECORD : int(Number(item)));
    return out;
}

CMovingBox MovingBox(const std::string& text)
{
    CMovingBox box;
    int camera = 0;
    if (std::sscanf(text.c_str(), "%d:%lf,%lf,%lf,%lf:%lf:%lf", &camera, &box.m_dX, &box.m_dY, &box.m_dWidth,
                    &box.m_dHeight, &box.m_dFromSeconds, &box.m_dToSeconds) != 7 || camera < 1)
        Fail("--moving-box takes CAMERA:X,Y,W,H:FROM:TO");
    box.m_nChannel = camera - 1;
    return box;
}

EJpegStart JpegStart(const std::string& name)
{
    if (name == "extra-ff")
        return EJpegStart::ExtraFF;
    if (name == "missing-ff")
        return EJpegStart::MissingFF;
    if (name == "two-bytes")
        return EJpegStart::TwoExtraBytes;
    if (name == "broken")
        return EJpegStart::Unrepairable;
    Fail("unknown JPEG start: " + name);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for the scene's text

    CRecordingRecipe recipe;
    std::string output;
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size())
                Fail(a + " needs a value");
            return args[++i];
        };
        if (a == "--help" || a == "-h") {
            std::fputs(HELP, stdout);
            return 0;
        } else if (a == "--channels") {
            recipe.m_nChannels = int(Number(value()));
            if (recipe.m_nChannels != 4 && recipe.m_nChannels != 16)
                Fail("--channels takes 4 or 16");
        } else if (a == "--records") {
            recipe.m_nRecords = int(Number(value()));
        } else if (a == "--start") {
            recipe.m_timeStart = CDateTime::FromIsoString(value());
            if (!recipe.m_timeStart.IsValid())
                Fail("--start takes 'YYYY-MM-DD HH:MM:SS'");
        } else if (a == "--seconds-per-record") {
            recipe.m_dSecondsPerRecord = std::atof(value().c_str());
        } else if (a == "--group") {
            recipe.m_nGroupLength = int(Number(value()));
        } else if (a == "--size") {
            if (std::sscanf(value().c_str(), "%dx%d", &recipe.m_nWidth, &recipe.m_nHeight) != 2)
                Fail("--size takes WIDTHxHEIGHT");
        } else if (a == "--pal") {
            recipe.m_nWidth = 720;
            recipe.m_nHeight = 288;
        } else if (a == "--first-sector") {
            recipe.m_nFirstSector = std::strtoull(value().c_str(), nullptr, 10);
        } else if (a == "--quality") {
            recipe.m_nQuality = int(Number(value()));
        } else if (a == "--audio") {
            recipe.m_bAudio = true;
        } else if (a == "--audio-only-every") {
            recipe.m_nAudioOnlyEvery = int(Number(value()));
        } else if (a == "--garbage-every") {
            recipe.m_nGarbageEvery = int(Number(value()));
        } else if (a == "--invalid-date") {
            recipe.m_invalidDates = IndexList(value());
        } else if (a == "--oversize") {
            recipe.m_oversize = IndexList(value());
        } else if (a == "--jpeg-start") {
            const std::string& v = value();
            const size_t colon = v.rfind(':');
            if (colon == std::string::npos)
                Fail("--jpeg-start takes LIST:VARIANT");
            for (int index : IndexList(v.substr(0, colon)))
                recipe.m_jpegStarts[index] = JpegStart(v.substr(colon + 1));
        } else if (a == "--cut-last-picture") {
            recipe.m_bCutLastPicture = true;
        } else if (a == "--truncate") {
            recipe.m_nTruncateBytes = uint64_t(Number(value()));
        } else if (a == "--gap-before-last") {
            recipe.m_nGapBeforeLast = uint64_t(Number(value()));
            if (recipe.m_nGapBeforeLast % 512)
                Fail("--gap-before-last takes a multiple of 512");
        } else if (a == "--hole-every") {
            const std::string& v = value();
            const size_t colon = v.find(':');
            if (colon == std::string::npos)
                Fail("--hole-every takes N:BYTES");
            recipe.m_nHoleEvery = int(Number(v.substr(0, colon)));
            recipe.m_nHoleBytes = uint64_t(Number(v.substr(colon + 1)));
            if (recipe.m_nHoleBytes % 512)
                Fail("--hole-every takes a multiple of 512 bytes");
        } else if (a == "--time-shift") {
            std::stringstream stream(value());
            for (std::string item; std::getline(stream, item, ',');) {
                const size_t colon = item.find(':');
                if (colon == std::string::npos)
                    Fail("--time-shift takes INDEX:SECONDS,...");
                recipe.m_timeShifts[int(Number(item.substr(0, colon)))] += Number(item.substr(colon + 1));
            }
        } else if (a == "--still") {
            recipe.m_bStillScene = true;
        } else if (a == "--no-clock") {
            recipe.m_bClock = false;
        } else if (a == "--noise") {
            recipe.m_nNoise = int(Number(value()));
        } else if (a == "--brightness-step") {
            const std::string& v = value();
            const size_t colon = v.find(':');
            if (colon == std::string::npos)
                Fail("--brightness-step takes INDEX:LEVELS");
            recipe.m_nBrightnessStepAt = int(Number(v.substr(0, colon)));
            recipe.m_nBrightnessStep = int(Number(v.substr(colon + 1)));
        } else if (a == "--moving-box") {
            recipe.m_boxes.push_back(MovingBox(value()));
        } else if (a == "--seed") {
            recipe.m_nSeed = uint32_t(Number(value()));
        } else if (!a.starts_with("--") && output.empty()) {
            output = a;
        } else {
            Fail("unknown argument: " + a + " (try --help)");
        }
    }
    if (output.empty())
        Fail("no OUTPUT given (try --help)");
    if (recipe.m_nRecords < 1)
        Fail("--records must be at least 1");
    if (recipe.m_bAudio && recipe.m_nChannels != 4)
        Fail("--audio needs --channels 4: 16-channel recorders store no audio");

    CRecordingGenerator generator(recipe);
    std::string error;
    if (!generator.Write(output, error))
        Fail(error);
    std::printf("%s: %zu records, %llu bytes\n", output.c_str(), generator.Records().size(),
                (unsigned long long)generator.FileLength());
    return 0;
}
