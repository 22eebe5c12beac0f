#include "recording/datetime.h"

#include "recording/recordformat.h"

#include <cstdio>
#include <limits>

CDateTime::CDateTime(int year, int month, int day, int hour, int minute, int second)
    : m_nYear(year), m_nMonth(month), m_nDay(day), m_nHour(hour), m_nMinute(minute),
      m_nSecond(second), m_bValid(IsRecordDateValid(year, month, day, hour, minute, second))
{
}

std::string CDateTime::ToIsoString() const
{
    if (!m_bValid)
        return {};
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", m_nYear, m_nMonth, m_nDay,
                  m_nHour, m_nMinute, m_nSecond);
    return text;
}

CDateTime CDateTime::FromIsoString(const std::string& text)
{
    int y, mo, d, h, mi, s;
    char tail;
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6)
        return {};
    return CDateTime(y, mo, d, h, mi, s);
}

uint64_t DateTimeToOrderKey(const CDateTime& time)
{
    if (!time.IsValid())
        return std::numeric_limits<uint64_t>::max();
    return uint64_t(time.GetSecond()) + 60ull * time.GetMinute() + 3600ull * time.GetHour()
         + 86400ull * time.GetDay() + 2678400ull * time.GetMonth() + 32140800ull * time.GetYear();
}
