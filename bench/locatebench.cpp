// How long it takes to find a moment, and how many blocks each search reads: 1,000
// random moments in the 16-camera sample and in a sparse recording of 4.5 GiB, and, for
// comparison, in a recording whose clock was set back twice.
//
// bench_locate [SAMPLE]: SAMPLE defaults to the build's samples/sample16.kvx; without
// it, one like it is generated.

#include "recording/recordinglocator.h"
#include "tools/recgen/recordinggenerator.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace {

class CSilentView : public IProbeView {
    void ShowProbeMessage(const std::string& text) override { std::fprintf(stderr, "probe: %s\n", text.c_str()); }
    void EnableAudioControls(bool) override {}
    void DisableEndButton() override {}
};

struct CFigures {
    std::vector<double> micros;
    std::vector<double> blocks;
    std::vector<double> reads;
    int gaps = 0, misses = 0;
};

double Percentile(std::vector<double> values, double p)
{
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

double Mean(const std::vector<double>& values)
{
    double sum = 0;
    for (double v : values)
        sum += v;
    return sum / double(values.size());
}

QDateTime ToQt(const CDateTime& t)
{
    return QDateTime(QDate(t.GetYear(), t.GetMonth(), t.GetDay()), QTime(t.GetHour(), t.GetMinute(), t.GetSecond()));
}

CDateTime FromQt(const QDateTime& t)
{
    return CDateTime(t.date().year(), t.date().month(), t.date().day(), t.time().hour(), t.time().minute(),
                     t.time().second());
}

bool Measure(const char* name, const std::string& path, int searches)
{
    CSilentView view;
    CRecordingFacts facts;
    if (!CRecordingProbe(facts, view).ProbeRecording(path))
        return false;
    CRecordingLocator locator(facts);
    if (!locator.Open(path))
        return false;
    const QDateTime start = ToQt(facts.m_timeStart);
    const qint64 span = start.secsTo(ToQt(facts.m_timeEnd));
    std::mt19937 random(12);
    CFigures f;
    locator.Locate(facts.m_timeStart); // finds the first and last record once, as the window does on opening
    for (int i = 0; i < searches; ++i) {
        const CDateTime moment = FromQt(start.addSecs(qint64(random() % uint64_t(span + 1))));
        const uint64_t blocks = locator.Reader().Blocks(), reads = locator.Reader().Reads();
        const auto begin = std::chrono::steady_clock::now();
        const CLocateResult r = locator.Locate(moment);
        f.micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count());
        f.blocks.push_back(double(locator.Reader().Blocks() - blocks));
        f.reads.push_back(double(locator.Reader().Reads() - reads));
        f.gaps += r.m_bGap;
        f.misses += r.m_status != CLocateResult::EStatus::Found;
    }
    std::printf("%-28s %8.1f GiB %9.1f %9.1f %9.1f %8.1f %8.0f %8.0f %7.1f %6d %6d\n", name,
                double(facts.m_nFileLength) / double(1ull << 30), Mean(f.micros), Percentile(f.micros, 0.5),
                Percentile(f.micros, 0.99), Mean(f.blocks), Percentile(f.blocks, 0.99),
                *std::max_element(f.blocks.begin(), f.blocks.end()), Mean(f.reads), f.gaps, f.misses);
    return true;
}

bool Generate(const CRecordingRecipe& recipe, const std::string& path)
{
    CRecordingGenerator generator(recipe);
    std::string error;
    if (!generator.Write(path, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return false;
    }
    return true;
}

CRecordingRecipe SampleLike()
{
    CRecordingRecipe r;
    r.m_nChannels = 16;
    r.m_nRecords = 7504;
    r.m_dSecondsPerRecord = 0.016;
    r.m_timeStart = CDateTime::FromIsoString("2024-03-18 14:00:00");
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const int searches = 1000;

    std::string sample = argc > 1 ? argv[1] : (QCoreApplication::applicationDirPath() + "/../samples/sample16.kvx").toStdString();
    if (!QFileInfo::exists(QString::fromStdString(sample))) {
        sample = dir.filePath("sample16.kvx").toStdString();
        if (!Generate(SampleLike(), sample))
            return 1;
    }

    // 4.5 GiB of which 40 MB are records: runs of 16 records between 48 MiB holes.
    CRecordingRecipe sparse = SampleLike();
    sparse.m_nRecords = 16 * 96;
    sparse.m_dSecondsPerRecord = 1.0 / 16;
    sparse.m_nHoleEvery = 16;
    sparse.m_nHoleBytes = 48ull << 20;
    const std::string sparsePath = dir.filePath("sparse.kvx").toStdString();

    CRecordingRecipe setBack = SampleLike();
    setBack.m_timeShifts = {{2500, -40}, {5000, -30}};
    const std::string setBackPath = dir.filePath("setback.kvx").toStdString();
    if (!Generate(sparse, sparsePath) || !Generate(setBack, setBackPath))
        return 1;

    std::printf("%d random moments per recording; time in microseconds, blocks of 512 bytes, reads = seek and read calls\n",
                searches);
    std::printf("%-28s %12s %9s %9s %9s %8s %8s %8s %7s %6s %6s\n", "recording", "size", "mean us", "median",
                "p99", "blocks", "p99", "max", "reads", "gaps", "none");
    const bool ok = Measure("16-camera sample", sample, searches) && Measure("sparse, 16 cameras", sparsePath, searches)
                 && Measure("sample, clock set back twice", setBackPath, searches);
    return ok ? 0 : 1;
}
