#include "player/viewgeometry.h"

#include "skin/skinreader.h"

#include <algorithm>

namespace {

constexpr int PAL_EXTRA_HEIGHT = 96; // the PAL background is this much taller
constexpr int VIDEO_WIDTH = 720;
constexpr int NTSC_VIDEO_HEIGHT = 480, PAL_VIDEO_HEIGHT = 576;

} // namespace

void CViewGeometry::Load(const CSkinReader& skin, QSize skinSize)
{
    m_sizeNtsc = skinSize;
    m_rcLogo = skin.LoadSkinRect("MAIN POS", "POS_LOGO", false);
    m_rcOverlay = skin.LoadSkinRect("MAIN POS", "POS_OVERLAY", false);
    m_rcVideo = QRect(skin.LoadSkinRect("MAIN POS", "POS_OVERLAY_TERM", false).topLeft(),
                      QSize(VIDEO_WIDTH, NTSC_VIDEO_HEIGHT));
    m_rcStartCaption = skin.LoadSkinRect("TIME INFO POS", "POS_S_TIME_TEXT", false);
    m_rcStartDate = skin.LoadSkinRect("TIME INFO POS", "POS_S_DATE", false);
    m_rcStartTime = skin.LoadSkinRect("TIME INFO POS", "POS_S_TIME", false);
    m_rcEndCaption = skin.LoadSkinRect("TIME INFO POS", "POS_E_TIME_TEXT", false);
    m_rcEndDate = skin.LoadSkinRect("TIME INFO POS", "POS_E_DATE", false);
    m_rcEndTime = skin.LoadSkinRect("TIME INFO POS", "POS_E_TIME", false);
    m_rcPlayTime = skin.LoadSkinRect("TIME INFO POS", "POS_CUR_PLAY_TIME", false);
    m_rcSkinPlayDate = skin.FindSkinRect("TIME INFO POS", "POS_CUR_PLAY_DATE", false);
    m_rcPlayDate = m_rcSkinPlayDate.value_or(QRect());
}

void CViewGeometry::FitPlayLines(int lineHeight)
{
    m_rcPlayTime.setHeight(std::max(m_rcPlayTime.height(), lineHeight));
    if (m_rcSkinPlayDate)
        m_rcPlayDate.setHeight(std::max(m_rcSkinPlayDate->height(), lineHeight));
    else
        m_rcPlayDate = m_rcPlayTime.translated(0, m_rcPlayTime.height());
}

QSize CViewGeometry::WindowSize(bool pal) const
{
    return pal ? m_sizeNtsc + QSize(0, PAL_EXTRA_HEIGHT) : m_sizeNtsc;
}

void CViewGeometry::SetVideoStandard(bool pal)
{
    m_rcVideo.setSize(QSize(VIDEO_WIDTH, pal ? PAL_VIDEO_HEIGHT : NTSC_VIDEO_HEIGHT));
}
