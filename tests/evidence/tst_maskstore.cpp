// The mask store: kept in the user's data folder under the recording's identity,
// in the masks file format; every change saved whole; a damaged file set aside and
// named, never dropped; a change that cannot be saved leaves the store as it was.

#include "evidence/maskstore.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

CPrivacyMaskSet OneMask(double x)
{
    CPrivacyMask mask;
    mask.m_nChannel = 2;
    mask.m_shape = EMaskShape::Ellipse;
    mask.m_from = CDateTime::FromIsoString("2024-03-18 14:00:00");
    mask.m_to = CDateTime::FromIsoString("2024-03-18 14:05:00");
    mask.SetKey(mask.m_from, QRectF(x, 0.25, 0.125, 0.5));
    mask.SetKey(CDateTime::FromIsoString("2024-03-18 14:01:00"), QRectF(0.5, 0.25, 0.125, 0.5));
    CPrivacyMaskSet set;
    set.m_masks.push_back(mask);
    set.m_mute.push_back({mask.m_from, mask.m_from});
    return set;
}

QByteArray Contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::optional<CRecordingIdentity> Identity(CRecordingFixture& files, uint8_t seed)
{
    std::string error;
    return CRecordingIdentity::Of(files.WriteBytes(std::vector<uint8_t>(1 << 16, seed)), error);
}

} // namespace

class TestMaskStore : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;
    QTemporaryDir m_folder;

private slots:
    // What one store saved, another reads back the same; the file is the masks file
    // format itself, so an export can take it as it is.
    void roundTrip()
    {
        const auto identity = Identity(m_files, 1);
        QVERIFY(identity);
        std::string message, error;
        CMaskStore store(m_folder.path());
        QVERIFY(store.Load(*identity, "/discs/a.kvx", message));
        QVERIFY(store.Set().IsEmpty());
        QCOMPARE(store.FilePath(), m_folder.path() + "/" + QString::fromStdString(identity->Key()) + ".json");
        QVERIFY(store.Replace(OneMask(0.125), error));
        QCOMPARE(Contents(store.FilePath()), OneMask(0.125).ToJson());

        CMaskStore again(m_folder.path());
        QVERIFY(again.Load(*identity, "/elsewhere/b.kvx", message));
        QCOMPARE(again.Set().ToJson(), OneMask(0.125).ToJson());
        again.Unload();
        QVERIFY(!again.IsLoaded());
        QVERIFY(again.Set().IsEmpty());
        QVERIFY(!again.Replace(OneMask(0.25), error));
        QCOMPARE(Contents(store.FilePath()), OneMask(0.125).ToJson());
    }

    // A file that is not masks is set aside under the next free name, the message
    // names the file, the fault's entry and where it went; the store starts empty.
    void setsADamagedFileAside()
    {
        const auto identity = Identity(m_files, 2);
        CMaskStore store(m_folder.path());
        std::string message, error;
        QVERIFY(store.Load(*identity, "a.kvx", message));
        const QByteArray damaged = QByteArray(OneMask(0.125).ToJson()).replace("\"ellipse\"", "\"star\"");
        for (int n = 1; n <= 2; ++n) {
            QFile file(store.FilePath());
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(damaged);
            file.close();
            QVERIFY(!store.Load(*identity, "a.kvx", message));
            const QString aside = store.FilePath() + QString(".damaged-%1").arg(n);
            const QString said = QString::fromStdString(message);
            QVERIFY2(said.contains(store.FilePath()) && said.contains(aside), message.c_str());
            QVERIFY2(said.contains("masks[0].shape"), message.c_str());
            QCOMPARE(Contents(aside), damaged);
            QVERIFY(store.IsLoaded());
            QVERIFY(store.Set().IsEmpty());
            QVERIFY(store.Replace(OneMask(0.25), error));
        }
    }

    // A folder that cannot be made: the change is refused naming it, and the store
    // still holds the set it had.
    void undoesAFailedSave()
    {
        const QTemporaryDir dir;
        QFile blocker(dir.filePath("blocked"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        CMaskStore store(dir.filePath("blocked/masks"));
        std::string message, error;
        QVERIFY(store.Load(*Identity(m_files, 3), "a.kvx", message));
        QVERIFY(!store.Replace(OneMask(0.125), error));
        QVERIFY2(error.find("blocked/masks") != std::string::npos, error.c_str());
        QVERIFY(store.Set().IsEmpty());
    }
};

KVX_REGISTER_TEST(TestMaskStore);
#include "tst_maskstore.moc"
