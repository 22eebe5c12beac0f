#pragma once

#include "playback/frametime.h"
#include "playback/privacymask.h"

#include <QByteArray>
#include <QString>

#include <vector>

// A stretch of the recording whose sound is silenced in outputs, both ends included.
struct CMuteRange {
    CDateTime m_from, m_to;
};

// The privacy masks of one recording and its mute ranges: a value the window edits
// and the exports apply, saved and loaded as JSON:
//   {"masks": [{"channel": N, "shape": "rect"|"ellipse", "style": "solid"|"pixelate"|"blur",
//               "from": T, "to": T, "keys": [{"at": T, "box": [x, y, w, h]}]}],
//    "mute": [{"from": T, "to": T}]}
// with times "YYYY-MM-DD HH:MM:SS" on the recorder's clock.
class CPrivacyMaskSet {
public:
    std::vector<CPrivacyMask> m_masks;
    std::vector<CMuteRange> m_mute;

    bool IsEmpty() const { return m_masks.empty() && m_mute.empty(); }

    // The set a file holds, or none with `error` naming the entry and the fault
    // ("masks[2].keys[0].box: w must be > 0").
    static std::optional<CPrivacyMaskSet> FromJson(const QByteArray& json, QString& error);
    QByteArray ToJson() const;
    // False with `error` when a mask names a camera beyond the recording's `channelCount`.
    bool CheckChannels(int channelCount, QString& error) const;

    // The masks of `channel` (from 1), in the set's order.
    std::vector<const CPrivacyMask*> MasksFor(int channel) const;
    // Whether the sound of the second that holds `seconds` is silenced.
    bool MutedAt(double seconds) const;
    bool MutedAt(const CDateTime& time) const;

    // Seconds of a picture's stamp on the recorder's clock, as DateTimeToSeconds counts
    // them, with `fraction` (0..1) of the second added: the k-th of n pictures stamped
    // in one second is k/n into it.
    static double SecondsOf(const CFrameTime& time, double fraction = 0);
};
