#include "platform/outputfolders.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QTemporaryDir>

class TestOutputFolders : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        m_oldHome = qgetenv("HOME");
        m_oldConfig = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", m_home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (m_home.path() + "/.config").toLocal8Bit());
    }

    void cleanupTestCase()
    {
        qputenv("HOME", m_oldHome);
        qputenv("XDG_CONFIG_HOME", m_oldConfig);
    }

    // A copy of the program the user can write to keeps everything inside it.
    void writableProgramFolderKeepsItsOutput()
    {
        QTemporaryDir program;
        QVERIFY(COutputFolders::IsWritable(program.path()));
        const COutputFolders folders(program.path());
        QVERIFY(folders.IsInProgramFolder());
        QCOMPARE(folders.AviFolder(), program.path() + "/avi/");
        QCOMPARE(folders.BackupFolder(), program.path() + "/Backup/");
        QCOMPARE(folders.OptionsPath(), program.path() + "/res.ini");
    }

    // An installed program folder sends exports to Videos, stills to Pictures and the
    // remembered option to the user's configuration.
    void readOnlyProgramFolderUsesTheUsersFolders()
    {
        const COutputFolders folders("/opt/kvxplayer/", false);
        QVERIFY(!folders.IsInProgramFolder());
        QCOMPARE(folders.AviFolder(), m_home.path() + "/Videos/KVXPlayer/avi/");
        QCOMPARE(folders.BackupFolder(), m_home.path() + "/Pictures/KVXPlayer/Backup/");
        QVERIFY(folders.OptionsPath().startsWith(m_home.path() + "/.config/"));
        QVERIFY(folders.OptionsPath().endsWith("/res.ini"));
        QVERIFY(!QDir(folders.AviFolder()).exists()); // made on first use, not before
        QVERIFY(COutputFolders::Ensure(folders.AviFolder()));
        QVERIFY(QDir(folders.AviFolder()).exists());
    }

    void aMissingFolderIsNotWritable()
    {
        QVERIFY(!COutputFolders::IsWritable(m_home.path() + "/no/such/folder"));
        QVERIFY(!COutputFolders(m_home.path() + "/no/such/folder").IsInProgramFolder());
    }

private:
    QTemporaryDir m_home;
    QByteArray m_oldHome, m_oldConfig;
};

KVX_REGISTER_TEST(TestOutputFolders);
#include "tst_outputfolders.moc"
