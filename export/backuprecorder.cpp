#include "export/backuprecorder.h"

#include "export/finishedexport.h"
#include "export/provenancenote.h"

#include "platform/nativefilename.h"
#include "platform/outputfolders.h"
#include "playback/jpegencoder.h"
#include "playback/maskpainter.h"
#include "recording/recordformat.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace {

// Room for one encoded frame; a 720 x 480 frame at the export's quality takes a tenth.
constexpr size_t JPEG_CAPACITY = 600000;
constexpr int JPEG_QUALITY = 70;
constexpr int CHANNEL_TEXT_X = 20;
// A name taken by another export in the same moment is tried again this often.
constexpr int MAX_CREATE_ATTEMPTS = 1000;

const char* const SUFFIXES[] = {".avi",    ".mp4",        ".log",
                                 ".txt",    ".sha256",     ".sha256.sig",
                                 CFinishedExport::INCOMPLETE_SUFFIX};

// Paths are handed to the system as the bytes they stand for, so that a folder whose
// name is not UTF-8 is the one written into.
std::string NativePath(const QString& path)
{
    return CNativeFileName::Encode(path).toStdString();
}

// Taken by a file, a folder, or a link that leads nowhere yet.
bool IsTaken(const QString& path)
{
    struct stat st;
    return ::lstat(NativePath(path).c_str(), &st) == 0;
}

// A path as the user's file manager shows it, without the folder's closing slash.
QString ShownPath(const QString& path)
{
    return QDir::toNativeSeparators(QDir::cleanPath(path));
}

// The sentence that follows the dialog's own "ERROR : CreateAVIFile.", and that the
// command line prints after its name.
QString CannotCreate(const QString& path, const QString& reason)
{
    return QString("cannot create %1: %2").arg(ShownPath(path), reason);
}

// Another program took each free name before the export could create it.
const char* const EVERY_NAME_TAKEN = "each free name was taken by another file before it could be created";

} // namespace

CBackupRecorder::CBackupRecorder(const QString& aviFolder) : m_strAviFolder(aviFolder) {}

CBackupRecorder::~CBackupRecorder()
{
    StopBackup(m_pBackupLog ? m_pBackupLog->m_timeStart : CFrameTime());
}

QString CBackupRecorder::MakeUniqueFileName(const QString& path)
{
    const int dot = path.lastIndexOf('.');
    const QString stem = dot < 0 ? path : path.left(dot);
    const QString extension = dot < 0 ? QString() : path.mid(dot);
    const auto isFree = [&](const QString& candidate) {
        return std::none_of(std::begin(SUFFIXES), std::end(SUFFIXES), [&](const char* suffix) {
                   return IsTaken(CFinishedExport::WithSuffix(candidate, suffix));
               })
            && !IsTaken(candidate);
    };
    if (isFree(path))
        return path;
    for (int n = 1;; ++n) {
        const QString candidate = stem + QString::asprintf("(%02d)", n) + extension;
        if (isFree(candidate))
            return candidate;
    }
}

bool CBackupRecorder::StartBackup(const BACKUPSETTING& setting, const CFrameTime& start,
                                  const CExportOptions& options)
{
    std::lock_guard lock(m_mutex);
    m_strError.clear();
    if (m_pBackupLog)
        return SetError("An export is running already.");
    if (setting.m_byChannel >= setting.m_byChannelCount)
        return SetError(QString("Camera %1 cannot be exported: the recording has cameras 1 to %2.")
                            .arg(setting.m_byChannel + 1)
                            .arg(setting.m_byChannelCount));
    m_strFailure.clear();
    m_strUnsigned.clear();
    m_strUnsignedReason.clear();
    m_bFailed = false;
    m_nFrames = 0;
    m_timeLastWritten.reset();
    m_timeFirstWritten.reset();
    m_rate = {};
    m_options = options;
    if (QString reason; !COutputFolders::Ensure(m_strAviFolder, reason))
        return SetError(QString("cannot create the folder %1: %2").arg(ShownPath(m_strAviFolder), reason));
    const QString base = m_strAviFolder + BaseName(setting);
    if (options.m_format == EExportFormat::Mp4) {
        if (!OpenUniqueMp4(base, setting, start))
            return false;
    } else {
        m_pAviWriter = std::make_unique<CAviWriter>();
        if (!OpenUniqueAvi(base, setting.m_nWidth, setting.m_nHeight, setting.m_byFrameRate)) {
            m_pAviWriter.reset();
            return false;
        }
    }
    m_export.assign(size_t(Stride(setting.m_nWidth) * setting.m_nHeight), 0);
    m_jpeg.resize(JPEG_CAPACITY);
    m_pMosaic = options.m_mosaic.empty() ? nullptr
                                         : std::make_unique<CMosaicFrame>(options.m_mosaic, setting.m_nWidth,
                                                                          setting.m_nHeight, options.m_pMasks);
    m_maskClock = CMaskClock(std::max<int>(1, setting.m_byFrameRate));
    m_pBackupLog = BACKUPLOG{start, start, setting};
    m_bExporting = true;
    return true;
}

// A redacted copy says so in its name, and its log, note and sums follow it.
QString CBackupRecorder::BaseName(const BACKUPSETTING& setting) const
{
    const QString redacted = m_options.IsRedacted() ? "_redacted" : "";
    if (m_options.m_format == EExportFormat::Avi)
        return QString::asprintf("%02d_Capture", setting.m_byChannel + 1) + redacted + ".avi";
    return (m_options.m_mosaic.empty() ? QString::asprintf("%02d_Capture", setting.m_byChannel + 1)
                                       : QString("Mosaic_Capture"))
         + redacted + ".mp4";
}

bool CBackupRecorder::OpenUniqueMp4(const QString& base, const BACKUPSETTING& setting, const CFrameTime& start)
{
    CMp4Format format;
    format.m_nWidth = setting.m_nWidth;
    format.m_nHeight = setting.m_nHeight;
    format.m_nCrf = m_options.m_nCrf;
    format.m_nFpsHint = std::max<int>(1, setting.m_byFrameRate);
    format.m_bAudio = m_options.m_nSoundChannel >= 0;
    const QString recording = m_options.m_master ? QFileInfo(m_options.m_master->m_strPath).fileName() : QString();
    const QString cameras = m_options.m_mosaic.empty() ? QString("Camera %1").arg(setting.m_byChannel + 1)
                                                       : QString("Cameras %1").arg(CMosaicFrame::CameraList(m_options.m_mosaic));
    format.m_strTitle = (recording.isEmpty() ? cameras : cameras + ", " + recording).toStdString();
    format.m_strCreation = QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d.000000Z", start.m_wYear, start.m_byMonth,
                                             start.m_byDay, start.m_byHour, start.m_byMinute, start.m_bySecond)
                               .toStdString();
    for (int attempt = 0; attempt < MAX_CREATE_ATTEMPTS; ++attempt) {
        const QString name = MakeUniqueFileName(base);
        m_pMp4 = std::make_unique<CMp4Copy>();
        if (m_pMp4->Open(NativePath(name), format, start)) {
            m_strAviName = name;
            return true;
        }
        const QString reason = QString::fromStdString(m_pMp4->ErrorText());
        m_pMp4.reset();
        if (!IsTaken(name))
            return SetError(CannotCreate(name, reason));
    }
    return SetError(CannotCreate(base, EVERY_NAME_TAKEN));
}

// The name is free when it is chosen; another player may take it before the file is
// created, and then the next free name is tried.
bool CBackupRecorder::OpenUniqueAvi(const QString& base, int width, int height, int fps)
{
    for (int attempt = 0; attempt < MAX_CREATE_ATTEMPTS; ++attempt) {
        const QString name = MakeUniqueFileName(base);
        if (m_pAviWriter->Open(NativePath(name), width, height, fps)) {
            m_strAviName = name;
            return true;
        }
        if (!IsTaken(name))
            return SetError(CannotCreate(name, QString::fromStdString(m_pAviWriter->ErrorText())));
    }
    return SetError(CannotCreate(base, EVERY_NAME_TAKEN));
}

CBackupRecorder::EFrame CBackupRecorder::WritePicture(int channel, const CTilePicture& picture,
                                                      const CFrameTime& time)
{
    std::lock_guard lock(m_mutex);
    if (!m_pBackupLog || m_bFailed || !TakesPicture(channel) || !PreparePicture(channel, picture, time))
        return EFrame::Skipped;
    if (!m_pMp4) {
        const BACKUPSETTING& s = m_pBackupLog->m_setting;
        const size_t size = CJpegEncoder::EncodeBuffer(m_jpeg.data(), m_export.data(), s.m_nWidth, s.m_nHeight,
                                                          3, m_jpeg.size(), JPEG_QUALITY);
        if (size == 0)
            return EFrame::Skipped;
        if (!m_pAviWriter->WriteFrame(m_jpeg.data(), size)) {
            SetFailure(QString::fromStdString(m_pAviWriter->ErrorText()));
            return EFrame::Failed;
        }
    } else if (!m_pMp4->AddPicture(m_export.data(), Stride(m_pBackupLog->m_setting.m_nWidth), time)) {
        SetFailure(QString::fromStdString(m_pMp4->ErrorText()));
        return EFrame::Failed;
    }
    CountForRate(time);
    if (!m_timeFirstWritten)
        m_timeFirstWritten = time;
    m_timeLastWritten = time;
    ++m_nFrames;
    return EFrame::Written;
}

bool CBackupRecorder::TakesPicture(int channel) const
{
    return m_pMosaic ? m_pMosaic->Holds(channel) : channel == m_pBackupLog->m_setting.m_byChannel;
}

// Into the export buffer: the camera's picture cropped, scaled and stamped, or the
// mosaic with the camera's tile drawn anew as the player draws it.
bool CBackupRecorder::PreparePicture(int channel, const CTilePicture& picture, const CFrameTime& time)
{
    const BACKUPSETTING& s = m_pBackupLog->m_setting;
    if (m_pMosaic) {
        m_pMosaic->Draw(channel, picture, time, m_pMosaic->HasMasks() ? m_maskClock.SecondsOf(channel, time) : 0);
        m_pMosaic->CopyTo(m_export.data(), Stride(s.m_nWidth));
        return true;
    }
    if (!CropPicture(picture))
        return false;
    ScalePicture(s.m_nWidth, s.m_nHeight);
    MaskPicture(channel, time, s.m_nWidth, s.m_nHeight);
    StampPicture(channel, time, s.m_nWidth, s.m_nHeight);
    return true;
}

void CBackupRecorder::MaskPicture(int channel, const CFrameTime& time, int width, int height)
{
    if (!m_options.m_pMasks)
        return;
    QImage frame(m_export.data(), width, height, Stride(width), QImage::Format_BGR888);
    CMaskPainter::Paint(frame, *m_options.m_pMasks, channel + 1, m_maskClock.SecondsOf(channel, time), true);
}

CBackupRecorder::EFrame CBackupRecorder::WriteSound(int channel, const uint8_t* slice, const CFrameTime& time)
{
    std::lock_guard lock(m_mutex);
    if (!m_pMp4 || m_bFailed || channel != m_options.m_nSoundChannel)
        return EFrame::Skipped;
    // Unsigned 8-bit samples: silence is their middle.
    static const std::vector<uint8_t> silence(kvx::AUDIO_SLICE_SIZE, 128);
    const bool muted = m_options.m_pMasks && m_options.m_pMasks->MutedAt(CPrivacyMaskSet::SecondsOf(time));
    if (!m_pMp4->AddSound(muted ? silence.data() : slice, kvx::AUDIO_SLICE_SIZE, time)) {
        SetFailure(QString::fromStdString(m_pMp4->ErrorText()));
        return EFrame::Failed;
    }
    return EFrame::Written;
}

// At each new second the AVI's rate becomes the camera's mean over the whole seconds
// before it, so that a copy cut off in its next second still has its true rate.
void CBackupRecorder::CountForRate(const CFrameTime& time)
{
    m_rate.Count(time);
    if (m_rate.StartedSecond() && m_options.m_bFpsAuto && m_pAviWriter)
        m_pAviWriter->SetFrameRate(m_rate.RateBeforeLastSecond());
}

uint8_t CBackupRecorder::LoggedFrameRate() const
{
    if (!m_options.m_bFpsAuto && m_options.m_format == EExportFormat::Avi)
        return m_pBackupLog->m_setting.m_byFrameRate;
    return uint8_t(m_rate.Rate());
}

// Only 24-bit pictures are exported.
bool CBackupRecorder::CropPicture(const CTilePicture& picture)
{
    if (!picture.m_pHeader || !picture.m_pBits || picture.m_pHeader->biBitCount != 24)
        return false;
    const BITMAPINFOHEADER& h = *picture.m_pHeader;
    const QRect crop = CTileRenderer::ExportCropRect(picture);
    const int64_t from = Stride(h.biWidth), to = Stride(crop.width());
    if (crop.isEmpty() || from * h.biHeight > int64_t(h.biSizeImage))
        return false;
    if (m_crop.size() < size_t(to * crop.height()))
        m_crop.resize(size_t(to * crop.height()));
    // Rows are stored bottom-up: the crop's bottom row is the first one copied.
    const uint8_t* source = picture.m_pBits + (h.biHeight - 1 - crop.bottom()) * from + crop.left() * 3;
    for (int r = 0; r < crop.height(); ++r)
        std::memcpy(m_crop.data() + r * to, source + r * from, size_t(crop.width()) * 3);
    m_nCropWidth = crop.width();
    m_nCropHeight = crop.height();
    return true;
}

void CBackupRecorder::ScalePicture(int width, int height)
{
    m_scaler.Scale(m_crop.data(), m_nCropWidth, m_nCropHeight, Stride(m_nCropWidth), m_export.data(), width, height,
                   Stride(width), 3);
}

// The texts' cell starts font height rows above the picture's bottom. Only the rows
// the texts and their outline reach are turned upright, drawn on and put back.
void CBackupRecorder::StampPicture(int channel, const CFrameTime& time, int width, int height)
{
    const int fontHeight = FontHeightFor(width);
    if (fontHeight != m_nStampFontHeight) {
        m_fontStamp = StampFont(fontHeight);
        m_nStampFontHeight = fontHeight;
    }
    const int top = height - fontHeight;
    const int first = std::clamp(top - 1, 0, height - 1);
    const int rows = height - first;
    if (m_stampStrip.width() != width || m_stampStrip.height() != rows)
        m_stampStrip = QImage(width, rows, QImage::Format_BGR888);
    const int64_t stride = Stride(width);
    const auto memoryRow = [&](int y) { return m_export.data() + (height - 1 - (first + y)) * stride; };
    for (int y = 0; y < rows; ++y)
        std::memcpy(m_stampStrip.scanLine(y), memoryRow(y), size_t(width) * 3);

    const QString number = QString::asprintf("%02d", channel + 1);
    const QString date = TimeText(time);
    // The advance of the first character, in whole pixels as the desktop measures it.
    const int advance = QFontMetrics(m_fontStamp).horizontalAdvance(date.front());
    DrawStampText(m_stampStrip, top - first, CHANNEL_TEXT_X, number);
    DrawStampText(m_stampStrip, top - first, width - int(date.size() - 1) * advance, date);

    for (int y = 0; y < rows; ++y)
        std::memcpy(memoryRow(y), m_stampStrip.scanLine(y), size_t(width) * 3);
}

void CBackupRecorder::DrawStampText(QImage& strip, int top, int x, const QString& text)
{
    QPainter painter(&strip);
    painter.setFont(m_fontStamp);
    CTileRenderer::DrawOutlinedText(painter, QPoint(x, top + painter.fontMetrics().ascent()), text);
}

// Bold Arial (Liberation Sans, of the same metrics, on this desktop) whose ascent and
// descent together make the cell height, as a font's height is given on the desktop:
// 18 pixels for a 20-pixel cell, 22 for 25.
QFont CBackupRecorder::StampFont(int fontHeight)
{
    QFont font("Liberation Sans");
    font.setStyleHint(QFont::SansSerif);
    font.setBold(true);
    font.setPixelSize(fontHeight);
    const qreal cell = QFontMetricsF(font).height();
    if (cell > 0)
        font.setPixelSize(std::max(1, qRound(fontHeight * fontHeight / cell)));
    return font;
}

void CBackupRecorder::CutShort(const QString& reason)
{
    std::lock_guard lock(m_mutex);
    if (m_pBackupLog)
        SetFailure(reason);
}

// The first reason is kept: later ones follow from it.
void CBackupRecorder::SetFailure(const QString& reason)
{
    if (m_bFailed)
        return;
    m_strFailure = reason;
    m_bFailed = true;
}

bool CBackupRecorder::StopBackup(const CFrameTime& end)
{
    std::optional<CFinishedExport> done = TakeExport();
    if (!done)
        return true;
    const QString error = done->Complete(end);
    std::lock_guard lock(m_mutex);
    if (done->m_failure)
        SetFailure(*done->m_failure);
    m_strUnsigned = done->UnsignedText();
    m_strUnsignedReason = done->UnsignedReason();
    return error.isEmpty() || SetError(error);
}

std::optional<CFinishedExport> CBackupRecorder::TakeExport()
{
    std::lock_guard lock(m_mutex);
    if (!m_pBackupLog)
        return std::nullopt;
    m_strError.clear();
    m_bExporting = false;
    m_pBackupLog->m_setting.m_byFrameRate = m_byLastRate = LoggedFrameRate();
    CFinishedExport done{std::move(m_pAviWriter), std::move(m_pMp4), m_options, m_timeFirstWritten, m_strAviName,
                         *m_pBackupLog, m_timeLastWritten, m_nFrames, std::nullopt, {}};
    if (m_bFailed)
        done.m_failure = m_strFailure;
    m_pBackupLog.reset();
    m_crop = {};
    m_export = {};
    m_jpeg = {};
    m_stampStrip = QImage();
    m_pMosaic.reset();
    return done;
}

std::optional<BACKUPSETTING> CBackupRecorder::Setting() const
{
    std::lock_guard lock(m_mutex);
    return m_pBackupLog ? std::optional(m_pBackupLog->m_setting) : std::nullopt;
}

QString CBackupRecorder::AviName() const
{
    std::lock_guard lock(m_mutex);
    return m_strAviName;
}

QString CBackupRecorder::ErrorText() const
{
    std::lock_guard lock(m_mutex);
    return m_strError;
}

QString CBackupRecorder::FailureText() const
{
    std::lock_guard lock(m_mutex);
    return LockedFailureText();
}

CBackupRecorder::COutcome CBackupRecorder::Outcome() const
{
    std::lock_guard lock(m_mutex);
    return {m_strAviName, m_nFrames, m_byLastRate, m_options.m_nSoundChannel,
            m_strError, LockedFailureText(), m_strUnsigned, m_strUnsignedReason};
}

QString CBackupRecorder::LockedFailureText() const
{
    if (!m_bFailed)
        return {};
    return CFinishedExport::StoppedText(m_strAviName, m_strFailure, m_nFrames);
}

// The first reason is kept: it is the one the user needs to hear.
bool CBackupRecorder::SetError(const QString& text)
{
    if (m_strError.isEmpty())
        m_strError = text;
    return false;
}
