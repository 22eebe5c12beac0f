#include "tools/skingen/editlayout.h"

namespace {

const std::string SECTION = "EDIT POS";
constexpr int PAD = 8;
constexpr int COLUMN_X = 782;
constexpr int COLUMN_W = 222;
constexpr int INNER_X = COLUMN_X + PAD;
constexpr int INNER_W = COLUMN_W - 2 * PAD;
constexpr QRect INFO_CARD(COLUMN_X, 42, COLUMN_W, 196);
constexpr QRect ADJUST_CARD(COLUMN_X, 246, COLUMN_W, 281); // ends level with the picture's well
constexpr int TEXT_H = 13;
constexpr int BAR_TOP = 555; // where the player's control bar is
constexpr int KEY_H = 40;

} // namespace

CEditLayout::CEditLayout(QSize ntscSize, QSize palSize, QPoint pictureOrigin)
    : CWindowLayout(PAL_SHIFT), m_size(ntscSize), m_sizePal(palSize), m_ptPicture(pictureOrigin)
{
    SetLatched(false);
    AddTexts();
    AddRect(SECTION, "POS_OVERLAY_TERM", QRect(m_ptPicture, QSize(720, 480)), false);
    AddCommands();
}

QSize CEditLayout::WindowSize(bool pal) const { return pal ? m_sizePal : m_size; }

void CEditLayout::AddTexts()
{
    const int top = INFO_CARD.y() + 24;
    const auto line = [&](const char* key, int y) { AddRect(SECTION, key, QRect(INNER_X, top + y, INNER_W, TEXT_H), false); };
    line("POS_REC_DATE_TIME_TXT", 0);
    line("POS_REC_DATE", 16);
    line("POS_REC_TIME", 31);
    line("POS_IMG_SIZE_TXT", 51);
    line("POS_IMG_WIDTH", 67);
    line("POS_IMG_HEIGHT", 82);
    line("POS_COMMAND_TXT", 102);
    line("POS_COMMAND", 118);
    line("POS_SAVE_OK", 146);
}

void CEditLayout::AddCommands()
{
    struct CCommand {
        const char* key;
        const char* image;
        EIcon icon;
        const char* label;
    };
    const CCommand adjust[6] = {
        {"POS_BRIGHT", "BTN_BRIGHT", EIcon::Bright, "Brighter"},
        {"POS_DARK", "BTN_DARK", EIcon::Dark, "Darker"},
        {"POS_SHARPEN", "BTN_SHARPEN", EIcon::Sharpen, "Sharpen"},
        {"POS_BLUR", "BTN_BLUR", EIcon::Blur, "Blur"},
        // The editor's CONTRAST UP button despeckles, and its CONTRAST DOWN button
        // spreads the contrast: the pictures say what they do.
        {"POS_CONTRAST_UP", "BTN_CONTRAST_UP", EIcon::Despeckle, "Despeckle"},
        {"POS_CONTRAST_DN", "BTN_CONTRAST_DN", EIcon::Contrast, "Contrast up"},
    };
    for (int i = 0; i < 6; ++i) {
        const QRect rect(INNER_X, ADJUST_CARD.y() + 27 + i * 42, INNER_W, 36);
        AddButton(adjust[i].image, SECTION, adjust[i].key, rect, false, EButtonKind::Key, adjust[i].icon,
                  adjust[i].label);
    }
    const int y = BAR_TOP + (Bar().height() - KEY_H) / 2;
    AddButton("BTN_SAVE", SECTION, "POS_SAVE", QRect(m_ptPicture.x() + 6, y, 110, KEY_H), true, EButtonKind::Key,
              EIcon::Save, "Save");
    AddButton("BTN_PRINT", SECTION, "POS_PRINT", QRect(m_ptPicture.x() + 122, y, 110, KEY_H), true, EButtonKind::Key,
              EIcon::Print, "Print");
    AddButton("BTN_CLOSE_EDIT", SECTION, "POS_CLOSE", QRect(INNER_X + INNER_W - 110, y, 110, KEY_H), true,
              EButtonKind::Key, EIcon::Close, "Close");
}

// The bar of save, print and close, under the picture and the column.
QRect CEditLayout::Bar() const
{
    return QRect(52, BAR_TOP, COLUMN_X + COLUMN_W - 52, m_size.height() - 8 - BAR_TOP);
}

std::vector<CPanel> CEditLayout::Panels(bool pal) const
{
    const QRect picture(m_ptPicture, QSize(720, pal ? 576 : 480));
    const QRect bar = Shifted(Bar(), pal);
    // Where the player has its sound switches, a rail under the camera sign.
    const QRect rail(4, picture.y() - 2, m_ptPicture.x() - 10, picture.height() + 4);
    const QSize size = WindowSize(pal);
    const QRect notes(bar.x() + 240, bar.y(), bar.width() - 240 - 126, bar.height()); // between print and close
    return {
        {EPanel::Outline, QRect(QPoint(0, 0), size), {}},
        {EPanel::TitleBar, QRect(1, 1, size.width() - 2, 34), "SNAPSHOT EDITOR"},
        {EPanel::WordMark, QRect(14, 8, 176, 24), {}},
        {EPanel::VideoWell, picture.adjusted(-2, -2, 2, 2), {}},
        {EPanel::Card, rail, {}},
        {EPanel::Icon, QRect(rail.x() + 13, rail.y() + 16, 20, 16), {}, EIcon::Snapshot},
        {EPanel::Card, INFO_CARD, "SNAPSHOT"},
        // The picture commands' card ends level with the picture, also the taller one.
        {EPanel::Card, ADJUST_CARD.adjusted(0, 0, 0, picture.height() - 480), "ADJUST"},
        {EPanel::Card, bar, {}},
        {EPanel::Note, QRect(notes.x(), notes.center().y() - 15, notes.width(), 14),
         "Ctrl+Z takes a step back, Ctrl+R goes back to the captured picture"},
        {EPanel::Note, QRect(notes.x(), notes.center().y() + 1, notes.width(), 14),
         "Saved pictures go to the Backup folder, named after their recording time"},
    };
}
