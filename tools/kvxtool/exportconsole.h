#pragma once

#include "export/irecordingexportview.h"

#include <chrono>

class CRecordingExport;

// The one-pass export on a terminal: a progress line on standard error (how far into
// the file, the frames of each camera and their rate), redrawn five times a second,
// and the export's messages, as "kvxtool: MESSAGE" with file names as their bytes.
// The progress line only when standard error is a terminal. The export's thread.
class CExportConsole : public IRecordingExportView {
public:
    // `fileLength` is the recording's size, the whole of the bar.
    explicit CExportConsole(uint64_t fileLength);

    // The export whose frames are shown; set before it runs.
    void Show(const CRecordingExport& exporter) { m_pExport = &exporter; }

    void OnExportProgress(uint64_t offset, bool last) override;
    void OnExportMessage(const QString& text) override;

private:
    std::string CameraCounts() const;

    const uint64_t m_nFileLength;
    const bool m_bTerminal;
    const CRecordingExport* m_pExport = nullptr;
    const std::chrono::steady_clock::time_point m_tStart;
    std::chrono::steady_clock::time_point m_tShown;
};
