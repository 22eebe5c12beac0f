#include "export/finishedexport.h"

#include "export/mosaicframe.h"
#include "export/provenancenote.h"

#include "platform/nativefilename.h"
#include "platform/outputfile.h"
#include "platform/sha256.h"
#include "platform/usersigner.h"

#include <QDateTime>
#include <QFileInfo>

#include <span>
#include <sys/stat.h>

namespace {

std::string NativePath(const QString& path)
{
    return CNativeFileName::Encode(path).toStdString();
}

bool Exists(const QString& path)
{
    struct stat st;
    return ::lstat(NativePath(path).c_str(), &st) == 0;
}

// Writes `data` into `path`, a file that must not exist yet. Empty, or why it failed;
// a file begun and not completed is removed, as it would claim what it does not hold.
QString WriteNewFile(const QString& path, const QByteArray& data)
{
    std::string error;
    const std::span bytes(reinterpret_cast<const uint8_t*>(data.constData()), size_t(data.size()));
    if (COutputFile::WriteNewFile(NativePath(path), bytes, error) == COutputFile::ECreate::Created)
        return {};
    return QString::fromStdString(error);
}

} // namespace

QString CFinishedExport::WithSuffix(const QString& aviName, const char* suffix)
{
    const int dot = aviName.lastIndexOf('.');
    return (dot < 0 ? aviName : aviName.left(dot)) + suffix;
}

// The sums are written only over files that are final: a note still waiting for the
// master's sum is awaited before them. The key is had before the note, which names
// it; the signature over the sums comes last.
QString CFinishedExport::Complete(const CFrameTime& end)
{
    QString error;
    const auto keepFirst = [&error](const QString& text) {
        if (error.isEmpty())
            error = text;
    };
    if (const QString reason = CloseVideo(); !reason.isEmpty()) {
        keepFirst(QString("%1 could not be completed: %2").arg(m_strAviName, reason));
        if (!m_failure)
            m_failure = reason;
    }
    m_log.m_timeEnd = m_failure ? m_timeLastWritten.value_or(m_log.m_timeStart) : end;
    keepFirst(WriteBackupLog(m_strAviName, m_log));
    const std::optional<CUserSigner> signer = m_failure ? std::nullopt : std::optional<CUserSigner>(std::in_place);
    QStringList companions{WithSuffix(m_strAviName, ".log")};
    if (m_options.m_master) {
        keepFirst(WriteProvenance(signer ? signer->Prospect() : CSigningOutcome()));
        companions << WithSuffix(m_strAviName, ".txt");
    }
    if (m_failure) {
        keepFirst(WriteIncompleteNote());
        return error;
    }
    const QString sumsFailure = WriteSums(m_strAviName, companions);
    keepFirst(sumsFailure);
    if (sumsFailure.isEmpty())
        m_signing = signer->Sign(NativePath(WithSuffix(m_strAviName, ".sha256")));
    else
        m_signing.m_strReason = "it has no checksums to sign";
    return error;
}

QString CFinishedExport::CloseVideo()
{
    QString reason;
    if (m_pAviWriter && !m_pAviWriter->Close())
        reason = QString::fromStdString(m_pAviWriter->ErrorText());
    if (m_pMp4 && !m_pMp4->Close())
        reason = QString::fromStdString(m_pMp4->ErrorText());
    return reason;
}

QString CFinishedExport::WriteProvenance(const CSigningOutcome& signer) const
{
    CProvenance p;
    p.m_strCopy = m_strAviName;
    p.m_options = m_options;
    p.m_strCameras = m_options.m_mosaic.empty() ? QString::asprintf("%02d", m_log.m_setting.m_byChannel + 1)
                                                : CMosaicFrame::CameraList(m_options.m_mosaic);
    p.m_first = m_timeFirstWritten.value_or(m_log.m_timeStart);
    p.m_last = m_timeLastWritten.value_or(m_log.m_timeStart);
    p.m_nFrames = m_pMp4 ? m_pMp4->PicturesWritten() : m_nFrames;
    p.m_strFormat = FormatText(m_log.m_setting, m_options);
    if (m_options.m_format == EExportFormat::Mp4) {
        p.m_timing << "by the recorder's clock: the k-th of n pictures of a recorder second is shown at that "
                      "second + k/n; gaps in the recording are gaps in the copy";
        if (m_pMp4)
            p.m_timing << m_pMp4->Discontinuities();
    }
    p.m_exportedAt = QDateTime::currentDateTime();
    p.m_strSignedBy = signer.m_strFingerprint.empty()
                        ? "nobody, not signed: " + QString::fromStdString(signer.m_strReason)
                        : QString::fromStdString(signer.SignedBy()) + ", in "
                              + QFileInfo(WithSuffix(m_strAviName, ".sha256.sig")).fileName();
    const QString noteName = WithSuffix(m_strAviName, ".txt");
    const QString failure = WriteNewFile(noteName, ProvenanceText(p));
    return failure.isEmpty() ? QString() : QString("The note %1 could not be written: %2").arg(noteName, failure);
}

QByteArray CFinishedExport::LogText(const BACKUPLOG& log)
{
    const CFrameTime &s = log.m_timeStart, &e = log.m_timeEnd;
    QByteArray text;
    text += QString::asprintf("RECORD START : %04d/%02d/%02d %02d:%02d:%02d \r\n", s.m_wYear, s.m_byMonth, s.m_byDay,
                              s.m_byHour, s.m_byMinute, s.m_bySecond).toLatin1();
    text += QString::asprintf("RECORD END   : %04d/%02d/%02d %02d:%02d:%02d \r\n", e.m_wYear, e.m_byMonth, e.m_byDay,
                              e.m_byHour, e.m_byMinute, e.m_bySecond).toLatin1();
    text += QString::asprintf("CHANNEL      : %02d \r\n", log.m_setting.m_byChannel + 1).toLatin1();
    text += QString::asprintf("FRAME RATE   : %02d Frame \r\n", log.m_setting.m_byFrameRate).toLatin1();
    text += QString::asprintf("RECORD SIZE  : %d * %d Pixel \r\n", log.m_setting.m_nWidth, log.m_setting.m_nHeight)
                .toLatin1();
    return text;
}

QString CFinishedExport::WriteBackupLog(const QString& aviName, const BACKUPLOG& log)
{
    const QString logName = WithSuffix(aviName, ".log");
    const QString failure = WriteNewFile(logName, LogText(log));
    return failure.isEmpty() ? QString() : QString("The log %1 could not be written: %2").arg(logName, failure);
}

// In the form `sha256sum -c` reads, run in the export's folder.
QString CFinishedExport::WriteSums(const QString& aviName, const QStringList& companions)
{
    QByteArray sums;
    for (const QString& file : QStringList{aviName} + companions) {
        if (!Exists(file))
            continue;
        const std::optional<std::string> sum = Sha256OfFile(NativePath(file));
        if (!sum)
            return QString("%1 could not be read back for its checksum.").arg(file);
        sums += QByteArray::fromStdString(*sum) + "  " + CNativeFileName::Encode(QFileInfo(file).fileName()) + "\n";
    }
    const QString sumsName = WithSuffix(aviName, ".sha256");
    const QString failure = WriteNewFile(sumsName, sums);
    return failure.isEmpty() ? QString() : QString("The checksums %1 could not be written: %2").arg(sumsName, failure);
}

QByteArray CFinishedExport::IncompleteText(const QString& aviName, const QString& reason, uint32_t frames,
                                           const std::optional<CFrameTime>& last)
{
    QByteArray text = CNativeFileName::Encode(QFileInfo(aviName).fileName());
    text += " is incomplete: the export stopped before its end.\r\n";
    text += "REASON       : " + reason.toUtf8() + "\r\n";
    text += QString::asprintf("FRAMES       : %u written", frames).toLatin1();
    if (last)
        text += ", the last recorded " + TimeText(*last).toLatin1();
    text += "\r\nIt has no .sha256 file, whose checksums would vouch for it as whole.\r\n";
    return text;
}

QString CFinishedExport::WriteIncompleteNote() const
{
    const QString noteName = WithSuffix(m_strAviName, INCOMPLETE_SUFFIX);
    const QString failure =
        WriteNewFile(noteName, IncompleteText(m_strAviName, *m_failure, m_nFrames, m_timeLastWritten));
    return failure.isEmpty() ? QString() : QString("The note %1 could not be written: %2").arg(noteName, failure);
}

QString CFinishedExport::UnsignedReason() const
{
    if (m_failure || m_signing.m_bSigned)
        return {};
    return QString::fromStdString(m_signing.m_strReason);
}

QString CFinishedExport::UnsignedText() const
{
    const QString reason = UnsignedReason();
    return reason.isEmpty() ? QString() : QString("%1 is written but not signed: %2").arg(m_strAviName, reason);
}

QString CFinishedExport::FailureText() const
{
    return m_failure ? StoppedText(m_strAviName, *m_failure, m_nFrames) : QString();
}

QString CFinishedExport::StoppedText(const QString& aviName, const QString& reason, uint32_t frames)
{
    return QString("The export into %1 stopped: %2. It is incomplete: it holds the %3 frames written before, and no "
                   "checksums.")
        .arg(aviName, reason)
        .arg(frames);
}
