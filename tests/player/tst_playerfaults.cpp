// What the user meets when the disc misbehaves or the name is awkward: read errors in
// the middle of playing, files that are no recordings, names with spaces, quotes,
// letters beyond ASCII or more than 260 characters, recordings beyond 4 GiB, and a
// recording never written to by a whole session.

#include "app/mainframe.h"
#include "platform/nativefilename.h"
#include "platform/opendialog.h"
#include "platform/readonlyfile.h"
#include "playback/playstate.h"
#include "player/controlids.h"
#include "player/kvxplayerview.h"
#include "recording/recordformat.h"
#include "skin/skinslider.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimer>

#include <sys/stat.h>

namespace {

const QString READ_ERROR = QString(APP_TITLE) + "|Can not read KVX file. ";

bool WindowThreadAnswers()
{
    bool answered = false;
    QTimer::singleShot(0, [&] { answered = true; });
    return QTest::qWaitFor([&] { return answered; }, 10000);
}

// The bytes' hash and the modification time in nanoseconds.
std::pair<QByteArray, int64_t> Fingerprint(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    f.open(QIODevice::ReadOnly);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&f);
    struct stat st {};
    ::stat(path.c_str(), &st);
    return {hash.result(), int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

} // namespace

class TestPlayerFaults : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;
    COpenDialog::Handler m_previousDialog;
    QString m_strDialogAnswer;

    std::string Recording(int records, int channels = 16)
    {
        CRecordingRecipe recipe;
        recipe.m_nChannels = channels;
        recipe.m_nRecords = records;
        return m_files.Write(recipe);
    }

    // Starts the player on `commandLine` and waits for its first group.
    static std::unique_ptr<CMainFrame> StartPaused(CPlayerFixture& fixture, const QString& commandLine)
    {
        auto frame = fixture.Start(commandLine);
        if (!QTest::qWaitFor([&] { return frame->View()->DeliveredFrames() >= 16
                                       && frame->View()->PlayStateForTest() == PS_PAUSE; }, 20000))
            qFatal("the first group was not shown");
        return frame;
    }

    // Opening counts the frames afresh.
    static bool OpensAndShowsTheFirstGroup(CKVXPlayerView* view)
    {
        return view->IsPlayThreadStarted() && QTest::qWaitFor([&] { return view->DeliveredFrames() >= 16; }, 20000);
    }

private slots:
    void initTestCase()
    {
        m_previousDialog = COpenDialog::SetHandler([this](const QString&) { return m_strDialogAnswer; });
    }
    void cleanupTestCase() { COpenDialog::SetHandler(m_previousDialog); }
    void cleanup() { CReadOnlyFile::ClearReadFaults(); }

    // A disc that cannot be read further on: the message comes once, playback pauses,
    // and the window goes on to open another recording.
    void readErrorIsShownOnceAndTheNextRecordingOpens()
    {
        const std::string path = Recording(160);
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, QString::fromStdString(path));
        CKVXPlayerView* view = frame->View();
        // Once the recording is open: the probe would otherwise end it before the fault.
        CReadOnlyFile::InjectReadFault(path, kvx::RECORD_AREA_OFFSET + (1 << 20), true);
        view->OnCommand(ctl::FPLAY);
        QTRY_VERIFY_WITH_TIMEOUT(fixture.m_messages.contains(READ_ERROR), 20000);
        QTRY_COMPARE(view->PlayStateForTest(), PS_PAUSE);
        for (int id : {ctl::FPLAY, ctl::FFPLAY, ctl::END}) // the thread is gone: nothing more is read
            view->OnCommand(id);
        QTest::qWait(200);
        QCOMPARE(fixture.m_messages, QStringList{READ_ERROR});
        QVERIFY(WindowThreadAnswers());

        m_strDialogAnswer = QString::fromStdString(Recording(48));
        view->OnCommand(ctl::OPEN);
        QVERIFY(OpensAndShowsTheFirstGroup(view));
        QCOMPARE(fixture.m_messages, QStringList{READ_ERROR});
    }

    // A read that comes back short is where the file ends now: no message, and
    // nothing recorded beyond it is shown.
    void shortReadIsTheEndOfTheFile()
    {
        const std::string path = Recording(160);
        const std::vector<CGeneratedRecord> records = m_files.Last().Records();
        const uint64_t end = kvx::RECORD_AREA_OFFSET + (1 << 20);
        uint64_t latest = 0; // the latest date a record wholly before the end holds
        for (const CGeneratedRecord& r : records)
            if (r.m_nOffset + kvx::BLOCK_SIZE + r.m_nPictureBytes <= end)
                latest = std::max(latest, DateTimeToOrderKey(r.m_time));
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, QString::fromStdString(path));
        CKVXPlayerView* view = frame->View();
        CReadOnlyFile::InjectReadFault(path, end, false);
        view->OnCommand(ctl::FPLAY);
        for (int i = 0; i < 30; ++i) {
            QTest::qWait(50);
            QVERIFY(DateTimeToOrderKey(view->ShownTime()) <= latest);
        }
        QVERIFY(fixture.m_messages.isEmpty());
        QVERIFY(WindowThreadAnswers());
        view->OnCommand(ctl::EXIT);
        QVERIFY(!view->IsPlayThreadStarted());
    }

    // Only regular files and discs are opened; anything else is refused at once with
    // the reason, and the window stays as it was.
    void whatIsNoFileIsRefusedWithItsReason()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = fixture.Start("");
        CKVXPlayerView* view = frame->View();
        const std::string pipe = m_files.MakePipe("pipe.kvx");
        const std::pair<QString, const char*> cases[] = {
            {QDir::tempPath(), "It is a folder, not a file."},
            {"/dev/null", "It is a device or a socket, not a file."},
            {QString::fromStdString(pipe), "It is a pipe, not a file."},
            {QString::fromStdString(m_files.PathFor("missing.kvx")), "No such file or directory"},
        };
        for (const auto& [path, reason] : cases) {
            fixture.m_messages.clear();
            m_strDialogAnswer = path;
            CPipeWatchdog watchdog(pipe);
            view->OnCommand(ctl::OPEN);
            QVERIFY(!watchdog.Released());
            QCOMPARE(fixture.m_messages,
                     QStringList{QString(APP_TITLE) + "|Can not open KVX file.\n" + path + "\n" + reason});
            QVERIFY(!view->IsPlayThreadStarted());
        }
        if (::geteuid() == 0)
            QSKIP("the superuser reads every file: an unreadable one cannot be made");
        const std::string locked = Recording(16);
        ::chmod(locked.c_str(), 0);
        fixture.m_messages.clear();
        m_strDialogAnswer = QString::fromStdString(locked);
        view->OnCommand(ctl::OPEN);
        QCOMPARE(fixture.m_messages, QStringList{QString(APP_TITLE) + "|Can not open KVX file.\n" +
                                                 m_strDialogAnswer + "\nPermission denied"});
    }

    // Names as discs and desktops have them, from the command line and the open dialog.
    void awkwardNamesOpenFromBothWays()
    {
        QString folder = QString::fromStdString(m_files.PathFor("Überwachung \"Nord\" 'Tor'"));
        while (folder.size() < 300)
            folder += "/Aufnahmen vom Rekorder Süd – Kamera 1 bis 16";
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + "/Band \"3\" – 18.03.2024 ÄÖÜ.kvx";
        QVERIFY(path.size() > 260);
        QVERIFY(QFile::rename(QString::fromStdString(Recording(48)), path));

        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = fixture.Start(path);
        QCOMPARE(frame->View()->FilePath(), path);
        QVERIFY(OpensAndShowsTheFirstGroup(frame->View()));

        auto other = fixture.Start("");
        m_strDialogAnswer = path;
        other->View()->OnCommand(ctl::OPEN);
        QVERIFY(OpensAndShowsTheFirstGroup(other->View()));
        QVERIFY(fixture.m_messages.isEmpty());
    }

    // A DVD backup beyond 4 GiB: the end time is the last record's, and playing to the
    // end, back to the start and seeking into the middle all work across the hole.
    void recordingBeyond4GiBPlaysThroughout()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 48;
        recipe.m_nGapBeforeLast = uint64_t(4608) << 20; // sparse: no disc space taken
        const std::string path = m_files.Write(recipe);
        const std::vector<CGeneratedRecord> records = m_files.Last().Records();
        QVERIFY(m_files.Last().FileLength() > (uint64_t(1) << 32));

        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = StartPaused(fixture, QString::fromStdString(path));
        CKVXPlayerView* view = frame->View();
        QCOMPARE(view->Recording().m_timeEnd, records.back().m_time);

        view->OnCommand(ctl::END);
        QTRY_VERIFY_WITH_TIMEOUT(view->PlayStateForTest() == PS_PAUSE && view->ShownTime() == records.back().m_time, 20000);
        view->OnCommand(ctl::START);
        QTRY_VERIFY_WITH_TIMEOUT(view->PlayStateForTest() == PS_PAUSE && view->ShownTime() == records.front().m_time, 20000);
        view->Slider()->m_nClickPos = 355;
        view->OnCommand(ctl::SLIDER);
        QTRY_VERIFY_WITH_TIMEOUT(view->PlayStateForTest() == PS_PAUSE, 60000);
        QVERIFY(fixture.m_messages.isEmpty());
    }

    // The recording is evidence: a whole session leaves its bytes and its time alone.
    void aSessionNeverWritesTheRecording()
    {
        const std::string path = Recording(64);
        const auto before = Fingerprint(path);
        {
            CPlayerFixture fixture;
            fixture.WriteSkin();
            auto frame = StartPaused(fixture, QString::fromStdString(path));
            CKVXPlayerView* view = frame->View();
            for (int id : {ctl::FPLAY, ctl::FFPLAY, ctl::END, ctl::BPLAY, ctl::RWPLAY, ctl::START, ctl::MODE1}) {
                view->OnCommand(id);
                QTest::qWait(50);
            }
            view->OnCommand(ctl::EXIT);
        }
        QCOMPARE(Fingerprint(path), before);
    }
};

KVX_REGISTER_TEST(TestPlayerFaults);
#include "tst_playerfaults.moc"
