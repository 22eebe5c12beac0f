// How fast the activity index is built and searched.
//   - Building: the index of a 16-camera recording (the sample's recipe, or RECORDING)
//     on every core: pictures per second, processor time per picture, and how many
//     times faster than the recording's own time span. Median of three runs after
//     one that warms the page cache.
//   - Searching: 1,000 random regions of random cameras over an index of two hours of
//     sixteen cameras (450,000 pictures of made-up changes), each timed alone.
//   bench_activity [RECORDING]
// Figures only; on a machine shared with builds they vary, the processor time least.

#include "evidence/activityscan.h"
#include "recording/recordingprobe.h"
#include "tools/recgen/recordinggenerator.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

class CSilentProbeView : public IProbeView {
public:
    void ShowProbeMessage(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    void EnableAudioControls(bool) override {}
    void DisableEndButton() override {}
};

struct CBuildRun {
    double m_dWall = 0, m_dCpu = 0;
    uint64_t m_nPictures = 0;
    int64_t m_nSpan = 0; // seconds from the first picture to the last
};

CBuildRun Build(const std::string& path, const CRecordingFacts& facts)
{
    CBuildRun run;
    uint32_t first = 0, last = 0;
    const double cpu = CpuSeconds();
    const auto start = Clock::now();
    ScanActivity(path, facts, {}, [&](const CActivityPicture& p) {
        first = run.m_nPictures++ ? std::min(first, p.m_nSeconds) : p.m_nSeconds;
        last = std::max(last, p.m_nSeconds);
    });
    run.m_dWall = std::chrono::duration<double>(Clock::now() - start).count();
    run.m_dCpu = CpuSeconds() - cpu;
    run.m_nSpan = int64_t(last) - int64_t(first) + 1;
    return run;
}

void BenchBuilding(const std::string& path)
{
    CRecordingFacts facts;
    CSilentProbeView view;
    if (!CRecordingProbe(facts, view).ProbeRecording(path)) {
        std::fprintf(stderr, "bench_activity: %s is refused\n", path.c_str());
        return;
    }
    std::vector<CBuildRun> runs;
    for (int i = 0; i < 4; ++i)
        if (CBuildRun run = Build(path, facts); i > 0)
            runs.push_back(run);
    std::sort(runs.begin(), runs.end(), [](const CBuildRun& a, const CBuildRun& b) { return a.m_dWall < b.m_dWall; });
    const CBuildRun& m = runs[1];
    std::printf("building, %u cores: %llu pictures (%lld s recorded) in %.3f s: %.0f pictures/s, %.0f x real time;"
                " %.1f us of processor time a picture (%.0f pictures/s a core)\n",
                std::thread::hardware_concurrency(), (unsigned long long)m.m_nPictures, (long long)m.m_nSpan,
                m.m_dWall, double(m.m_nPictures) / m.m_dWall, double(m.m_nSpan) / m.m_dWall,
                1e6 * m.m_dCpu / double(m.m_nPictures), double(m.m_nPictures) / m.m_dCpu);
}

// Two hours of sixteen cameras at four pictures a second each, one in twenty with a
// few changed cells, now and then a longer stretch.
CActivityIndex MadeUpIndex(std::mt19937& random)
{
    constexpr int CAMERAS = 16;
    constexpr uint64_t PICTURES = 450000;
    CActivityIndex index(CAMERAS);
    for (uint64_t i = 0; i < PICTURES; ++i) {
        CActivityPicture p;
        p.m_nOffset = 1024 + i * 40960;
        p.m_nSeconds = uint32_t(1700000000 + i / (4 * CAMERAS));
        p.m_nChannel = uint8_t(i % CAMERAS);
        if (random() % 20 == 0) {
            const int cells = 1 + int(random() % 12), at = int(random() % CActivityPicture::CELLS);
            for (int c = 0; c < cells; ++c)
                p.SetCell((at + c) % CActivityPicture::CELLS);
            p.m_nScore = uint8_t(cells);
        }
        index.Append(p);
    }
    return index;
}

void BenchSearching()
{
    std::mt19937 random(7);
    const CActivityIndex index = MadeUpIndex(random);
    std::uniform_real_distribution<double> fraction(0.0, 1.0);
    std::vector<double> times;
    size_t stretches = 0;
    for (int i = 0; i < 1000; ++i) {
        CActivityQuery query;
        query.m_channels = {int(random() % 16)};
        const double w = 0.05 + 0.95 * fraction(random), h = 0.05 + 0.95 * fraction(random);
        query.m_region = {(1 - w) * fraction(random), (1 - h) * fraction(random), w, h};
        const auto start = Clock::now();
        stretches += index.Find(query).size();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    CActivityQuery all;
    for (int c = 0; c < 16; ++c)
        all.m_channels.push_back(c);
    const auto start = Clock::now();
    const size_t allStretches = index.Find(all).size();
    const double allTime = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::sort(times.begin(), times.end());
    std::printf("searching %llu pictures (2 h of 16 cameras), 1,000 random regions of one camera: median %.3f ms,"
                " 99th %.3f ms, slowest %.3f ms (%zu stretches); the whole picture of all 16 cameras: %.2f ms"
                " (%zu stretches)\n",
                (unsigned long long)index.PictureCount(), times[500], times[990], times.back(), stretches, allTime,
                allStretches);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // the generator's scenes
    QTemporaryDir folder;
    std::string path = argc > 1 ? argv[1] : "";
    if (path.empty()) {
        CRecordingRecipe recipe; // the 16-camera sample's
        recipe.m_nRecords = 7504;
        recipe.m_dSecondsPerRecord = 0.016;
        path = folder.filePath("sample16.kvx").toStdString();
        std::string error;
        if (!CRecordingGenerator(recipe).Write(path, error)) {
            std::fprintf(stderr, "bench_activity: %s\n", error.c_str());
            return 1;
        }
    }
    BenchBuilding(path);
    BenchSearching();
    return 0;
}
