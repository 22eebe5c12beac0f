#include "tests/support/recordingfixture.h"
#include "recording/recordingprobe.h"
#include "tests/support/testmain.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

class TestKvxTool : public QObject {
    Q_OBJECT

    CRecordingFixture m_files;

    struct CRun {
        int status = -1;
        QByteArray out, err;
    };

    // A command that does not finish in time is killed and gives status -2.
    static CRun Run(const QString& program, const QStringList& args)
    {
        QProcess process;
        process.start(program, args);
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return {-2, process.readAllStandardOutput(), process.readAllStandardError()};
        }
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardOutput(), process.readAllStandardError()};
    }
    static QByteArray Contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(16, 0.5);
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
            QCOMPARE(run.err, QByteArray::fromStdString(UnknownCdMessage(path.toStdString(), PROBE_NO_FIRST_HEADER) + "\n"));
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

    // A refused argument is named with the reason, not only answered with the
    // synopsis; the exit status stays 2.
    void everyRefusalSaysWhy_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("said");
        const QString r = "rec.kvx", t = "2005-01-01 00:00:00";
        QTest::newRow("fps") << QStringList{"export", r, "--channel", "1", "--fps", "0"} << "--fps 0: the rate is 1 to 60";
        QTest::newRow("fps text") << QStringList{"export", r, "--channel", "1", "--fps", "ten"} << "--fps ten: ";
        QTest::newRow("size") << QStringList{"export", r, "--channel", "1", "--size", "640x480"} << "--size 640x480: ";
        QTest::newRow("export channel") << QStringList{"export", r, "--channel", "0"} << "--channel 0: ";
        QTest::newRow("channel list") << QStringList{"export", r, "--channel", "1,,2"} << "--channel 1,,2: ";
        QTest::newRow("from") << QStringList{"export", r, "--channel", "1", "--from", "noon"} << "--from noon: ";
        QTest::newRow("order") << QStringList{"export", r, "--channel", "1", "--from", "2005-01-02 00:00:00", "--to", t}
                               << "--to 2005-01-01 00:00:00: it lies before --from";
        QTest::newRow("no value") << QStringList{"export", r, "--channel", "1", "--fps"} << "--fps: a value must follow";
        QTest::newRow("no channel") << QStringList{"export", r} << "--channel: ";
        QTest::newRow("empty out") << QStringList{"export", r, "--channel", "1", "--out", ""} << "--out: ";
        QTest::newRow("snapshot out") << QStringList{"snapshot", r, "--channel", "1", "--at", t, "--out", ""} << "--out: ";
        QTest::newRow("unknown") << QStringList{"export", r, "--channel", "1", "--quality", "20"} << "--quality: ";
        QTest::newRow("snapshot channel") << QStringList{"snapshot", r, "--channel", "17", "--at", t} << "--channel 17: ";
        QTest::newRow("snapshot at") << QStringList{"snapshot", r, "--channel", "1", "--at", "2005-01-01"}
                                     << "--at 2005-01-01: ";
        QTest::newRow("locate at") << QStringList{"locate", r, "--at", "2005-13-01 00:00:00"} << "--at 2005-13-01 00:00:00: ";
        QTest::newRow("report gap") << QStringList{"report", r, "--gap", "-1"} << "--gap -1: ";
        QTest::newRow("excerpt to") << QStringList{"excerpt", r, "--from", t, "--to", "x", "--out", "o.kvx"} << "--to x: ";
        QTest::newRow("excerpt out") << QStringList{"excerpt", r, "--from", t, "--to", t} << "--out: ";
        QTest::newRow("bench force") << QStringList{"bench", r, "--force"} << "--force: ";
        QTest::newRow("filter op") << QStringList{"filter", "a.bmp", "b.bmp", "sepia"} << "sepia: no such filter";
        QTest::newRow("info option") << QStringList{"info", r, "--xml"} << "--xml: ";
        QTest::newRow("second file") << QStringList{"frames", r, "other.kvx"} << "other.kvx: ";
        QTest::newRow("no file") << QStringList{"frames"} << "FILE: ";
        QTest::newRow("no command") << QStringList{} << "COMMAND: ";
    }
    void everyRefusalSaysWhy()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, said);
        const CRun run = Tool(args);
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.startsWith("kvxtool: " + said.toUtf8()), run.err);
        QVERIFY(run.err.contains("usage: kvxtool"));
        QVERIFY(run.out.isEmpty());
    }

    // Every record forward play delivers, in file order, from the first record up to
    // (not including) the last one; damaged records are skipped, broken pictures show.
    void framesListsWhatForwardPlayDelivers()
    {
        CRecordingRecipe recipe = CRecordingRecipe::FourChannelsWithAudio(20, 0.25);
        recipe.m_nAudioOnlyEvery = 6;
        recipe.m_oversize = {3};
        recipe.m_invalidDates = {5};
        recipe.m_jpegStarts = {{7, EJpegStart::Unrepairable}, {8, EJpegStart::MissingFF}};
        const QString path = QString::fromStdString(m_files.Write(recipe));
        std::vector<CGeneratedRecord> expected;
        for (const CGeneratedRecord& r : m_files.Last().Records())
            if (r.m_nPictureIndex != 3 && r.m_nPictureIndex != 5)
                expected.push_back(r);
        expected.pop_back(); // forward play stops before the last record

        const CRun run = Tool({"frames", path, "--json"});
        QCOMPARE(run.status, 0);
        const QList<QByteArray> lines = run.out.trimmed().split('\n');
        QCOMPARE(lines.size(), qsizetype(expected.size()));
        for (size_t i = 0; i < expected.size(); ++i) {
            const QJsonObject o = QJsonDocument::fromJson(lines[qsizetype(i)]).object();
            const CGeneratedRecord& r = expected[i];
            QCOMPARE(o.keys(), (QStringList{"audio_mode", "bytes", "channel", "group", "kind", "mark", "offset", "time"}));
            QCOMPARE(qulonglong(o["offset"].toInteger()), qulonglong(r.m_nOffset));
            QCOMPARE(o["time"].toString(), QString::fromStdString(r.m_time.ToIsoString()));
            QCOMPARE(o["group"].toInt(), 4);
            if (r.m_byKind == kvx::KIND_AUDIO_ONLY) {
                QCOMPARE(o["kind"].toString(), QString("05"));
                QCOMPARE(o["audio_mode"].toInt(), 2);
                QCOMPARE(o["bytes"].toInt(), 0);
                QVERIFY(o["channel"].isNull() && o["mark"].isNull());
            } else if (r.m_nPictureIndex == 7) {
                QCOMPARE(o["channel"].toInt(), 255);
                QVERIFY(o["mark"].isNull());
            } else {
                QCOMPARE(o["kind"].toString(), QString("01"));
                QCOMPARE(o["audio_mode"].toInt(), 3);
                QCOMPARE(qulonglong(o["bytes"].toInteger()), qulonglong(r.m_nPictureBytes));
                QCOMPARE(o["channel"].toInt(), r.m_nChannel);
                QCOMPARE(o["mark"].toBool(), true);
            }
        }
        QVERIFY(run.out.startsWith("{\"offset\":65536,\"kind\":\"01\",\"time\":"));

        const CRun person = Tool({"frames", path});
        QCOMPARE(person.status, 0);
        QVERIFY(person.out.contains(QByteArray::number(qulonglong(expected.size())) + " records"));
        const QString empty = QString::fromStdString(m_files.WriteBytes(std::vector<uint8_t>(1000, 0)));
        QCOMPARE(Tool({"frames", empty}).err, QByteArray::fromStdString(UnknownCdMessage(empty.toStdString(), PROBE_NO_FIRST_HEADER) + "\n"));
    }

    void benchDecodesEveryPicture()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 40;
        const QString path = QString::fromStdString(m_files.Write(recipe));
        const QString dump = QString::fromStdString(m_files.PathFor("pictures.mjpeg"));
        const CRun run = Tool({"bench", path, "--mjpeg", dump});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.startsWith("39 pictures (0 not decoded)"));
        QVERIFY(run.out.contains("frames/s"));
        QFile mjpeg(dump);
        QVERIFY(mjpeg.open(QIODevice::ReadOnly));
        const QByteArray streams = mjpeg.readAll();
        QCOMPARE(streams.count("\xFF\xD8\xFF\xE0"), 39);
        QCOMPARE(streams.count("\xFF\xD9"), 39); // each stream up to its end marker, no padding
        QVERIFY(streams.endsWith("\xFF\xD9"));
    }

    // The generator's clock options make the recording; locate finds its moments with
    // the exact keys and exit statuses of its contract.
    void locateNamesTheRecordForAMoment()
    {
        const QString path = QString::fromStdString(m_files.PathFor("gap.kvx"));
        QCOMPARE(Run(KVXGEN_PATH, {"--channels", "4", "--records", "40", "--seconds-per-record", "0.25", "--start",
                                    "2024-03-18 14:02:00", "--time-shift", "20:100,20:75", "--quality", "30", path})
                     .status,
                 0);
        // 14:02:00-14:02:04, then 14:05:00-14:05:04 (from record 20 on, 175 s later).
        QMap<QString, qint64> firstOffsetAt;
        for (const QByteArray& line : Tool({"frames", path, "--json"}).out.trimmed().split('\n')) {
            const QJsonObject frame = QJsonDocument::fromJson(line).object();
            if (!firstOffsetAt.contains(frame["time"].toString()))
                firstOffsetAt[frame["time"].toString()] = frame["offset"].toInteger();
        }
        CRun run = Tool({"locate", path, "--at", "2024-03-18 14:02:10", "--json"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QByteArray("{\"offset\":") + QByteArray::number(firstOffsetAt["2024-03-18 14:05:00"])
                              + ",\"time\":\"2024-03-18 14:05:00\",\"gap\":{\"from\":\"2024-03-18 14:02:04\","
                                "\"to\":\"2024-03-18 14:05:00\"},\"ambiguous\":[]}\n");
        run = Tool({"locate", "--json", "--at", "2024-03-18 14:02:01", path});
        const QJsonObject o = QJsonDocument::fromJson(run.out).object();
        QCOMPARE(o.keys(), (QStringList{"ambiguous", "gap", "offset", "time"}));
        QCOMPARE(o["offset"].toInteger(), firstOffsetAt["2024-03-18 14:02:01"]);
        QVERIFY(o["gap"].isNull());
        run = Tool({"locate", path, "--at", "2024-03-18 13:00:00"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out, QByteArray("Offset:  65536\nTime:    2024-03-18 14:02:00\n"));

        run = Tool({"locate", path, "--at", "2024-03-18 14:05:05"});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err, QByteArray("no recording at or after 2024-03-18 14:05:05; the recording ends at "
                                     "2024-03-18 14:05:04\n"));
        const QString zeros = QString::fromStdString(m_files.WriteBytes(std::vector<uint8_t>(70000, 0)));
        run = Tool({"locate", zeros, "--at", "2024-03-18 14:05:05"});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.err, QByteArray::fromStdString(UnknownCdMessage(zeros.toStdString(), PROBE_NO_FIRST_HEADER) + "\n"));
        for (const QStringList& args : {QStringList{"locate", path}, QStringList{"locate", "--at", "2024-03-18 14:00:00"},
                                        QStringList{"locate", path, "--at", "yesterday"},
                                        QStringList{"locate", path, "--at", "2024-02-30 14:00:00"}}) {
            run = Tool(args);
            QCOMPARE(run.status, 2);
            QVERIFY(run.err.contains("usage: kvxtool locate FILE --at"));
        }
        QVERIFY(Tool({"--help"}).out.contains("locate FILE --at \"YYYY-MM-DD HH:MM:SS\" [--json]"));
    }

    // Forward play that shows no picture before the end of the file cycles in the
    // player; the command-line readers stop at the end and report what they read.
    void framesAndBenchEndAtTheEndOfTheFile()
    {
        CRecordingRecipe allOversize;
        allOversize.m_nChannels = 4;
        allOversize.m_nRecords = 6;
        allOversize.m_dSecondsPerRecord = 1;
        allOversize.m_oversize = {0, 1, 2, 3, 4, 5};
        const QString none = QString::fromStdString(m_files.Write(allOversize));
        CRun run = Tool({"frames", none});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.startsWith("0 records: 0 pictures (0 not decoded), 0 audio only; the file ended before"), run.out);
        run = Tool({"frames", none, "--json"});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.isEmpty());
        run = Tool({"bench", none});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.startsWith("0 pictures (0 not decoded)"));

        // The last records hold no header the engine accepts, but the probe's end lies behind them.
        CRecordingRecipe brokenTail = allOversize;
        brokenTail.m_oversize = {4};
        brokenTail.m_invalidDates = {5};
        const QString tail = QString::fromStdString(m_files.Write(brokenTail));
        run = Tool({"frames", tail, "--json"});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.out.count('\n'), 4);
        QCOMPARE(Tool({"bench", tail}).status, 0);
    }

    // bench --mjpeg writes a new file; --force replaces one, but nothing replaces the
    // recording being read, whatever name or link leads to it.
    void benchNeverWritesOverItsInput()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 20;
        const QString path = QString::fromStdString(m_files.Write(recipe));
        const QByteArray original = Contents(path);
        const QString link = QString::fromStdString(m_files.PathFor("link.kvx"));
        const QString hardLink = QString::fromStdString(m_files.PathFor("hard.kvx"));
        QVERIFY(QFile::link(path, link));
        QVERIFY(::link(path.toLocal8Bit(), hardLink.toLocal8Bit()) == 0);
        for (const QString& out : {path, link, hardLink})
            for (const QStringList& force : {QStringList{}, QStringList{"--force"}}) {
                const CRun run = Tool(QStringList{"bench", path, "--mjpeg", out} + force);
                QCOMPARE(run.status, 1);
                QVERIFY(run.err.contains("is the recording being read; it is never written"));
            }
        QCOMPARE(Tool({"bench", link, "--mjpeg", path, "--force"}).status, 1);
        QCOMPARE(Contents(path), original);

        const QString dump = QString::fromStdString(m_files.PathFor("existing.mjpeg"));
        QFile existing(dump);
        QVERIFY(existing.open(QIODevice::WriteOnly) && existing.write("keep me") == 7);
        existing.close();
        const CRun refused = Tool({"bench", path, "--mjpeg", dump});
        QCOMPARE(refused.status, 1);
        QVERIFY(refused.err.contains("exists already; --force replaces it"));
        QCOMPARE(Contents(dump), QByteArray("keep me"));
        QCOMPARE(Tool({"bench", path, "--mjpeg", dump, "--force"}).status, 0);
        QCOMPARE(Contents(dump).count("\xFF\xD8\xFF\xE0"), 19);
        QCOMPARE(Tool({"bench", path, "--force"}).status, 2); // --force without an output
    }

    // The recording is evidence: no command changes its bytes or its time, whatever
    // it writes elsewhere.
    void noCommandWritesTheRecording()
    {
        CRecordingRecipe recipe;
        recipe.m_nRecords = 24;
        const QString path = QString::fromStdString(m_files.Write(recipe));
        const QString out = QString::fromStdString(m_files.PathFor("out"));
        const QByteArray original = Contents(path);
        const QDateTime modified = QFileInfo(path).lastModified();
        const QList<QStringList> commands = {
            {"info", path}, {"info", path, "--json"}, {"frames", path}, {"frames", path, "--json"},
            {"locate", path, "--at", "2005-01-01 00:00:01", "--json"}, {"bench", path},
            {"bench", path, "--mjpeg", out + ".mjpeg"},
            {"snapshot", path, "--channel", "2", "--at", "2005-01-01 00:00:00", "--out", out, "--json"},
        };
        for (const QStringList& command : commands) {
            QCOMPARE(Tool(command).status, 0);
            QCOMPARE(Contents(path), original);
            QCOMPARE(QFileInfo(path).lastModified(), modified);
        }
    }

    // Opening a pipe for reading waits for a writer; it is refused before that.
    void pipeIsRefusedWithoutWaiting()
    {
        const std::string fifo = m_files.PathFor("pipe.kvx");
        QVERIFY(::mkfifo(fifo.c_str(), 0600) == 0);
        for (const char* command : {"info", "frames", "bench"}) {
            const CRun run = Tool({command, QString::fromStdString(fifo)});
            QCOMPARE(run.status, 1);
            QVERIFY2(run.err.startsWith("Can not open KVX file.") && run.err.contains("It is a pipe, not a file."), run.err);
        }
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
