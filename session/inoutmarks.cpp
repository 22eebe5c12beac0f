#include "session/inoutmarks.h"

std::optional<CInOutMarks::CMark> CInOutMarks::Start() const
{
    if (!IsRange())
        return m_in ? m_in : m_out;
    return m_in->m_nOffset <= m_out->m_nOffset ? m_in : m_out;
}

std::optional<CInOutMarks::CMark> CInOutMarks::End() const
{
    if (!IsRange())
        return m_in ? m_in : m_out;
    return m_in->m_nOffset <= m_out->m_nOffset ? m_out : m_in;
}

CDateTime CInOutMarks::From() const
{
    return DateTimeToOrderKey(m_in->m_time) <= DateTimeToOrderKey(m_out->m_time) ? m_in->m_time : m_out->m_time;
}

CDateTime CInOutMarks::To() const
{
    return DateTimeToOrderKey(m_in->m_time) <= DateTimeToOrderKey(m_out->m_time) ? m_out->m_time : m_in->m_time;
}
