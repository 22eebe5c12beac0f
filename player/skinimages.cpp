#include "player/skinimages.h"

#include "playback/cellfont.h"
#include "skin/skinreader.h"

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
}
