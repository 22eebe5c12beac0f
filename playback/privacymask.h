#pragma once

#include "recording/datetime.h"

#include <QRectF>

#include <optional>
#include <vector>

enum class EMaskShape { Rect, Ellipse };
enum class EMaskStyle { Solid, Pixelate, Blur };

// A box at a moment: x, y, w, h as fractions (0..1) of the camera's picture as it is
// exported, after the crop and before the stamp, so that one box fits every size.
struct CMaskKey {
    CDateTime m_at;
    QRectF m_box;
};

// One area of one camera hidden in outputs: a shape that follows its keys, moving
// linearly in time between them, and that is active from m_from to m_to.
class CPrivacyMask {
public:
    int m_nChannel = 1; // as the user sees it, from 1
    EMaskShape m_shape = EMaskShape::Rect;
    EMaskStyle m_style = EMaskStyle::Solid;
    CDateTime m_from, m_to;
    std::vector<CMaskKey> m_keys; // in time order

    // The box at `seconds` on the recorder's clock (DateTimeToSeconds; a fraction for a
    // picture within its second): before the first key the first key's box, after the
    // last the last one's. None outside from..to (whole seconds, both included) or
    // without keys.
    std::optional<QRectF> BoxAt(double seconds) const;
    std::optional<QRectF> BoxAt(const CDateTime& time) const;
    // Whether the mask is active in the second that holds `seconds`.
    bool IsActive(double seconds) const;

    // Adds a key, or moves the one at the same second: the window keys a mask where it
    // is moved or resized. Keys stay in time order.
    void SetKey(const CDateTime& at, const QRectF& box);

    static const char* ShapeName(EMaskShape shape);
    static const char* StyleName(EMaskStyle style);
    static std::optional<EMaskShape> ShapeNamed(const QString& name);
    static std::optional<EMaskStyle> StyleNamed(const QString& name);
};
