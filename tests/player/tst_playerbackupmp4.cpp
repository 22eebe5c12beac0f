#include "app/mainframe.h"
#include "export/backupdlg.h"
#include "export/backuprecorder.h"
#include "export/exportoutcomeline.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "skin/skinbutton.h"
#include "tests/support/backuppanelfixture.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"
#include "tests/support/toolrun.h"
#include "tools/recgen/recordinggenerator.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLabel>
#include <QStandardPaths>

namespace {

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}


// A tone's frequency from the sign changes in one second of the copy's sound,
// decoded to 8,000 samples a second, from second `from` on.
double ToneFrequency(const QString& path, int from)
{
    const CToolRun run = CToolRun::Of("ffmpeg", {"-v", "error", "-i", path, "-map", "0:a", "-f", "s16le", "-ac", "1",
                                                 "-ar", "8000", "-"});
    const auto* samples = reinterpret_cast<const int16_t*>(run.out.constData());
    const int count = int(run.out.size() / 2);
    int changes = 0;
    for (int i = from * 8000 + 1; i < (from + 1) * 8000 && i < count; ++i)
        changes += (samples[i - 1] < 0) != (samples[i] < 0);
    return changes / 2.0;
}

} // namespace

// MP4 copies and the camera's own rate from the export panel, driven through the
// real player window.
class TestPlayerBackupMp4 : public QObject, public CBackupPanelFixture {
    Q_OBJECT

private slots:
    void init() { m_shownFolders.clear(); }

    // Camera 2 of a 4-camera recording with sound, as MP4 from the panel with audio
    // switch 2 on: H.264 and AAC, each picture at its recorder second + k/n, camera
    // 2's tone in the sound; the note names the master with its true sum, and the
    // sums check.
    void mp4WithSoundFromThePanel()
    {
        if (QStandardPaths::findExecutable("ffprobe").isEmpty())
            QSKIP("ffprobe is not installed");
        CPlayerFixture fixture;
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(240, 1.0 / 60); // 15 pictures a second each
        recipe.m_timeStart = CDateTime(2024, 3, 18, 14, 0, 0);
        QString recording;
        auto frame = StartPaused(fixture, recipe, recording);
        CKVXPlayerView* view = frame->View();
        QTest::mouseClick(view->Control(ctl::AUDIO2), Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(view->AudioMask(), uint8_t(0b0010));
        CBackupDlg* dialog = OpenPanel(view);
        QCOMPARE(dialog->FormatBox()->currentText(), QString("AVI (Motion-JPEG)"));
        QVERIFY(dialog->FrameRateBox()->isEnabled());
        dialog->FormatBox()->setCurrentIndex(1);
        QCOMPARE(dialog->FormatBox()->currentText(), QString("MP4 (H.264)"));
        QVERIFY(!dialog->FrameRateBox()->isEnabled());
        QVERIFY(dialog->FrameRateBox()->toolTip().contains("recorder's clock"));
        StartExport(dialog, 1);
        QVERIFY(!dialog->FormatBox()->isEnabled());
        QTRY_VERIFY(dialog->ProgressLabel()->text().contains("02_Capture.mp4"));
        QVERIFY(QTest::qWaitFor([&] { return dialog->IsStopped(); }, 60000)); // the end pauses, and so stops it
        WaitForCompletion(view);
        fixture.m_messages.removeAll(NO_SOUND_DEVICE_MESSAGE); // this machine may have no sound output
        QVERIFY2(fixture.m_messages.isEmpty(), qPrintable(fixture.m_messages.join('\n')));

        const QString folder = fixture.Folder() + "avi/";
        const QString mp4 = folder + "02_Capture.mp4";
        const QJsonObject probe = CToolRun::Of("ffprobe", {"-v", "error", "-show_streams", "-show_format", "-of",
                                                           "json", mp4}).Json();
        const QJsonArray streams = probe["streams"].toArray();
        QCOMPARE(streams.size(), 2);
        QCOMPARE(streams[0]["codec_name"].toString(), QString("h264"));
        QCOMPARE(streams[1]["codec_name"].toString(), QString("aac"));

        // Camera 2's pictures, every one forward play delivered: 15 a second.
        QList<double> expected;
        for (const CGeneratedRecord& r : m_recordings.Last().Records())
            if (r.m_nChannel == 1)
                expected << r.m_time.GetSecond() + double(expected.size() % 15) / 15;
        const QList<double> times = PictureTimes(mp4);
        QCOMPARE(uint32_t(times.size()), view->BackupRecorder()->FrameCount());
        QCOMPARE(dialog->OutcomeLine()->Text(), QString("Saved 02_Capture.mp4, %1 frames, in %2")
                                                   .arg(times.size())
                                                   .arg(QDir::toNativeSeparators(fixture.Folder() + "avi")));
        QCOMPARE(times.size(), expected.size());
        // The sound's encoder primes before the first sample and the pictures move by as much.
        const double offset = times[1] - expected[1];
        QVERIFY2(offset >= 0 && offset < 0.2, qPrintable(QString::number(offset)));
        for (int i = 1; i < times.size(); ++i)
            QVERIFY2(std::abs(times[i] - offset - expected[i]) < 0.002,
                     qPrintable(QString("picture %1 at %2, not %3").arg(i).arg(times[i]).arg(expected[i])));
        const double video = streams[0]["duration"].toString().toDouble();
        QVERIFY2(video > 3.5 && video < 4.5, qPrintable(QString::number(video)));
        QVERIFY(std::abs(streams[1]["duration"].toString().toDouble() - video) < 1.1);
        const double tone = ToneFrequency(mp4, 1);
        QVERIFY2(std::abs(tone - CRecordingGenerator::ToneFrequency(1)) < 40, qPrintable(QString::number(tone)));

        const QByteArray note = Read(folder + "02_Capture.txt");
        const QByteArray master = Read(recording);
        QVERIFY(note.contains("MASTER       : " + recording.toUtf8() + "\r\n"));
        QVERIFY(note.contains("MASTER SHA256: " + QCryptographicHash::hash(master, QCryptographicHash::Sha256).toHex()));
        QVERIFY(note.contains("AAC sound of audio channel 2"));
        const CToolRun sums = CToolRun::Of("bash", {"-c", "cd '" + folder + "' && sha256sum -c 02_Capture.sha256"});
        QCOMPARE(sums.status, 0);
        QCOMPARE(sums.out.count(": OK"), 3); // the copy, the log and the note
    }

    // Without a switch on, the MP4 has no sound; the AVI chosen again is the AVI.
    void mp4WithoutASwitchHasNoSound()
    {
        if (QStandardPaths::findExecutable("ffprobe").isEmpty())
            QSKIP("ffprobe is not installed");
        CPlayerFixture fixture;
        QString recording;
        auto frame = StartPaused(fixture, CRecordingRecipe::FourChannelsWithAudio(64, 1.0 / 16), recording);
        CKVXPlayerView* view = frame->View();
        CBackupDlg* dialog = OpenPanel(view);
        dialog->FormatBox()->setCurrentIndex(1);
        StartExport(dialog, 0);
        QVERIFY(QTest::qWaitFor([&] { return dialog->IsStopped(); }, 60000));
        WaitForCompletion(view);
        const QString folder = fixture.Folder() + "avi/";
        const QJsonArray streams = CToolRun::Of("ffprobe", {"-v", "error", "-show_streams", "-of", "json",
                                                            folder + "01_Capture.mp4"}).Json()["streams"].toArray();
        QCOMPARE(streams.size(), 1);
        QVERIFY(Read(folder + "01_Capture.txt").contains("no sound"));

        Click(view->Button(ctl::BACKUP));
        OpenPanel(view);
        QCOMPARE(dialog->FormatBox()->currentText(), QString("AVI (Motion-JPEG)")); // each opening starts with the AVI
        QVERIFY(dialog->FrameRateBox()->isEnabled());
        QVERIFY(dialog->FrameRateBox()->toolTip().isEmpty());
    }

    // Each camera records 5 pictures a second for 12 seconds: the panel preselects 5
    // and says so beside the box, for whichever camera is chosen, and the AVI is
    // made at that rate.
    void panelPreselectsTheCamerasOwnRate()
    {
        CPlayerFixture fixture;
        CRecordingRecipe recipe;
        recipe.m_nChannels = 4;
        recipe.m_nRecords = 240;
        recipe.m_dSecondsPerRecord = 1.0 / 20;
        QString recording;
        auto frame = StartPaused(fixture, recipe, recording);
        CKVXPlayerView* view = frame->View();
        CBackupDlg* dialog = OpenPanel(view);
        QTRY_VERIFY_WITH_TIMEOUT(dialog->RateLabel()->isVisible(), 30000);
        QCOMPARE(dialog->RateLabel()->text(), QString("the camera records 5 pictures a second"));
        QCOMPARE(dialog->FrameRateBox()->currentText(), QString("5"));
        QVERIFY(dialog->RateLabel()->geometry().top() > dialog->FrameRateBox()->geometry().bottom());
        // A marked range beside the rate does not fit the row: the words cut end in an
        // ellipsis, and the tool tip has them all.
        dialog->SetRangeText("2024-03-18 14:00:00 \u2013 2024-03-18 14:01:18");
        const QLabel* rate = dialog->RateLabel();
        QVERIFY(rate->toolTip().startsWith("only 2024-03-18 14:00:00"));
        QVERIFY(rate->toolTip().endsWith("the camera records 5 pictures a second"));
        QVERIFY(rate->text().endsWith(QChar(0x2026)));
        QVERIFY(rate->fontMetrics().horizontalAdvance(rate->text()) <= rate->width());
        dialog->SetRangeText({});
        QCOMPARE(rate->text(), QString("the camera records 5 pictures a second"));
        dialog->ChannelBox()->setCurrentIndex(3);
        QCOMPARE(dialog->FrameRateBox()->currentText(), QString("5"));
        StartExport(dialog, 2);
        // Rates learnt during the export leave its boxes alone until it stops.
        dialog->SetCameraRates({7, 7, 7, 7});
        QCOMPARE(dialog->FrameRateBox()->currentText(), QString("5"));
        QVERIFY(QTest::qWaitFor([&] { return dialog->IsStopped(); }, 60000));
        QCOMPARE(dialog->FrameRateBox()->currentText(), QString("7"));
        QCOMPARE(dialog->RateLabel()->text(), QString("the camera records 7 pictures a second"));
        WaitForCompletion(view);
        QVERIFY(Read(fixture.Folder() + "avi/03_Capture.log").contains("FRAME RATE   : 05 Frame"));
    }
};

KVX_REGISTER_TEST(TestPlayerBackupMp4);
#include "tst_playerbackupmp4.moc"
