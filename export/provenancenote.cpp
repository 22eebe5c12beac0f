#include "export/provenancenote.h"

#include "export/mp4writer.h"

#include <QFileInfo>

namespace {

QByteArray Line(const char* label, const QString& value)
{
    return QByteArray(label) + value.toUtf8() + "\r\n";
}

CDateTime DateTimeOf(const CFrameTime& t)
{
    return CDateTime(t.m_wYear, t.m_byMonth, t.m_byDay, t.m_byHour, t.m_byMinute, t.m_bySecond);
}

QString Iso(const CDateTime& time)
{
    return QString::fromStdString(time.ToIsoString());
}

// The redaction log: every mask as the file gave it, and the silenced stretches.
QByteArray RedactionText(const CPrivacyMaskSet& set)
{
    QByteArray text = Line("REDACTED     : ", QString("%1 privacy mask(s) hide parts of the pictures, %2 mute "
                                                      "range(s) silence the sound; the master is unchanged")
                                                  .arg(set.m_masks.size())
                                                  .arg(set.m_mute.size()));
    for (size_t i = 0; i < set.m_masks.size(); ++i) {
        const CPrivacyMask& m = set.m_masks[i];
        text += Line("MASK         : ", QString("%1: camera %2, %3, %4, from %5 to %6")
                                            .arg(i + 1)
                                            .arg(m.m_nChannel, 2, 10, QChar('0'))
                                            .arg(CPrivacyMask::ShapeName(m.m_shape), CPrivacyMask::StyleName(m.m_style),
                                                 Iso(m.m_from), Iso(m.m_to)));
        for (const CMaskKey& key : m.m_keys)
            text += Line("  KEY        : ", QString("%1 box x %2 y %3 w %4 h %5")
                                                .arg(Iso(key.m_at))
                                                .arg(key.m_box.x(), 0, 'f', 4)
                                                .arg(key.m_box.y(), 0, 'f', 4)
                                                .arg(key.m_box.width(), 0, 'f', 4)
                                                .arg(key.m_box.height(), 0, 'f', 4));
    }
    for (const CMuteRange& range : set.m_mute)
        text += Line("MUTE         : ", QString("sound silenced from %1 to %2").arg(Iso(range.m_from), Iso(range.m_to)));
    return text;
}

} // namespace

QString TimeText(const CFrameTime& t)
{
    return QString::asprintf("%04d/%02d/%02d %02d:%02d:%02d", t.m_wYear, t.m_byMonth, t.m_byDay, t.m_byHour,
                             t.m_byMinute, t.m_bySecond);
}

QByteArray ProvenanceText(const CProvenance& p)
{
    const CExportMaster& master = *p.m_options.m_master;
    const std::optional<std::string> sum = master.m_sha256.valid() ? master.m_sha256.get() : std::nullopt;
    QByteArray text = "WORKING COPY made by KVXPlayer " KVX_VERSION " from a DVR recording: it is not the master. "
                      "Only the recording named below is the original evidence.\r\n";
    text += Line("COPY         : ", QFileInfo(p.m_strCopy).fileName());
    text += Line("MASTER       : ", QFileInfo(master.m_strPath).absoluteFilePath());
    text += Line("MASTER SIZE  : ", QString("%1 bytes").arg(master.m_nSize));
    text += Line("MASTER SHA256: ", sum ? QString::fromStdString(*sum) : QString("not known: the recording could "
                                                                                 "not be read again"));
    text += Line("CAMERAS      : ", p.m_strCameras);
    text += Line("FIRST        : ", TimeText(p.m_first));
    text += Line("LAST         : ", TimeText(p.m_last));
    text += Line("FRAMES       : ", QString("%1 written").arg(p.m_nFrames));
    text += Line("FORMAT       : ", p.m_strFormat);
    text += Line("OPTIONS      : ", p.m_options.m_strCommand);
    for (const QString& timing : p.m_timing)
        text += Line("TIMING       : ", timing);
    for (const CBookmark& b : BookmarksDated(master.m_bookmarks, DateTimeOf(p.m_first), DateTimeOf(p.m_last)))
        text += Line("BOOKMARK     : ", QString::fromStdString(BookmarkLine(b)));
    if (p.m_options.m_pMasks)
        text += RedactionText(*p.m_options.m_pMasks);
    text += Line("PROGRAM      : ", "KVXPlayer " KVX_VERSION);
    text += Line("EXPORTED AT  : ", p.m_exportedAt.toString(Qt::ISODate) + " (this computer's clock)");
    text += Line("SIGNED BY    : ", p.m_strSignedBy);
    text += "The date-times are the recorder's own, as it stamped them.\r\n";
    return text;
}

QString FormatText(const BACKUPSETTING& s, const CExportOptions& o)
{
    const QString size = QString("%1 x %2 pixels, shown at 4:3").arg(s.m_nWidth).arg(s.m_nHeight);
    if (o.m_format == EExportFormat::Avi)
        return QString("AVI (Motion-JPEG), %1, %2 frames a second%3")
            .arg(size)
            .arg(s.m_byFrameRate)
            .arg(o.m_bFpsAuto ? ", the camera's own mean rate" : "");
    const QString sound = o.m_nSoundChannel < 0 ? QString("no sound")
                                                : QString("AAC sound of audio channel %1").arg(o.m_nSoundChannel + 1);
    return QString("MP4 (H.264, libx264 preset %1, CRF %2, yuv420p), %3, %4%5")
        .arg(CMp4Writer::PRESET)
        .arg(o.m_nCrf)
        .arg(size, sound, o.m_mosaic.empty() ? QString() : QString(", mosaic of the cameras in the player's grid"));
}
