#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// What one MP4 working copy holds: its picture size, quality and sound.
struct CMp4Format {
    int m_nWidth = 360, m_nHeight = 240;
    int m_nCrf = 20;             // libx264's constant rate factor, 0..51
    bool m_bAudio = false;       // one mono track of 8,000 samples a second
    std::string m_strTitle;      // "Camera N, <recording file name>"
    std::string m_strCreation;   // the first picture's recorder date-time, ISO 8601
    int m_nFpsHint = 10;         // the pictures a second the encoder plans its rate for
};

// Writes H.264 (libx264, yuv420p, shown at 4:3) and AAC into a fragmented MP4, all
// through FFmpeg's libraries. The file is created exclusively by us and handed to the
// muxer as an open descriptor, so nothing already there is replaced or written
// through. Every keyframe starts a fragment that is written out at once, so a copy
// cut off by a crash or kill -9 plays up to its last fragment.
//
// Times are in milliseconds for the pictures and in samples for the sound; the caller
// keeps each increasing. A write that fails (disk full) ends the file with what the
// muxer had written; ErrorText() names the reason as FFmpeg gives it.
//
// Threads: one thread at a time; the caller serialises.
class CMp4Writer {
public:
    CMp4Writer();
    ~CMp4Writer(); // closes an open file
    CMp4Writer(const CMp4Writer&) = delete;
    CMp4Writer& operator=(const CMp4Writer&) = delete;

    // Creates `path` exclusively. False with ErrorText() on failure; nothing is then
    // left behind.
    bool Open(const std::string& path, const CMp4Format& format);
    // One picture: 24-bit BGR rows of `stride` bytes, bottom-up as the export's buffer
    // holds them, shown from `ms` on.
    bool WritePicture(const uint8_t* bgr, int64_t stride, int64_t ms);
    // 8-bit unsigned mono samples at 8,000 a second, following those written before.
    bool WriteSound(const uint8_t* samples, size_t count);
    // Samples written so far (the next sample's time).
    int64_t SoundSamples() const;
    // Drains the encoders and ends the file. False when that fails.
    bool Close();

    bool IsOpen() const;
    const std::string& ErrorText() const;

    static constexpr int SOUND_RATE = 8000;
    static constexpr const char* PRESET = "veryfast";
    // FFmpeg's version as the libraries loaded say it, for the About box.
    static std::string LibraryVersion();

private:
    struct CState;
    bool OpenStreams(const CMp4Format& format);
    bool WriteHeader(const CMp4Format& format);
    bool SendSound(size_t count);
    bool Encode(struct AVCodecContext& codec, struct AVStream& stream, const struct AVFrame* frame);
    bool Fail(const std::string& reason);

    std::unique_ptr<CState> m_pState; // while a file is open
    std::string m_strError;
};
