#include "tools/skingen/skinwriter.h"

#include "tools/skingen/backgroundpainter.h"
#include "tools/skingen/backuplayout.h"
#include "tools/skingen/clockstrip.h"
#include "tools/skingen/editlayout.h"
#include "tools/skingen/initext.h"
#include "tools/skingen/picturepainter.h"
#include "tools/skingen/playerlayout.h"
#include "tools/skingen/sliderpictures.h"
#include "tools/skingen/tooltiptexts.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace {

const char* const SKIN_FOLDER = "skin";

struct CSlot {
    EButtonState state;
    const char* key;
    const char* suffix;
};
constexpr CSlot SLOTS[4] = {
    {EButtonState::Normal, "NORMAL", "normal"},
    {EButtonState::Down, "DOWN", "down"},
    {EButtonState::Latched, "DNCHECK", "dncheck"},
    {EButtonState::Disabled, "DISABLE", "disable"},
};

// The greys that the player's picture loader replaces with the desktop's 3-D colours,
// and what this skin shows instead: a step of blue nobody can see.
void AvoidStandardGreys(QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb rgb = line[x] & 0xFFFFFF;
            if (rgb == 0x808080 || rgb == 0xC0C0C0 || rgb == 0xDFDFDF)
                line[x] = qRgb(qRed(rgb), qGreen(rgb), qBlue(rgb) + 1);
        }
    }
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

} // namespace

CSkinWriter::CSkinWriter(QString folder) : m_strFolder(std::move(folder)) {}

QString CSkinWriter::IniPath(const QString& folder) { return QDir(folder).filePath("res.ini"); }

bool CSkinWriter::Write()
{
    if (!QDir(m_strFolder).mkpath(SKIN_FOLDER))
        return Fail("cannot create " + QDir(m_strFolder).filePath(SKIN_FOLDER));
    CIniText ini;
    ini.Comment("KVXPlayer default skin, drawn by skingen.");
    ini.Comment("Rectangles are <left><top><width><height> in window pixels; bitmaps are");
    ini.Comment("relative to the program folder.");
    WritePlayer(ini);
    WriteOptions(ini);
    WriteEdit(ini);
    WriteBackup(ini);
    if (!m_strError.isEmpty())
        return false;
    QFile file(IniPath(m_strFolder));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(ini.Text().data(), qint64(ini.Text().size())) != qint64(ini.Text().size()))
        return Fail("cannot write " + file.fileName());
    return true;
}

void CSkinWriter::WritePlayer(CIniText& ini)
{
    const CPlayerLayout layout;
    WriteRects(ini, layout);
    QImage ntsc = CBackgroundPainter::Paint(layout.WindowSize(false), layout.Panels(false));
    QImage pal = CBackgroundPainter::Paint(layout.WindowSize(true), layout.Panels(true));
    AvoidStandardGreys(ntsc);
    AvoidStandardGreys(pal);
    ini.Section("MAIN");
    ini.Value("NTSKIN", Save("main_ntsc", ntsc));
    ini.Value("PALSKIN", Save("main_pal", pal));
    ini.Value("LOGO", SaveMapped("logo", CPicturePainter::Logo(ntsc.copy(layout.Find("POS_LOGO", false)))));
    ini.Value("OVERLAY", SaveMapped("empty_tile", CPicturePainter::EmptyTile(layout.Find("POS_OVERLAY", false).size())));
    ini.Value("TIME", SaveMapped("clock_digits", CClockStrip::Paint()));
    ini.Value("SLIDERUP", SaveMapped("slider_thumb", CSliderPictures::Thumb()));
    ini.Value("SLIDERDN", SaveMapped("slider_track", CSliderPictures::Track()));
    WriteButtons(ini, layout, ntsc, pal);

    ini.Section("TOOL_TIP");
    for (const CToolTip& tip : TOOL_TIPS)
        ini.Value(tip.key, tip.text);
}

void CSkinWriter::WriteOptions(CIniText& ini)
{
    ini.Section("INFO");
    ini.Value("PAL", 0);
    ini.Value("FILTER", 0);
    ini.Value("TOOLTIP_ON", 1);
}

void CSkinWriter::WriteEdit(CIniText& ini)
{
    const CPlayerLayout player;
    const CEditLayout layout(player.FrameSize(false), player.FrameSize(true), player.VideoArea(false).topLeft());
    WriteRects(ini, layout);
    QImage ntsc = CBackgroundPainter::Paint(layout.WindowSize(false), layout.Panels(false));
    QImage pal = CBackgroundPainter::Paint(layout.WindowSize(true), layout.Panels(true));
    AvoidStandardGreys(ntsc);
    AvoidStandardGreys(pal);
    ini.Section("KVX_EDIT");
    ini.Value("NTSKIN", Save("edit_ntsc", ntsc));
    ini.Value("PALSKIN", Save("edit_pal", pal));
    WriteButtons(ini, layout, ntsc, pal);
}

void CSkinWriter::WriteBackup(CIniText& ini)
{
    const CPlayerLayout player;
    const CBackupLayout layout(player.Find("POS_BACKUP_WIN", false).size());
    WriteRects(ini, layout);
    QImage ground = CBackgroundPainter::Paint(layout.WindowSize(false), layout.Panels(false));
    AvoidStandardGreys(ground);
    ini.Section("BACKUP");
    ini.Value("SKIN", Save("backup", ground));
    WriteButtons(ini, layout, ground, ground);
}

void CSkinWriter::WriteRects(CIniText& ini, const CWindowLayout& layout)
{
    std::string section;
    for (const CRectEntry& entry : layout.Rects()) {
        if (entry.section != section) {
            section = entry.section;
            ini.Section(section);
        }
        ini.Value(entry.key, entry.rect);
    }
}

void CSkinWriter::WriteButtons(CIniText& ini, const CWindowLayout& layout, const QImage& ntsc, const QImage& pal)
{
    for (const CButtonDef& button : layout.Buttons()) {
        CheckGroundMatches(layout, button, ntsc, pal);
        const QImage ground = ntsc.copy(button.rect);
        ini.Section(button.section);
        for (const CSlot& slot : SLOTS) {
            if (slot.state == EButtonState::Latched && !button.latched)
                continue;
            const std::string name = Lower(button.section) + "_" + slot.suffix;
            ini.Value(slot.key, Save(name, CButtonPainter::Paint(button, slot.state, ground)));
        }
    }
}

// A button's picture carries the background around its rounded corners, cut from
// the NTSC background; where the window moves the button for PAL, the PAL background
// must show the same there.
void CSkinWriter::CheckGroundMatches(const CWindowLayout& layout, const CButtonDef& button, const QImage& ntsc,
                                     const QImage& pal)
{
    if (ntsc.copy(button.rect) != pal.copy(layout.Place(button, true)))
        Fail(QString::fromStdString("the PAL background under " + button.section + " differs from the NTSC one"));
}

std::string CSkinWriter::SaveMapped(const std::string& name, QImage image)
{
    image = image.convertToFormat(QImage::Format_RGB32);
    AvoidStandardGreys(image);
    return Save(name, image);
}

std::string CSkinWriter::Save(const std::string& name, const QImage& image)
{
    const std::string value = std::string(SKIN_FOLDER) + "/" + name + ".bmp";
    const QString path = QDir(m_strFolder).filePath(QString::fromStdString(value));
    if (!image.convertToFormat(QImage::Format_RGB32).save(path, "BMP"))
        Fail("cannot write " + path);
    return value;
}

bool CSkinWriter::Fail(const QString& error)
{
    if (m_strError.isEmpty())
        m_strError = error;
    return false;
}
