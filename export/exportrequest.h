#pragma once

#include "export/recordingexport.h"
#include "recording/recordingprobe.h"

#include <optional>
#include <string>

// An export as the user asks for it, before the recording is read: the settings and
// which of the options that belong to one format were given. It holds what is
// refused of them together and of the recording they are meant for, with the
// reasons, so that whoever asks for an export (kvxtool export's options) refuses the
// same combinations in the same words; and it says what each export made.
//
// Threads: one.
class CExportRequest {
public:
    // Why an option is refused: said as "WHAT: REASON", e.g. "--fps: an MP4 is timed
    // by the recorder's clock, not a rate".
    struct CRefusal {
        std::string m_strWhat, m_strReason;
    };
    using Refusal = std::optional<CRefusal>;

    CRecordingExportSettings m_settings; // the channels, with "all", once the recording is known
    bool m_bAllChannels = false;         // every camera of the recording
    bool m_bCrfGiven = false, m_bAudioGiven = false, m_bFpsGiven = false;

    // "360x240" or "720x480", or on a PAL recording "352x288" or "720x576".
    Refusal SetSize(const std::string& size);
    // "avi" or "mp4".
    Refusal SetFormat(const std::string& format);
    // A mosaic's tiles are the player's 16-camera tiles when it has the player's
    // picture size; at 360x240 their stamps would not fit. Once every option is read.
    void UseMosaicSize();
    // The options together: those of one format only, the mosaic's cameras, the range.
    Refusal CheckOptions() const;
    // Takes every camera of the recording for "all", then checks what the options ask
    // of `recording`: cameras it has, PAL sizes of a PAL recording, sound it has. Each
    // refusal names the recording.
    Refusal FitRecording(const std::string& recording, const CRecordingFacts& facts);

    // What one camera's export made, for the user: a line of JSON or two (AVI) or
    // three (MP4) lines of text, each ending in '\n'.
    std::string Summary(const CRecordingExport::CExported& exported, bool json) const;

private:
    std::string AviSummary(const CRecordingExport::CExported& exported, bool json) const;
    std::string Mp4Summary(const CRecordingExport::CExported& exported, bool json) const;

    std::string m_strSize = "360x240";
    bool m_bSizeGiven = false;
};
