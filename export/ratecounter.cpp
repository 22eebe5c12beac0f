#include "export/ratecounter.h"

#include "export/mp4copy.h"

#include <algorithm>

void CRateCounter::Count(const CFrameTime& time)
{
    const int64_t second = CMp4Copy::SerialSecond(time);
    m_bStartedSecond = second != m_nSecond;
    if (m_bStartedSecond) {
        m_nSecond = second;
        ++m_nSeconds;
    }
    ++m_nPictures;
}

int CRateCounter::MeanRate(uint32_t pictures, uint32_t seconds)
{
    if (seconds == 0)
        return 10;
    return std::clamp(int((pictures + seconds / 2) / seconds), 1, 60);
}
