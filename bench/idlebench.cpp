// The processor time that playback takes, state by state, on recordings in which it
// finds nothing to show: the engine on its own thread with the real clock, two
// seconds in each state. A reader that goes over the file again and again shows
// here as a core held busy.
//   bench_idle [RECORDS]

#include "platform/readonlyfile.h"
#include "playback/currentrecord.h"
#include "playback/iplaybackview.h"
#include "playback/playstate.h"
#include "playback/playthread.h"
#include "playback/playsteering.h"
#include "recording/recordingprobe.h"
#include "tools/recgen/recordinggenerator.h"

#include <QGuiApplication>
#include <QTemporaryDir>

#include <ctime>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

class CSilentView : public IProbeView, public IPlaybackView {
public:
    std::atomic<int> m_nFrames{0};

    void ShowProbeMessage(const std::string& text) override { std::fprintf(stderr, "probe: %s\n", text.c_str()); }
    void EnableAudioControls(bool) override {}
    void DisableEndButton() override {}

    uint8_t OnPlayFrame(bool, int, uint32_t, const uint8_t*, const uint8_t*) override
    {
        ++m_nFrames;
        return 0;
    }
    void SetStartButtons() override {}
    void SetEndButtons() override {}
    void SetSliderPos(int) override {}
    void ShowReadError(const char* text) override { std::fprintf(stderr, "engine: %s\n", text); }
};

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + t.tv_nsec / 1e9;
}

void Measure(const char* title, const std::string& path)
{
    CSilentView view;
    CRecordingFacts facts;
    if (!CRecordingProbe(facts, view).ProbeRecording(path))
        return;
    CPlaySteering steering;
    steering.m_nSpeedIndex = SPEED_MAX;
    steering.m_nSeekPos = SLIDER_MAX / 2;
    steering.m_nStepRecords = 0;
    steering.m_nFirstSector = facts.m_nFirstSector;
    steering.m_nChannelCount = facts.m_nChannelCount;
    steering.m_nEndOffset = facts.m_nEndOffset;
    steering.m_strPath = path;
    CCurrentRecord current;
    CPlayThread thread;
    thread.Start(steering, view, current);
    std::printf("%s (%.1f MB)\n  %-14s %8s %12s %8s\n", title, double(facts.m_nFileLength) / 1e6, "state", "CPU %",
                "MB read/s", "frames");
    const std::pair<const char*, uint8_t> states[] = {
        {"pause", PS_PAUSE}, {"forward", PS_FPLAY}, {"backward", PS_BPLAY}, {"fast forward", PS_FFPLAY},
        {"fast backward", PS_RWPLAY}, {"go to start", PS_START}, {"go to end", PS_END}, {"seek", PS_SEEK},
    };
    for (const auto& [name, state] : states) {
        steering.m_nPlayState = state;
        view.m_nFrames = 0;
        const double cpu = ProcessCpuSeconds();
        const uint64_t bytes = CReadOnlyFile::TotalBytesRead();
        std::this_thread::sleep_for(std::chrono::seconds(2));
        std::printf("  %-14s %8.1f %12.1f %8d\n", name, (ProcessCpuSeconds() - cpu) / 2 * 100,
                    double(CReadOnlyFile::TotalBytesRead() - bytes) / 2e6, view.m_nFrames.load());
    }
    thread.Stop();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 1600;
    QTemporaryDir dir;
    for (bool brokenDates : {true, false}) {
        CRecordingRecipe recipe;
        recipe.m_nRecords = records;
        // The probe opens a recording only when its first record has a date.
        for (int i = brokenDates ? 1 : 0; i < records; ++i)
            (brokenDates ? recipe.m_invalidDates : recipe.m_oversize).insert(i);
        const std::string path = (dir.path() + "/idle.kvx").toStdString();
        std::string error;
        if (!CRecordingGenerator(recipe).Write(path, error)) {
            std::fprintf(stderr, "bench_idle: %s\n", error.c_str());
            return 1;
        }
        Measure(brokenDates ? "every date but the first broken" : "every picture too large", path);
    }
    return 0;
}
