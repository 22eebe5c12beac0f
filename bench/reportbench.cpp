// How fast `kvxtool report` reads a recording against `kvxtool frames` on the same
// file: frames reads and decodes on one thread, report reads on one and decodes on
// every core (and hashes every byte). The report also runs held to one core, to show
// that its rate grows with the cores. Median wall time of three runs after one that
// warms the page cache.
//   bench_report [RECORDING]   (default: a generated 16-camera recording)

#include "tools/recgen/recordinggenerator.h"

#include <QGuiApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

double ChildCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct CTimes {
    double wall = -1, cpu = -1;
};

// The median wall time of `program args` (with the processor time of that run), or
// -1 when a run fails. On a busy machine the processor time is the steadier figure.
CTimes Median(const QString& program, const QStringList& args)
{
    std::vector<CTimes> times;
    for (int i = 0; i < 4; ++i) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        const double cpu = ChildCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        process.start(program, args);
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return {};
        if (i > 0)
            times.push_back({std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                             ChildCpuSeconds() - cpu});
    }
    std::sort(times.begin(), times.end(), [](const CTimes& a, const CTimes& b) { return a.wall < b.wall; });
    return times[1];
}

qint64 Pictures(const QString& recording)
{
    QProcess tool;
    tool.start(KVXTOOL_PATH, {"report", recording, "--json", "--no-hash"});
    tool.waitForFinished(-1);
    return QJsonDocument::fromJson(tool.readAllStandardOutput()).object()["pictures"].toInteger();
}

void Print(const char* what, qint64 pictures, const CTimes& t)
{
    std::printf("%-40s %8.3f s wall %8.3f s cpu %10.1f pictures/s\n", what, t.wall, t.cpu, double(pictures) / t.wall);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    QString recording = argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.filePath("bench16.kvx");
    if (argc <= 1) {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 4000;
        std::string error;
        if (!CRecordingGenerator(recipe).Write(recording.toStdString(), error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    const qint64 pictures = Pictures(recording);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("%s: %lld pictures, %u cores\n", qPrintable(recording), (long long)pictures, cores);

    const CTimes frames = Median(KVXTOOL_PATH, {"frames", recording});
    const CTimes report = Median(KVXTOOL_PATH, {"report", recording, "--json"});
    const CTimes oneCore = Median("taskset", {"-c", "0", KVXTOOL_PATH, "report", recording, "--json"});
    if (pictures <= 0 || frames.wall < 0 || report.wall < 0 || oneCore.wall < 0)
        return 1;
    Print("kvxtool frames (one thread)", pictures, frames);
    Print("kvxtool report, held to one core", pictures, oneCore);
    Print("kvxtool report, every core", pictures, report);
    std::printf("report / frames: %.2fx    every core / one core: %.2fx\n", frames.wall / report.wall,
                oneCore.wall / report.wall);
    return 0;
}
