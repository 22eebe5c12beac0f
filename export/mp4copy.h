#pragma once

#include "export/mp4writer.h"
#include "playback/frametime.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// One camera's (or mosaic's) MP4 working copy, timed by the recorder's clock: the
// k-th of the n pictures stamped within one recorder second is shown at that second
// + k/n, so the copy plays at real speed and a gap in the recording stays a gap. The
// pictures of a second are held until the next second begins, when their count is
// known. Sound is placed the same way: each record's slice follows the one before,
// and a gap before a record's second is filled with silence.
//
// A clock set back (the recorder's time going backwards) cannot go back in an MP4:
// the copy goes on one second after what it showed last, and the jump is listed in
// Discontinuities() for the provenance note.
//
// Threads: one thread at a time (the recorder's lock).
class CMp4Copy {
public:
    // Creates the file; `start` is the date-time the copy's time 0 stands for.
    bool Open(const std::string& path, const CMp4Format& format, const CFrameTime& start);
    // A stamped export picture: 24-bit rows of `stride` bytes, bottom-up.
    bool AddPicture(const uint8_t* bgr, int64_t stride, const CFrameTime& time);
    // One record's sound slice of 8-bit samples.
    bool AddSound(const uint8_t* samples, size_t count, const CFrameTime& time);
    // Writes the held second and ends the file.
    bool Close();

    const std::string& ErrorText() const { return m_writer.ErrorText(); }
    const QStringList& Discontinuities() const { return m_discontinuities; }
    // Pictures written into the file (not those held).
    uint32_t PicturesWritten() const { return m_nWritten; }

    // Seconds of `t` counted on the recorder's calendar, as written (no zone).
    static int64_t SerialSecond(const CFrameTime& t);

private:
    // The recorder's seconds mapped onto the copy's, increasing.
    struct CClock {
        int64_t m_nLastSerial = 0;
        int64_t m_nLastSecond = 0;
    };
    int64_t CopySecond(CClock& clock, const CFrameTime& time);
    bool FlushSecond();

    CMp4Writer m_writer;
    int m_nHeight = 0;
    CClock m_videoClock, m_soundClock;
    QStringList m_discontinuities;
    int64_t m_nHeldSecond = -1;             // the copy's second of the held pictures
    std::vector<std::vector<uint8_t>> m_held; // the held pictures; only the first m_nHeld count
    size_t m_nHeld = 0;
    int64_t m_nHeldStride = 0;
    uint32_t m_nWritten = 0;
};
