#include "export/exportrequest.h"
#include "tests/support/testmain.h"

#include <QTest>

namespace {

QString Said(const CExportRequest::Refusal& refusal)
{
    return refusal ? QString::fromStdString(refusal->m_strWhat + ": " + refusal->m_strReason) : QString();
}

CExportRequest Mp4(std::vector<int> channels)
{
    CExportRequest r;
    r.m_settings.m_channels = std::move(channels);
    r.m_settings.m_options.m_format = EExportFormat::Mp4;
    return r;
}

} // namespace

// What an export request refuses, in the words kvxtool says them with: these are the
// command line's messages, which scripts read.
class TestExportRequest : public QObject {
    Q_OBJECT

private slots:
    void refusesTheOptionsTogether_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("said");
        QTest::newRow("no camera") << 0 << "--channel: the camera to export must be given";
        QTest::newRow("quality of an AVI") << 1 << "--crf 30: only an MP4 (--format mp4) has a quality";
        QTest::newRow("sound of an AVI") << 2 << "--audio: only an MP4 (--format mp4) carries sound";
        QTest::newRow("mosaic of AVIs") << 3 << "--mosaic: only an MP4 (--format mp4) can be a mosaic";
        QTest::newRow("rate of an MP4") << 4 << "--fps: an MP4 is timed by the recorder's clock, not a rate";
        QTest::newRow("mosaic of one") << 5 << "--mosaic: a mosaic needs several cameras (--channel 1,2,3,4 or all)";
        QTest::newRow("range backwards")
            << 6 << "--to 2005-01-01 00:00:05: it lies before --from 2005-01-01 00:00:10";
        QTest::newRow("mosaic of all") << 7 << "";
    }
    void refusesTheOptionsTogether()
    {
        QFETCH(int, row);
        QFETCH(QString, said);
        CExportRequest r = Mp4({1});
        r.m_settings.m_options.m_format = row < 4 ? EExportFormat::Avi : EExportFormat::Mp4;
        r.m_bCrfGiven = row == 1;
        r.m_bAudioGiven = row == 2;
        r.m_bFpsGiven = row == 4;
        r.m_settings.m_bMosaic = row == 3 || row == 5 || row == 7;
        r.m_bAllChannels = row == 3 || row == 7;
        if (row == 0 || row == 7)
            r.m_settings.m_channels.clear();
        if (row == 6) {
            r.m_settings.m_from = CDateTime(2005, 1, 1, 0, 0, 10);
            r.m_settings.m_to = CDateTime(2005, 1, 1, 0, 0, 5);
        }
        r.m_settings.m_options.m_nCrf = 30;
        QCOMPARE(Said(r.CheckOptions()), said);
    }

    // "all" becomes the recording's cameras; a camera or sound it lacks is refused
    // with the recording named.
    void fitsTheRecording()
    {
        CRecordingFacts facts;
        facts.m_nChannelCount = 4;
        CExportRequest all = Mp4({});
        all.m_bAllChannels = true;
        QCOMPARE(Said(all.FitRecording("disc.kvx", facts)), QString());
        QCOMPARE(all.m_settings.m_channels, (std::vector<int>{1, 2, 3, 4}));

        CExportRequest beyond = Mp4({2, 9});
        QCOMPARE(Said(beyond.FitRecording("disc.kvx", facts)),
                 "disc.kvx: --channel 9: the recording has cameras 1 to 4");
        CExportRequest sound = Mp4({1});
        sound.m_settings.ChooseSound(2);
        QCOMPARE(Said(sound.FitRecording("disc.kvx", facts)), "disc.kvx: --audio 3: the recording has no sound");
        QCOMPARE(Said(sound.SetSize("720x576")), QString());
        QCOMPARE(Said(sound.SetSize("640x480")),
                 "--size 640x480: the size is 360x240 or 720x480, or on a PAL recording 352x288 or 720x576");
    }

    // A mosaic is 720x480 unless a size was asked for.
    void sizesAMosaic()
    {
        CExportRequest mosaic = Mp4({1, 2});
        mosaic.m_settings.m_bMosaic = true;
        mosaic.UseMosaicSize();
        QCOMPARE(mosaic.m_settings.m_nWidth, 720);
        CExportRequest sized = Mp4({1, 2});
        sized.m_settings.m_bMosaic = true;
        QVERIFY(!sized.SetSize("360x240"));
        sized.UseMosaicSize();
        QCOMPARE(sized.m_settings.m_nWidth, 360);
    }

    void summarisesEachExport()
    {
        CExportRequest avi;
        const CRecordingExport::CExported made{3, "/out/03_Capture.avi", "/out/03_Capture.log", "/out/03_Capture.txt",
                                               12, 7, -1};
        QCOMPARE(QString::fromStdString(avi.Summary(made, false)),
                 "/out/03_Capture.avi  12 frames  channel 03  7 fps  360 x 240\n/out/03_Capture.log\n");
        CExportRequest mp4 = Mp4({3});
        mp4.m_settings.m_options.m_nCrf = 23;
        QCOMPARE(QString::fromStdString(mp4.Summary(made, true)),
                 "{\"mp4\":\"/out/03_Capture.avi\",\"log\":\"/out/03_Capture.log\",\"txt\":\"/out/03_Capture.txt\","
                 "\"frames\":12,\"channel\":\"3\",\"crf\":23,\"audio\":\"none\",\"width\":360,\"height\":240}\n");
    }
};

KVX_REGISTER_TEST(TestExportRequest);
#include "tst_exportrequest.moc"
