#include "platform/outputfile.h"
#include "tests/support/plantedlink.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

const std::vector<uint8_t> CONTENT{'n', 'e', 'w', '\n'};

QByteArray Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestOutputFile : public QObject {
    Q_OBJECT

    CRecordingFixture m_recordings;
    QString m_strRecording;

private slots:
    void initTestCase()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 8;
        m_strRecording = QString::fromStdString(m_recordings.Write(recipe));
    }

    // A new file is made only where no name is: a link there, even to a file being
    // read, is taken as a file that exists, and what it names stays as it was.
    void newFileNeverGoesThroughALink()
    {
        const QTemporaryDir dir;
        const CPlantedLink link(m_strRecording, dir.filePath("still.jpg"));
        QVERIFY(link.Planted());
        std::string error;
        QCOMPARE(COutputFile::WriteNewFile(dir.filePath("still.jpg").toStdString(), CONTENT, error),
                 COutputFile::ECreate::Exists);
        QCOMPARE(error, std::string("It exists already."));
        QVERIFY(link.RecordingIntact() && link.LinkIntact());

        QCOMPARE(COutputFile::WriteNewFile(dir.filePath("fresh.jpg").toStdString(), CONTENT, error),
                 COutputFile::ECreate::Created);
        QCOMPARE(Read(dir.filePath("fresh.jpg")), QByteArray("new\n"));
        QCOMPARE(COutputFile::WriteNewFile(dir.filePath("no/folder.jpg").toStdString(), CONTENT, error),
                 COutputFile::ECreate::Failed);
        QCOMPARE(error, std::string("No such file or directory"));
    }

    // Told to replace, a file being read is refused under any name, and a link to
    // another file is itself replaced: what it names is left as it was.
    void replacingALinkLeavesWhatItNames()
    {
        const QTemporaryDir dir;
        const std::string input = m_strRecording.toStdString();
        const CPlantedLink toInput(m_strRecording, dir.filePath("dump.mjpeg"));
        QVERIFY(toInput.Planted());
        COutputFile out;
        QCOMPARE(out.Create(dir.filePath("dump.mjpeg").toStdString(), true, {input}), COutputFile::ECreate::IsInput);
        QVERIFY(toInput.RecordingIntact() && toInput.LinkIntact());

        const CPlantedLink toOther(m_strRecording, dir.filePath("out.bmp"));
        QVERIFY(toOther.Planted());
        QCOMPARE(out.Create(dir.filePath("out.bmp").toStdString(), true, {}), COutputFile::ECreate::Created);
        QVERIFY(out.Write(CONTENT.data(), CONTENT.size()) && out.Close());
        QVERIFY(toOther.RecordingIntact());
        QVERIFY(!QFileInfo(dir.filePath("out.bmp")).isSymLink());
        QCOMPARE(Read(dir.filePath("out.bmp")), QByteArray("new\n"));
    }

    // The program's own file is replaced by renaming a new file over its name: a
    // link in its place is replaced, not written through, and links planted where
    // the new file might be written are passed by.
    void replacingNeverGoesThroughALink()
    {
        const QTemporaryDir dir;
        const QString path = dir.filePath("res.ini");
        const CPlantedLink own(m_strRecording, path);
        const CPlantedLink beside(m_strRecording, path + ".new");
        const CPlantedLink temporary(m_strRecording, path + QString(".%1-0.new").arg(::getpid()));
        QVERIFY(own.Planted() && beside.Planted() && temporary.Planted());
        std::string error;
        QVERIFY(COutputFile::ReplaceWholeFile(path.toStdString(), CONTENT, error));
        QVERIFY(!QFileInfo(path).isSymLink());
        QCOMPARE(Read(path), QByteArray("new\n"));
        QVERIFY(own.RecordingIntact());
        QVERIFY(beside.LinkIntact() && temporary.LinkIntact());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System).size(), 3); // no temporary left

        QVERIFY(!COutputFile::ReplaceWholeFile(dir.filePath("no/res.ini").toStdString(), CONTENT, error));
        QCOMPARE(error, std::string("No such file or directory"));
    }
};

KVX_REGISTER_TEST(TestOutputFile);
#include "tst_outputfile.moc"
