#include "platform/nativefilename.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Made through the system, as Qt would change the name's bytes.
bool Touch(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    return fd >= 0 && ::close(fd) == 0;
}

} // namespace

class TestNativeFileName : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

private slots:
    // Every byte string comes back unchanged; valid UTF-8 reads as Qt reads it.
    void everyNameComesBackByteForByte()
    {
        const QByteArray names[] = {
            "plain.kvx", "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\xB7.kvx", // valid: 2, 3 and 4 bytes
            "rec\xFF\xFE.kvx", "latin \xE9t\xE9.kvx",                     // not UTF-8 at all
            "\xC0\x80 overlong", "\xED\xA0\x80 surrogate", "\xF4\x90\x80\x80 too high",
            "cut \xE2\x82", "\xF5\x80", "\xED\xB2\x80\xED\xB3\xBF", // an escape's own UTF-8 form stays bytes
        };
        for (const QByteArray& name : names) {
            const QString decoded = CNativeFileName::Decode(name);
            QCOMPARE(CNativeFileName::Encode(decoded), name);
            if (QString::fromUtf8(name).toUtf8() == name)
                QCOMPARE(decoded, QString::fromUtf8(name));
            else
                QVERIFY(!decoded.contains(QChar::ReplacementCharacter));
        }
        for (int b = 1; b < 256; ++b) {
            const QByteArray one(1, char(b));
            QCOMPARE(CNativeFileName::Encode(CNativeFileName::Decode(one)), one);
        }
        QCOMPARE(CNativeFileName::Decode("a\xFF").size(), 2);
    }

    // Qt's file dialog shows such bytes as U+FFFD: the one entry shown so is found.
    void dialogNamesAreLookedUpInTheirFolder()
    {
        const std::string folder = m_files.PathFor("names");
        QVERIFY(QDir().mkpath(QString::fromStdString(folder)));
        const QByteArray native = QByteArray::fromStdString(folder) + "/rec\xFF\xFE.kvx";
        QVERIFY(Touch(native));
        const QString shown = QFile::decodeName(native);
        QVERIFY(shown.contains(QChar::ReplacementCharacter));
        QCOMPARE(CNativeFileName::Encode(CNativeFileName::FromDialog(shown)), native);
        QCOMPARE(CNativeFileName::FromDialog("/plain/name.kvx"), QString("/plain/name.kvx"));

        // Two entries shown alike: nothing to choose by, the name stays as it was.
        QVERIFY(Touch(QByteArray::fromStdString(folder) + "/rec\xFE\xFF.kvx"));
        QCOMPARE(CNativeFileName::FromDialog(shown), shown);
    }
};

KVX_REGISTER_TEST(TestNativeFileName);
#include "tst_nativefilename.moc"
