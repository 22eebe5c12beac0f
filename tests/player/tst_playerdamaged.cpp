// Damaged recordings through the real window: every one opens or is refused with
// the probe's message, survives every play state (its memory use watched by the
// sanitizer builds), keeps the window thread free, and stops cleanly on exit.

#include "app/mainframe.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "skin/skinslider.h"
#include "recording/recordformat.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QFile>
#include <QTimer>
#include <turbojpeg.h>

#include <random>

using Bytes = std::vector<uint8_t>;

namespace {

struct CDamaged {
    std::string name;
    Bytes bytes;
};

// The two kinds of recorder, with small pictures so that a record is a few blocks long.
CRecordingRecipe Sample(int channels)
{
    CRecordingRecipe r = channels == 4 ? CRecordingRecipe::FourChannelsWithAudio(12, 0.25) : CRecordingRecipe{};
    r.m_nChannels = channels;
    r.m_nRecords = channels == 4 ? 12 : 24;
    r.m_nWidth = 176;
    r.m_nHeight = 112;
    r.m_dSecondsPerRecord = 0.25;
    return r;
}

Bytes ReadAll(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", path.c_str());
    const QByteArray all = f.readAll();
    return Bytes(all.begin(), all.end());
}

// A picture of the recorder's size in another JPEG form, or patched into a form that
// TurboJPEG cannot encode itself (12 bits, arithmetic coding, an absurd size).
Bytes OtherJpeg(const std::string& kind)
{
    std::vector<uint8_t> pixels(176 * 112 * 4);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = uint8_t(i * 7 % 251);
    tjhandle handle = tjInitCompress();
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const bool cmyk = kind == "cmyk";
    tjCompress2(handle, pixels.data(), 176, 0, 112, cmyk ? TJPF_CMYK : TJPF_RGBX, &out, &size,
                cmyk ? TJSAMP_444 : TJSAMP_420, 50, kind == "progressive" ? TJFLAG_PROGRESSIVE : 0);
    Bytes jpeg(out, out + size);
    tjFree(out);
    tjDestroy(handle);
    for (size_t i = 0; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] != 0xFF || jpeg[i + 1] != 0xC0)
            continue;
        if (kind == "arithmetic")
            jpeg[i + 1] = 0xC9;
        if (kind == "12-bit")
            jpeg[i + 4] = 12;
        if (kind == "huge-size")
            jpeg[i + 5] = jpeg[i + 6] = jpeg[i + 7] = jpeg[i + 8] = 0xFF;
        break;
    }
    return jpeg;
}

// Puts `jpeg` in place of a record's picture, stored as the recorder stores it.
void ReplacePicture(Bytes& file, const CGeneratedRecord& record, Bytes jpeg)
{
    jpeg.resize(std::min<size_t>(std::max<size_t>(jpeg.size(), record.m_nPictureBytes), record.m_nPictureBytes), 0);
    if (jpeg.size() % 2)
        jpeg.push_back(0);
    SwapBytePairs(jpeg.data(), jpeg.size());
    std::copy(jpeg.begin(), jpeg.end(), file.begin() + long(record.m_nOffset + kvx::BLOCK_SIZE));
}

class CDamageMaker {
public:
    explicit CDamageMaker(CRecordingFixture& files) : m_files(files) {}

    std::vector<CDamaged> Make()
    {
        for (int channels : {16, 4})
            FromSample(channels);
        m_out.push_back({"all zero", Bytes(1 << 20, 0)});
        m_out.push_back({"all 0xFF", Bytes(1 << 20, 0xFF)});
        return std::move(m_out);
    }

private:
    void FromSample(int channels)
    {
        const std::string path = m_files.Write(Sample(channels));
        const std::vector<CGeneratedRecord> records = m_files.Last().Records();
        const Bytes file = ReadAll(path);
        const std::string tag = std::to_string(channels) + "ch ";
        // Every 512-byte cut through the first record and through the last three, and
        // cuts of odd length.
        const uint64_t firstEnd = records[1].m_nOffset;
        for (uint64_t cut = kvx::RECORD_AREA_OFFSET; cut <= firstEnd; cut += kvx::BLOCK_SIZE)
            Truncated(tag + "cut in the first record", file, cut);
        for (uint64_t cut = records[records.size() - 3].m_nOffset; cut < file.size(); cut += kvx::BLOCK_SIZE)
            Truncated(tag + "cut in the last records", file, cut);
        for (uint64_t cut : {firstEnd + 1, firstEnd + 777, uint64_t(file.size() - 1), uint64_t(file.size() - 333)})
            Truncated(tag + "odd cut", file, cut);

        std::mt19937 random{uint32_t(channels)};
        for (int round = 0; round < 6; ++round) {
            Bytes headers = file, pictures = file;
            for (int flip = 0; flip < 12; ++flip) {
                const CGeneratedRecord& r = records[random() % records.size()];
                headers[r.m_nOffset + random() % kvx::BLOCK_SIZE] ^= uint8_t(1 << (random() % 8));
                if (r.m_nPictureBytes)
                    pictures[r.m_nOffset + kvx::BLOCK_SIZE + random() % r.m_nJpegBytes] ^= uint8_t(random() | 1);
            }
            m_out.push_back({tag + "flipped header bytes", headers});
            m_out.push_back({tag + "flipped picture bytes", pictures});
        }

        for (const char* kind : {"progressive", "cmyk", "arithmetic", "12-bit", "huge-size"}) {
            Bytes changed = file;
            for (size_t i = 1; i < records.size(); i += 3)
                if (records[i].m_nPictureBytes)
                    ReplacePicture(changed, records[i], OtherJpeg(kind));
            m_out.push_back({tag + kind + " pictures", changed});
        }
        Bytes noEnd = file; // every end-of-image marker gone
        for (size_t i = kvx::RECORD_AREA_OFFSET; i + 1 < noEnd.size(); i += 2)
            if (noEnd[i] == 0xD9 && noEnd[i + 1] == 0xFF)
                noEnd[i] = 0xD8;
        m_out.push_back({tag + "pictures without an end", noEnd});
        Bytes headersOnly(file.begin(), file.begin() + long(kvx::RECORD_AREA_OFFSET));
        for (const CGeneratedRecord& r : records)
            headersOnly.insert(headersOnly.end(), file.begin() + long(r.m_nOffset),
                               file.begin() + long(r.m_nOffset + kvx::BLOCK_SIZE));
        m_out.push_back({tag + "headers only", headersOnly});

        CRecordingRecipe oversize = Sample(channels);
        for (int i = 0; i < oversize.m_nRecords; ++i)
            oversize.m_oversize.insert(i);
        m_out.push_back({tag + "every picture too large", ReadAll(m_files.Write(oversize))});
    }

    void Truncated(const std::string& name, const Bytes& file, uint64_t cut)
    {
        m_out.push_back({name + " at " + std::to_string(cut), Bytes(file.begin(), file.begin() + long(cut))});
    }

    CRecordingFixture& m_files;
    std::vector<CDamaged> m_out;
};

// The messages about the recording; the test machine has no sound server, which the
// player also says when a recording has audio.
QStringList RecordingMessages(const CPlayerFixture& fixture)
{
    QStringList out = fixture.m_messages;
    out.removeAll(NO_SOUND_DEVICE_MESSAGE);
    return out;
}

// True when the window thread runs what is queued to it.
bool WindowThreadAnswers()
{
    bool answered = false;
    QTimer::singleShot(0, [&] { answered = true; });
    return QTest::qWaitFor([&] { return answered; }, 10000);
}

} // namespace

class TestPlayerDamaged : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

private slots:
    void everyDamagedRecordingOpensOrIsRefused()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        const std::vector<CDamaged> damaged = CDamageMaker(m_files).Make();
        int opened = 0;
        for (const CDamaged& d : damaged) {
            fixture.m_messages.clear();
            const std::string path = m_files.WriteBytes(d.bytes);
            auto frame = fixture.Start(QString::fromStdString(path));
            QVERIFY2(frame, d.name.c_str());
            CKVXPlayerView* view = frame->View();
            if (!view->IsPlayThreadStarted()) {
                const QStringList messages = RecordingMessages(fixture);
                const QString refusal = QString(APP_TITLE) + "|"
                                      + QString::fromStdString(UnknownCdMessage(path, "is not a DVR backup recording"));
                QVERIFY2(messages.size() == 1 && messages.front().startsWith(refusal), d.name.c_str());
                continue;
            }
            ++opened;
            for (int i = 0; i < 5; ++i)
                view->OnCommand(ctl::SPEED_UP); // the largest jumps
            for (int id : {ctl::FPLAY, ctl::BPLAY, ctl::FFPLAY, ctl::RWPLAY, ctl::END, ctl::START}) {
                view->OnCommand(id);
                QTest::qWait(20);
                QVERIFY2(WindowThreadAnswers(), d.name.c_str());
            }
            view->Slider()->m_nClickPos = 355;
            view->OnCommand(ctl::SLIDER);
            QTest::qWait(20);
            QVERIFY2(WindowThreadAnswers(), d.name.c_str());
            // A short read is the end of the file, never a read error.
            QVERIFY2(RecordingMessages(fixture).isEmpty(),
                     qPrintable(QString::fromStdString(d.name) + ": " + fixture.m_messages.join(", ")));
            view->OnCommand(ctl::EXIT);
            QVERIFY2(!view->IsPlayThreadStarted(), d.name.c_str());
            QTRY_VERIFY2(!frame->isVisible(), d.name.c_str());
        }
        QVERIFY(opened > int(damaged.size()) / 2); // most of them still play
    }
};

KVX_REGISTER_TEST(TestPlayerDamaged);
#include "tst_playerdamaged.moc"
