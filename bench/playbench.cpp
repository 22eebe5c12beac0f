// The real player window, offscreen, plays the 16-channel sample forward at delay 1
// for 20 seconds: how many frames it delivers against the nominal 62.5 a second, how
// far frame periods stray from 16 ms, how much processor time it takes and whether
// its resident memory grows. The window indexes the recording's activity as soon as
// it opens; the run starts with an empty cache of its own, so that playback is measured
// beside that build, and says how far the build got and when it ended.
//   bench_play [RECORDING] [SECONDS]
//   bench_play [RECORDING] --minutes M      a long run, for the memory check
//   bench_play [RECORDING] --cached-index   with the user's cache: no build if the
//                                           index was kept before
// After the run, one shorter run a layout (1, 4, 9 and 16 tiles) gives a line each:
// the tiles' size decides the scale the pictures are decoded at.
// It runs offscreen unless QT_QPA_PLATFORM says otherwise; under a real X server:
//   xvfb-run -a env QT_QPA_PLATFORM=xcb bench_play

#include "app/mainframe.h"
#include "bench/programfolder.h"
#include "platform/opendialog.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A memory figure of /proc/self/status: VmRSS (resident now) or VmHWM (its peak).
double StatusMegabytes(const std::string& field = "VmRSS:")
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::atof(line.c_str() + field.size()) / 1024.0; // the kernel gives kB
    return 0;
}

double ResidentMegabytes()
{
    return StatusMegabytes();
}

double PeakResidentMegabytes()
{
    return StatusMegabytes("VmHWM:");
}

struct CBenchOptions {
    QString recording;
    double seconds = 20.0;
    bool cachedIndex = false;
};

// Each layout's run: a quarter of the main run, 5 to 30 seconds.
double LayoutSeconds(double seconds)
{
    return std::clamp(seconds / 4, 5.0, 30.0);
}

double PercentWithin(const std::vector<double>& sortedErrors, double limit)
{
    if (sortedErrors.empty())
        return 0;
    const auto within = std::upper_bound(sortedErrors.begin(), sortedErrors.end(), limit) - sortedErrors.begin();
    return 100.0 * double(within) / double(sortedErrors.size());
}

// A stretch of forward play: where its frame times start in the list, and the frames
// after which it started again from the beginning.
struct CStretch {
    size_t m_nSkip = 0;
    std::vector<size_t> m_restarts;
    double m_dElapsed = 0;
    double m_dCpu = 0;
};

// Plays for `seconds` from where the window is paused. A long run outlasts the
// recording: where forward play stops, it starts again from the beginning, and the
// periods around the restart are left out of the figures.
CStretch Play(CKVXPlayerView& view, const std::vector<double>& times, double seconds,
              std::vector<double>* residentByMinute)
{
    CStretch stretch;
    stretch.m_nSkip = times.size();
    const double cpuStart = CpuSeconds();
    QElapsedTimer wall;
    wall.start();
    view.OnCommand(ctl::FPLAY);
    while (wall.elapsed() < qint64(seconds * 1000)) {
        if (residentByMinute && wall.elapsed() >= qint64(residentByMinute->size() + 1) * 60000)
            residentByMinute->push_back(ResidentMegabytes());
        const int before = view.DeliveredFrames();
        QTest::qWait(int(std::min<qint64>(1000, qint64(seconds * 1000) - wall.elapsed())));
        if (view.DeliveredFrames() == before && wall.elapsed() < qint64(seconds * 1000)) {
            stretch.m_restarts.push_back(times.size() - stretch.m_nSkip);
            view.OnCommand(ctl::START);
            QTest::qWait(100);
            view.OnCommand(ctl::FPLAY);
        }
    }
    stretch.m_dElapsed = wall.elapsed() / 1000.0;
    stretch.m_dCpu = CpuSeconds() - cpuStart;
    return stretch;
}

struct CPeriods {
    size_t m_nFrames = 0;
    double m_dRate = 0;
    std::vector<double> m_errors; // sorted: how far each period strays from 16 ms
};

CPeriods Periods(const std::vector<double>& times, const CStretch& stretch)
{
    const std::vector<double> run(times.begin() + long(stretch.m_nSkip), times.end());
    CPeriods periods;
    periods.m_nFrames = run.size();
    // The first frame after the pause is not paced (its cycle began long ago), so the
    // steady periods start with the second.
    double playing = run.size() > 1 ? run.back() - run.front() : 0;
    for (size_t i = 2; i < run.size(); ++i) {
        const bool afterRestart = std::any_of(stretch.m_restarts.begin(), stretch.m_restarts.end(),
                                              [i](size_t r) { return i >= r && i < r + 3; });
        if (afterRestart)
            playing -= run[i] - run[i - 1];
        else
            periods.m_errors.push_back(std::abs(run[i] - run[i - 1] - 0.016));
    }
    std::sort(periods.m_errors.begin(), periods.m_errors.end());
    periods.m_dRate = playing > 0 ? double(run.size() - 1 - 3 * stretch.m_restarts.size()) / playing : 0;
    return periods;
}

CBenchOptions ParseOptions(int argc, char** argv, const QString& bin)
{
    CBenchOptions options{bin + "../samples/sample16.kvx"};
    bool recordingGiven = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--cached-index") == 0)
            options.cachedIndex = true;
        else if (std::strcmp(argv[i], "--minutes") == 0 && i + 1 < argc)
            options.seconds = std::atof(argv[++i]) * 60;
        else if (!recordingGiven && !QFileInfo(argv[i]).suffix().isEmpty())
            options.recording = argv[i], recordingGiven = true;
        else
            options.seconds = std::atof(argv[i]);
    }
    return options;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString bin = QCoreApplication::applicationDirPath() + "/";
    const CBenchOptions options = ParseOptions(argc, argv, bin);
    QTemporaryDir cacheHome;
    if (!options.cachedIndex)
        qputenv("XDG_CACHE_HOME", cacheHome.path().toLocal8Bit());
    const QString& recording = options.recording;
    const double seconds = options.seconds;
    // The frame times outlive the window: its playback thread writes them until it is stopped.
    std::vector<double> times;
    times.reserve(size_t((seconds + 4 * LayoutSeconds(seconds)) * 100) + 500);
    QTemporaryDir folder;
    if (!CopySkin(bin, folder.path() + "/")) {
        std::fprintf(stderr, "bench_play: no skin in %s\n", qPrintable(bin));
        return 1;
    }
    CMainFrame frame(folder.path() + "/");
    if (!frame.PreCreateWindow())
        return 1;
    frame.CreateView("");
    frame.show();
    CKVXPlayerView* view = frame.View();

    // The frame times are taken on the playback thread, so the recorder is set up
    // before a playback thread exists; the recording is then opened as a user opens it.
    view->Session().m_onFrameRouted = [&times] {
        if (times.size() < times.capacity())
            times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count());
    };
    QElapsedTimer sinceOpen;
    double indexSeconds = -1;
    QObject::connect(&view->Session().Activity(), &CActivityTracker::finished,
                     [&] { indexSeconds = sinceOpen.elapsed() / 1000.0; });
    COpenDialog::SetHandler([&recording](const QString&) { return recording; });
    sinceOpen.start();
    view->OnCommand(ctl::OPEN);
    if (!QTest::qWaitFor([&] { return view->DeliveredFrames() >= 17; }, 10000)) {
        std::fprintf(stderr, "bench_play: %s does not play\n", qPrintable(recording));
        return 1;
    }
    QTest::qWait(300);
    const double residentStart = ResidentMegabytes();
    const double peakStart = PeakResidentMegabytes();
    std::vector<double> residentByMinute; // warming up, or growing?
    const CStretch stretch = Play(*view, times, seconds, &residentByMinute);
    const double elapsed = stretch.m_dElapsed;
    const double cpu = stretch.m_dCpu;
    const double residentEnd = ResidentMegabytes();
    const double peakEnd = PeakResidentMegabytes();
    const int indexPercent = view->Session().Activity().Percent();
    const double runStart = sinceOpen.elapsed() / 1000.0 - elapsed;
    view->OnCommand(ctl::PAUSE);
    QTest::qWait(100);

    const CPeriods periods = Periods(times, stretch);
    const std::vector<double>& errors = periods.m_errors;
    const double worst = errors.empty() ? 0 : errors.back();
    const double p99 = errors.empty() ? 0 : errors[errors.size() * 99 / 100];
    const double rate = periods.m_dRate;
    const std::vector<size_t>& restarts = stretch.m_restarts;
    std::printf("recording:          %s\n", qPrintable(recording));
    std::printf("frames delivered:   %zu in %.2f s\n", periods.m_nFrames, elapsed);
    std::printf("frames per second:  %.2f (nominal 62.50, %+.2f %%)\n", rate, (rate / 62.5 - 1) * 100);
    std::printf("worst period error: %.2f ms (99 %% of periods within %.2f ms)\n", worst * 1000, p99 * 1000);
    std::printf("processor use:      %.1f %% of one core\n", 100 * cpu / elapsed);
    std::printf("platform:           %s\n", qPrintable(QGuiApplication::platformName()));
    std::printf("restarts at the end: %zu\n", restarts.size());
    std::printf("periods within 1 ms: %.2f %%\n", PercentWithin(errors, 0.001));
    if (indexSeconds >= 0)
        std::printf("activity index:     %s, ready %.1f s after the open (the run began at %.1f s)\n",
                    options.cachedIndex ? "from the cache or built" : "built beside playback", indexSeconds, runStart);
    else
        std::printf("activity index:     built beside playback all along, %d %% at the end\n", indexPercent);
    std::printf("resident memory:    %.1f MB at the start, %.1f MB at the end (%+.2f MB)\n",
                residentStart, residentEnd, residentEnd - residentStart);
    std::printf("peak resident memory: %.1f MB at the start, %.1f MB at the end (%+.2f MB)\n", peakStart, peakEnd,
                peakEnd - peakStart);
    if (!residentByMinute.empty()) {
        std::printf("resident memory by minute (MB):");
        for (double mb : residentByMinute)
            std::printf(" %.1f", mb);
        std::printf("\n");
        // The first minute fills the player's bounded caches (tile texts, glyphs, the
        // playback thread's heap); growth after it is what a leak would show.
        std::printf("growth after the first minute: %+.2f MB\n", residentEnd - residentByMinute.front());
    }
    for (const auto& [command, tiles] : {std::pair{ctl::MODE1, 1}, {ctl::MODE4, 4}, {ctl::MODE9, 9}, {ctl::MODE16, 16}}) {
        view->OnCommand(command);
        const CStretch layout = Play(*view, times, LayoutSeconds(seconds), nullptr);
        view->OnCommand(ctl::PAUSE);
        QTest::qWait(100);
        const CPeriods p = Periods(times, layout);
        std::printf("%2d tiles:           %.1f %% of one core, %.2f frames per second, %.2f %% of periods within 1 ms,"
                    " decoded at 1/%d\n",
                    tiles, 100 * layout.m_dCpu / layout.m_dElapsed, p.m_dRate, PercentWithin(p.m_errors, 0.001),
                    view->Router().PictureScale(view->Session().CurChannel()));
    }
    return 0;
}
