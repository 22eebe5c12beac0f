#include "app/kvxplayerapp.h"
#include "tests/support/plantedlink.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

class TestKVXPlayerApp : public QObject {
    Q_OBJECT

private slots:
    // The recent-file list is saved by renaming a new settings file into place: a
    // link planted as the settings file, to a recording, is replaced and the
    // recording stays as it was.
    void recentFilesNeverGoThroughALink()
    {
        QTemporaryDir settingsDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        const QString file = QSettings("Local AppWizard-Generated Applications", "KVXPlayer").fileName();
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

    void recentFilesThatCannotBeSavedSayWhere()
    {
        QTemporaryDir settingsDir;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
        const QString file = QSettings("Local AppWizard-Generated Applications", "KVXPlayer").fileName();
        QVERIFY(QDir().mkpath(file)); // a folder where the file should be
        QCOMPARE(CKVXPlayerApp::AddToRecentFileList("/rec/1.kvx"),
                 "Can not save the recent files to " + file + "\nIt cannot be written.");
    }
};

KVX_REGISTER_TEST(TestKVXPlayerApp);
#include "tst_kvxplayerapp.moc"
