#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

class TestKvxTool : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

    struct CRun {
        int status = -1;
        QByteArray out, err;
    };

    static CRun Run(const QString& program, const QStringList& args)
    {
        QProcess process;
        process.start(program, args);
        if (!process.waitForFinished(60000))
            qFatal("%s did not finish", qPrintable(program));
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }
    static CRun Tool(const QStringList& args) { return Run(KVXTOOL_PATH, args); }

private slots:
    void infoJsonHasExactlyTheDocumentedKeys()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 32;
        recipe.m_nFirstSector = UINT64_MAX - 100000; // sectors print as unsigned 64-bit
        const QString path = QString::fromStdString(m_files.Write(recipe));
        const CGeneratedRecord& last = m_files.Last().Records().back();
        const CRun run = Tool({"info", path, "--json"});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.endsWith("}\n"));
        QCOMPARE(run.out.count('\n'), 1);
        QVERIFY(run.out.contains(QByteArray("\"first_sector\":") + QByteArray::number(qulonglong(UINT64_MAX - 100000)) + ","));
        const QJsonObject o = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(o.keys(), (QStringList{"audio", "channels", "end", "end_offset", "end_valid", "first_sector",
                                        "layout", "sector_span", "size", "start"}));
        QCOMPARE(o["channels"].toInt(), 16);
        QCOMPARE(o["layout"].toString(), QString("B"));
        QCOMPARE(o["start"].toString(), QString("2005-01-01 00:00:00"));
        QCOMPARE(o["end"].toString(), QString::fromStdString(last.m_time.ToIsoString()));
        QCOMPARE(o["end_valid"].toBool(), true);
        QCOMPARE(qulonglong(o["sector_span"].toInteger()), qulonglong(last.m_nSector - recipe.m_nFirstSector));
        QCOMPARE(qulonglong(o["end_offset"].toInteger()), qulonglong(last.m_nOffset - 1024));
        QCOMPARE(o["audio"].toBool(), false);
        QCOMPARE(qulonglong(o["size"].toInteger()), qulonglong(m_files.Last().FileLength()));
        // The keys come in the documented order.
        QVERIFY(run.out.startsWith("{\"channels\":16,\"layout\":\"B\",\"start\":"));
        QVERIFY(run.out.contains(",\"audio\":false,\"size\":"));
    }

    void infoReportsVariants()
    {
        CRecordingRecipe recipe;
        recipe.m_nChannels = 4;
        recipe.m_bAudio = true;
        recipe.m_nRecords = 16;
        recipe.m_dSecondsPerRecord = 0.5;
        recipe.m_invalidDates = {CRecordingRecipe::LAST_RECORD};
        const CRun run = Tool({"info", "--json", QString::fromStdString(m_files.Write(recipe))});
        QCOMPARE(run.status, 0);
        const QJsonObject o = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(o["channels"].toInt(), 4);
        QCOMPARE(o["layout"].toString(), QString("A"));
        QCOMPARE(o["audio"].toBool(), true);
        QVERIFY(o["end"].isNull());
        QCOMPARE(o["end_valid"].toBool(), false);

        const CRun person = Tool({"info", QString::fromStdString(m_files.Write(recipe))});
        QCOMPARE(person.status, 0);
        QVERIFY(person.out.contains("Channels:      4 (header layout A)"));
        QVERIFY(person.out.contains("End:           invalid"));
    }

    void probeFailureGoesToStandardError()
    {
        const QString path = QString::fromStdString(m_files.WriteBytes(std::vector<uint8_t>(70000, 0)));
        for (const QStringList& args : {QStringList{"info", path}, QStringList{"info", path, "--json"}}) {
            const CRun run = Tool(args);
            QCOMPARE(run.status, 1);
            QCOMPARE(run.err, QByteArray(" Unknown CD \n"));
            QVERIFY(run.out.isEmpty());
        }
        const CRun missing = Tool({"info", QString::fromStdString(m_files.PathFor("missing.kvx"))});
        QCOMPARE(missing.status, 1);
        QVERIFY(missing.err.startsWith("Can not open KVX file."));
    }

    void usageErrorsExitWith2()
    {
        for (const QStringList& args : {QStringList{}, QStringList{"info"}, QStringList{"info", "a", "b"},
                                        QStringList{"info", "a", "--xml"}, QStringList{"play", "a"}}) {
            const CRun run = Tool(args);
            QCOMPARE(run.status, 2);
            QVERIFY(run.err.contains("usage: kvxtool"));
        }
        const CRun help = Tool({"--help"});
        QCOMPARE(help.status, 0);
        QVERIFY(help.out.contains("info FILE [--json]"));
    }

    void generatorCommandLineWritesWhatItIsAskedFor()
    {
        const QString path = QString::fromStdString(m_files.PathFor("cli.kvx"));
        const CRun gen = Run(KVXGEN_PATH, {"--channels", "4", "--pal", "--records", "12", "--start",
                                            "2010-06-30 23:59:58", "--seconds-per-record", "0.5", path});
        QCOMPARE(gen.status, 0);
        const QJsonObject o = QJsonDocument::fromJson(Tool({"info", path, "--json"}).out).object();
        QCOMPARE(o["channels"].toInt(), 4);
        QCOMPARE(o["start"].toString(), QString("2010-06-30 23:59:58"));
        QCOMPARE(o["end"].toString(), QString("2010-07-01 00:00:03"));
        QCOMPARE(Run(KVXGEN_PATH, {"--channels", "5", path}).status, 2);
    }
};

KVX_REGISTER_TEST(TestKvxTool);
#include "tst_kvxtool.moc"
