#pragma once

#include "recording/datetime.h"

#include <cstdint>
#include <optional>

// The in and out marks a user set on the open recording, each at the record shown
// then. They are held by file offset, not by date: after the recorder's clock was set
// back, a later record can carry an earlier date, and the start of the range must
// still be the mark that lies first in the file. What the range covers is a span of
// dates (exports and excerpts select records by date, as kvxtool does), from the
// earlier of the two dates to the later, so that every stretch recorded in it is held.
//
// A value; window thread.
class CInOutMarks {
public:
    struct CMark {
        uint64_t m_nOffset = 0; // of the record's header
        CDateTime m_time;       // that record's date-time
    };

    void SetIn(const CMark& mark) { m_in = mark; }
    void SetOut(const CMark& mark) { m_out = mark; }
    void Clear() { *this = CInOutMarks(); }

    bool IsEmpty() const { return !m_in && !m_out; }
    // Both marks are set.
    bool IsRange() const { return m_in && m_out; }
    // The mark that lies first in the file, and the other; with one mark set, it is both.
    std::optional<CMark> Start() const;
    std::optional<CMark> End() const;
    // The dates the range covers, earlier first; only for IsRange.
    CDateTime From() const;
    CDateTime To() const;

private:
    std::optional<CMark> m_in, m_out;
};
