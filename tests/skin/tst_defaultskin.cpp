#include "skin/skinreader.h"
#include "tests/support/testmain.h"

#include <QFileInfo>

// The skin that ships with the program, read the way the player reads it.
class TestDefaultSkin : public QObject {
    Q_OBJECT

    CSkinReader m_skin{std::string(PROGRAM_FOLDER) + "res.ini", PROGRAM_FOLDER, 99};

    struct CButton {
        const char* section;
        std::string key;
        std::string images;
    };

    static std::vector<CButton> PlayerButtons()
    {
        std::vector<CButton> all;
        for (const char* name : {"EXIT", "OPEN", "BACKUP", "EDIT", "SPEED_UP", "SPEED_DN", "DELAY_UP", "DELAY_DN"})
            all.push_back({"MAIN POS", std::string("POS_") + name, std::string("BTN_") + name});
        for (const char* name : {"START", "RWPLAY", "BPLAY", "PAUSE", "FPLAY", "FFPLAY", "END"})
            all.push_back({"NAVIGATION POS", std::string("POS_") + name, std::string("BTN_") + name});
        const std::pair<const char*, const char*> lamps[7] = {{"START", "START"}, {"RW", "RW"}, {"BP", "BP"},
                                                              {"PAUSE", "PAUSE"}, {"FP", "FP"}, {"FF", "FF"},
                                                              {"END", "END"}};
        for (auto [key, images] : lamps)
            all.push_back({"NAVIGATION POS", std::string("POS_STATE_") + key, std::string("STATE_") + images});
        for (int n : {1, 4, 9, 16})
            all.push_back({"MODE POS", "POS_MODE" + std::to_string(n), "BTN_MODE" + std::to_string(n)});
        for (int n = 1; n <= 16; ++n)
            all.push_back({"CH POS", "POS_CH" + std::to_string(n), "BTN_CH" + std::to_string(n)});
        all.push_back({"CH POS", "POS_PREV_PAGE", "BTN_PREV_PAGE"});
        all.push_back({"CH POS", "POS_NEXT_PAGE", "BTN_NEXT_PAGE"});
        return all;
    }

private slots:
    void everyButtonHasFourPicturesOfItsSize()
    {
        const std::vector<CButton> buttons = PlayerButtons();
        QCOMPARE(buttons.size(), size_t(44));
        for (const CButton& b : buttons) {
            const QRect rect = m_skin.LoadSkinRect(b.section, b.key, false);
            QVERIFY2(rect != QRect(0, 0, 20, 10), b.key.c_str());
            const CButtonImageNames names = m_skin.ReadButtonImages(b.images, true);
            for (const QString& name : names.m_names) {
                const QImage picture(name);
                QVERIFY2(!picture.isNull(), qPrintable(name));
                QCOMPARE(picture.size(), rect.size());
            }
        }
    }

    void windowPicturesFitTheLayout()
    {
        const std::optional<QRect> window = LoadFrameRect(m_skin.Profile());
        QVERIFY(window);
        const QImage ntsc = m_skin.LoadSkinBitmap("MAIN", "NTSKIN");
        const QImage pal = m_skin.LoadSkinBitmap("MAIN", "PALSKIN");
        QCOMPARE(ntsc.size(), window->size());
        QCOMPARE(pal.size(), window->size() + QSize(0, 96));
        // The video area, the clock and the audio switches lie inside the window.
        const QRect video(m_skin.LoadSkinRect("MAIN POS", "POS_OVERLAY_TERM", false).topLeft(), QSize(720, 480));
        QVERIFY(QRect(QPoint(0, 0), window->size()).contains(video));
        QVERIFY(video.left() > 48);
        QVERIFY(window->width() >= 900);
        QCOMPARE(m_skin.LoadSkinBitmap("MAIN", "TIME").size(), QSize(134, 12));
        QCOMPARE(m_skin.LoadSkinRect("MAIN POS", "POS_SLIDE", false).width(), 728);
        QVERIFY(!m_skin.LoadSkinBitmap("MAIN", "LOGO").isNull());
        QVERIFY(!m_skin.LoadSkinBitmap("MAIN", "OVERLAY").isNull());
        QVERIFY(m_skin.LoadSkinBitmap("MAIN", "SLIDERDN").width() >= 8);
        QCOMPARE(m_skin.LoadSkinBitmap("MAIN", "SLIDERUP").height(), m_skin.LoadSkinRect("MAIN POS", "POS_SLIDE", false).height());
    }

    // The editor takes the player window's size: 5 rows more than the PAL background
    // in the PAL layout. Its picture sits where the player's does, and its buttons
    // have their pictures at their places in both layouts.
    void editorFitsThePlayersWindow()
    {
        const CSkinReader edit(std::string(PROGRAM_FOLDER) + "res.ini", PROGRAM_FOLDER, 96);
        const QSize window = LoadFrameRect(m_skin.Profile())->size();
        QCOMPARE(edit.LoadSkinBitmap("KVX_EDIT", "NTSKIN").size(), window);
        QCOMPARE(edit.LoadSkinBitmap("KVX_EDIT", "PALSKIN").size(), window + QSize(0, 96 + 5));
        QCOMPARE(edit.LoadSkinRect("EDIT POS", "POS_OVERLAY_TERM", false).topLeft(),
                 m_skin.LoadSkinRect("MAIN POS", "POS_OVERLAY_TERM", false).topLeft());
        for (const char* name : {"BRIGHT", "DARK", "SHARPEN", "BLUR", "CONTRAST_UP", "CONTRAST_DN", "SAVE", "PRINT", "CLOSE"}) {
            const std::string section = std::string("BTN_") + name + (std::string(name) == "CLOSE" ? "_EDIT" : "");
            for (bool pal : {false, true}) {
                const QRect rect = edit.LoadSkinRect("EDIT POS", std::string("POS_") + name, pal);
                QVERIFY2(QRect(QPoint(0, 0), window + QSize(0, pal ? 101 : 0)).contains(rect), name);
                for (const QString& picture : edit.ReadButtonImages(section, false).m_names)
                    QVERIFY2(picture.isEmpty() || QImage(picture).size() == rect.size(), name);
            }
        }
    }

    void toolTipsAreOnAndShort()
    {
        QCOMPARE(m_skin.Profile().GetInt("INFO", "TOOLTIP_ON", 0), 1);
        for (const char* key : {"TTIP_EXIT", "TTIP_OPEN", "TTIP_NG_FPLAY", "TTIP_MODE", "TTIP_CH"}) {
            const std::string text = m_skin.Profile().GetString("TOOL_TIP", key, "EMPTY");
            QVERIFY2(text != "EMPTY" && text.size() <= 79, key);
        }
        QVERIFY(QString::fromStdString(m_skin.Profile().GetString("TOOL_TIP", "TTIP_NG_PAUSE", "")).contains("Space"));
    }
};

KVX_REGISTER_TEST(TestDefaultSkin);
#include "tst_defaultskin.moc"
