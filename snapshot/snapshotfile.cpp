#include "snapshot/snapshotfile.h"

#include "platform/nativefilename.h"
#include "platform/outputfolders.h"
#include "playback/dibpicture.h"

#include <QDir>
#include <QFileInfo>

#include <sys/stat.h>
#include <vector>

QString CSnapshotFile::FileName(const CDateTime& t)
{
    if (!t.IsValid())
        return "snapshot.jpg"; // no picture had been shown: there is no time to name it after
    return QString::asprintf("%04d%02d%02d_%02d%02d%02d.jpg", t.GetYear(), t.GetMonth(), t.GetDay(), t.GetHour(),
                             t.GetMinute(), t.GetSecond());
}

// A name that exists in any form, even one we could not read, is taken. Names are
// looked up by their own bytes, which need not be UTF-8.
QString CSnapshotFile::FirstFreePath(const QString& path)
{
    const QFileInfo info(path);
    const QString stem = info.dir().filePath(info.completeBaseName());
    const QString suffix = info.suffix().isEmpty() ? QString() : "." + info.suffix();
    const auto taken = [](const QString& name) {
        struct stat st;
        return ::lstat(CNativeFileName::Encode(name).constData(), &st) == 0;
    };
    QString candidate = path;
    for (int n = 1; taken(candidate); ++n)
        candidate = QString("%1(%2)%3").arg(stem).arg(n).arg(suffix);
    return candidate;
}

bool CSnapshotFile::Save(const QString& folder, const CStillMetadata& still, const QImage& picture, QString& path)
{
    COutputFolders::Ensure(folder);
    path = FirstFreePath(QDir(folder).filePath(FileName(still.m_time)));
    if (picture.isNull())
        return false;
    // The encoder takes rows of exactly 3 x width bytes.
    const QImage bgr = picture.convertToFormat(QImage::Format_BGR888);
    const size_t row = size_t(bgr.width()) * 3;
    std::vector<uint8_t> bits(row * size_t(bgr.height()));
    for (int y = 0; y < bgr.height(); ++y)
        std::copy_n(bgr.constScanLine(y), row, bits.data() + row * size_t(y));
    return CDibPicture::EncodeJpegFile(CNativeFileName::Encode(path).toStdString(), bits.data(), bgr.width(),
                                      bgr.height(), QUALITY,
                                      CStillExif::Segment(still, bgr.width(), bgr.height()));
}
