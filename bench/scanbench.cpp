// How fast the readers cross a long run of blocks without a header, as an image of
// a damaged disc holds where its unreadable areas were filled with zeros. Two sparse
// recordings, read from the page cache (one read to warm it, then the median of
// three):
//   - 4 GiB of zeros before the last record: `kvxtool frames` runs the playback
//     engine forward across them to that record;
//   - 4 GiB of zeros after the last record: the probe scans back across them.
//   bench_scan [GIB]

#include "recording/recordingprobe.h"
#include "tools/recgen/recordinggenerator.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

class CSilentView : public IProbeView {
    void ShowProbeMessage(const std::string& text) override { std::fprintf(stderr, "probe: %s\n", text.c_str()); }
    void EnableAudioControls(bool) override {}
    void DisableEndButton() override {}
};

struct CTimes {
    double wall = 0, cpu = 0;
};

double CpuSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The median wall time of three runs after one that warms the page cache, with the
// processor time (own and children's) of that run.
CTimes Median(const std::function<bool()>& run)
{
    if (!run())
        return {-1, -1};
    std::vector<CTimes> times;
    for (int i = 0; i < 3; ++i) {
        const double cpu = CpuSeconds(RUSAGE_SELF) + CpuSeconds(RUSAGE_CHILDREN);
        const auto start = std::chrono::steady_clock::now();
        if (!run())
            return {-1, -1};
        times.push_back({std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                         CpuSeconds(RUSAGE_SELF) + CpuSeconds(RUSAGE_CHILDREN) - cpu});
    }
    std::sort(times.begin(), times.end(), [](const CTimes& a, const CTimes& b) { return a.wall < b.wall; });
    return times[1];
}

bool WriteRecording(const std::string& path, uint64_t gapBeforeLast)
{
    CRecordingRecipe recipe;
    recipe.m_nRecords = 40;
    recipe.m_nGapBeforeLast = gapBeforeLast;
    CRecordingGenerator generator(recipe);
    std::string error;
    if (!generator.Write(path, error))
        std::fprintf(stderr, "%s\n", error.c_str());
    return error.empty();
}

void Print(const char* what, uint64_t zeros, const CTimes& t)
{
    std::printf("%-44s %8.3f s %8.3f s %8.2f GB/s\n", what, t.wall, t.cpu, double(zeros) / t.wall / 1e9);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const uint64_t zeros = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 4) << 30;
    QTemporaryDir dir;
    std::printf("%-44s %10s %10s %13s\n", "zeros crossed", "wall", "cpu", "speed");

    const QString hole = dir.filePath("hole.kvx");
    if (!WriteRecording(hole.toStdString(), zeros))
        return 1;
    const CTimes frames = Median([&] {
        QProcess tool;
        tool.start(KVXTOOL_PATH, {"frames", hole});
        return tool.waitForFinished(-1) && tool.exitCode() == 0 && tool.readAllStandardOutput().contains("40 records");
    });
    Print("before the last record, kvxtool frames", zeros, frames);
    QFile::remove(hole); // its page cache goes with it

    const std::string tail = dir.filePath("tail.kvx").toStdString();
    if (!WriteRecording(tail, 0) || ::truncate(tail.c_str(), off_t(QFileInfo(QString::fromStdString(tail)).size() + zeros)) != 0)
        return 1;
    CSilentView view;
    const CTimes probe = Median([&] {
        CRecordingFacts facts;
        return CRecordingProbe(facts, view).ProbeRecording(tail);
    });
    Print("after the last record, the probe", zeros, probe);
    return frames.wall < 0 || probe.wall < 0;
}
