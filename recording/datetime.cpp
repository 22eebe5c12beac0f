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

// Days between 1970-01-01 and a date of the proleptic Gregorian calendar, counted by
// 400-year eras; exact for every year the recorder can store.
static int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

int64_t DateTimeToSeconds(const CDateTime& t)
{
    return DateFieldsToSeconds(t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(), t.GetMinute(), t.GetSecond());
}

int64_t DateFieldsToSeconds(int year, int month, int day, int hour, int minute, int second)
{
    return DaysFromCivil(year, unsigned(month), unsigned(day)) * 86400 + hour * 3600 + minute * 60 + second;
}

CDateTime DateTimeFromSeconds(int64_t total)
{
    int64_t z = (total >= 0 ? total : total - 86399) / 86400;
    const int64_t secs = total - z * 86400;
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    const int64_t y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
    return CDateTime(int(y), int(m), int(d), int(secs / 3600), int(secs / 60 % 60), int(secs % 60));
}
