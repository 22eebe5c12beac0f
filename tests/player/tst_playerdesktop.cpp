#include "app/mainframe.h"
#include "platform/nativefilename.h"
#include "platform/outputfolders.h"
#include "player/kvxplayerview.h"
#include "skin/profilefile.h"
#include "tests/support/playerfixture.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

// The player as the desktop uses it: names handed over by a file manager, files
// dropped on the window, and an installed program folder the user cannot write to.
class TestPlayerDesktop : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;

    // A 16-channel recording under `name`, in a folder of its own.
    QString RecordingNamed(const QByteArray& name)
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 48;
        const std::string path = m_recordings.Write(recipe);
        const QByteArray renamed = QByteArray::fromStdString(m_recordings.PathFor("x")) + "/../" + name;
        QDir().mkpath(QString::fromStdString(m_recordings.PathFor("x")));
        if (::rename(path.c_str(), renamed.constData()) != 0)
            return {};
        return CNativeFileName::Decode(renamed);
    }

    static void Drop(QWidget* target, const QUrl& url)
    {
        QMimeData data;
        data.setUrls({url});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return;
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(target, &drop);
    }

private slots:
    void cleanup() { COutputFolders::SetWritableForTest(std::nullopt); }

    // The desktop passes the name as it is: quotes, spaces and letters beyond ASCII
    // belong to it. Quotes typed around a path on a command line still come off.
    void opensNamesAsTheDesktopHandsThemOver()
    {
        const QString awkward = RecordingNamed("Kamera \"Süd\" 'Tor' ÄÖ.kvx");
        QVERIFY(!awkward.isEmpty());
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = fixture.Start(awkward);
        QCOMPARE(frame->View()->FilePath(), awkward);
        QVERIFY(frame->View()->IsPlayThreadStarted());
        QVERIFY(fixture.m_messages.isEmpty());

        const QString spaced = RecordingNamed("with space.kvx");
        auto quoted = fixture.Start("\"" + spaced + "\"");
        QCOMPARE(quoted->View()->FilePath(), spaced);
        QVERIFY(quoted->View()->IsPlayThreadStarted());
    }

    void opensAFileDroppedOnTheWindow()
    {
        const QString path = RecordingNamed("dropped \xff\xfe name.kvx");
        QVERIFY(!path.isEmpty());
        CPlayerFixture fixture;
        fixture.WriteSkin();
        auto frame = fixture.Start("");
        CKVXPlayerView* view = frame->View();
        // As a file manager's text/uri-list names it: the name's bytes percent-encoded.
        Drop(view, QUrl::fromEncoded("file://" + CNativeFileName::Encode(path).toPercentEncoding("/")));
        QCOMPARE(view->FilePath(), path);
        QTRY_COMPARE(view->DeliveredFrames(), 17);
        QVERIFY(fixture.m_messages.isEmpty());
        Drop(view, QUrl("https://example.org/a.kvx")); // not a file here: nothing happens
        QCOMPARE(view->FilePath(), path);
    }

    // An installed player keeps its program folder as it is: the layout it last used
    // goes to the user's own res.ini and is read from there first.
    void readOnlyProgramFolderRemembersTheLayoutPerUser()
    {
        QTemporaryDir home;
        const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        CPlayerFixture fixture;
        fixture.WriteSkin("[INFO]\nPAL=1");
        COutputFolders::SetWritableForTest(false);
        const QString own = COutputFolders(fixture.Folder()).OptionsPath();
        QVERIFY(own.startsWith(home.path()));
        {
            auto frame = fixture.Start("");
            QVERIFY(frame->View()->IsPal()); // nothing of the user's yet: res.ini's
            QVERIFY(!QDir(fixture.Folder() + "avi").exists());
            QVERIFY(!QDir(fixture.Folder() + "Backup").exists());
        }
        QCOMPARE(CProfileFile(own.toStdString()).GetInt("INFO", "PAL", -1), 1);
        CProfileFile(own.toStdString()).WriteString("INFO", "PAL", "0");
        {
            auto frame = fixture.Start("");
            QVERIFY(!frame->View()->IsPal());
        }
        QCOMPARE(CProfileFile(fixture.IniPath().toStdString()).GetInt("INFO", "PAL", -1), 1); // untouched
        qputenv("XDG_CONFIG_HOME", oldConfig);
    }

    void writableProgramFolderKeepsEverythingInside()
    {
        CPlayerFixture fixture;
        fixture.WriteSkin();
        COutputFolders::SetWritableForTest(true);
        {
            auto frame = fixture.Start("");
            QVERIFY(QDir(fixture.Folder() + "avi").exists());
            QVERIFY(QDir(fixture.Folder() + "Backup").exists());
        }
        QCOMPARE(CProfileFile(fixture.IniPath().toStdString()).GetInt("INFO", "PAL", -1), 0);
    }
};

KVX_REGISTER_TEST(TestPlayerDesktop);
#include "tst_playerdesktop.moc"
