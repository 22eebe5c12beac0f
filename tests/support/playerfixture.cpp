#include "tests/support/playerfixture.h"

#include "app/mainframe.h"
#include "tests/support/editskin.h"
#include "skin/skinreader.h"

#include <QFile>
#include <QTest>

namespace {

struct CKey {
    const char* section;
    const char* key;
    const char* images; // image section, or null
};

// Every positioned control of the player window.
std::vector<CKey> PlayerKeys()
{
    std::vector<CKey> keys = {
        {"MAIN POS", "POS_EXIT", "BTN_EXIT"},         {"MAIN POS", "POS_OPEN", "BTN_OPEN"},
        {"MAIN POS", "POS_BACKUP", "BTN_BACKUP"},     {"MAIN POS", "POS_EDIT", "BTN_EDIT"},
        {"MAIN POS", "POS_SPEED_UP", "BTN_SPEED_UP"}, {"MAIN POS", "POS_SPEED_DN", "BTN_SPEED_DN"},
        {"MAIN POS", "POS_SPEED_VAL", nullptr},       {"MAIN POS", "POS_DELAY_UP", "BTN_DELAY_UP"},
        {"MAIN POS", "POS_DELAY_DN", "BTN_DELAY_DN"}, {"MAIN POS", "POS_DELAY_VAL", nullptr},
        {"NAVIGATION POS", "POS_START", "BTN_START"}, {"NAVIGATION POS", "POS_RWPLAY", "BTN_RWPLAY"},
        {"NAVIGATION POS", "POS_BPLAY", "BTN_BPLAY"}, {"NAVIGATION POS", "POS_PAUSE", "BTN_PAUSE"},
        {"NAVIGATION POS", "POS_FPLAY", "BTN_FPLAY"}, {"NAVIGATION POS", "POS_FFPLAY", "BTN_FFPLAY"},
        {"NAVIGATION POS", "POS_END", "BTN_END"},     {"NAVIGATION POS", "POS_STATE_START", "STATE_START"},
        {"NAVIGATION POS", "POS_STATE_RW", "STATE_RW"}, {"NAVIGATION POS", "POS_STATE_BP", "STATE_BP"},
        {"NAVIGATION POS", "POS_STATE_PAUSE", "STATE_PAUSE"}, {"NAVIGATION POS", "POS_STATE_FP", "STATE_FP"},
        {"NAVIGATION POS", "POS_STATE_FF", "STATE_FF"}, {"NAVIGATION POS", "POS_STATE_END", "STATE_END"},
        {"MODE POS", "POS_MODE1", "BTN_MODE1"},       {"MODE POS", "POS_MODE4", "BTN_MODE4"},
        {"MODE POS", "POS_MODE9", "BTN_MODE9"},       {"MODE POS", "POS_MODE16", "BTN_MODE16"},
        {"CH POS", "POS_PAGE_VAL", nullptr},          {"CH POS", "POS_PREV_PAGE", "BTN_PREV_PAGE"},
        {"CH POS", "POS_NEXT_PAGE", "BTN_NEXT_PAGE"},
    };
    static const char* const channelKeys[16] = {"POS_CH1", "POS_CH2", "POS_CH3", "POS_CH4", "POS_CH5", "POS_CH6",
                                                "POS_CH7", "POS_CH8", "POS_CH9", "POS_CH10", "POS_CH11", "POS_CH12",
                                                "POS_CH13", "POS_CH14", "POS_CH15", "POS_CH16"};
    static const char* const channelImages[16] = {"BTN_CH1", "BTN_CH2", "BTN_CH3", "BTN_CH4", "BTN_CH5", "BTN_CH6",
                                                  "BTN_CH7", "BTN_CH8", "BTN_CH9", "BTN_CH10", "BTN_CH11", "BTN_CH12",
                                                  "BTN_CH13", "BTN_CH14", "BTN_CH15", "BTN_CH16"};
    for (int i = 0; i < 16; ++i)
        keys.push_back({"CH POS", channelKeys[i], channelImages[i]});
    return keys;
}

void SaveFilled(const QString& path, QSize size, const QColor& colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    if (!image.save(path, "BMP"))
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

QColor SlotColour(int slot)
{
    static const QColor colours[4] = {QColor(200, 30, 30), QColor(30, 200, 30), QColor(30, 30, 200), QColor(90, 90, 90)};
    return colours[slot];
}

CPlayerFixture::CPlayerFixture()
{
    m_previous = CMessageBox::SetHandler(
        [this](const QString& caption, const QString& text) { m_messages << caption + "|" + text; });
}

CPlayerFixture::~CPlayerFixture()
{
    CMessageBox::SetHandler(m_previous);
}

void CPlayerFixture::WriteSkin(const QString& extra)
{
    const char* const slotKeys[4] = {"NORMAL", "DOWN", "DNCHECK", "DISABLE"};
    for (int slot = 0; slot < 4; ++slot)
        SaveFilled(Folder() + QString("slot%1.bmp").arg(slot), QSize(64, 64), SlotColour(slot));
    SaveFilled(Folder() + "ntskin.bmp", QSize(1000, 640), QColor(20, 22, 26));
    SaveFilled(Folder() + "palskin.bmp", QSize(1000, 736), QColor(26, 22, 20));
    SaveFilled(Folder() + "overlay.bmp", QSize(64, 48), QColor(40, 80, 120));
    SaveFilled(Folder() + "time.bmp", QSize(134, 12), QColor(250, 250, 250));
    SaveFilled(Folder() + "thumb.bmp", QSize(18, 16), QColor(255, 255, 255));
    SaveFilled(Folder() + "track.bmp", QSize(8, 8), QColor(0, 0, 128));

    QString ini = "[MAIN POS]\nPOS_SKIN=<0><0><1000><640>\nPOS_LOGO=<10><10><100><30>\nPOS_OVERLAY=<0><0><64><48>\n"
                  "POS_OVERLAY_TERM=<56><60>\nPOS_SLIDE=<56><548><728><16>\nPOS_BACKUP_WIN=<100><100><300><200>\n";
    ini += "[MAIN]\nNTSKIN=ntskin.bmp\nPALSKIN=palskin.bmp\nLOGO=slot0.bmp\nOVERLAY=overlay.bmp\nTIME=time.bmp\n"
           "SLIDERUP=thumb.bmp\nSLIDERDN=track.bmp\n";
    ini += "[TIME INFO POS]\nPOS_S_TIME_TEXT=<800><100><150><14>\nPOS_S_DATE=<800><116><150><14>\n"
           "POS_S_TIME=<800><132><150><14>\nPOS_E_TIME_TEXT=<800><150><150><14>\nPOS_E_DATE=<800><166><150><14>\n"
           "POS_E_TIME=<800><182><150><14>\nPOS_CUR_PLAY_TIME=<800><200><150><14>\n";
    int n = 0;
    QString currentSection;
    for (const CKey& k : PlayerKeys()) {
        if (currentSection != k.section)
            ini += QString("[%1]\n").arg(currentSection = k.section);
        // Distinct rectangles: a grid of 24 x 12 cells below and beside the video area.
        ini += QString("%1=<%2><%3><%4><%5>\n").arg(k.key).arg(3 + n % 40 * 24).arg(580 + n / 40 * 14).arg(22).arg(12);
        ++n;
    }
    for (const CKey& k : PlayerKeys()) {
        if (!k.images)
            continue;
        ini += QString("[%1]\n").arg(k.images);
        for (int slot = 0; slot < 4; ++slot)
            ini += QString("%1=slot%2.bmp\n").arg(slotKeys[slot]).arg(slot);
    }
    ini += "[TOOL_TIP]\nTTIP_EXIT=Exit the player\nTTIP_CH=" + QString(100, 'c') + "\n";
    ini += editskin::Write(Folder());
    ini += extra + "\n";
    QFile file(IniPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(ini.toUtf8()) < 0)
        qFatal("cannot write the test skin");
}

QRect CPlayerFixture::SkinRect(const char* section, const std::string& key) const
{
    return CSkinReader(IniPath().toStdString(), Folder().toStdString(), 99).LoadSkinRect(section, key, false);
}

std::unique_ptr<CMainFrame> CPlayerFixture::Start(const QString& commandLine)
{
    auto frame = std::make_unique<CMainFrame>(Folder());
    if (!frame->PreCreateWindow())
        return nullptr;
    frame->CreateView(commandLine);
    frame->show();
    return frame;
}
