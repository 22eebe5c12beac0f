#include "playback/playstate.h"
#include "session/soundlevel.h"
#include "skin/profilefile.h"
#include "tests/support/testmain.h"

#include <QFile>
#include <QTemporaryDir>

class TestSoundLevel : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    CProfileFile Options(const QByteArray& text)
    {
        const QString path = m_dir.filePath("res.ini");
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
            qFatal("cannot write the options");
        return CProfileFile(path.toStdString());
    }

private slots:
    void stepsStayWithinTheRangeAndLiftAMute()
    {
        CSoundLevel level;
        QCOMPARE(level.Percent(), 100);
        level.Step(+1);
        QCOMPARE(level.Percent(), 100);
        level.Step(-3);
        QCOMPARE(level.Percent(), 70);
        QCOMPARE(level.Gain(), 0.7);
        level.ToggleMute();
        QVERIFY(level.IsMuted());
        QCOMPARE(level.Gain(), 0.0);
        QCOMPARE(level.Percent(), 70); // the mute keeps the level for its lifting
        level.Step(-1);
        QVERIFY(!level.IsMuted());
        QCOMPARE(level.Percent(), 60);
        level.Step(-20);
        QCOMPARE(level.Percent(), 0);
        QVERIFY(!level.IsAudible());
        level.Step(+2);
        QCOMPARE(level.Percent(), 20);
    }

    void levelAndMuteGoThroughTheOptionsFile()
    {
        CProfileFile options = Options("[INFO]\nPAL=1\n");
        CSoundLevel level;
        level.Step(-6);
        level.ToggleMute();
        QVERIFY(level.Write(options));
        QCOMPARE(options.GetString("INFO", "Volume", ""), std::string("40"));
        QCOMPARE(options.GetString("INFO", "Mute", ""), std::string("1"));
        QCOMPARE(options.GetInt("INFO", "PAL", 0), 1); // beside what was there
        CSoundLevel read;
        read.Read(options);
        QCOMPARE(read, level);
    }

    // A value written by hand: off the steps it is brought onto them; one that is no
    // number, negative or missing leaves the level as it was.
    void handWrittenValues()
    {
        const struct {
            const char* text;
            int percent;
            bool muted;
        } cases[] = {
            {"[INFO]\nVolume=44\nMute=0\n", 40, false}, {"[INFO]\nVolume=45\n", 50, false},
            {"[INFO]\nVolume=250\nMute=7\n", 100, true}, {"[INFO]\nVolume=99999999999\n", 100, false},
            {"[INFO]\nVolume=loud\nMute=yes\n", 30, false}, {"[INFO]\nVolume=-20\n", 30, false},
            {"[INFO]\nVolume=\n", 30, false},            {"[OTHER]\nVolume=80\n", 30, false},
        };
        for (const auto& c : cases) {
            CSoundLevel level;
            level.Step(-7);
            level.Read(Options(c.text));
            QVERIFY2(level.Percent() == c.percent && level.IsMuted() == c.muted, c.text);
        }
        CSoundLevel level;
        level.Read(CProfileFile(m_dir.filePath("missing.ini").toStdString()));
        QCOMPARE(level, CSoundLevel());
    }

    // Every condition on its own keeps the speakers silent.
    void soundReachesTheSpeakersOnlyWhenEverythingAllows()
    {
        CSoundRoute playing;
        playing.m_byAudioMask = 0b0100;
        playing.m_byOpenOutputs = 0b1111;
        playing.m_nPlayState = PS_FPLAY;
        playing.m_bRecordingHasSound = true;
        const CSoundLevel loud;
        QVERIFY(SoundReachesSpeakers(playing, loud));

        CSoundRoute route = playing;
        route.m_byAudioMask = 0;
        QVERIFY(!SoundReachesSpeakers(route, loud));
        route = playing;
        route.m_byOpenOutputs = 0b1011; // the switched-on channel's output could not open
        QVERIFY(!SoundReachesSpeakers(route, loud));
        route = playing;
        route.m_bRecordingHasSound = false;
        QVERIFY(!SoundReachesSpeakers(route, loud));
        route = playing;
        route.m_bExportOpen = true;
        QVERIFY(!SoundReachesSpeakers(route, loud));
        for (uint8_t state : {PS_PAUSE, PS_BPLAY, PS_FFPLAY, PS_RWPLAY, PS_START, PS_END, PS_SEEK}) {
            route = playing;
            route.m_nPlayState = state;
            QVERIFY2(!SoundReachesSpeakers(route, loud), qPrintable(QString::number(state)));
        }
        CSoundLevel muted;
        muted.ToggleMute();
        QVERIFY(!SoundReachesSpeakers(playing, muted));
        CSoundLevel silent;
        silent.Step(-10);
        QVERIFY(!SoundReachesSpeakers(playing, silent));
    }
};

KVX_REGISTER_TEST(TestSoundLevel);
#include "tst_soundlevel.moc"
