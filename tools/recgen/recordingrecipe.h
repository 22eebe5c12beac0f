#pragma once

#include "recording/datetime.h"

#include <cstdint>
#include <map>
#include <set>
#include <vector>

// How the JPEG stream of a picture begins. The recorder sometimes writes one or two
// stray bytes in front of it, or drops its leading 0xFF; the player repairs these.
// Three stray bytes are past repair: the picture cannot be shown.
enum class EJpegStart { Normal, ExtraFF, MissingFF, TwoExtraBytes, Unrepairable };

// A box crossing one camera's picture from the left of a region to its right, between
// two moments counted from the first record (record i is at i * seconds per record,
// before any time shift). The region is in fractions of the picture, origin top left.
struct CMovingBox {
    int m_nChannel = 0;
    double m_dX = 0.1, m_dY = 0.5, m_dWidth = 0.5, m_dHeight = 0.3;
    double m_dFromSeconds = 0, m_dToSeconds = 0;

    bool ShownAt(double seconds) const { return seconds >= m_dFromSeconds && seconds <= m_dToSeconds; }
};

// Everything the generator needs to know to write one test recording. Record indexes
// count picture records only, from 0; LAST_RECORD names the last one.
struct CRecordingRecipe {
    static constexpr int LAST_RECORD = -1;

    int m_nChannels = 16;              // 4 (header layout A) or 16 (layout B)
    int m_nRecords = 64;               // picture records; channels take turns 0, 1, 2, ...
    CDateTime m_timeStart{2005, 1, 1, 0, 0, 0};
    double m_dSecondsPerRecord = 1.0 / 16; // record i is stamped start + floor(i * this)
    int m_nGroupLength = -1;           // header byte 21; -1 means the channel count
    int m_nWidth = 0;                  // 0: 720 x 240 for 4 channels, 352 x 240 for 16
    int m_nHeight = 0;
    uint64_t m_nFirstSector = 1000;
    int m_nQuality = 75;
    bool m_bAudio = false;             // 4 channels: signature in every header, audio after every picture
    int m_nAudioOnlyEvery = 0;         // an audio-only record (kind 0x05) after every Nth picture record
    int m_nGarbageEvery = 0;           // a block of garbage after every Nth picture record
    std::set<int> m_invalidDates;      // records stamped with month 13
    std::set<int> m_oversize;          // records whose picture needs 9 units
    std::map<int, EJpegStart> m_jpegStarts;
    bool m_bCutLastPicture = false;    // the file ends inside the last picture, before its end marker
    uint64_t m_nTruncateBytes = 0;     // cut this many bytes off the finished file
    uint64_t m_nGapBeforeLast = 0;     // a hole of this many bytes (a multiple of 512) before the last record
    int m_nHoleEvery = 0;              // a hole (sparse) after every Nth picture record,
    uint64_t m_nHoleBytes = 0;         // of this many bytes (a multiple of 512)
    std::map<int, int64_t> m_timeShifts; // from record i on, stamps move by this many seconds more
                                       // (a long gap, or, negative, a clock set back)
    uint32_t m_nSeed = 1;              // garbage bytes
    // A scene that stands still (no car, no lane marks): what moves is only what the
    // fields below add, so that a search for activity has a known truth.
    bool m_bStillScene = false;
    bool m_bClock = true;              // still scene: the date-time drawn into the picture
    int m_nNoise = 0;                  // each pixel's luma moved by up to this, afresh in every picture
    int m_nBrightnessStepAt = -1;      // from this record on every camera is brighter by
    int m_nBrightnessStep = 0;         // this many levels (a light switched on)
    std::vector<CMovingBox> m_boxes;

    // A 4-channel recorder with sound in every record.
    static CRecordingRecipe FourChannelsWithAudio(int records, double secondsPerRecord)
    {
        CRecordingRecipe r;
        r.m_nChannels = 4;
        r.m_bAudio = true;
        r.m_nRecords = records;
        r.m_dSecondsPerRecord = secondsPerRecord;
        return r;
    }

    // The seconds that the shifts up to record `index` add to its stamp.
    int64_t TimeShiftAt(int index) const
    {
        int64_t shift = 0;
        for (auto it = m_timeShifts.begin(); it != m_timeShifts.end() && it->first <= index; ++it)
            shift += it->second;
        return shift;
    }
    int GroupLength() const { return m_nGroupLength < 0 ? m_nChannels : m_nGroupLength; }
    int Width() const { return m_nWidth ? m_nWidth : (m_nChannels == 4 ? 720 : 352); }
    int Height() const { return m_nHeight ? m_nHeight : 240; }
    bool IsRecord(const std::set<int>& set, int index) const
    {
        return set.count(index) || (index == m_nRecords - 1 && set.count(LAST_RECORD));
    }
};
