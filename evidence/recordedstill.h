#pragma once

#include "playback/privacymaskset.h"
#include "recording/datetime.h"
#include "recording/recordingprobe.h"

#include <QImage>

#include <optional>
#include <string>

// A camera's picture at a moment, drawn as the one-camera layout of the player draws
// it: 720 x 480, or 720 x 576 for PAL recordings, with its date-time and camera number.
struct CRecordedStill {
    QImage m_tile;
    CDateTime m_time; // of the record the picture came from
};

// In forward play order, the first picture of `channel` (from 0) stamped at or after
// `at`; none when there is no such picture or the recording could not be read on
// (`readFailed`, the engine's message then on standard error). The first picture of
// the recording decides its video standard, as in the player. Needs a Qt application
// for the fonts; the calling thread. `masks`, when given, hide parts of the picture
// under its texts.
std::optional<CRecordedStill> FindRecordedStill(const std::string& path, const CRecordingFacts& facts, int channel,
                                                const CDateTime& at, bool& readFailed,
                                                const CPrivacyMaskSet* masks = nullptr);
