// The snapshot editor's speed: each picture command on a 720 x 576 picture
// (milliseconds a run and megapixels a second, the median of 30 runs), and the whole
// camera button in the real player window, offscreen, from the press to the editor
// shown (the median of 10 snapshots of the 16-channel sample's camera 5).
//   bench_snapshot [RECORDING]

#include "app/mainframe.h"
#include "bench/programfolder.h"
#include "playback/playstate.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "snapshot/editcontrolids.h"
#include "snapshot/filtercommand.h"
#include "snapshot/imageeditdlg.h"
#include "snapshot/snapshotbitmap.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

constexpr int RUNS = 30;
constexpr int SNAPSHOTS = 10;

// Both the time that passes and the processor time of this thread: on a busy machine
// the first grows with the load, the second hardly.
struct CTimes {
    std::vector<double> m_wall, m_cpu;
};

class CStopwatch {
public:
    CStopwatch() : m_wall(std::chrono::steady_clock::now()), m_cpu(ThreadCpu()) {}
    void AddTo(CTimes& times) const
    {
        times.m_wall.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_wall).count());
        times.m_cpu.push_back((ThreadCpu() - m_cpu) * 1e3);
    }

private:
    static double ThreadCpu()
    {
        timespec t{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
        return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
    }
    std::chrono::steady_clock::time_point m_wall;
    double m_cpu;
};

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// A picture with noise over a gradient, so that despeckle and the clamps have work.
CBitmapBlock NoisyPicture(const QString& path)
{
    QImage picture(720, 576, QImage::Format_RGB32);
    std::mt19937 random(5);
    for (int y = 0; y < 576; ++y)
        for (int x = 0; x < 720; ++x) {
            const int noise = int(random() % 60) - 30;
            picture.setPixel(x, y, qRgb(std::clamp(x / 3 + noise, 0, 255), std::clamp(y / 3 - noise, 0, 255), 128));
        }
    CSnapshotBitmap::WriteBitmapFile(path.toStdString(), picture);
    return CImageFilter::LoadBitmapFile(path.toStdString());
}

void BenchFilters(const QString& folder)
{
    const CBitmapBlock original = NoisyPicture(folder + "noise.bmp");
    const CImageFilter filter;
    const double megapixels = 720.0 * 576 / 1e6;
    std::printf("picture commands on 720 x 576 (median of %d runs)\n", RUNS);
    for (const char* name : {"bright", "dark", "sharpen", "blur", "despeckle", "contrast"}) {
        const CFilterCommand* command = CFilterCommand::FromName(name);
        CTimes times;
        for (int i = 0; i < RUNS; ++i) {
            CBitmapBlock picture = original.Copy();
            const CStopwatch watch;
            command->m_pRun(filter, picture.Bytes());
            watch.AddTo(times);
        }
        const double ms = Median(times.m_wall), cpu = Median(times.m_cpu);
        std::printf("  %-10s %7.2f ms %8.1f MP/s   (%5.2f ms processor, %6.1f MP/s)\n", name, ms,
                    megapixels / (ms / 1000), cpu, megapixels / (cpu / 1000));
    }
}

int BenchEditCommand(const QString& bin, const QString& recording, const QString& folder)
{
    if (!CopySkin(bin, folder))
        return 1;
    CMainFrame frame(folder);
    if (!frame.PreCreateWindow())
        return 1;
    frame.CreateView(recording);
    frame.show();
    CKVXPlayerView* view = frame.View();
    if (!QTest::qWaitFor([&] { return view->DeliveredFrames() >= 16 && view->PlayStateForTest() == PS_PAUSE; }, 10000)) {
        std::fprintf(stderr, "bench_snapshot: %s does not play\n", qPrintable(recording));
        return 1;
    }
    view->OnCommand(ctl::CHANNEL_FIRST + 4);
    QCoreApplication::processEvents();
    CTimes times;
    for (int i = 0; i < SNAPSHOTS; ++i) {
        const CStopwatch watch;
        view->OnCommand(ctl::EDIT);
        watch.AddTo(times);
        if (!view->EditDialog() || !view->EditDialog()->isVisible())
            return 1;
        QCoreApplication::processEvents();
        view->EditDialog()->OnCommand(editctl::CLOSE);
        QCoreApplication::processEvents();
    }
    std::printf("camera button to editor shown: %.1f ms (%.1f ms processor), the median of %d; the first, which "
                "builds the editor, %.1f ms\n",
                Median(times.m_wall), Median(times.m_cpu), SNAPSHOTS, times.m_wall.front());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString bin = QCoreApplication::applicationDirPath() + "/";
    const QString recording = argc > 1 ? argv[1] : bin + "../samples/sample16.kvx";
    QTemporaryDir folder;
    BenchFilters(folder.path() + "/");
    return BenchEditCommand(bin, recording, folder.path() + "/");
}
