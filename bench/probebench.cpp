// How long the probe takes as recordings grow. It reads a few blocks at each end of
// the file, so the times should stay flat from 1 MB to 5 GB.

#include "recording/recordingprobe.h"
#include "tools/recgen/recordinggenerator.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

class CSilentView : public IProbeView {
    void ShowProbeMessage(const std::string& text) override { std::fprintf(stderr, "probe: %s\n", text.c_str()); }
    void EnableAudioControls(bool) override {}
    void DisableEndButton() override {}
};

struct CCase {
    const char* name;
    int records;
    uint64_t gapBeforeLast;
};

double MedianProbeMicroseconds(const std::string& path, int runs)
{
    std::vector<double> times;
    CSilentView view;
    for (int i = 0; i < runs; ++i) {
        CRecordingFacts facts;
        const auto start = std::chrono::steady_clock::now();
        if (!CRecordingProbe(facts, view).ProbeRecording(path))
            return -1;
        times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const CCase cases[] = {
        {"1 MB", 110, 0},
        {"100 MB", 11500, 0},
        {"5 GB (sparse)", 64, 5ull << 30},
    };
    std::printf("%-16s %14s %12s\n", "recording", "bytes", "probe (us)");
    for (const CCase& c : cases) {
        CRecordingRecipe recipe;
        recipe.m_nRecords = c.records;
        recipe.m_nGapBeforeLast = c.gapBeforeLast;
        CRecordingGenerator generator(recipe);
        const std::string path = dir.filePath(c.name).toStdString();
        std::string error;
        if (!generator.Write(path, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        std::printf("%-16s %14llu %12.1f\n", c.name, (unsigned long long)generator.FileLength(),
                    MedianProbeMicroseconds(path, 201));
    }
    return 0;
}
