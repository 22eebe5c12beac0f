// Whether stopping a long export holds up playback. An export of noise pictures is
// written until its AVI reaches the size given (1 GiB by default); then a thread
// paced like the playback thread (16 pictures a second on absolute deadlines) hands
// the recorder a picture of another camera each period, as the router hands on
// every decoded picture, while this thread stops the export: it completes the AVI
// and hashes it for the .sha256. Prints how long the stop took and how late the
// paced thread's periods came, the longest and how many by more than 20 ms.
//   bench_stopexport [GIB] [FOLDER]

#include "export/backuprecorder.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto PERIOD = std::chrono::microseconds(62500);
constexpr double LATE_MS = 20.0;

// A 4-camera PAL picture of noise, bottom-up rows as the decoder leaves them: it
// stays large as a JPEG after scaling, so the file grows fast.
struct CNoisePicture {
    BITMAPINFOHEADER m_header{};
    std::vector<uint8_t> m_bits;
    CNoisePicture()
    {
        m_header.biSize = 40;
        m_header.biWidth = 720;
        m_header.biHeight = 288;
        m_header.biPlanes = 1;
        m_header.biBitCount = 24;
        m_header.biSizeImage = uint32_t(CBackupRecorder::Stride(720) * 288);
        m_bits.resize(m_header.biSizeImage);
        std::mt19937 random(7);
        for (uint8_t& byte : m_bits)
            byte = uint8_t(random());
    }
    CTilePicture Tile() const { return {&m_header, m_bits.data(), false, true, 4}; }
};

struct CLateness {
    double m_worstMs = 0;
    int m_nLate = 0;
    int m_nPeriods = 0;
};

// Paced as the playback thread paces pictures; each period's lateness is how far
// past its deadline the picture was handed over and done with.
void PlayAlong(CBackupRecorder& recorder, const CTilePicture& picture, const std::atomic<bool>& run,
               CLateness& lateness)
{
    Clock::time_point deadline = Clock::now();
    while (run) {
        deadline += PERIOD;
        std::this_thread::sleep_until(deadline);
        recorder.WritePicture(1, picture, {});
        const double late = std::chrono::duration<double, std::milli>(Clock::now() - deadline).count();
        lateness.m_worstMs = std::max(lateness.m_worstMs, late);
        lateness.m_nLate += late > LATE_MS ? 1 : 0;
        ++lateness.m_nPeriods;
    }
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv); // the stamp's font
    const double gib = argc > 1 ? std::atof(argv[1]) : 1.0;
    QTemporaryDir dir(argc > 2 ? QString(argv[2]) + "/stopbench-XXXXXX" : QString());
    if (gib <= 0 || !dir.isValid()) {
        std::fprintf(stderr, "usage: bench_stopexport [GIB] [FOLDER]\n");
        return 2;
    }
    const CNoisePicture noise;
    CBackupRecorder recorder(dir.path() + "/");
    BACKUPSETTING setting;
    setting.m_byFrameRate = 16;
    setting.m_byChannelCount = 4;
    setting.m_nWidth = 720;
    setting.m_nHeight = 480;
    if (!recorder.StartBackup(setting, {})) {
        std::fprintf(stderr, "bench_stopexport: %s\n", qPrintable(recorder.ErrorText()));
        return 1;
    }
    const auto target = uint64_t(gib * double(uint64_t(1) << 30));
    const QString avi = recorder.AviName();
    const Clock::time_point writeStart = Clock::now();
    while (uint64_t(QFileInfo(avi).size()) < target)
        if (recorder.WritePicture(0, noise.Tile(), {}) != CBackupRecorder::EFrame::Written) {
            std::fprintf(stderr, "bench_stopexport: %s\n", qPrintable(recorder.FailureText()));
            return 1;
        }
    const double writeSeconds = std::chrono::duration<double>(Clock::now() - writeStart).count();
    std::printf("export: %u frames, %.2f GiB written in %.1f s\n", recorder.FrameCount(),
                double(QFileInfo(avi).size()) / double(uint64_t(1) << 30), writeSeconds);

    std::atomic<bool> run{true};
    CLateness lateness;
    std::thread player(PlayAlong, std::ref(recorder), noise.Tile(), std::cref(run), std::ref(lateness));
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const Clock::time_point stopStart = Clock::now();
    const bool stopped = recorder.StopBackup({});
    const double stopMs = std::chrono::duration<double, std::milli>(Clock::now() - stopStart).count();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    run = false;
    player.join();

    std::printf("stop (complete the AVI, log, SHA-256): %.0f ms%s\n", stopMs, stopped ? "" : " (failed)");
    std::printf("paced thread: %d periods, worst %.1f ms late, %d late by more than %.0f ms\n", lateness.m_nPeriods,
                lateness.m_worstMs, lateness.m_nLate, LATE_MS);
    return stopped ? 0 : 1;
}
