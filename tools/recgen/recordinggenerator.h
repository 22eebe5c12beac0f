#pragma once

#include "tools/recgen/recordingrecipe.h"

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

// One record as the generator wrote it, for tests to check the readers against.
struct CGeneratedRecord {
    uint64_t m_nOffset = 0;     // file offset of the header block
    uint8_t m_byKind = 0;
    int m_nChannel = -1;        // -1 for audio-only records
    int m_nPictureIndex = -1;   // index among picture records, -1 for audio-only records
    CDateTime m_time;           // as stamped (invalid for the broken dates)
    uint64_t m_nSector = 0;
    uint64_t m_nPrevSector = 0;
    uint32_t m_nPictureBytes = 0; // the picture area: whole 8,192-byte units
    uint32_t m_nJpegBytes = 0;    // the stream itself
    bool m_bAudioBlock = false;   // an audio block follows (after the picture, if any)
    bool m_bBoxShown = false;     // a moving box of the recipe is in the picture
};

// Writes recordings laid out exactly as the recorder writes them: reserved area,
// pair-swapped header blocks, JPEG pictures padded to 8,192-byte units, bit-reversed
// audio blocks. Pictures are drawn by CScenePainter, which needs a QGuiApplication.
class CRecordingGenerator {
public:
    explicit CRecordingGenerator(CRecordingRecipe recipe) : m_recipe(std::move(recipe)) {}

    // Writes the recording; on failure returns false with the reason in `error`.
    bool Write(const std::string& path, std::string& error);

    const CRecordingRecipe& Recipe() const { return m_recipe; }
    const std::vector<CGeneratedRecord>& Records() const { return m_records; }
    // Records that survived the end-of-file faults (truncation, cut last picture).
    std::vector<CGeneratedRecord> PictureRecords() const;
    uint64_t FileLength() const { return m_nFileLength; }

    // The 132 samples of audio channel `channel` (0..3) in the record at `audioIndex`
    // (the count of audio blocks written before it): a steady tone per channel.
    static void MakeAudioSlice(int channel, uint64_t audioIndex, uint8_t* slice);
    static double ToneFrequency(int channel);

    // A picture as the playback engine hands it over: the JPEG stream of `image`
    // (RGB888) padded with zeros to whole 8,192-byte units. Empty when encoding fails.
    static std::vector<uint8_t> PictureArea(const QImage& image, int quality);

private:
    CRecordingRecipe m_recipe;
    std::vector<CGeneratedRecord> m_records;
    uint64_t m_nFileLength = 0;
};
