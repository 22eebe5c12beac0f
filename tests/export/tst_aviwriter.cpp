#include "export/avireader.h"
#include "export/aviwriter.h"
#include "playback/jpegencoder.h"
#include "tests/support/testmain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <atomic>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// A real JPEG of a pattern that `seed` varies, so that frames differ in size.
Bytes MakeJpeg(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 7 + seed * 31) & 255, (y * 5 + seed) & 255, (x * y + seed * 13) & 255));
    Bytes out(1 << 20);
    out.resize(CJpegEncoder::EncodeBuffer(out.data(), image.constBits(), width, height, 3, out.size(), 70));
    return out;
}

// The JPEG grown to about `size` bytes by comment segments after its start marker: a
// large frame that decodes as fast as a small one.
Bytes Enlarged(const Bytes& jpeg, size_t size)
{
    constexpr size_t BODY = 65533; // the largest: a segment's 16-bit length counts itself
    Bytes out(jpeg.begin(), jpeg.begin() + 2);
    while (out.size() + 4 + BODY + jpeg.size() <= size) {
        out.insert(out.end(), {0xFF, 0xFE, 0xFF, 0xFF});
        out.resize(out.size() + BODY, uint8_t('k'));
    }
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

// A chunk holding an odd number of bytes is padded: one more byte after the end marker,
// which decoders ignore, makes sure of an odd size.
void MakeOdd(Bytes& jpeg)
{
    if (jpeg.size() % 2 == 0)
        jpeg.push_back(0);
}

bool SaveFile(const QString& path, const Bytes& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) &&
           file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size());
}

bool HaveFfmpeg()
{
    return !QStandardPaths::findExecutable("ffprobe").isEmpty() &&
           !QStandardPaths::findExecutable("ffmpeg").isEmpty();
}

// The first stream as ffprobe sees it, its frames counted by decoding them all, and
// what ffprobe said on the way: nothing for a sound file.
struct SProbe {
    QJsonObject stream;
    QString errors;
    int Frames() const { return stream["nb_read_frames"].toString().toInt(); } // absent when none
};

SProbe Probe(const QString& path)
{
    QProcess probe;
    probe.start("ffprobe", {"-v", "error", "-count_frames", "-show_streams", "-of", "json", path});
    if (!probe.waitForFinished(300000))
        return {{}, "ffprobe did not finish"};
    return {QJsonDocument::fromJson(probe.readAllStandardOutput())["streams"][0].toObject(),
            QString::fromUtf8(probe.readAllStandardError()) + (probe.exitCode() ? "exit status" : "")};
}

Bytes FrameBytes(CAviReader& reader, size_t index)
{
    Bytes out;
    reader.ReadFrame(index, out);
    return out;
}

} // namespace

class TestAviWriter : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString Path(const QString& name) const { return m_dir.filePath(name); }

    static void CheckPlainHeaders(const CAviReader& reader, const std::string& path, int width, int height,
                                  int fps, uint32_t frames)
    {
        QCOMPARE(reader.m_riffs.size(), size_t(1));
        QVERIFY(reader.m_bHasAvih && reader.m_bHasStrh && reader.m_bHasStrf && reader.m_bHasStrn);
        QCOMPARE(reader.m_avih.dwMicroSecPerFrame, uint32_t((1000000 + fps / 2) / fps));
        QCOMPARE(reader.m_avih.dwTotalFrames, frames);
        QCOMPARE(reader.m_avih.dwStreams, 1u);
        QCOMPARE(reader.m_avih.dwWidth, uint32_t(width));
        QCOMPARE(reader.m_avih.dwHeight, uint32_t(height));
        QVERIFY(reader.m_avih.dwFlags & AVIF_HASINDEX);
        QCOMPARE(reader.m_nStreams, 1);
        QCOMPARE(reader.m_strh.fccType, FCC_VIDS);
        QCOMPARE(reader.m_strh.fccHandler, FCC_MJPG);
        QCOMPARE(reader.m_strh.dwScale, 1u);
        QCOMPARE(reader.m_strh.dwRate, uint32_t(fps));
        QCOMPARE(reader.m_strh.dwLength, frames);
        QCOMPARE(reader.m_strh.rcFrame[2], int16_t(width));
        QCOMPARE(reader.m_strh.rcFrame[3], int16_t(height));
        const BITMAPINFOHEADER& f = reader.m_strf;
        QVERIFY(f.biSize == 40 && f.biWidth == width && f.biHeight == height && f.biPlanes == 1);
        QVERIFY(f.biBitCount == 24 && f.biCompression == FCC_MJPG && f.biSizeImage == 0);
        QCOMPARE(reader.m_strName, path);
        QVERIFY(!reader.m_bHasIndx && !reader.m_bHasDmlh); // a short file is a plain AVI
        QVERIFY(reader.m_bHasIdx1);
        QCOMPARE(reader.m_idx1.size(), size_t(frames));
    }

    // Every idx1 entry names its frame's chunk, without the key-frame flag.
    static void CheckIdx1(const CAviReader& reader)
    {
        for (size_t i = 0; i < reader.m_idx1.size(); ++i) {
            const AVIOLDINDEXENTRY& entry = reader.m_idx1[i];
            QCOMPARE(entry.dwChunkId, FCC_00DC);
            QCOMPARE(entry.dwFlags, 0u);
            QCOMPARE(reader.m_nMoviPos + entry.dwOffset + CHUNK_HEADER_SIZE, reader.m_frames[i].offset);
            QCOMPARE(entry.dwSize, reader.m_frames[i].size);
        }
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void writtenFileReadsBack()
    {
        // Any length of name works and the whole path is the stream's name; this one has
        // an odd length, so the name chunk is padded.
        const std::string path = Path(QString(100, 'n') + "_Capture.avi").toStdString();
        QVERIFY(path.size() % 2);
        std::vector<Bytes> frames;
        for (int i = 0; i < 7; ++i)
            frames.push_back(MakeJpeg(360, 240, i));
        MakeOdd(frames[3]);
        CAviWriter writer;
        QVERIFY(writer.Open(path, 360, 240, 12));
        QVERIFY(writer.IsOpen());
        for (const Bytes& frame : frames)
            QVERIFY(writer.WriteFrame(frame.data(), frame.size()));
        QCOMPARE(writer.FrameCount(), 7u);
        QCOMPARE(writer.Path(), path);
        QVERIFY(writer.Close());
        QVERIFY(!writer.IsOpen());
        QVERIFY(!writer.WriteFrame(frames[0].data(), frames[0].size()));

        CAviReader reader;
        QVERIFY2(reader.Open(path), reader.ErrorText().c_str());
        CheckPlainHeaders(reader, path, 360, 240, 12, 7);
        size_t largest = 0;
        QCOMPARE(reader.m_frames.size(), frames.size());
        for (size_t i = 0; i < frames.size(); ++i) {
            QVERIFY(FrameBytes(reader, i) == frames[i]);
            largest = std::max(largest, frames[i].size());
        }
        QCOMPARE(reader.m_avih.dwSuggestedBufferSize, uint32_t(largest));
        QCOMPARE(reader.m_strh.dwSuggestedBufferSize, uint32_t(largest));
        CheckIdx1(reader);
        QCOMPARE(QFileInfo(QString::fromStdString(path)).size(), qint64(reader.m_riffs[0].size + 8));

        if (!HaveFfmpeg())
            QSKIP("ffprobe is not installed");
        const SProbe probe = Probe(QString::fromStdString(path));
        QCOMPARE(probe.errors, QString());
        QCOMPARE(probe.stream["codec_name"].toString(), QString("mjpeg"));
        QCOMPARE(probe.stream["width"].toInt(), 360);
        QCOMPARE(probe.stream["height"].toInt(), 240);
        QCOMPARE(probe.stream["r_frame_rate"].toString(), QString("12/1"));
        QCOMPARE(probe.Frames(), 7);
        QCOMPARE(probe.stream["tags"]["title"].toString(), QString::fromStdString(path));
    }

    void exportWithoutFramesIsValid()
    {
        const std::string path = Path("empty.avi").toStdString();
        CAviWriter writer;
        QVERIFY(writer.Open(path, 720, 480, 10));
        QVERIFY(writer.Close());
        CAviReader reader;
        QVERIFY2(reader.Open(path), reader.ErrorText().c_str());
        CheckPlainHeaders(reader, path, 720, 480, 10, 0);
        QVERIFY(reader.m_frames.empty());

        if (!HaveFfmpeg())
            QSKIP("ffprobe is not installed");
        const SProbe probe = Probe(QString::fromStdString(path));
        QCOMPARE(probe.errors, QString());
        QCOMPARE(probe.stream["codec_name"].toString(), QString("mjpeg"));
        QCOMPARE(probe.Frames(), 0);
    }

    void existingFileIsNeverTouched()
    {
        const QString path = Path("03_Capture.avi");
        QVERIFY(SaveFile(path, Bytes{'e', 'v', 'i', 'd', 'e', 'n', 'c', 'e'}));
        CAviWriter writer;
        QVERIFY(!writer.Open(path.toStdString(), 360, 240, 10));
        QVERIFY(!writer.IsOpen());
        QCOMPARE(writer.ErrorText(), std::string("File exists"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("evidence"));

        // Two exports into one folder at once: the second is refused, the first goes on.
        const Bytes frame = MakeJpeg(64, 48, 1);
        const std::string shared = Path("04_Capture.avi").toStdString();
        CAviWriter first, second;
        QVERIFY(first.Open(shared, 64, 48, 10));
        QVERIFY(!second.Open(shared, 64, 48, 10));
        QVERIFY(first.WriteFrame(frame.data(), frame.size()));
        QVERIFY(first.Close());
        CAviReader reader;
        QVERIFY(reader.Open(shared));
        QCOMPARE(reader.m_frames.size(), size_t(1));

        // A file that cannot be created leaves nothing behind.
        QVERIFY(!writer.Open(Path("missing/05_Capture.avi").toStdString(), 360, 240, 10));
        QCOMPARE(writer.ErrorText(), std::string("No such file or directory"));
        QVERIFY(!writer.Open(Path("06_Capture.avi").toStdString(), 360, 240, 0));
        QVERIFY(!QFile::exists(Path("06_Capture.avi")));
    }

    // Frames come from the playback thread while the window thread closes the file.
    void closeWhileFramesArrive()
    {
        const std::string path = Path("threads.avi").toStdString();
        const Bytes frame = MakeJpeg(64, 48, 2);
        CAviWriter writer;
        QVERIFY(writer.Open(path, 64, 48, 30));
        std::atomic<int> accepted = 0;
        std::thread playback([&] {
            while (writer.WriteFrame(frame.data(), frame.size()))
                ++accepted;
        });
        while (accepted < 50)
            std::this_thread::yield();
        QVERIFY(writer.Close());
        playback.join();
        CAviReader reader;
        QVERIFY2(reader.Open(path), reader.ErrorText().c_str());
        QCOMPARE(reader.m_frames.size(), size_t(accepted));
        QCOMPARE(reader.m_idx1.size(), size_t(accepted));
        QCOMPARE(writer.FrameCount(), uint32_t(accepted));
    }

    // Past 1 GiB the file goes on in OpenDML extensions; every frame stays reachable.
    void largeFileGoesOpenDml()
    {
        QTemporaryDir big; // its own folder, removed at once after
        const std::string path = big.filePath("big.avi").toStdString();
        const Bytes small = MakeJpeg(64, 48, 3);
        std::vector<Bytes> frames = {Enlarged(small, 4 << 20), Enlarged(small, 4 << 20)};
        MakeOdd(frames[1]);
        const uint32_t count = 300; // 1.2 GiB
        CAviWriter writer;
        QVERIFY(writer.Open(path, 64, 48, 25));
        for (uint32_t i = 0; i < count; ++i)
            QVERIFY2(writer.WriteFrame(frames[i % 2].data(), frames[i % 2].size()), writer.ErrorText().c_str());
        QVERIFY(writer.Close());

        CAviReader reader;
        QVERIFY2(reader.Open(path), reader.ErrorText().c_str());
        QCOMPARE(reader.m_riffs.size(), size_t(2));
        QCOMPARE(reader.m_riffs[1].type, FCC_AVIX);
        // The first RIFF ends when the next frame would take it past 1 GiB.
        QVERIFY(reader.m_riffs[0].size <= CAviWriter::RIFF_SIZE_LIMIT);
        QVERIFY(reader.m_riffs[0].size > CAviWriter::RIFF_SIZE_LIMIT - 2 * frames[1].size());
        QCOMPARE(QFileInfo(QString::fromStdString(path)).size(),
                 qint64(reader.m_riffs[1].offset + reader.m_riffs[1].size + 8));
        QCOMPARE(reader.m_frames.size(), size_t(count));
        QCOMPARE(reader.m_strh.dwLength, count);
        QVERIFY(reader.m_bHasDmlh);
        QCOMPARE(reader.m_dwDmlhFrames, count);
        // Readers of AVI 1.0 see the first RIFF, as its idx1 and avih describe it.
        const auto inFirst = std::count_if(reader.m_frames.begin(), reader.m_frames.end(), [&](const auto& f) {
            return f.offset < reader.m_riffs[1].offset;
        });
        QCOMPARE(reader.m_avih.dwTotalFrames, uint32_t(inFirst));
        QCOMPARE(reader.m_idx1.size(), size_t(inFirst));
        CheckIdx1(reader);
        // One standard index per RIFF, each frame in it as a key frame.
        QVERIFY(reader.m_bHasIndx);
        QCOMPARE(reader.m_superIndex.size(), size_t(2));
        QCOMPARE(reader.m_superIndex[0].dwDuration, uint32_t(inFirst));
        QCOMPARE(reader.m_superIndex[1].dwDuration, count - uint32_t(inFirst));
        QCOMPARE(reader.m_stdIndex.size(), size_t(count));
        for (size_t i = 0; i < count; ++i) {
            QCOMPARE(reader.m_stdIndex[i].offset, reader.m_frames[i].offset);
            QCOMPARE(reader.m_stdIndex[i].size, reader.m_frames[i].size);
            QVERIFY(reader.m_stdIndex[i].key);
        }
        for (size_t i : {size_t(0), size_t(inFirst), size_t(count - 1)})
            QVERIFY(FrameBytes(reader, i) == frames[i % 2]);

        if (!HaveFfmpeg())
            QSKIP("ffprobe is not installed");
        const SProbe probe = Probe(QString::fromStdString(path));
        QCOMPARE(probe.errors, QString());
        QCOMPARE(probe.Frames(), int(count));
    }

    // An export whose program is killed keeps the frames of all but its last second.
    void killedExportKeepsItsFrames()
    {
        const QString path = Path("killed.avi"), jpeg = Path("killed.jpg");
        QVERIFY(SaveFile(jpeg, MakeJpeg(64, 48, 4)));
        QProcess child;
        child.start(AVIWRITECHILD_PATH, {"endless", path, jpeg});
        QVERIFY(child.waitForStarted());
        QElapsedTimer clock;
        std::vector<std::pair<qint64, int>> seen; // when the test read a count, and the count
        while (!clock.isValid() || clock.elapsed() < 2500) {
            QVERIFY(child.waitForReadyRead(5000));
            while (child.canReadLine()) {
                if (!clock.isValid())
                    clock.start();
                seen.emplace_back(clock.elapsed(), child.readLine().trimmed().toInt());
            }
        }
        child.kill(); // SIGKILL
        const qint64 killedAt = clock.elapsed();
        QVERIFY(child.waitForFinished());
        int safe = 0; // written at least a second before the kill
        for (const auto& [at, count] : seen)
            if (at <= killedAt - 1000)
                safe = count;
        QVERIFY(safe > 0);

        // The header describes what was written before its last update: sizes and
        // counts agree with each other, and cover every safe frame.
        CAviReader reader;
        reader.Open(path.toStdString());
        QCOMPARE(reader.m_riffs.size(), size_t(1));
        QVERIFY(reader.m_frames.size() >= size_t(safe));
        QCOMPARE(reader.m_avih.dwTotalFrames, uint32_t(reader.m_frames.size()));
        QCOMPARE(reader.m_strh.dwLength, uint32_t(reader.m_frames.size()));

        if (!HaveFfmpeg())
            QSKIP("ffprobe is not installed");
        // The frame being written at the kill may be cut short; those before decode.
        QVERIFY(Probe(path).Frames() >= safe);
    }

    // A write that fails (here: past a file size limit, as on a full disk) ends the file
    // cleanly with the frames before it.
    void failedWriteEndsTheFile_data()
    {
        QTest::addColumn<int>("room"); // bytes of the failing frame that still fit
        QTest::addColumn<bool>("indexed");
        QTest::newRow("room for the index") << 2000 << true;
        QTest::newRow("no room for the index") << 10 << false;
    }
    void failedWriteEndsTheFile()
    {
        QFETCH(int, room);
        QFETCH(bool, indexed);
        QStringList jpegs;
        std::vector<Bytes> frames;
        for (int i = 0; i < 10; ++i) {
            frames.push_back(MakeJpeg(64, 48, 10 + i));
            frames.back().resize(std::max<size_t>(frames.back().size(), 2 * size_t(room)), 0);
            jpegs << Path(QString("frame%1.jpg").arg(i));
            QVERIFY(SaveFile(jpegs.back(), frames.back()));
        }
        // Where frame 6 lies in a file of all ten, written the same way.
        const std::string reference = Path(QString("reference%1.avi").arg(room)).toStdString();
        CAviWriter writer;
        QVERIFY(writer.Open(reference, 64, 48, 25));
        for (const Bytes& frame : frames)
            QVERIFY(writer.WriteFrame(frame.data(), frame.size()));
        QVERIFY(writer.Close());
        CAviReader reader;
        QVERIFY(reader.Open(reference));
        const qint64 limit = qint64(reader.m_frames[6].offset) + room;

        const QString path = Path(QString("full%1.avi").arg(room));
        QProcess child;
        child.start(AVIWRITECHILD_PATH, QStringList{"limit", QString::number(limit), path} + jpegs);
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitCode(), 0);
        const QString out = QString::fromUtf8(child.readAllStandardOutput());
        QVERIFY2(out.contains("failed: File too large\nrefused 1\nwritten 6\n"), qPrintable(out));
        // The failure was reported at the frame; closing again has nothing left to do.
        QVERIFY(out.endsWith("closed 1\n"));

        QVERIFY2(reader.Open(path.toStdString()), reader.ErrorText().c_str());
        QCOMPARE(reader.m_frames.size(), size_t(6));
        QCOMPARE(reader.m_avih.dwTotalFrames, 6u);
        QCOMPARE(reader.m_strh.dwLength, 6u);
        QCOMPARE(reader.m_bHasIdx1, indexed);
        QCOMPARE(bool(reader.m_avih.dwFlags & AVIF_HASINDEX), indexed);
        QCOMPARE(reader.m_idx1.size(), indexed ? size_t(6) : 0);
        CheckIdx1(reader);
        for (size_t i = 0; i < 6; ++i)
            QVERIFY(FrameBytes(reader, i) == frames[i]);
        QCOMPARE(QFileInfo(path).size(), qint64(reader.m_riffs[0].size + 8));

        if (!HaveFfmpeg())
            QSKIP("ffprobe is not installed");
        const SProbe probe = Probe(path);
        QCOMPARE(probe.errors, QString());
        QCOMPARE(probe.Frames(), 6);
    }

    // The reader takes any bytes: cut and damaged files give faults, never reads
    // outside the buffer (which the sanitizer builds would catch).
    void readerSurvivesDamagedFiles()
    {
        const std::string path = Path("damaged.avi").toStdString();
        CAviWriter writer;
        QVERIFY(writer.Open(path, 64, 48, 25));
        for (int i = 0; i < 5; ++i) {
            const Bytes frame = MakeJpeg(16, 16, i);
            QVERIFY(writer.WriteFrame(frame.data(), frame.size()));
        }
        QVERIFY(writer.Close());
        std::ifstream in(path, std::ios::binary);
        const Bytes intact{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        CAviReader reader;
        QVERIFY(reader.Parse(intact.data(), intact.size()));
        QCOMPARE(reader.m_frames.size(), size_t(5));

        for (size_t length = 0; length < intact.size(); length += 7) {
            const Bytes cut(intact.begin(), intact.begin() + length); // exact size: overreads show
            QVERIFY(!reader.Parse(cut.data(), cut.size()));
        }
        std::mt19937 random(9);
        for (int round = 0; round < 3000; ++round) {
            Bytes damaged = intact;
            for (int i = 0; i < 4; ++i) {
                const size_t at = random() % (damaged.size() - 4);
                if (random() % 2)
                    damaged[at] = uint8_t(random());
                else { // a size field gone wild
                    const uint32_t wild = uint32_t(random()) | 0xF0000000u;
                    std::memcpy(&damaged[at], &wild, sizeof wild);
                }
            }
            reader.Parse(damaged.data(), damaged.size());
            for (size_t i = 0; i < reader.m_frames.size(); ++i)
                QVERIFY(reader.m_frames[i].offset + reader.m_frames[i].size <= damaged.size());
        }
    }
};

KVX_REGISTER_TEST(TestAviWriter);
#include "tst_aviwriter.moc"
