#include "app/mainframe.h"
#include "platform/slicering.h"
#include "platform/waveout.h"
#include "playback/playstate.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "skin/skinbutton.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QCheckBox>
#include <QProcess>

#include <cmath>

namespace {

// Strength of one frequency in unsigned 8-bit samples (Goertzel): the mean over
// 50 ms windows, each measured on its own. A slice lost when the ring is full shifts
// the tone's phase, so one measurement over the whole capture would let the parts
// before and after a loss cancel each other. Every tone is a multiple of 20 Hz, so
// within a window of 400 samples the other tones do not leak into it.
double ToneStrength(const QByteArray& samples, double frequency)
{
    constexpr qsizetype WINDOW = 400;
    const double k = 2.0 * std::cos(2.0 * M_PI * frequency / 8000.0);
    double sum = 0;
    qsizetype windows = 0;
    for (qsizetype start = 0; start + WINDOW <= samples.size(); start += WINDOW, ++windows) {
        double s1 = 0, s2 = 0;
        for (qsizetype i = start; i < start + WINDOW; ++i) {
            const double s = (uint8_t(samples[i]) - 128.0) + k * s1 - s2;
            s2 = s1;
            s1 = s;
        }
        sum += std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - k * s1 * s2)) / WINDOW;
    }
    return sum / double(std::max<qsizetype>(1, windows));
}

std::array<uint8_t, CSliceRing::SLICE_SIZE> Slice(uint8_t value)
{
    std::array<uint8_t, CSliceRing::SLICE_SIZE> slice;
    slice.fill(value);
    return slice;
}

} // namespace

class TestWaveOut : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;

private slots:
    void ringNeverWritesOverUnplayedSound()
    {
        CSliceRing ring;
        for (uint8_t i = 1; i <= 6; ++i)
            QVERIFY(ring.Queue(Slice(i).data()));
        QVERIFY(!ring.Queue(Slice(7).data())); // all six wait: the seventh is lost
        QCOMPARE(ring.RingIndex(), 0);
        QCOMPARE(ring.bytesAvailable(), qint64(6 * 132));

        const QByteArray first = ring.read(100);
        QCOMPARE(first, QByteArray(100, 1));
        QVERIFY(!ring.Queue(Slice(8).data())); // the first buffer is not read through yet
        QCOMPARE(ring.read(32), QByteArray(32, 1));
        QVERIFY(ring.Queue(Slice(9).data())); // now the seventh slice reuses the first buffer
        QCOMPARE(ring.RingIndex(), 1);
        const QByteArray rest = ring.readAll();
        QCOMPARE(rest.size(), 6 * 132);
        QCOMPARE(rest.at(0), char(2));
        QCOMPARE(rest.at(rest.size() - 1), char(9));
        QCOMPARE(ring.read(10), QByteArray()); // nothing waiting: the device runs dry
        ring.Queue(Slice(5).data());
        ring.Reset();
        QCOMPARE(ring.bytesAvailable(), qint64(0));
        QCOMPARE(ring.RingIndex(), 0);
    }

    // Through the real sound server: a recording with four tones plays with audio
    // channel 2 switched on, and what the server's sink receives carries that tone.
    void switchedOnChannelIsHeard()
    {
        if (qEnvironmentVariableIsEmpty("PULSE_SERVER"))
            QSKIP("no private sound server (run through CTest)");
        QVERIFY(CWaveOut::HasDevice()); // so the player says nothing about a missing one
        CPlayerFixture fixture;
        fixture.WriteSkin();
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(600, 0.016);
        auto frame = fixture.Start(QString::fromStdString(m_recordings.Write(recipe)));
        CKVXPlayerView* view = frame->View();
        QVERIFY2(fixture.m_messages.isEmpty(), qPrintable(fixture.m_messages.join(", ")));
        for (int i = 0; i < 4; ++i)
            QVERIFY(view->HasAudioOutput(i));
        // Paused after the first group (the go-to-start frame and four records), not
        // before the playback thread has begun: a click then would be undone by it.
        QTRY_VERIFY(view->DeliveredFrames() >= 5 && view->PlayStateForTest() == PS_PAUSE);
        QTest::mouseClick(view->Control(ctl::AUDIO2), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(view->AudioMask(), uint8_t(0b0010));

        QProcess recorder;
        recorder.start("parec", {"-d", "kvx_null.monitor", "--raw", "--format=u8", "--rate=8000", "--channels=1", "--latency-msec=20"});
        QVERIFY(recorder.waitForStarted());
        QTest::mouseClick(view->Button(ctl::FPLAY), Qt::LeftButton, {}, QPoint(2, 2));
        QTest::qWait(3000);
        recorder.terminate();
        recorder.waitForFinished();
        const QByteArray sound = recorder.readAllStandardOutput();
        QVERIFY2(sound.size() > 8000, qPrintable(QString::number(sound.size())));

        const double heard = ToneStrength(sound, CRecordingGenerator::ToneFrequency(1));
        qInfo("tone strengths: %.2f %.2f %.2f %.2f", ToneStrength(sound, CRecordingGenerator::ToneFrequency(0)), heard,
              ToneStrength(sound, CRecordingGenerator::ToneFrequency(2)), ToneStrength(sound, CRecordingGenerator::ToneFrequency(3)));
        for (int other : {0, 2, 3})
            QVERIFY2(heard > 5 * ToneStrength(sound, CRecordingGenerator::ToneFrequency(other)),
                     qPrintable(QString("tone %1: %2 against %3").arg(other).arg(ToneStrength(sound, CRecordingGenerator::ToneFrequency(other))).arg(heard)));
        QVERIFY(heard > 5.0); // a tone of amplitude 90 throughout gives 45
    }
};

KVX_REGISTER_TEST(TestWaveOut);
#include "tst_waveout.moc"
