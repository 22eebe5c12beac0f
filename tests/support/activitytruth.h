#pragma once

#include "evidence/activityindex.h"
#include "tools/recgen/recordinggenerator.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

// A box crossing `channel` from `from` to `to` seconds after the recording's start.
inline CMovingBox MovingBox(int channel, double from, double to)
{
    CMovingBox b;
    b.m_nChannel = channel;
    b.m_dFromSeconds = from;
    b.m_dToSeconds = to;
    return b;
}

// A recording whose activity is known: four cameras, three minutes, a still scene with
// sensor noise and an on-screen clock, the light switched on at 90 s, a gap of a
// minute at 100 s and the clock set back half a minute at 150 s, and boxes crossing
// the cameras, two of them across the gap and the set-back, one across the light.
inline CRecordingRecipe ActivityTruthRecipe()
{
    CRecordingRecipe r;
    r.m_nChannels = 4;
    r.m_nRecords = 2880;
    r.m_dSecondsPerRecord = 1.0 / 16;
    r.m_bStillScene = true;
    r.m_nNoise = 6;
    r.m_nBrightnessStepAt = 1440;
    r.m_nBrightnessStep = 40;
    r.m_timeShifts = {{1600, 60}, {2400, -30}};
    r.m_boxes = {MovingBox(0, 20, 30), MovingBox(0, 60, 66), MovingBox(0, 120, 130), MovingBox(1, 40, 50),
                 MovingBox(2, 95, 105), MovingBox(2, 145, 155), MovingBox(3, 85, 95)};
    return r;
}

// One stretch of pictures with a box in them, as the generator wrote it.
struct CTrueStretch {
    int m_nChannel = 0;
    int64_t m_nFrom = 0, m_nTo = 0; // seconds, as DateTimeToSeconds counts
    uint64_t m_nFirstOffset = 0, m_nLastOffset = 0;
};

// The runs of pictures showing a box, per camera, cut where that camera's clock goes
// back or skips more than `gapSeconds`: what a search should find.
inline std::vector<CTrueStretch> TrueStretches(const CRecordingGenerator& generator, int64_t gapSeconds = 10)
{
    std::vector<CTrueStretch> out;
    const int channels = generator.Recipe().m_nChannels;
    for (int channel = 0; channel < channels; ++channel) {
        bool open = false, haveLast = false;
        int64_t last = 0;
        for (const CGeneratedRecord& r : generator.PictureRecords()) {
            if (r.m_nChannel != channel)
                continue;
            const int64_t t = DateTimeToSeconds(r.m_time);
            if (open && (!r.m_bBoxShown || (haveLast && (t < last || t - last > gapSeconds))))
                open = false;
            if (r.m_bBoxShown && !open) {
                out.push_back({channel, t, t, r.m_nOffset, r.m_nOffset});
                open = true;
            } else if (r.m_bBoxShown) {
                out.back().m_nTo = t;
                out.back().m_nLastOffset = r.m_nOffset;
            }
            last = t;
            haveLast = true;
        }
    }
    return out;
}

struct CActivityScore {
    double m_dRecall = 0, m_dPrecision = 0;
    int m_nTrue = 0, m_nFound = 0, m_nMatched = 0;
};

// A stretch found matches a true one of its camera when it starts inside it (by file
// offset, which a clock set back cannot confuse) and both its ends lie within
// `slackSeconds` of the true ends.
inline bool Matches(const CActivityStretch& found, const CTrueStretch& truth, int64_t slackSeconds)
{
    return found.m_nChannel == truth.m_nChannel && found.m_nOffset + 1 >= truth.m_nFirstOffset
        && found.m_nOffset <= truth.m_nLastOffset
        && std::abs(DateTimeToSeconds(found.m_from) - truth.m_nFrom) <= slackSeconds
        && std::abs(DateTimeToSeconds(found.m_to) - truth.m_nTo) <= slackSeconds;
}

inline CActivityScore ScoreStretches(const std::vector<CTrueStretch>& truth, const std::vector<CActivityStretch>& found,
                                     int64_t slackSeconds = 1)
{
    CActivityScore score;
    score.m_nTrue = int(truth.size());
    score.m_nFound = int(found.size());
    int foundRight = 0;
    for (const CTrueStretch& t : truth) {
        bool hit = false;
        for (const CActivityStretch& f : found)
            hit = hit || Matches(f, t, slackSeconds);
        score.m_nMatched += hit;
    }
    for (const CActivityStretch& f : found) {
        bool hit = false;
        for (const CTrueStretch& t : truth)
            hit = hit || Matches(f, t, slackSeconds);
        foundRight += hit;
    }
    score.m_dRecall = truth.empty() ? 1 : double(score.m_nMatched) / double(truth.size());
    score.m_dPrecision = found.empty() ? 1 : double(foundRight) / double(found.size());
    return score;
}
