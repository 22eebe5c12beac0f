#pragma once

#include "playback/privacymaskset.h"
#include "playback/tilerenderer.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// The frame of a mosaic export: the cameras in the player's grid (2 x 2 up to four,
// 3 x 3 up to nine, else 4 x 4), each tile drawn as the player draws it, with its
// camera's latest picture and stamp.
//
// Threads: one thread at a time (the recorder's lock).
class CMosaicFrame {
public:
    // `cameras` from 0, in grid order; a frame of width x height, black until drawn.
    // `masks`, when given, hide parts of each tile's picture, under its texts.
    CMosaicFrame(std::vector<int> cameras, int width, int height,
                 std::shared_ptr<const CPrivacyMaskSet> masks = nullptr);

    bool Holds(int channel) const;
    bool HasMasks() const { return m_pMasks != nullptr; }
    // Draws the camera's tile anew; `seconds` places its masks (CPrivacyMaskSet::SecondsOf).
    void Draw(int channel, const CTilePicture& picture, const CFrameTime& time, double seconds = 0);
    // The frame as 24-bit rows of `stride` bytes, bottom-up, as the export's buffer.
    void CopyTo(uint8_t* bgr, int64_t stride) const;

    static int GridSide(int cameras);
    // "01, 02, 03, 04".
    static QString CameraList(const std::vector<int>& cameras);

private:
    const std::vector<int> m_cameras;
    const std::shared_ptr<const CPrivacyMaskSet> m_pMasks;
    QImage m_frame;
    CTileRenderer m_renderer;
};
