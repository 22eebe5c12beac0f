#include "tests/support/recordingfixture.h"
#include "tests/support/testfiles.h"
#include "tests/support/testmain.h"
#include "tests/support/toolrun.h"

#include "platform/signingkey.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

#include <sys/stat.h>

namespace {

void Overwrite(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

// Flips one bit of the byte at `at` (from the end when negative).
void FlipByte(const QString& path, qsizetype at)
{
    QByteArray bytes = Contents(path);
    bytes[at < 0 ? bytes.size() + at : at] = char(bytes[at < 0 ? bytes.size() + at : at] ^ 0x01);
    Overwrite(path, bytes);
}

// Points the tools at a config folder of the test's own, where the signing key lives.
class CConfigHome {
public:
    CConfigHome() : m_old(qgetenv("XDG_CONFIG_HOME")) { qputenv("XDG_CONFIG_HOME", m_dir.path().toLocal8Bit()); }
    ~CConfigHome() { qputenv("XDG_CONFIG_HOME", m_old); }
    QString PrivateKey() const { return m_dir.path() + "/KVXPlayer/signing/ed25519-private.pem"; }
    QString PublicKey() const { return m_dir.path() + "/KVXPlayer/signing/ed25519-public.pem"; }
    QString Folder() const { return m_dir.path() + "/KVXPlayer/signing"; }

private:
    QTemporaryDir m_dir;
    QByteArray m_old;
};

} // namespace

class TestKvxToolVerify : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;
    std::string m_strSource;

    // A signed excerpt of the test recording in a folder of its own: its path.
    QString Excerpt(const QString& folder, const char* name = "incident.kvx", const char* to = "2005-01-01 00:00:05")
    {
        QDir().mkpath(folder);
        const QString out = folder + "/" + name;
        const CToolRun run = Kvxtool({"excerpt", QString::fromStdString(m_strSource), "--from", "2005-01-01 00:00:01",
                                      "--to", to, "--out", out});
        if (run.status != 0)
            qWarning("excerpt: %s", run.err.constData());
        return out;
    }

    // verify's lines, each "PATH: STATUS", and its exit status.
    static std::pair<int, QByteArray> Verify(const QStringList& args)
    {
        const CToolRun run = Kvxtool(QStringList{"verify"} + args);
        return {run.status, run.out};
    }

private slots:
    void initTestCase()
    {
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(40, 0.25);
        recipe.m_nQuality = 30;
        m_strSource = m_files.Write(recipe);
    }

    // The first need makes the key pair: the private key for the user alone, the
    // public one as key prints it, with the fingerprint openssl gives for it. The
    // excerpt's note names that fingerprint and verify finds everything OK.
    void makesTheKeyOnFirstNeedAndSignsTheExcerpt()
    {
        CConfigHome home;
        QVERIFY(!QFileInfo::exists(home.PrivateKey()));
        const CToolRun key = Kvxtool({"key"});
        QCOMPARE(key.status, 0);
        QVERIFY(key.out.startsWith("-----BEGIN PUBLIC KEY-----\n") && key.out.endsWith("-----END PUBLIC KEY-----\n"));
        QCOMPARE(key.out.count("-----BEGIN"), 1);
        QCOMPARE(Contents(home.PublicKey()), key.out);
        struct stat info {};
        QCOMPARE(::stat(home.PrivateKey().toLocal8Bit().constData(), &info), 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
        const QByteArray fingerprint = key.err.trimmed().split(' ').last();
        QCOMPARE(fingerprint.size(), 64);
        // No signer file: the login and the host name.
        QVERIFY2(key.err.startsWith("signer ") && key.err.split('\n')[0].contains('@'), key.err);
        const QByteArray signer = key.err.split('\n')[0].mid(7);
        const CToolRun der = CToolRun::Of("sh", {"-c", "openssl pkey -pubin -in \"$0\" -outform DER | sha256sum",
                                                 home.PublicKey()});
        QCOMPARE(der.out.left(64), fingerprint);
        QCOMPARE(Kvxtool({"key"}).out, key.out); // the same key from then on

        const QString excerpt = Excerpt(QDir::tempPath() + "/kvx-verify-" + QString::number(qApp->applicationPid()) + "/a");
        const QString folder = QFileInfo(excerpt).path();
        QVERIFY(Contents(excerpt + ".txt")
                    .contains("Signed by:        key " + fingerprint + " (" + signer + "), in incident.kvx.sha256.sig\n"));
        const auto [status, out] = Verify({folder});
        QCOMPARE(status, 0);
        QCOMPARE(out, (excerpt + ": OK\n" + excerpt + ".txt: OK\n" + excerpt + ".sha256: OK, signed by key " + fingerprint
                       + " (").toUtf8()
                          + signer + ")\n");
        QCOMPARE(Verify({excerpt}).first, 0);
        QCOMPARE(Verify({excerpt + ".sha256"}).first, 0);
        QDir(folder).removeRecursively();
    }

    // Any byte changed in the file, its sums or their signature fails and names that
    // file; a missing file, a signature swapped from another excerpt, a key that is
    // not the one expected and sums without a signature fail too.
    void failsOnEveryChangeAndNamesTheFile()
    {
        CConfigHome home;
        QTemporaryDir dir;
        QCOMPARE(Kvxtool({"key"}).status, 0);
        QFile::copy(home.PublicKey(), dir.path() + "/mine.pem");

        struct CCase {
            const char* name;
            std::function<void(const QString& excerpt)> spoil;
            QString (*named)(const QString& excerpt);
            const char* status;
        };
        const QList<CCase> cases = {
            {"file", [](const QString& e) { FlipByte(e, 70000); }, [](const QString& e) { return e; }, "FAILED (changed)"},
            {"sums", [](const QString& e) { FlipByte(e + ".sha256", 3); }, [](const QString& e) { return e + ".sha256"; },
             "FAILED (changed)"},
            {"sig", [](const QString& e) { FlipByte(e + ".sha256.sig", -10); },
             [](const QString& e) { return e + ".sha256.sig"; }, "FAILED (changed)"},
            {"sig header", [](const QString& e) { FlipByte(e + ".sha256.sig", 2); },
             [](const QString& e) { return e + ".sha256.sig"; }, "FAILED (changed)"},
            {"missing", [](const QString& e) { QFile::remove(e); }, [](const QString& e) { return e; }, "MISSING"},
            {"unsigned", [](const QString& e) { QFile::remove(e + ".sha256.sig"); },
             [](const QString& e) { return e + ".sha256"; }, "NOT SIGNED"},
        };
        for (const CCase& c : cases) {
            const QString excerpt = Excerpt(dir.path() + "/" + c.name);
            QCOMPARE(Verify({excerpt + ".sha256", "--key", dir.path() + "/mine.pem"}).first, 0);
            c.spoil(excerpt);
            const auto [status, out] = Verify({QFileInfo(excerpt).path(), "--key", dir.path() + "/mine.pem"});
            QVERIFY2(status == 1, c.name);
            QVERIFY2(out.contains((c.named(excerpt) + ": " + c.status + "\n").toUtf8()), c.name + QByteArray(": ") + out);
        }

        // A signature swapped in from another excerpt: of another name, and of the same
        // name over other sums.
        const QString a = Excerpt(dir.path() + "/swap-a"), b = Excerpt(dir.path() + "/swap-b", "other.kvx");
        QFile::remove(a + ".sha256.sig");
        QFile::copy(b + ".sha256.sig", a + ".sha256.sig");
        auto [status, out] = Verify({a});
        QCOMPARE(status, 1);
        QVERIFY2(out.contains((a + ".sha256.sig: FAILED (changed)\n").toUtf8()), out);
        const QString c = Excerpt(dir.path() + "/swap-c", "incident.kvx", "2005-01-01 00:00:07");
        const QString d = Excerpt(dir.path() + "/swap-d");
        QVERIFY(Contents(c + ".sha256") != Contents(d + ".sha256"));
        QFile::remove(d + ".sha256.sig");
        QFile::copy(c + ".sha256.sig", d + ".sha256.sig");
        std::tie(status, out) = Verify({d});
        QCOMPARE(status, 1);
        QVERIFY2(out.contains((d + ".sha256: FAILED (changed)\n" + d + ".sha256.sig: FAILED (changed)\n").toUtf8()), out);

        // Signed by another key: sound, but not the one expected.
        const QString e = Excerpt(dir.path() + "/expected");
        {
            CConfigHome other;
            QCOMPARE(Kvxtool({"key"}).status, 0);
            QFile::copy(other.PublicKey(), dir.path() + "/other.pem");
        }
        std::tie(status, out) = Verify({e, "--key", dir.path() + "/other.pem"});
        QCOMPARE(status, 1);
        QVERIFY2(out.contains((e + ".sha256.sig: FAILED (another key)\n").toUtf8()), out);
        QCOMPARE(Verify({e, "--key", dir.path() + "/mine.pem"}).first, 0);
    }

    // The JSON names every file with its status, the signer and the reason.
    void printsJson()
    {
        CConfigHome home;
        QTemporaryDir dir;
        const QString excerpt = Excerpt(dir.path() + "/j");
        FlipByte(excerpt, 70000);
        const CToolRun run = Kvxtool({"verify", "--json", dir.path() + "/j"});
        QCOMPARE(run.status, 1);
        const QJsonObject o = run.Json();
        QCOMPARE(o.keys(), (QStringList{"files", "ok", "unlisted"}));
        QCOMPARE(o["ok"].toBool(), false);
        const QJsonArray files = o["files"].toArray();
        QCOMPARE(files.size(), 3); // the excerpt, its note, the sums that list both
        QCOMPARE(files[0].toObject()["path"].toString(), excerpt);
        QCOMPARE(files[0].toObject()["status"].toString(), QString("FAILED (changed)"));
        QVERIFY(files[0].toObject()["key"].isNull());
        QVERIFY(files[0].toObject()["reason"].toString().contains(excerpt));
        QCOMPARE(files[1].toObject()["path"].toString(), excerpt + ".txt");
        QCOMPARE(files[1].toObject()["status"].toString(), QString("OK"));
        QCOMPARE(files[2].toObject()["status"].toString(), QString("OK"));
        QCOMPARE(files[2].toObject()["key"].toString().size(), 64);
        QVERIFY(files[2].toObject()["signer"].toString().contains('@'));
        QVERIFY(files[0].toObject()["signer"].isNull());
        QVERIFY(files[2].toObject()["reason"].isNull());
        QCOMPARE(o["unlisted"].toArray(), QJsonArray{});
    }

    // A damaged key, one open to other users, or a public key that is not the private
    // key's is refused, named and left as it is; an excerpt is then still written, and
    // says it is unsigned. So is one whose key cannot be made.
    void refusesABadKeyAndWritesUnsigned()
    {
        QTemporaryDir dir;
        for (const char* fault : {"damaged", "open", "mismatch", "unwritable"}) {
            CConfigHome home;
            QCOMPARE(Kvxtool({"key"}).status, 0);
            const QString which = QString(fault) == "mismatch" ? home.PublicKey() : home.PrivateKey();
            if (QString(fault) == "damaged") {
                FlipByte(home.PrivateKey(), 40);
            } else if (QString(fault) == "open") {
                QFile::setPermissions(home.PrivateKey(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
            } else if (QString(fault) == "mismatch") {
                CConfigHome other;
                QCOMPARE(Kvxtool({"key"}).status, 0);
                Overwrite(home.PublicKey(), Contents(other.PublicKey()));
            } else { // a file where the key's folder must be: no permission bits, which root ignores
                QDir(QFileInfo(home.Folder()).path()).removeRecursively();
                Overwrite(QFileInfo(home.Folder()).path(), "mine\n");
            }
            const QByteArray before = Contents(which);
            const CToolRun refused = Kvxtool({"key"});
            QCOMPARE(refused.status, 1);
            QVERIFY2(refused.err.contains(which.toUtf8()), refused.err);
            QCOMPARE(Contents(which), before); // never replaced

            const QString out = dir.path() + "/" + fault + ".kvx";
            const CToolRun excerpt = Kvxtool({"excerpt", QString::fromStdString(m_strSource), "--from",
                                              "2005-01-01 00:00:01", "--to", "2005-01-01 00:00:05", "--out", out});
            QCOMPARE(excerpt.status, 0);
            QVERIFY2(excerpt.err.contains(out.toUtf8() + " is written but not signed: "), excerpt.err);
            QVERIFY2(excerpt.err.contains(which.toUtf8()), excerpt.err);
            QVERIFY(QFileInfo::exists(out) && QFileInfo::exists(out + ".sha256") && !QFileInfo::exists(out + ".sha256.sig"));
            const QByteArray note = Contents(out + ".txt");
            QVERIFY(note.contains("Signed by:        nobody, not signed: ") && note.contains(which.toUtf8()));
            QCOMPARE(Verify({out}).second, (out + ": OK\n" + out + ".sha256: NOT SIGNED\n").toUtf8());
        }
    }

    // The signer names themselves in the signer file; key, the note and verify name
    // them, and a name changed in the signature breaks it.
    void namesTheSignerItWasToldOf()
    {
        CConfigHome home;
        QTemporaryDir dir;
        QDir().mkpath(home.Folder());
        Overwrite(home.Folder() + "/signer", "  D. Okafor, Case 2291 \nsecond line\n");
        const CToolRun key = Kvxtool({"key"});
        QVERIFY2(key.err.startsWith("signer D. Okafor, Case 2291\nfingerprint "), key.err);
        const QByteArray fingerprint = key.err.trimmed().split(' ').last();
        const QString excerpt = Excerpt(dir.path() + "/n");
        QVERIFY(Contents(excerpt + ".txt").contains("key " + fingerprint + " (D. Okafor, Case 2291)"));
        const CToolRun run = Kvxtool({"verify", "--json", excerpt});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.Json()["files"].toArray()[1].toObject()["signer"].toString(), QString("D. Okafor, Case 2291"));
        QVERIFY(Verify({excerpt}).second.endsWith("OK, signed by key " + fingerprint + " (D. Okafor, Case 2291)\n"));

        QByteArray sig = Contents(excerpt + ".sha256.sig");
        QVERIFY(sig.startsWith("KVXPlayer signature 2\n") && sig.contains("\nsigner: D. Okafor, Case 2291\n"));
        Overwrite(excerpt + ".sha256.sig", sig.replace("D. Okafor", "E. Okafor"));
        const auto [status, out] = Verify({excerpt});
        QCOMPARE(status, 1);
        QVERIFY2(out.contains((excerpt + ".sha256.sig: FAILED (changed)\n").toUtf8()), out);
    }

    // A signature of the first format, which named no signer, still holds; changed,
    // it fails.
    void checksAFirstFormatSignature()
    {
        CConfigHome home;
        QTemporaryDir dir;
        const QString excerpt = Excerpt(dir.path() + "/f1");
        std::string error;
        const auto key = CSigningKey::Load(error);
        QVERIFY2(key, error.c_str());
        QByteArray sums = Contents(excerpt + ".sha256");
        const QByteArray publicKey =
            QByteArray(reinterpret_cast<const char*>(key->RawPublic().data()), qsizetype(key->RawPublic().size()));
        const QByteArray text = "KVXPlayer signature 1\nsigns: incident.kvx.sha256\nsha256: "
                              + QCryptographicHash::hash(sums, QCryptographicHash::Sha256).toHex() + "\nkey: "
                              + QByteArray::fromStdString(key->Fingerprint()) + "\npublic-key: " + publicKey.toBase64()
                              + "\n";
        const std::vector<uint8_t> signature =
            key->Sign(std::span(reinterpret_cast<const uint8_t*>(text.constData()), size_t(text.size())));
        const QByteArray sig =
            text + "signature: "
            + QByteArray(reinterpret_cast<const char*>(signature.data()), qsizetype(signature.size())).toBase64() + "\n";
        Overwrite(excerpt + ".sha256.sig", sig);
        auto [status, out] = Verify({excerpt});
        QCOMPARE(status, 0);
        QCOMPARE(out, (excerpt + ": OK\n" + excerpt + ".sha256: OK, signed by key ").toUtf8()
                          + QByteArray::fromStdString(key->Fingerprint()) + "\n");
        Overwrite(excerpt + ".sha256.sig", QByteArray(sig).replace("signs: incident", "signs: incidenT"));
        std::tie(status, out) = Verify({excerpt});
        QCOMPARE(status, 1);
        QVERIFY2(out.contains((excerpt + ".sha256.sig: FAILED (changed)\n").toUtf8()), out);
    }

    // The command line's exports and stills are signed as the window's are.
    void signsTheCommandLinesExportsAndStills()
    {
        CConfigHome home;
        QTemporaryDir dir;
        const QString source = QString::fromStdString(m_strSource);
        QCOMPARE(Kvxtool({"export", source, "--channel", "2", "--out", dir.path() + "/avi"}).status, 0);
        QCOMPARE(Kvxtool({"export", source, "--channel", "3", "--format", "mp4", "--out", dir.path() + "/mp4"}).status,
                 0);
        const CToolRun still = Kvxtool({"snapshot", source, "--channel", "1", "--at", "2005-01-01 00:00:02", "--out",
                                        dir.path() + "/jpg", "--json"});
        QCOMPARE(still.status, 0);
        QVERIFY(still.err.isEmpty());
        const QString jpg = still.Json()["file"].toString();
        for (const QString& sums : {dir.path() + "/avi/02_Capture.sha256", dir.path() + "/mp4/03_Capture.sha256",
                                    jpg + ".sha256"})
            QVERIFY2(QFileInfo::exists(sums + ".sig"), qPrintable(sums));
        auto [status, out] = Verify({dir.path(), "--key", home.PublicKey()});
        QVERIFY2(status == 0, out);
        QCOMPARE(out.count(": OK"), 10); // avi, log, txt and sums twice; the still and its sums
        QVERIFY(Contents(dir.path() + "/mp4/03_Capture.txt").contains("SIGNED BY    : key "));

        // A key that cannot be had: written, unsigned, and standard error says why.
        Overwrite(home.PrivateKey(), "damaged\n");
        const CToolRun avi = Kvxtool({"export", source, "--channel", "2", "--out", dir.path() + "/unsigned"});
        QCOMPARE(avi.status, 0);
        QVERIFY2(avi.err.contains(" is written but not signed: the signing key " + home.PrivateKey().toUtf8()), avi.err);
        QVERIFY(QFileInfo::exists(dir.path() + "/unsigned/02_Capture.sha256"));
        const CToolRun jpg2 = Kvxtool(
            {"snapshot", source, "--channel", "1", "--at", "2005-01-01 00:00:02", "--out", dir.path() + "/unsigned"});
        QCOMPARE(jpg2.status, 0);
        QVERIFY2(jpg2.err.contains(" is written but not signed: the signing key " + home.PrivateKey().toUtf8()), jpg2.err);
        std::tie(status, out) = Verify({dir.path() + "/unsigned"});
        QCOMPARE(status, 1);
        QCOMPARE(out.count("NOT SIGNED"), 2);
    }

    void usage()
    {
        QTemporaryDir dir;
        Overwrite(dir.path() + "/not-a-key.pem", "hello\n");
        for (const QStringList& args : {QStringList{"verify"}, QStringList{"verify", dir.path(), "--key"},
                                        QStringList{"verify", dir.path(), "--key", dir.path() + "/not-a-key.pem"},
                                        QStringList{"verify", dir.path(), "--frobnicate"}, QStringList{"key", "x"}})
            QCOMPARE(Kvxtool(args).status, 2);
        const auto [status, out] = Verify({dir.path() + "/nothing.kvx"});
        QCOMPARE(status, 1);
        QCOMPARE(out, (dir.path() + "/nothing.kvx: MISSING\n").toUtf8());
        QCOMPARE(Verify({dir.path() + "/not-a-key.pem"}).second, (dir.path() + "/not-a-key.pem: NOT SIGNED\n").toUtf8());
    }
};

KVX_REGISTER_TEST(TestKvxToolVerify);
#include "tst_kvxtoolverify.moc"
