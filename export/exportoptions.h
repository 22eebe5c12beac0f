#pragma once

#include "evidence/bookmark.h"
#include "playback/privacymaskset.h"

#include <QString>

#include <cstdint>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

enum class EExportFormat { Avi, Mp4 };

// The recording an export is made from, as its provenance note names it. The sum is
// computed beside the export, by a reader of its own, and awaited when the note is
// written.
struct CExportMaster {
    QString m_strPath;
    uint64_t m_nSize = 0;
    std::shared_future<std::optional<std::string>> m_sha256; // empty when the file could not be read
    CBookmarks m_bookmarks; // the user's, of the whole recording: the note lists those the copy spans
};

// How an export is made, beyond the AVI's settings record: the format, the MP4's
// quality and sound, the AVI's rate taken from the camera, and what the note beside
// it names. Its defaults make the AVI the settings record alone describes.
struct CExportOptions {
    EExportFormat m_format = EExportFormat::Avi;
    int m_nCrf = 20;
    int m_nSoundChannel = -1;    // the MP4's audio channel, from 0; -1: no sound
    bool m_bFpsAuto = false;     // the AVI's rate: the camera's own mean rate
    std::vector<int> m_mosaic;   // the cameras of a mosaic (from 0), in grid order; empty: one camera
    QString m_strCommand;        // the options as the user gave them, for the note
    std::optional<CExportMaster> m_master; // no note when absent
    // Privacy masks and mute ranges applied to the copy, which is then named _redacted;
    // none: the recording's pictures and sound as they are.
    std::shared_ptr<const CPrivacyMaskSet> m_pMasks;

    bool IsRedacted() const { return m_pMasks != nullptr; }
};
