#include "player/skinimages.h"

#include "playback/cellfont.h"
#include "player/clockglyphs.h"
#include "skin/skinreader.h"

#include <QFontMetrics>

namespace {

// The picture's date and time are read beside the computer's clock and must not
// look smaller: the smallest cell font whose figures stand as tall as the clock's
// strip, narrow enough for the time and the activity note to share the panel.
QFont PlayTimeFont()
{
    constexpr int FIGURE_WIDTH = 7;
    for (int height = CLOCK_HEIGHT;; ++height) {
        const QFont font = MakeCellFont(height, FIGURE_WIDTH);
        if (QFontMetrics(font).tightBoundingRect("0123456789").height() >= CLOCK_HEIGHT || height > 4 * CLOCK_HEIGHT)
            return font;
    }
}

} // namespace

void CSkinImages::Load(const CSkinReader& skin)
{
    m_bmpNtSkin = skin.LoadSkinBitmap("MAIN", "NTSKIN");
    m_bmpPalSkin = skin.LoadSkinBitmap("MAIN", "PALSKIN");
    m_bmpLogo = skin.LoadSkinBitmap("MAIN", "LOGO");
    m_bmpOverlay = skin.LoadSkinBitmap("MAIN", "OVERLAY");
    m_bmpTime = skin.LoadSkinBitmap("MAIN", "TIME");
    m_bmpSliderUp = skin.LoadSkinBitmap("MAIN", "SLIDERUP");
    m_bmpSliderDn = skin.LoadSkinBitmap("MAIN", "SLIDERDN");
    m_fontInfo = MakeCellFont(12, 5);
    m_fontForm = QFont("Liberation Mono");
    m_fontForm.setPixelSize(13);
    m_fontForm.setBold(true);
    m_fontPlayTime = PlayTimeFont();
}
