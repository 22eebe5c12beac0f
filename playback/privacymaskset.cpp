#include "playback/privacymaskset.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace {

// Boxes may reach the picture's edge; rounding in a file written elsewhere is allowed for.
constexpr double EDGE_SLACK = 1e-9;

// Reads one JSON value after another; the first fault is kept with the entry it was in.
class CReader {
public:
    QString m_strError;

    bool Fail(const QString& entry, const QString& fault)
    {
        if (m_strError.isEmpty())
            m_strError = entry + ": " + fault;
        return false;
    }

    bool OnlyKeys(const QJsonObject& o, const QString& entry, const QSet<QString>& known)
    {
        for (const QString& key : o.keys())
            if (!known.contains(key))
                return Fail(entry, QString("unknown key \"%1\"").arg(key));
        return true;
    }

    bool Time(const QJsonObject& o, const QString& entry, const char* key, CDateTime& out)
    {
        const QJsonValue v = o.value(key);
        if (v.isUndefined())
            return Fail(entry, QString("\"%1\" is missing").arg(key));
        out = CDateTime::FromIsoString(v.toString().toStdString());
        return out.IsValid()
            || Fail(entry + '.' + key, "not a date-time \"YYYY-MM-DD HH:MM:SS\"");
    }

    bool Span(const QJsonObject& o, const QString& entry, CDateTime& from, CDateTime& to)
    {
        return Time(o, entry, "from", from) && Time(o, entry, "to", to)
            && (DateTimeToSeconds(from) <= DateTimeToSeconds(to) || Fail(entry + ".to", "lies before from"));
    }

    bool Box(const QJsonValue& v, const QString& entry, QRectF& out)
    {
        const QJsonArray a = v.toArray();
        if (!v.isArray() || a.size() != 4 || !std::all_of(a.begin(), a.end(), [](const QJsonValue& n) {
                return n.isDouble();
            }))
            return Fail(entry, "must be [x, y, w, h], four numbers");
        const double x = a[0].toDouble(), y = a[1].toDouble(), w = a[2].toDouble(), h = a[3].toDouble();
        if (x < 0 || x > 1 || y < 0 || y > 1)
            return Fail(entry, "x and y must be 0 to 1");
        if (!(w > 0) || !(h > 0))
            return Fail(entry, w > 0 ? "h must be > 0" : "w must be > 0");
        if (x + w > 1 + EDGE_SLACK || y + h > 1 + EDGE_SLACK)
            return Fail(entry, "the box must end inside the picture (x + w and y + h at most 1)");
        out = QRectF(x, y, w, h);
        return true;
    }

    bool Key(const QJsonValue& v, const QString& entry, CPrivacyMask& mask)
    {
        const QJsonObject o = v.toObject();
        CMaskKey key;
        if (!v.isObject())
            return Fail(entry, "must be an object {\"at\", \"box\"}");
        if (!OnlyKeys(o, entry, {"at", "box"}) || !Time(o, entry, "at", key.m_at) || !Box(o.value("box"), entry + ".box", key.m_box))
            return false;
        if (!mask.m_keys.empty() && DateTimeToSeconds(key.m_at) <= DateTimeToSeconds(mask.m_keys.back().m_at))
            return Fail(entry + ".at", "must come after the key before it");
        mask.m_keys.push_back(key);
        return true;
    }

    bool Mask(const QJsonValue& v, const QString& entry, CPrivacyMask& mask)
    {
        const QJsonObject o = v.toObject();
        if (!v.isObject())
            return Fail(entry, "must be an object");
        if (!OnlyKeys(o, entry, {"channel", "shape", "style", "from", "to", "keys"}))
            return false;
        const QJsonValue channel = o.value("channel");
        mask.m_nChannel = channel.toInt(0);
        if (!channel.isDouble() || channel.toDouble() != mask.m_nChannel || mask.m_nChannel < 1 || mask.m_nChannel > 16)
            return Fail(entry + ".channel", "a camera is 1 to 16");
        const std::optional<EMaskShape> shape = CPrivacyMask::ShapeNamed(o.value("shape").toString("rect"));
        if (!shape)
            return Fail(entry + ".shape", "the shape is \"rect\" or \"ellipse\"");
        const std::optional<EMaskStyle> style = CPrivacyMask::StyleNamed(o.value("style").toString("solid"));
        if (!style)
            return Fail(entry + ".style", "the style is \"solid\", \"pixelate\" or \"blur\"");
        mask.m_shape = *shape;
        mask.m_style = *style;
        if (!Span(o, entry, mask.m_from, mask.m_to))
            return false;
        const QJsonArray keys = o.value("keys").toArray();
        if (keys.isEmpty())
            return Fail(entry + ".keys", "a mask needs at least one key");
        for (qsizetype k = 0; k < keys.size(); ++k)
            if (!Key(keys[k], QString("%1.keys[%2]").arg(entry).arg(k), mask))
                return false;
        return true;
    }

    template <typename T, typename ReadOne>
    bool List(const QJsonObject& root, const char* name, std::vector<T>& out, ReadOne readOne)
    {
        const QJsonValue v = root.value(name);
        if (v.isUndefined())
            return true;
        if (!v.isArray())
            return Fail(name, "must be a list");
        const QJsonArray a = v.toArray();
        for (qsizetype i = 0; i < a.size(); ++i)
            if (!readOne(a[i], QString("%1[%2]").arg(name).arg(i), out.emplace_back()))
                return false;
        return true;
    }
};

QJsonValue TimeValue(const CDateTime& time)
{
    return QString::fromStdString(time.ToIsoString());
}

QJsonObject MaskObject(const CPrivacyMask& mask)
{
    QJsonArray keys;
    for (const CMaskKey& key : mask.m_keys) {
        const QRectF& b = key.m_box;
        keys.append(QJsonObject{{"at", TimeValue(key.m_at)},
                                {"box", QJsonArray{b.x(), b.y(), b.width(), b.height()}}});
    }
    return QJsonObject{{"channel", mask.m_nChannel},
                       {"shape", CPrivacyMask::ShapeName(mask.m_shape)},
                       {"style", CPrivacyMask::StyleName(mask.m_style)},
                       {"from", TimeValue(mask.m_from)},
                       {"to", TimeValue(mask.m_to)},
                       {"keys", keys}};
}

} // namespace

std::optional<CPrivacyMaskSet> CPrivacyMaskSet::FromJson(const QByteArray& json, QString& error)
{
    QJsonParseError parse;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parse);
    if (document.isNull()) {
        error = QString("not JSON at byte %1: %2").arg(parse.offset).arg(parse.errorString());
        return std::nullopt;
    }
    CReader reader;
    CPrivacyMaskSet set;
    const QJsonObject root = document.object();
    const bool read = (document.isObject() || reader.Fail("the file", "must hold one object {\"masks\", \"mute\"}"))
                   && reader.OnlyKeys(root, "the file", {"masks", "mute"})
                   && reader.List(root, "masks", set.m_masks, [&reader](const QJsonValue& v, const QString& entry, CPrivacyMask& mask) {
                          return reader.Mask(v, entry, mask);
                      })
                   && reader.List(root, "mute", set.m_mute, [&reader](const QJsonValue& v, const QString& entry, CMuteRange& range) {
                          const QJsonObject o = v.toObject();
                          return (v.isObject() || reader.Fail(entry, "must be an object {\"from\", \"to\"}"))
                              && reader.OnlyKeys(o, entry, {"from", "to"}) && reader.Span(o, entry, range.m_from, range.m_to);
                      });
    if (!read) {
        error = reader.m_strError;
        return std::nullopt;
    }
    return set;
}

QByteArray CPrivacyMaskSet::ToJson() const
{
    QJsonArray masks, mute;
    for (const CPrivacyMask& mask : m_masks)
        masks.append(MaskObject(mask));
    for (const CMuteRange& range : m_mute)
        mute.append(QJsonObject{{"from", TimeValue(range.m_from)}, {"to", TimeValue(range.m_to)}});
    return QJsonDocument(QJsonObject{{"masks", masks}, {"mute", mute}}).toJson(QJsonDocument::Indented);
}

bool CPrivacyMaskSet::CheckChannels(int channelCount, QString& error) const
{
    for (size_t i = 0; i < m_masks.size(); ++i)
        if (m_masks[i].m_nChannel > channelCount) {
            error = QString("masks[%1].channel: camera %2 is not in the recording (cameras 1 to %3)")
                        .arg(i)
                        .arg(m_masks[i].m_nChannel)
                        .arg(channelCount);
            return false;
        }
    return true;
}

std::vector<const CPrivacyMask*> CPrivacyMaskSet::MasksFor(int channel) const
{
    std::vector<const CPrivacyMask*> found;
    for (const CPrivacyMask& mask : m_masks)
        if (mask.m_nChannel == channel)
            found.push_back(&mask);
    return found;
}

bool CPrivacyMaskSet::MutedAt(double seconds) const
{
    const double second = std::floor(seconds);
    return std::any_of(m_mute.begin(), m_mute.end(), [second](const CMuteRange& r) {
        return second >= double(DateTimeToSeconds(r.m_from)) && second <= double(DateTimeToSeconds(r.m_to));
    });
}

bool CPrivacyMaskSet::MutedAt(const CDateTime& time) const
{
    return time.IsValid() && MutedAt(double(DateTimeToSeconds(time)));
}

double CPrivacyMaskSet::SecondsOf(const CFrameTime& t, double fraction)
{
    return double(DateFieldsToSeconds(t.m_wYear, t.m_byMonth, t.m_byDay, t.m_byHour, t.m_byMinute, t.m_bySecond))
         + fraction;
}
