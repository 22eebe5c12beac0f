#include "snapshot/imagefilter.h"
#include "snapshot/snapshotbitmap.h"
#include "snapshot/snapshotfile.h"
#include "tests/support/exiftags.h"
#include "tests/support/plantedlink.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <array>
#include <thread>

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

CStillMetadata At(const CDateTime& time)
{
    CStillMetadata still;
    still.m_time = time;
    return still;
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
            QVERIFY(CSnapshotFile::Save(backup, At(time), Striped(QSize(720, 480)), path));
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
        QVERIFY(CSnapshotFile::Save(backup, At(CDateTime(2024, 1, 15, 9, 30, 6)), Striped(QSize(720, 576)), path));
        QCOMPARE(QFileInfo(path).fileName(), QString("20240115_093006(1).jpg"));
        QCOMPARE(QImage(path).size(), QSize(720, 576));
        taken.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QVERIFY(taken.open(QIODevice::ReadOnly));
        QCOMPARE(taken.readAll(), QByteArray("mine"));
    }

    // The EXIF block reads back with an independent reader, and the JPEG around it
    // still decodes as before; without a time there is no DateTimeOriginal.
    void exifReadsBack()
    {
        const QTemporaryDir dir;
        CStillMetadata still = At(CDateTime(2024, 2, 29, 23, 59, 58));
        still.m_nChannel = 16;
        still.m_strRecording = "sample16.kvx";
        still.m_filters = {"BLUR", "BRIGHT", "BRIGHT"};
        QString path;
        QVERIFY(CSnapshotFile::Save(dir.path(), still, Striped(QSize(720, 480)), path));
        const QJsonObject tags = ExifTags(path);
        QCOMPARE(tags["DateTimeOriginal"].toString(), QString("2024:02:29 23:59:58"));
        QCOMPARE(tags["ImageDescription"].toString(), QString("Camera 16; recording sample16.kvx; filters BLUR, BRIGHT, BRIGHT"));
        QCOMPARE(tags["Software"].toString(), QString("KVXPlayer " KVX_VERSION));
        QCOMPARE(tags["ExifImageWidth"].toInt(), 720);
        QCOMPARE(tags["ExifImageHeight"].toInt(), 480);
        const QImage read(path);
        QCOMPARE(read.size(), QSize(720, 480));
        QVERIFY(qRed(read.pixel(300, 0)) > 200);
        const CToolRun check = CToolRun::Of("exiftool", {"-validate", "-warning", "-s3", path});
        QCOMPARE(check.out.trimmed(), QByteArray("OK"));

        QVERIFY(CSnapshotFile::Save(dir.path(), CStillMetadata(), Striped(QSize(720, 480)), path));
        QCOMPARE(QFileInfo(path).fileName(), QString("snapshot.jpg"));
        const QJsonObject undated = ExifTags(path);
        QVERIFY(!undated.contains("DateTimeOriginal"));
        QCOMPARE(undated["ImageDescription"].toString(), QString("Camera unknown; recording unknown; filters none"));
    }

    // A save that cannot write says which file it meant, and the system's reason.
    void failedSaveNamesTheFileAndTheReason()
    {
        const QTemporaryDir dir;
        QFile blocker(dir.filePath("Backup"));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
        blocker.close();
        QString path, reason;
        CSigningOutcome signing;
        QVERIFY(!CSnapshotFile::Save(blocker.fileName(), At(CDateTime(2024, 3, 18, 14, 0, 3)), Striped(QSize(720, 480)),
                                     path, reason, signing));
        QCOMPARE(path, dir.filePath("Backup/20240318_140003.jpg"));
        QCOMPARE(reason, QString("its folder cannot be created: a file stands where a folder of its path must be"));
    }

    // Saves of one picture running at once into one folder each take a name of
    // their own: none fails, none replaces another's file.
    void concurrentSavesEachTakeAName()
    {
        const QTemporaryDir dir;
        const QImage picture = Striped(QSize(720, 480));
        constexpr int SAVES = 6;
        std::array<QString, SAVES> paths, reasons;
        std::array<CSigningOutcome, SAVES> signings;
        std::array<bool, SAVES> saved{};
        {
            std::vector<std::jthread> savers;
            for (int i = 0; i < SAVES; ++i)
                savers.emplace_back([&, i] {
                    saved[i] = CSnapshotFile::Save(dir.path(), At(CDateTime(2024, 1, 15, 9, 30, 5)), picture, paths[i],
                                                   reasons[i], signings[i]);
                });
        }
        QSet<QString> names;
        for (int i = 0; i < SAVES; ++i) {
            QVERIFY2(saved[i], qPrintable(paths[i] + ": " + reasons[i]));
            QCOMPARE(QImage(paths[i]).size(), QSize(720, 480));
            // Each with its own sums, signed by the one key the first need made.
            QVERIFY2(signings[i].m_bSigned, signings[i].m_strReason.c_str());
            QCOMPARE(signings[i].m_strFingerprint, signings[0].m_strFingerprint);
            QVERIFY(QFileInfo::exists(paths[i] + ".sha256.sig"));
            names << QFileInfo(paths[i]).fileName();
        }
        QCOMPARE(names.size(), SAVES);
        QVERIFY(names.contains("20240115_093005.jpg") && names.contains("20240115_093005(5).jpg"));
    }

    // Sums or a signature left under a still's name take the name: the still goes to
    // the next one, and they stay as they were.
    void leftoverSumsTakeTheName()
    {
        const QTemporaryDir dir;
        QFile stale(dir.filePath("20240115_093005.jpg.sha256.sig"));
        QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("stale\n") == 6);
        stale.close();
        QString path, reason;
        CSigningOutcome signing;
        QVERIFY(CSnapshotFile::Save(dir.path(), At(CDateTime(2024, 1, 15, 9, 30, 5)), Striped(QSize(720, 480)), path,
                                    reason, signing));
        QCOMPARE(QFileInfo(path).fileName(), QString("20240115_093005(1).jpg"));
        QVERIFY(signing.m_bSigned);
        QVERIFY(stale.open(QIODevice::ReadOnly) && stale.readAll() == "stale\n");
        QVERIFY(!QFileInfo::exists(dir.filePath("20240115_093005.jpg")));
    }

    // A link planted under the still's name, to a recording, is a name taken: the
    // still goes to the next name and the recording stays as it was.
    void linkInTheStillsPlaceIsPassedBy()
    {
        const QTemporaryDir dir;
        CRecordingFixture recordings;
        CRecordingRecipe recipe;
        recipe.m_nRecords = 8;
        const CPlantedLink link(QString::fromStdString(recordings.Write(recipe)), dir.filePath("20240115_093005.jpg"));
        QVERIFY(link.Planted());
        QString path;
        QVERIFY(CSnapshotFile::Save(dir.path(), At(CDateTime(2024, 1, 15, 9, 30, 5)), Striped(QSize(720, 480)), path));
        QCOMPARE(QFileInfo(path).fileName(), QString("20240115_093005(1).jpg"));
        QVERIFY(link.RecordingIntact() && link.LinkIntact());
    }
};

KVX_REGISTER_TEST(TestSnapshotFile);
#include "tst_snapshotfile.moc"
