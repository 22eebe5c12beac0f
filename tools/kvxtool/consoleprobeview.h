#pragma once

#include "recording/recordingprobe.h"

// The probe's effects for a command line: messages go to standard error, the
// control switches are only remembered.
class CConsoleProbeView : public IProbeView {
public:
    // Probes `path` into `facts`; false, the reason on standard error, when the
    // recording is refused.
    static bool Probe(const std::string& path, CRecordingFacts& facts);

    void ShowProbeMessage(const std::string& text) override;
    void EnableAudioControls(bool enable) override { m_bAudioControls = enable; }
    void DisableEndButton() override { m_bEndButton = false; }

    bool m_bAudioControls = false;
    bool m_bEndButton = true;
};
