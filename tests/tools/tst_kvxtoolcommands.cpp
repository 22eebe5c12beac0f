#include "tests/support/testmain.h"
#include "tests/support/toolrun.h"
#include "tools/kvxtool/commandtable.h"
#include "tools/kvxtool/optionparser.h"

#include <QTemporaryFile>

#include <set>
#include <unistd.h>

// kvxtool is one table of commands and one option parser: the help text is made of
// the table, every command it lists must answer to its name, and every value an
// option refuses is named in the message with the reason.
class TestKvxToolCommands : public QObject {
    Q_OBJECT

    // What the parser says on standard error while `parse` runs.
    static QByteArray Said(const std::function<void()>& parse)
    {
        QTemporaryFile file;
        if (!file.open())
            return "no temporary file";
        std::fflush(stderr);
        const int saved = ::dup(STDERR_FILENO);
        ::dup2(file.handle(), STDERR_FILENO);
        parse();
        std::fflush(stderr);
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        file.seek(0);
        return file.readAll();
    }

private slots:
    void theTableMakesTheHelpText()
    {
        const CToolRun help = Kvxtool({"--help"});
        QCOMPARE(help.status, 0);
        QCOMPARE(help.out, QByteArray::fromStdString(HelpText()));
        std::set<std::string> names;
        for (const CCommand* command : Commands()) {
            const std::string name = command->m_szName;
            QVERIFY2(names.insert(name).second, command->m_szName);
            QVERIFY(command->m_pRun);
            const std::string synopsis = command->m_szSynopsis;
            QVERIFY(synopsis == name || synopsis.starts_with(name + " ")); // `key` takes no argument
            QVERIFY(std::string(command->m_szHelp).starts_with("  " + name + " "));
            QVERIFY(std::string(command->m_szHelp).ends_with("\n"));
            QVERIFY(help.out.contains(QByteArray("\n") + command->m_szHelp));
            QCOMPARE(FindCommand(name), command);
        }
        QVERIFY(!FindCommand("play"));
    }

    // Each command named in the help answers an option it does not have with its own
    // synopsis, not the unknown-command message: the table's handler is reached.
    void everyListedCommandHasItsHandler()
    {
        const CToolRun help = Kvxtool({"--help"});
        const QByteArray commands = help.out.mid(help.out.indexOf("Commands:\n"));
        int listed = 0;
        for (const QByteArray& line : commands.split('\n')) {
            if (!line.startsWith("  ") || line.size() < 3 || !std::islower(uchar(line[2])))
                continue;
            const QByteArray name = line.mid(2, line.indexOf(' ', 2) - 2);
            const CToolRun run = Kvxtool({QString::fromUtf8(name), "--no-such-option"});
            QCOMPARE(run.status, EXIT_USAGE);
            QVERIFY2(run.err.contains("\nusage: kvxtool " + name), run.err);
            QVERIFY2(!run.err.contains("unknown command"), run.err);
            ++listed;
        }
        QCOMPARE(size_t(listed), Commands().size());
    }

    // The whole message for each numeric option's wrong values: the option, the value
    // and the reason, then the command's synopsis; exit status 2 and no output.
    void aWrongNumberNamesItsOption_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("said");
        const QString r = "rec.kvx", t = "2005-01-01 00:00:00";
        for (const QString fps : {"0", "61", "ten", "5x", "", "-3"})
            QTest::addRow("fps '%s'", qPrintable(fps))
                << QStringList{"export", r, "--channel", "1", "--fps", fps} << "--fps " + fps + ": the rate is 1 to 60";
        for (const QString channel : {"0", "17", "1,x", "3,", ",3", "all,1"})
            QTest::addRow("export channel '%s'", qPrintable(channel))
                << QStringList{"export", r, "--channel", channel}
                << "--channel " + channel + ": a camera is 1 to 16, a list of them (1,3,5) or all";
        for (const QString channel : {"0", "17", "one", "1,2"})
            QTest::addRow("snapshot channel '%s'", qPrintable(channel))
                << QStringList{"snapshot", r, "--channel", channel, "--at", t}
                << "--channel " + channel + ": a camera is 1 to 16";
        for (const QString gap : {"-1", "ten", "1e3", "99999999999999999999", "+5"})
            QTest::addRow("gap '%s'", qPrintable(gap))
                << QStringList{"report", r, "--gap", gap} << "--gap " + gap + ": the gap is a whole number of seconds, 0 or more";
    }
    void aWrongNumberNamesItsOption()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, said);
        const CToolRun run = Kvxtool(args);
        QCOMPARE(run.status, EXIT_USAGE);
        const QByteArray synopsis = FindCommand(args.front().toStdString())->m_szSynopsis;
        QCOMPARE(run.err, "kvxtool: " + said.toUtf8() + "\nusage: kvxtool " + synopsis
                              + "\nTry 'kvxtool --help' for more information.\n");
        QVERIFY(run.out.isEmpty());
    }

    // What is left over is named by what it is: an option's missing value, an option
    // the command lacks, a second file, a missing file. The first refusal ends the parse.
    void theParserNamesWhatItCannotTake()
    {
        bool json = false;
        int fps = 10;
        std::string file;
        const auto parse = [&](const std::vector<std::string>& args) {
            json = false;
            fps = 10;
            file.clear();
            bool ok = true;
            const QByteArray said = Said([&] {
                ok = COptionParser()
                         .Flag("--json", json)
                         .Number("--fps", 1, 60, fps, "the rate is 1 to 60")
                         .File(file, "FILE", "a file must be named")
                         .Parse(args);
            });
            return ok ? QByteArray("ok") : said;
        };
        QCOMPARE(parse({"a.kvx", "--fps", "25", "--json"}), QByteArray("ok"));
        QCOMPARE(fps, 25);
        QVERIFY(json);
        QVERIFY(file == "a.kvx");
        QCOMPARE(parse({"--fps", "-a.kvx"}), QByteArray("kvxtool: --fps -a.kvx: the rate is 1 to 60\n"));
        QCOMPARE(parse({"a.kvx", "--fps"}), QByteArray("kvxtool: --fps: a value must follow it\n"));
        QCOMPARE(parse({"a.kvx", "--xml", "--fps", "0"}), QByteArray("kvxtool: --xml: the command has no such option\n"));
        QCOMPARE(parse({"a.kvx", "b.kvx"}), QByteArray("kvxtool: b.kvx: one file is taken, and it is named already\n"));
        QCOMPARE(parse({"--json"}), QByteArray("kvxtool: FILE: a file must be named\n"));
        QCOMPARE(parse({"--fps", "0", "--fps", "99"}), QByteArray("kvxtool: --fps 0: the rate is 1 to 60\n"));
    }

    void aNumberListComesSortedAndOnce()
    {
        std::vector<int> values;
        QVERIFY(COptionParser::ReadNumberList("5,1,3,1", 1, 16, values));
        QCOMPARE(values, (std::vector<int>{1, 3, 5}));
        for (const char* wrong : {"", ",", "1,,2", "0", "17", "1, 2", "2-3"})
            QVERIFY2(!COptionParser::ReadNumberList(wrong, 1, 16, values), wrong);
    }
};

KVX_REGISTER_TEST(TestKvxToolCommands);
#include "tst_kvxtoolcommands.moc"
