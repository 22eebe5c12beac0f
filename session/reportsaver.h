#pragma once

#include "evidence/bookmark.h"
#include "evidence/recordingreport.h"
#include "platform/sumsignature.h"

#include <QString>

// What saving a report came to. Saved: the JSON and the PDF exist with their sums;
// the signature may still be missing (m_signing says why). Not saved: m_strError
// names the file that could not be written and the reason; the paths name the files
// it was one of, those before it written.
struct CReportSaveOutcome {
    bool m_bSaved = false;
    QString m_strJson, m_strPdf, m_strSums; // paths, as CNativeFileName keeps them
    CSigningOutcome m_signing;
    QString m_strError;
};

// Writes the report of a recording into `folder` as NAME_report.json (the bytes
// `kvxtool report --json` prints, bookmarks added when there are any), a printable
// A4 NAME_report.pdf reading as the report panel does, and NAME_report.sha256 over
// both, signed with the user's key. NAME is the recording's name without its
// extension; when any of the files is taken, NAME_report_2, _3, ... is used. Each
// file is created anew and nothing is ever replaced.
CReportSaveOutcome SaveReport(const CRecordingReport& report, const CBookmarks& bookmarks, const QString& folder);
