#pragma once

#include "export/avireader.h"
#include "tests/support/toolrun.h"

#include <QByteArrayList>
#include <QImage>
#include <QString>

#include <cmath>
#include <vector>

// What two outputs of the same pictures are compared by: the AVI's frame chunks as
// stored, an MP4's packets as ffmpeg copies them out, a still's pixels.

inline QByteArrayList AviFrames(const QString& path)
{
    QByteArrayList frames;
    CAviReader reader;
    std::vector<uint8_t> frame;
    if (!reader.Open(path.toStdString()))
        return frames;
    for (size_t i = 0; i < reader.m_frames.size() && reader.ReadFrame(i, frame); ++i)
        frames << QByteArray(reinterpret_cast<const char*>(frame.data()), qsizetype(frame.size()));
    return frames;
}

// The sums and times of the packets of the streams `map` selects ("0:v", or "0" for all).
inline QByteArrayList Mp4Packets(const QString& path, const QString& map = "0:v")
{
    QByteArrayList packets;
    const CToolRun run = CToolRun::Of("ffmpeg", {"-v", "error", "-i", path, "-map", map, "-c", "copy", "-f",
                                                 "framemd5", "-"});
    for (const QByteArray& line : run.out.split('\n'))
        if (!line.startsWith('#') && !line.isEmpty())
            packets << line;
    return packets;
}

// How alike two pictures of one size are, in dB over their red, green and blue.
inline double Psnr(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int dr = qRed(p) - qRed(q), dg = qGreen(p) - qGreen(q), db = qBlue(p) - qBlue(q);
            sum += dr * dr + dg * dg + db * db;
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}
