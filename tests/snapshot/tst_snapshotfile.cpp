#include "snapshot/imagefilter.h"
#include "snapshot/snapshotbitmap.h"
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
    // The rows a header names must lie in the block, however large its sides are.
    void pictureOfTakesOnlyRowsInsideTheBlock()
    {
        CBitmapBlock block;
        block.m_nSize = CSnapshotBitmap::PIXEL_OFFSET + 4 * 12; // four rows of 3 pixels, padded to 12 bytes
        block.m_pBytes = std::make_unique<uint8_t[]>(block.m_nSize);
        QCOMPARE(CSnapshotBitmap::PictureOf(block, CSnapshotBitmap::HeaderFor(3, 4)).size(), QSize(3, 4));
        QVERIFY(CSnapshotBitmap::PictureOf(block, CSnapshotBitmap::HeaderFor(3, 5)).isNull());
        BITMAPINFOHEADER huge = CSnapshotBitmap::HeaderFor(3, 4);
        huge.biWidth = 2101673984; // rows of 6.3 GB: their product with the height passes 2^63
        huge.biHeight = 1628438530;
        QVERIFY(CSnapshotBitmap::PictureOf(block, huge).isNull());
        block.m_nSize = 20; // not even a header
        QVERIFY(CSnapshotBitmap::PictureOf(block, CSnapshotBitmap::HeaderFor(1, 1)).isNull());
    }

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
