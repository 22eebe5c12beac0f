#include "app/aboutdialog.h"
#include "app/kvxplayerapp.h"
#include "platform/outputfolders.h"
#include "tests/support/plantedlink.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

class TestKVXPlayerApp : public QObject {
    Q_OBJECT

    QTemporaryDir m_program;

private slots:
    // The recent-file list and the user's res.ini live in one folder of their own,
    // ~/.config/KVXPlayer/, not under a placeholder organisation. First, before any
    // test moves the settings elsewhere.
    void settingsLiveInTheProgramsOwnFolder()
    {
        const CKVXPlayerApp app;
        QSettings settings;
        QCOMPARE(QFileInfo(settings.fileName()).fileName(), QString("KVXPlayer.conf"));
        QCOMPARE(QFileInfo(settings.fileName()).absolutePath() + "/", COutputFolders::UserSettingsFolder());
        QVERIFY(COutputFolders::UserSettingsFolder().endsWith("/KVXPlayer/"));
        QCOMPARE(COutputFolders(m_program.path(), false).OptionsPath(),
                 COutputFolders::UserSettingsFolder() + "res.ini");
    }

    // A list saved by an earlier version is offered until the first save, which goes
    // to the new place and leaves the old file as it was.
    void recentFilesOfTheFormerPlaceAreKept()
    {
        QTemporaryDir settingsDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        const QString former = QSettings("Local AppWizard-Generated Applications", "KVXPlayer").fileName();
        {
            QSettings old("Local AppWizard-Generated Applications", "KVXPlayer");
            old.setValue("Recent File List/File1", "/rec/old.kvx");
        }
        QFile formerFile(former);
        QVERIFY(formerFile.open(QIODevice::ReadOnly));
        const QByteArray formerBytes = formerFile.readAll();

        QCOMPARE(CKVXPlayerApp::RecentFiles(), QStringList{"/rec/old.kvx"});
        QCOMPARE(CKVXPlayerApp::AddToRecentFileList("/rec/new.kvx"), QString());
        QCOMPARE(CKVXPlayerApp::RecentFiles(), (QStringList{"/rec/new.kvx", "/rec/old.kvx"}));
        QVERIFY(QFileInfo::exists(settingsDir.filePath("KVXPlayer/KVXPlayer.conf")));
        formerFile.close();
        QVERIFY(formerFile.open(QIODevice::ReadOnly));
        QCOMPARE(formerFile.readAll(), formerBytes);
    }

    // The recent-file list is saved by renaming a new settings file into place: a
    // link planted as the settings file, to a recording, is replaced and the
    // recording stays as it was.
    void recentFilesNeverGoThroughALink()
    {
        QTemporaryDir settingsDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        const QString file = QSettings("KVXPlayer", "KVXPlayer").fileName();
        QVERIFY(QDir().mkpath(QFileInfo(file).path()));
        CRecordingFixture recordings;
        CRecordingRecipe recipe;
        recipe.m_nRecords = 8;
        const CPlantedLink link(QString::fromStdString(recordings.Write(recipe)), file);
        QVERIFY(link.Planted());

        QCOMPARE(CKVXPlayerApp::AddToRecentFileList("/rec/1.kvx"), QString());
        QVERIFY(link.RecordingIntact());
        QVERIFY(!QFileInfo(file).isSymLink());
        QCOMPARE(CKVXPlayerApp::RecentFiles(), QStringList{"/rec/1.kvx"});
    }

    // The About box keeps its old line and adds what whoever hands an export on may
    // be asked: the version as a number, the licence, and each library's version.
    void aboutBoxNamesVersionLicenceAndLibraries()
    {
        CAboutDialog about(nullptr);
        QStringList texts;
        for (const QLabel* label : about.findChildren<QLabel*>())
            texts << label->text();
        QVERIFY(texts.contains("KVXPlayer VER 1. 4. 02. 23"));
        const QLabel* details = about.findChild<QLabel*>("details");
        QVERIFY(details);
        for (const char* expected : {"^Version 1\\.4\\.2\\.23$", "GPL-3\\.0-or-later", "^Qt 6\\.\\d+\\.\\d+$",
                                     "^libjpeg-turbo \\d+\\.\\d+\\.\\d+$", "^FFmpeg \\S+$", "^OpenSSL \\d+\\.\\d+"})
            QVERIFY2(details->text().contains(QRegularExpression(expected, QRegularExpression::MultilineOption)),
                     qPrintable(QString(expected) + " is not in: " + details->text()));
        QVERIFY(about.rect().contains(details->geometry()));
    }

    void recentFilesThatCannotBeSavedSayWhere()
    {
        QTemporaryDir settingsDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        const QString file = QSettings("KVXPlayer", "KVXPlayer").fileName();
        QVERIFY(QDir().mkpath(file)); // a folder where the file should be
        QCOMPARE(CKVXPlayerApp::AddToRecentFileList("/rec/1.kvx"),
                 "Can not save the recent files to " + file + "\nIt cannot be written.");
    }
};

KVX_REGISTER_TEST(TestKVXPlayerApp);
#include "tst_kvxplayerapp.moc"
