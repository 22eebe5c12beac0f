#include "playback/privacymask.h"

#include <QString>

#include <algorithm>
#include <cmath>

namespace {

const char* const SHAPE_NAMES[] = {"rect", "ellipse"};
const char* const STYLE_NAMES[] = {"solid", "pixelate", "blur"};

double Seconds(const CDateTime& time)
{
    return double(DateTimeToSeconds(time));
}

QRectF Between(const QRectF& a, const QRectF& b, double t)
{
    const auto mix = [t](double p, double q) { return p + (q - p) * t; };
    return QRectF(mix(a.x(), b.x()), mix(a.y(), b.y()), mix(a.width(), b.width()), mix(a.height(), b.height()));
}

} // namespace

bool CPrivacyMask::IsActive(double seconds) const
{
    // A whole second is active when its start is: `to` covers the pictures of its second.
    const double second = std::floor(seconds);
    return !m_keys.empty() && m_from.IsValid() && m_to.IsValid() && second >= Seconds(m_from)
        && second <= Seconds(m_to);
}

std::optional<QRectF> CPrivacyMask::BoxAt(double seconds) const
{
    if (!IsActive(seconds))
        return std::nullopt;
    const auto after = std::find_if(m_keys.begin(), m_keys.end(),
                                    [seconds](const CMaskKey& key) { return Seconds(key.m_at) > seconds; });
    if (after == m_keys.begin())
        return after->m_box;
    const CMaskKey& before = *(after - 1);
    if (after == m_keys.end())
        return before.m_box;
    const double from = Seconds(before.m_at), to = Seconds(after->m_at);
    return Between(before.m_box, after->m_box, (seconds - from) / (to - from));
}

std::optional<QRectF> CPrivacyMask::BoxAt(const CDateTime& time) const
{
    return time.IsValid() ? BoxAt(Seconds(time)) : std::nullopt;
}

void CPrivacyMask::SetKey(const CDateTime& at, const QRectF& box)
{
    const auto place = std::lower_bound(m_keys.begin(), m_keys.end(), at, [](const CMaskKey& key, const CDateTime& t) {
        return DateTimeToOrderKey(key.m_at) < DateTimeToOrderKey(t);
    });
    if (place != m_keys.end() && place->m_at == at)
        place->m_box = box;
    else
        m_keys.insert(place, CMaskKey{at, box});
}

const char* CPrivacyMask::ShapeName(EMaskShape shape)
{
    return SHAPE_NAMES[int(shape)];
}

const char* CPrivacyMask::StyleName(EMaskStyle style)
{
    return STYLE_NAMES[int(style)];
}

std::optional<EMaskShape> CPrivacyMask::ShapeNamed(const QString& name)
{
    for (int i = 0; i < int(std::size(SHAPE_NAMES)); ++i)
        if (name == SHAPE_NAMES[i])
            return EMaskShape(i);
    return std::nullopt;
}

std::optional<EMaskStyle> CPrivacyMask::StyleNamed(const QString& name)
{
    for (int i = 0; i < int(std::size(STYLE_NAMES)); ++i)
        if (name == STYLE_NAMES[i])
            return EMaskStyle(i);
    return std::nullopt;
}
