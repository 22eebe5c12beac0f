#include "platform/readonlyfile.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QDir>

#include <algorithm>
#include <unistd.h>

namespace {

std::vector<uint8_t> Pattern(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 131 + (i >> 12));
    return bytes;
}

// One read at `position`: the file's bytes there, zeros beyond its end.
bool ReadsAt(CReadOnlyFile& file, const std::vector<uint8_t>& bytes, uint64_t position, size_t size)
{
    std::vector<uint8_t> got(size, 0xAA);
    if (!file.Seek(position))
        return false;
    const int64_t n = file.ReadPadded(got.data(), size);
    const size_t expected = position < bytes.size() ? std::min<size_t>(size, bytes.size() - position) : 0;
    return n == int64_t(expected) && std::equal(got.begin(), got.begin() + long(expected), bytes.begin() + long(position))
        && std::all_of(got.begin() + long(expected), got.end(), [](uint8_t b) { return b == 0; });
}

} // namespace

class TestReadOnlyFile : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

private slots:
    // The read-ahead is invisible: reading on, block by block backwards as the probe
    // does, or jumping as playback does, every read gives the bytes at its position.
    void everyReadGivesTheBytesAtItsPosition()
    {
        const std::vector<uint8_t> bytes = Pattern(3 * 1024 * 1024 + 300);
        CReadOnlyFile file;
        QVERIFY(file.Open(m_files.WriteBytes(bytes)));
        QCOMPARE(file.Length(), uint64_t(bytes.size()));

        const size_t sizes[] = {512, 8192, 1024, 512, 512};
        std::vector<uint8_t> got(8192);
        QVERIFY(file.Seek(0));
        for (uint64_t position = 0, i = 0; position < bytes.size() + 8192; ++i) {
            const size_t size = sizes[i % 5];
            const int64_t n = file.Read(got.data(), size);
            QCOMPARE(n, int64_t(std::min<uint64_t>(size, bytes.size() - std::min<uint64_t>(position, bytes.size()))));
            QVERIFY(std::equal(got.begin(), got.begin() + n, bytes.begin() + long(std::min<uint64_t>(position, bytes.size()))));
            position += size;
        }
        for (uint64_t position = (bytes.size() - 1) / 512 * 512 + 512; position > 0;)
            QVERIFY(ReadsAt(file, bytes, position -= 512, 512));
        uint32_t seed = 7;
        for (int i = 0; i < 400; ++i) {
            seed = seed * 1103515245 + 12345;
            const uint64_t position = (seed >> 4) % (bytes.size() + 100000);
            QVERIFY2(ReadsAt(file, bytes, position, 1 + (seed >> 8) % 70000), qPrintable(QString::number(position)));
        }
    }

    // What was read ahead can be looked through without moving the position.
    void aheadShowsTheBytesFromThePosition()
    {
        const std::vector<uint8_t> bytes = Pattern(200000);
        CReadOnlyFile file;
        QVERIFY(file.Open(m_files.WriteBytes(bytes)));
        QVERIFY(file.Seek(150000));
        const std::span<const uint8_t> ahead = file.Ahead();
        QVERIFY(!ahead.empty() && ahead.size() <= 50000);
        QVERIFY(std::equal(ahead.begin(), ahead.end(), bytes.begin() + 150000));
        QVERIFY(ReadsAt(file, bytes, 150000, 512));
        QVERIFY(file.Seek(200000));
        QVERIFY(file.Ahead().empty());
    }

    // A file that shrinks while it is read ends where a read finds its end now.
    void aReadPastTheCurrentEndIsTheEnd()
    {
        const std::vector<uint8_t> bytes = Pattern(2 * 1024 * 1024);
        const std::string path = m_files.WriteBytes(bytes);
        CReadOnlyFile file;
        QVERIFY(file.Open(path));
        QVERIFY(ReadsAt(file, bytes, 0, 512));
        QVERIFY(::truncate(path.c_str(), 300000) == 0);
        const std::vector<uint8_t> shorter(bytes.begin(), bytes.begin() + 300000);
        QVERIFY(ReadsAt(file, shorter, 1024 * 1024, 512));
        QCOMPARE(file.Length(), uint64_t(300000));
        QVERIFY(ReadsAt(file, shorter, 299800, 512));
        QVERIFY(file.Seek(300000));
        QVERIFY(file.Ahead().empty());
    }

    // Only a regular file or a disc can hold a recording. A pipe is refused before
    // opening it, which would wait for a writer.
    void onlyFilesAndDiscsAreOpened()
    {
        const std::string pipe = m_files.MakePipe("pipe.kvx");
        CReadOnlyFile file;
        {
            CPipeWatchdog watchdog(pipe);
            QVERIFY(!file.Open(pipe));
            QVERIFY(!watchdog.Released());
        }
        QCOMPARE(file.ErrorText(), std::string("It is a pipe, not a file."));
        QVERIFY(!file.Open(QDir::tempPath().toStdString()));
        QCOMPARE(file.ErrorText(), std::string("It is a folder, not a file."));
        QVERIFY(!file.Open("/dev/null"));
        QCOMPARE(file.ErrorText(), std::string("It is a device or a socket, not a file."));
        QVERIFY(!file.Open(m_files.PathFor("missing.kvx")));
        QCOMPARE(file.ErrorText(), std::string("No such file or directory"));
        QVERIFY(!file.IsOpen());
    }
};

KVX_REGISTER_TEST(TestReadOnlyFile);
#include "tst_readonlyfile.moc"
