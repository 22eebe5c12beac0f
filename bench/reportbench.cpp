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

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

// The median wall time of `program args`, or -1 when a run fails.
double MedianSeconds(const QString& program, const QStringList& args)
{
    std::vector<double> times;
    for (int i = 0; i < 4; ++i) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        const auto start = std::chrono::steady_clock::now();
        process.start(program, args);
        if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            return -1;
        if (i > 0)
            times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[1];
}

qint64 Pictures(const QString& recording)
{
    QProcess tool;
    tool.start(KVXTOOL_PATH, {"report", recording, "--json", "--no-hash"});
    tool.waitForFinished(-1);
    return QJsonDocument::fromJson(tool.readAllStandardOutput()).object()["pictures"].toInteger();
}

void Print(const char* what, qint64 pictures, double seconds)
{
    std::printf("%-46s %8.3f s %10.1f pictures/s\n", what, seconds, double(pictures) / seconds);
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

    const double frames = MedianSeconds(KVXTOOL_PATH, {"frames", recording});
    const double report = MedianSeconds(KVXTOOL_PATH, {"report", recording, "--json"});
    const double oneCore = MedianSeconds("taskset", {"-c", "0", KVXTOOL_PATH, "report", recording, "--json"});
    if (pictures <= 0 || frames < 0 || report < 0 || oneCore < 0)
        return 1;
    Print("kvxtool frames (one thread)", pictures, frames);
    Print("kvxtool report, held to one core", pictures, oneCore);
    Print("kvxtool report, every core", pictures, report);
    std::printf("report / frames: %.2fx    every core / one core: %.2fx\n", frames / report, oneCore / report);
    return 0;
}
