#include "snapshot/snapshotfile.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

QImage Striped(QSize size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkBlue);
    for (int y = 0; y < size.height(); y += 40)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, Qt::yellow);
    return image;
}

} // namespace

class TestSnapshotFile : public QObject {
    Q_OBJECT

private slots:
    // The picture's recording time names the file; the same snapshot saved again
    // gets the next free name of the series, and what was there stays.
    void namesFollowTheRecordingTime()
    {
        const QTemporaryDir dir;
        const QString backup = dir.filePath("Backup"); // created by the first save
        const CDateTime time(2024, 1, 15, 9, 30, 5);
        QCOMPARE(CSnapshotFile::FileName(time), QString("20240115_093005.jpg"));
        QCOMPARE(CSnapshotFile::FileName(CDateTime()), QString("snapshot.jpg"));
        QStringList saved;
        for (int i = 0; i < 3; ++i) {
            QString path;
            QVERIFY(CSnapshotFile::Save(backup, time, Striped(QSize(720, 480)), path));
            saved << QFileInfo(path).fileName();
        }
        QCOMPARE(saved, (QStringList{"20240115_093005.jpg", "20240115_093005(1).jpg", "20240115_093005(2).jpg"}));
        const QImage read(QDir(backup).filePath(saved[2]));
        QCOMPARE(read.size(), QSize(720, 480));
        QVERIFY(qBlue(read.pixel(300, 20)) > 100 && qRed(read.pixel(300, 0)) > 200); // upright, not mirrored

        // A file of the name that cannot even be read is never replaced.
        QFile taken(QDir(backup).filePath("20240115_093006.jpg"));
        QVERIFY(taken.open(QIODevice::WriteOnly) && taken.write("mine") == 4);
        taken.close();
        taken.setPermissions(QFileDevice::WriteOwner);
        QString path;
        QVERIFY(CSnapshotFile::Save(backup, CDateTime(2024, 1, 15, 9, 30, 6), Striped(QSize(720, 576)), path));
        QCOMPARE(QFileInfo(path).fileName(), QString("20240115_093006(1).jpg"));
        QCOMPARE(QImage(path).size(), QSize(720, 576));
        taken.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(taken.open(QIODevice::ReadOnly));
        QCOMPARE(taken.readAll(), QByteArray("mine"));
    }

    // A save that cannot write says which file it meant.
    void failedSaveNamesTheFile()
    {
        const QTemporaryDir dir;
        QFile blocker(dir.filePath("Backup"));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
        blocker.close();
        QString path;
        QVERIFY(!CSnapshotFile::Save(blocker.fileName(), CDateTime(2024, 3, 18, 14, 0, 3), Striped(QSize(720, 480)), path));
        QCOMPARE(path, dir.filePath("Backup/20240318_140003.jpg"));
    }
};

KVX_REGISTER_TEST(TestSnapshotFile);
#include "tst_snapshotfile.moc"
