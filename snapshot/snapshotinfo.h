#pragma once

#include "playback/privacymaskset.h"
#include "recording/datetime.h"

#include <QString>

#include <memory>

// What the player tells the editor about a snapshot besides its pixels.
struct SNAPSHOTINFO {
    int m_nChannel = 0;         // the channel shown, from 0
    CDateTime m_timeStart;      // the recording's first and last date-time
    CDateTime m_timeEnd;
    CDateTime m_timeSnapshot;   // stamped on the frame the snapshot shows
    QString m_strRecordingPath; // the recording the picture comes from
    // The recording's privacy masks as they were when the snapshot was taken, none
    // without masks; and the picture's moment on the recorder's clock, which places them.
    std::shared_ptr<const CPrivacyMaskSet> m_pMasks;
    double m_dMaskSeconds = 0;
};
