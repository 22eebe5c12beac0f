#pragma once

#include "export/aviwriter.h"
#include "export/backupsetting.h"
#include "export/exportoptions.h"
#include "export/mp4copy.h"
#include "platform/sumsignature.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

// An export its recorder has let go at its stop, to be completed on whichever thread
// the caller chooses: its video closed, its log written, its provenance note (which
// waits for the master's SHA-256, and names the key that signs), the .sha256 over
// them all and, last, its signature (.sha256.sig); or, for an export cut short, the
// note that says it is incomplete instead of the sums.
//
// Threads: one thread at a time; it shares nothing with the recorder it came from.
struct CFinishedExport {
    std::unique_ptr<CAviWriter> m_pAviWriter;
    std::unique_ptr<CMp4Copy> m_pMp4;
    CExportOptions m_options;
    std::optional<CFrameTime> m_timeFirstWritten;
    QString m_strAviName;
    BACKUPLOG m_log;
    std::optional<CFrameTime> m_timeLastWritten;
    uint32_t m_nFrames = 0;
    std::optional<QString> m_failure; // why it was cut short
    CSigningOutcome m_signing;        // set by Complete

    // Ends the export with `end` as its log's end time (an export cut short ends at
    // its last frame). Empty, or the first thing that could not be written, naming
    // the file and the reason; what could be is written all the same. A video that
    // cannot be completed sets the failure.
    QString Complete(const CFrameTime& end);
    // For a person: the export stopped before its end, why, and what it holds; empty
    // when it was not cut short.
    QString FailureText() const;
    // Why a complete export was left unsigned (naming the key file); empty when it
    // was signed or was cut short (which has no sums to sign).
    QString UnsignedReason() const;
    // The same for a person: the export is written but not signed, and why.
    QString UnsignedText() const;

    // `aviName` with its extension replaced by `suffix`.
    static QString WithSuffix(const QString& aviName, const char* suffix);
    // The log's five lines, CR LF each.
    static QByteArray LogText(const BACKUPLOG& log);
    // The note beside an export cut short: its file, the reason, the frames written
    // and the last one's date-time, if any. CR LF lines, as the log's.
    static QByteArray IncompleteText(const QString& aviName, const QString& reason, uint32_t frames,
                                     const std::optional<CFrameTime>& last);
    static QString StoppedText(const QString& aviName, const QString& reason, uint32_t frames);

    static constexpr const char* INCOMPLETE_SUFFIX = ".INCOMPLETE.txt";

private:
    QString CloseVideo();
    QString WriteProvenance(const CSigningOutcome& signer) const;
    QString WriteIncompleteNote() const;
    static QString WriteBackupLog(const QString& aviName, const BACKUPLOG& log);
    static QString WriteSums(const QString& aviName, const QStringList& companions);
};
