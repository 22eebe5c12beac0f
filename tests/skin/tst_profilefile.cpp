#include "skin/profilefile.h"
#include "skin/skinreader.h"
#include "tests/support/plantedlink.h"
#include "tests/support/recordingfixture.h"
#include "tests/support/testmain.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

class TestProfileFile : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_nFiles = 0;

    std::string Write(const QByteArray& text)
    {
        const QString path = m_dir.filePath(QString("res%1.ini").arg(++m_nFiles));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
            qFatal("cannot write %s", qPrintable(path));
        return path.toStdString();
    }
    static QByteArray Read(const std::string& path)
    {
        QFile file(QString::fromStdString(path));
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }

private slots:
    void namesMatchWithoutRegardToCase()
    {
        const CProfileFile ini(Write("[Main Pos]\nPos_Exit=<1><2><3><4>\n[MAIN POS]\nPOS_EXIT=second\n"));
        QCOMPARE(ini.GetString("MAIN POS", "POS_EXIT", "x"), std::string("<1><2><3><4>")); // first match wins
        QCOMPARE(ini.GetString("main pos", "pos_exit", "x"), std::string("<1><2><3><4>"));
        QCOMPARE(ini.GetString("MAIN POS", "POS_OPEN", "EMPTY"), std::string("EMPTY"));
        QCOMPARE(ini.GetString("NO SECTION", "POS_EXIT", "fallback  "), std::string("fallback"));
    }

    void valuesAreTakenAsWritten()
    {
        const CProfileFile ini(Write("; a comment line\r\n[TOOL_TIP]\r\n  TTIP_EXIT  =  Exit the player ; not a comment  \r\n"
                                     "TTIP_OPEN=\"  quoted  \"\r\nTTIP_EDIT=a=b\r\nTTIP_NULL=\r\nno equals sign\r\n[INFO]\r\n"
                                     "PAL= 1x\r\nFILTER=-3\r\nTOOLTIP_ON=on\r\n"));
        QCOMPARE(ini.GetString("TOOL_TIP", "TTIP_EXIT", ""), std::string("Exit the player ; not a comment"));
        QCOMPARE(ini.GetString("TOOL_TIP", "TTIP_OPEN", ""), std::string("  quoted  "));
        QCOMPARE(ini.GetString("TOOL_TIP", "TTIP_EDIT", ""), std::string("a=b"));
        QCOMPARE(ini.GetString("TOOL_TIP", "TTIP_NULL", "EMPTY"), std::string()); // present but empty
        QCOMPARE(ini.GetInt("INFO", "PAL", 0), 1);
        QCOMPARE(ini.GetInt("INFO", "FILTER", 0), -3);
        QCOMPARE(ini.GetInt("INFO", "TOOLTIP_ON", 7), 0);
        QCOMPARE(ini.GetInt("INFO", "MISSING", 7), 7);

        const std::string longValue(400, 'v');
        const CProfileFile big(Write(QByteArray("[A]\nK=") + QByteArray::fromStdString(longValue) + "\n"));
        QCOMPARE(big.GetString("A", "K", "").size(), size_t(259));
        QCOMPARE(CProfileFile(m_dir.filePath("missing.ini").toStdString()).GetInt("INFO", "PAL", 0), 0);
    }

    void writingChangesOnlyThatValue()
    {
        const QByteArray original = "; skin\r\n[MAIN]\r\nNTSKIN=skin/a.bmp\r\n\r\n[info]\r\npal = 0\r\nFILTER=1\r\n\r\n[TOOL_TIP]\r\nTTIP_EXIT=Exit\r\n";
        const std::string path = Write(original);
        const CProfileFile ini(path);
        QVERIFY(ini.WriteString("INFO", "PAL", "1"));
        QCOMPARE(Read(path), QByteArray(original).replace("pal = 0", "pal =1"));
        QCOMPARE(ini.GetInt("INFO", "PAL", 0), 1);

        const std::string noKey = Write("[INFO]\nFILTER=1\n\n[MAIN]\nLOGO=x\n");
        QVERIFY(CProfileFile(noKey).WriteString("INFO", "PAL", "0"));
        QCOMPARE(Read(noKey), QByteArray("[INFO]\nFILTER=1\nPAL=0\n\n[MAIN]\nLOGO=x\n"));

        const std::string noSection = Write("[MAIN]\nLOGO=x\n");
        QVERIFY(CProfileFile(noSection).WriteString("INFO", "PAL", "1"));
        QCOMPARE(Read(noSection), QByteArray("[MAIN]\nLOGO=x\n[INFO]\nPAL=1\n"));

        const std::string created = m_dir.filePath("new.ini").toStdString();
        QVERIFY(CProfileFile(created).WriteString("INFO", "PAL", "1"));
        QCOMPARE(CProfileFile(created).GetInt("INFO", "PAL", 0), 1);
    }

    // The file is replaced by renaming a new one over it: a link planted beside it
    // under the name a new file could take, or in its own place, leads nowhere.
    void writingNeverGoesThroughALink()
    {
        CRecordingFixture recordings;
        CRecordingRecipe recipe;
        recipe.m_nRecords = 8;
        const QString recording = QString::fromStdString(recordings.Write(recipe));
        const std::string path = Write("[INFO]\nPAL=0\n");
        const CPlantedLink beside(recording, QString::fromStdString(path) + ".new");
        QVERIFY(beside.Planted());
        QVERIFY(CProfileFile(path).WriteString("INFO", "PAL", "1"));
        QCOMPARE(Read(path), QByteArray("[INFO]\nPAL=1\n"));
        QVERIFY(beside.RecordingIntact());

        const QString linked = m_dir.filePath("linked.ini");
        const CPlantedLink own(recording, linked);
        QVERIFY(own.Planted());
        QVERIFY(CProfileFile(linked.toStdString()).WriteString("INFO", "PAL", "1"));
        QVERIFY(own.RecordingIntact());
        QVERIFY(!QFileInfo(linked).isSymLink());
        QCOMPARE(CProfileFile(linked.toStdString()).GetInt("INFO", "PAL", 0), 1);
    }

    void rectangleGrammar_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("plain") << "<10><20><30><40>" << QRect(10, 20, 30, 40);
        QTest::newRow("fifth number ignored") << "<7><8><9><10><11>" << QRect(7, 8, 9, 10);
        QTest::newRow("token without digits") << "<5><x><9><10>" << QRect(5, 0, 9, 10);
        QTest::newRow("leading blanks") << "< 5><6><7><8>" << QRect(5, 6, 7, 8);
        QTest::newRow("negative left") << "<-5><0><10><10>" << QRect(-5, 0, 10, 10);
        QTest::newRow("runs of separators") << "<<12>>><340><60>< 24>" << QRect(12, 340, 60, 24);
        QTest::newRow("digits then text") << "<12px><3><4><5>" << QRect(12, 3, 4, 5);
        QTest::newRow("too few numbers") << "<1><2>" << QRect(1, 2, 0, 0);
        QTest::newRow("empty") << "" << QRect(0, 0, 0, 0);
        // Beyond what a screen holds: kept where the far edge and the PAL offset still fit in an int.
        QTest::newRow("huge numbers") << "<2147483647><-99999999999><2147483647><+40>"
                                      << QRect(SKIN_COORD_MAX, -SKIN_COORD_MAX, SKIN_COORD_MAX, 40);
    }
    void rectangleGrammar()
    {
        QFETCH(QString, value);
        QFETCH(QRect, rect);
        QCOMPARE(ParseSkinRect(value.toStdString()), rect);
    }

    void windowsReadRectanglesWithTheirPalOffset()
    {
        const std::string path = Write("[MAIN POS]\nPOS_EXIT=<10><20><30><40>\n");
        const CSkinReader player(path, "/prog/", 99), edit(path, "/prog/", 96), backup(path, "/prog/", 0);
        const QRect r = player.LoadSkinRect("MAIN POS", "POS_EXIT", false);
        QCOMPARE(QRect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height()), QRect(10, 20, 40, 60));
        QCOMPARE(player.LoadSkinRect("MAIN POS", "POS_EXIT", true), QRect(10, 119, 30, 40));
        QCOMPARE(edit.LoadSkinRect("MAIN POS", "POS_EXIT", true), QRect(10, 116, 30, 40));
        QCOMPARE(backup.LoadSkinRect("MAIN POS", "POS_EXIT", true), QRect(10, 20, 30, 40));
        QCOMPARE(player.LoadSkinRect("MAIN POS", "POS_OPEN", false), QRect(0, 0, 20, 10));
    }

    void frameNeedsAWindowSize()
    {
        QCOMPARE(LoadFrameRect(CProfileFile(Write("[MAIN POS]\nPOS_SKIN=<50><60><800><600>\n"))), QRect(50, 60, 800, 600));
        QVERIFY(!LoadFrameRect(CProfileFile(Write("[MAIN POS]\nPOS_EXIT=<1><1><1><1>\n"))));
        QVERIFY(!LoadFrameRect(CProfileFile(m_dir.filePath("none.ini").toStdString())));
        QVERIFY(!LoadFrameRect(CProfileFile(Write("[MAIN POS]\nPOS_SKIN=EMPTY\n"))));
    }

    void buttonPicturesAreLookedForInTheProgramFolder()
    {
        const std::string path = Write("[BTN_EXIT]\nNORMAL=skin\\exit.bmp\nDOWN=Exit.bmp\nDNCHECK=/abs/x.bmp\n"
                                       "[STATE_START]\nNORMAL=lamp.bmp\nDNCHECK=lamp.bmp\n");
        const CSkinReader reader(path, "/prog/", 99);
        const CButtonImageNames exit = reader.ReadButtonImages("BTN_EXIT", true);
        QCOMPARE(exit.m_names[0], QString("/prog/skin/exit.bmp"));
        QCOMPARE(exit.m_names[1], QString()); // an upper-case E means no picture
        QCOMPARE(exit.m_names[2], QString("/abs/x.bmp"));
        QCOMPARE(exit.m_names[3], QString()); // missing: "EMPTY"
        QCOMPARE(reader.ReadButtonImages("STATE_START", false).m_names[2], QString());
    }

    void standardGreysTakeTheDesktopColours()
    {
        QImage image(4, 1, QImage::Format_RGB32);
        image.setPixel(0, 0, qRgb(128, 128, 128));
        image.setPixel(1, 0, qRgb(192, 192, 192));
        image.setPixel(2, 0, qRgb(223, 223, 223));
        image.setPixel(3, 0, qRgb(129, 128, 128));
        QPalette palette;
        palette.setColor(QPalette::Dark, QColor(1, 2, 3));
        palette.setColor(QPalette::Button, QColor(4, 5, 6));
        palette.setColor(QPalette::Midlight, QColor(7, 8, 9));
        QGuiApplication::setPalette(palette);
        const QImage mapped = MapStandardGreys(image);
        QGuiApplication::setPalette(QPalette());
        QCOMPARE(mapped.pixel(0, 0), qRgb(1, 2, 3));
        QCOMPARE(mapped.pixel(1, 0), qRgb(4, 5, 6));
        QCOMPARE(mapped.pixel(2, 0), qRgb(7, 8, 9));
        QCOMPARE(mapped.pixel(3, 0), qRgb(129, 128, 128));
    }
};

KVX_REGISTER_TEST(TestProfileFile);
#include "tst_profilefile.moc"
