#include "export/maskclock.h"

#include "playback/privacymaskset.h"

#include <algorithm>
#include <cmath>

double CMaskClock::SecondsOf(int channel, const CFrameTime& time)
{
    CCamera& c = m_cameras[size_t(std::clamp(channel, 0, 15))];
    const double whole = CPrivacyMaskSet::SecondsOf(time);
    const auto second = int64_t(whole);
    if (second != c.m_nSecond) {
        c.m_nLastSecond = second == c.m_nSecond + 1 ? c.m_nInSecond : 0;
        c.m_nSecond = second;
        c.m_nInSecond = 0;
    }
    const int expected = std::max({c.m_nLastSecond > 0 ? c.m_nLastSecond : m_nFirstRate, c.m_nInSecond + 1, 1});
    return whole + double(c.m_nInSecond++) / expected;
}
