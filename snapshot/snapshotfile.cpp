#include "snapshot/snapshotfile.h"

#include "platform/nativefilename.h"
#include "platform/outputfile.h"
#include "platform/outputfolders.h"
#include "platform/sha256.h"
#include "platform/usersigner.h"
#include "playback/jpegencoder.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <filesystem>
#include <span>
#include <vector>

namespace {

// How far the series name(1).jpg, name(2).jpg, ... is tried before giving up.
constexpr int MAX_NUMBER = 10000;

// The JPEG of `picture` with the still's EXIF block after its JFIF header, where
// viewers look first; empty when it cannot be encoded.
std::vector<uint8_t> EncodeStill(const CStillMetadata& still, const QImage& picture)
{
    // Mirrored, the rows run bottom-up, each padded to 4 bytes: the layout the
    // encoder takes from memory.
    const QImage bgr = picture.convertToFormat(QImage::Format_BGR888).mirrored();
    // The encoder needs at most 3 bytes for each pixel of the picture padded to whole
    // 16 x 16 blocks, and 2,048 more; the margin holds its JFIF header too.
    const size_t capacity = size_t(bgr.width() + 16) * size_t(bgr.height() + 16) * 3 + 4096;
    std::vector<uint8_t> jpeg(capacity);
    jpeg.resize(CJpegEncoder::EncodeBuffer(jpeg.data(), bgr.constBits(), bgr.width(), bgr.height(), 3, capacity,
                                              CSnapshotFile::QUALITY));
    if (jpeg.empty())
        return {};
    const std::vector<uint8_t> segment = CStillExif::Segment(still, bgr.width(), bgr.height());
    size_t at = 2; // after the start of image
    if (jpeg.size() > 6 && jpeg[2] == 0xFF && jpeg[3] == 0xE0)
        at = std::min(jpeg.size(), 4 + (size_t(jpeg[4]) << 8 | jpeg[5]));
    jpeg.insert(jpeg.begin() + ptrdiff_t(at), segment.begin(), segment.end());
    return jpeg;
}

// `path` itself for 0, else its name followed by "(n)".
QString NumberedPath(const QString& path, int n)
{
    if (n == 0)
        return path;
    const QFileInfo info(path);
    const QString suffix = info.suffix().isEmpty() ? QString() : "." + info.suffix();
    return QString("%1(%2)%3").arg(info.dir().filePath(info.completeBaseName())).arg(n).arg(suffix);
}

bool IsTaken(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

// A name is free when neither the still nor its sums and signature are there.
bool SidecarsTaken(const std::string& still)
{
    return IsTaken(still + ".sha256") || IsTaken(still + ".sha256.sig");
}

// NAME.jpg.sha256 over `jpeg`, then its signature. The still stays whatever becomes
// of them: the outcome says why it is unsigned.
CSigningOutcome WriteSignedSums(const std::string& still, const std::vector<uint8_t>& jpeg)
{
    CSha256 hash;
    hash.Add(jpeg.data(), jpeg.size());
    const std::string sums = Sha256SumLine(hash.HexDigest(), std::filesystem::path(still).filename().string());
    const std::string sumsPath = still + ".sha256";
    std::string error;
    if (COutputFile::WriteNewFile(sumsPath, std::span(reinterpret_cast<const uint8_t*>(sums.data()), sums.size()), error)
        != COutputFile::ECreate::Created) {
        CSigningOutcome outcome;
        outcome.m_strReason = "its checksum " + sumsPath + " could not be written" + (error.empty() ? "" : ": " + error);
        return outcome;
    }
    return CUserSigner().Sign(sumsPath);
}

} // namespace

QString CSnapshotFile::FileName(const CDateTime& t)
{
    if (!t.IsValid())
        return "snapshot.jpg"; // no picture had been shown: there is no time to name it after
    return QString::asprintf("%04d%02d%02d_%02d%02d%02d.jpg", t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(),
                             t.GetMinute(), t.GetSecond());
}

bool CSnapshotFile::Save(const QString& folder, const CStillMetadata& still, const QImage& picture, QString& path,
                         QString& reason, CSigningOutcome& signing)
{
    QString name = FileName(still.m_time);
    if (still.m_bRedacted)
        name.insert(name.lastIndexOf('.'), "_redacted");
    const QString first = QDir(folder).filePath(name);
    path = first;
    if (picture.isNull()) {
        reason = "there is no picture to save";
        return false;
    }
    if (QString why; !COutputFolders::Ensure(folder, why)) {
        reason = "its folder cannot be created: " + why;
        return false;
    }
    const std::vector<uint8_t> jpeg = EncodeStill(still, picture);
    if (jpeg.empty()) {
        reason = "the picture could not be encoded";
        return false;
    }
    for (int n = 0; n < MAX_NUMBER; ++n) {
        path = NumberedPath(first, n);
        const std::string native = CNativeFileName::Encode(path).toStdString();
        if (SidecarsTaken(native))
            continue;
        std::string error;
        switch (COutputFile::WriteNewFile(native, jpeg, error)) {
        case COutputFile::ECreate::Created:
            signing = WriteSignedSums(native, jpeg);
            return true;
        case COutputFile::ECreate::Failed:
            reason = QString::fromLocal8Bit(error);
            return false;
        case COutputFile::ECreate::Exists:
        case COutputFile::ECreate::IsInput:
            break; // taken, by a file or a link: the next name
        }
    }
    path = first;
    reason = QString("every name up to (%1) is taken").arg(MAX_NUMBER - 1);
    return false;
}

bool CSnapshotFile::Save(const QString& folder, const CStillMetadata& still, const QImage& picture, QString& path)
{
    QString reason;
    CSigningOutcome signing;
    return Save(folder, still, picture, path, reason, signing);
}
