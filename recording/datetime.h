#pragma once

#include <cstdint>
#include <string>

// A calendar date-time as the recorder stamps it, with a valid/invalid status.
// Built from six fields; it is valid only when they form a real Gregorian date and
// time of day (IsRecordDateValid). An invalid value reports -1 from every getter.
class CDateTime {
public:
    CDateTime() = default; // the empty, invalid date-time
    CDateTime(int year, int month, int day, int hour, int minute, int second);

    bool IsValid() const { return m_bValid; }
    int GetYear() const { return m_bValid ? m_nYear : -1; }
    int GetMonth() const { return m_bValid ? m_nMonth : -1; }
    int GetDay() const { return m_bValid ? m_nDay : -1; }
    int GetHour() const { return m_bValid ? m_nHour : -1; }
    int GetMinute() const { return m_bValid ? m_nMinute : -1; }
    int GetSecond() const { return m_bValid ? m_nSecond : -1; }

    // "YYYY-MM-DD HH:MM:SS", or an empty string when invalid.
    std::string ToIsoString() const;
    // Parses "YYYY-MM-DD HH:MM:SS"; anything else gives the invalid date-time.
    static CDateTime FromIsoString(const std::string& text);

    bool operator==(const CDateTime&) const = default;

private:
    int m_nYear = 0;
    int m_nMonth = 0;
    int m_nDay = 0;
    int m_nHour = 0;
    int m_nMinute = 0;
    int m_nSecond = 0;
    bool m_bValid = false;
};

// Ordering key of a date-time: 32,140,800 per year, 2,678,400 (31 days) per month,
// 86,400 per day and so on. It orders date-times chronologically but is not a count
// of seconds. An invalid date-time has the largest key of all.
uint64_t DateTimeToOrderKey(const CDateTime& time);

// Seconds from 1970-01-01 00:00:00 to `time` on the recorder's clock (no time zone, no
// leap seconds): a count to subtract, unlike the ordering key. `time` must be valid.
int64_t DateTimeToSeconds(const CDateTime& time);
// The same count from six fields taken as written, for a recorder's stamp that no
// calendar has (month 1..12 keeps it exact).
int64_t DateFieldsToSeconds(int year, int month, int day, int hour, int minute, int second);
// The date-time `seconds` after 1970-01-01 00:00:00; the inverse of DateTimeToSeconds.
CDateTime DateTimeFromSeconds(int64_t seconds);
