#include "export/mp4copy.h"

#include <algorithm>
#include <cstring>

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date; any field values are taken
// as written, so that a picture whose date no calendar has still gets a place.
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

QString TimeText(const CFrameTime& t)
{
    return QString::asprintf("%04d/%02d/%02d %02d:%02d:%02d", t.m_wYear, t.m_byMonth, t.m_byDay, t.m_byHour,
                             t.m_byMinute, t.m_bySecond);
}

} // namespace

int64_t CMp4Copy::SerialSecond(const CFrameTime& t)
{
    return DaysFromCivil(t.m_wYear, t.m_byMonth, t.m_byDay) * 86400 + t.m_byHour * 3600 + t.m_byMinute * 60
         + t.m_bySecond;
}

bool CMp4Copy::Open(const std::string& path, const CMp4Format& format, const CFrameTime& start)
{
    m_nHeight = format.m_nHeight;
    m_videoClock = m_soundClock = {SerialSecond(start), 0};
    m_discontinuities.clear();
    m_nHeldSecond = -1;
    m_nHeld = 0;
    m_nWritten = 0;
    return m_writer.Open(path, format);
}

int64_t CMp4Copy::CopySecond(CClock& clock, const CFrameTime& time)
{
    const int64_t serial = SerialSecond(time);
    if (serial >= clock.m_nLastSerial) {
        clock.m_nLastSecond += serial - clock.m_nLastSerial;
    } else {
        ++clock.m_nLastSecond;
        if (&clock == &m_videoClock)
            m_discontinuities << QString("the recorder's clock goes back to %1 at %2 s of the copy")
                                     .arg(TimeText(time))
                                     .arg(clock.m_nLastSecond);
    }
    clock.m_nLastSerial = serial;
    return clock.m_nLastSecond;
}

bool CMp4Copy::AddPicture(const uint8_t* bgr, int64_t stride, const CFrameTime& time)
{
    const int64_t second = CopySecond(m_videoClock, time);
    if (second != m_nHeldSecond && !FlushSecond())
        return false;
    m_nHeldSecond = second;
    m_nHeldStride = stride;
    if (m_held.size() <= m_nHeld)
        m_held.emplace_back();
    m_held[m_nHeld].assign(bgr, bgr + stride * m_nHeight);
    ++m_nHeld;
    return true;
}

// The held pictures spread evenly over their second.
bool CMp4Copy::FlushSecond()
{
    for (size_t k = 0; k < m_nHeld; ++k) {
        const int64_t ms = m_nHeldSecond * 1000 + int64_t(k) * 1000 / int64_t(m_nHeld);
        if (!m_writer.WritePicture(m_held[k].data(), m_nHeldStride, ms))
            return false;
        ++m_nWritten;
    }
    m_nHeld = 0;
    return true;
}

bool CMp4Copy::AddSound(const uint8_t* samples, size_t count, const CFrameTime& time)
{
    const int64_t due = CopySecond(m_soundClock, time) * CMp4Writer::SOUND_RATE;
    if (const int64_t missing = due - m_writer.SoundSamples(); missing > 0) {
        const std::vector<uint8_t> silence(size_t(missing), 128);
        if (!m_writer.WriteSound(silence.data(), silence.size()))
            return false;
    }
    return m_writer.WriteSound(samples, count);
}

bool CMp4Copy::Close()
{
    const bool flushed = !m_writer.IsOpen() || FlushSecond();
    m_held.clear();
    return m_writer.Close() && flushed;
}
