#pragma once

#include "platform/readonlyfile.h"
#include "playback/playsteering.h"
#include "recording/recordformat.h"
#include "recording/recordheader.h"

#include <array>
#include <cstdint>
#include <optional>

class IPlaybackClock;
class IPlaybackView;
struct CCurrentRecord;

// The playback thread's loop: read the recording record by record, hand each record
// to the view, then move the read position as the play state says and wait out the
// frame period.
//
// Everything here belongs to the playback thread. It reads the steering (atomics
// the window thread writes), stores the play state there when it pauses or turns a
// jump into its show (unless the window stored a command first), and writes the
// current-record values, which only the playback thread touches.
class CPlaybackEngine {
public:
    CPlaybackEngine(CPlaySteering& steering, IPlaybackView& view, CCurrentRecord& current);

    // Runs until the run flag is cleared or a read fails.
    void Run();

private:
    enum class EStep { ReadError, Continue, Delivered };

    bool Open();
    void TakeLength();
    int64_t ReadPadded(uint8_t* buffer, size_t size);
    EStep SearchHeader();
    void SkipBlocksWithoutHeader();
    EStep ReadRecordPart();
    bool FindEndOfPicture(const uint8_t* unit);
    void FinishFrame();
    bool ActOnState(); // true when the past-the-end check is to be skipped
    void Jump(uint8_t state);
    bool ShowEnds();
    bool PassesToChannel() const;
    bool EndShow(); // false when a command of the window's came first
    bool GroupStepEnds();
    void BackStep();
    uint64_t Offset(uint64_t base, int64_t delta) const;
    void AtEndOfFile(uint8_t state);
    uint64_t WrapPosition(uint8_t state) const;
    uint64_t SeekTarget() const;
    uint64_t TargetOffset() const;
    int SliderValue() const;
    int SpeedStep() const;
    void Pace();
    void ReadErrorExit();
    void LeaveRecord();
    uint8_t ReadPlayState();
    // Both store the state in the steering and tell the view; the first only if the
    // steering still holds the state read last, and says whether it did.
    bool ChangePlayState(uint8_t state);
    void StorePlayState(uint8_t state);

    CPlaySteering& m_steering;
    IPlaybackView& m_view;
    IPlaybackClock& m_clock;
    CCurrentRecord& m_current;
    std::optional<kvx::EHeaderLayout> m_layout;

    CReadOnlyFile m_file;
    uint64_t m_nLength = 0;
    bool m_bWide = false;          // 4 GiB and more: positions are not wrapped at 2^32
    uint64_t m_nPos = kvx::RECORD_AREA_OFFSET; // where the next read starts
    uint64_t m_nHeaderPos = 0;     // the last header block read

    std::array<uint8_t, kvx::BLOCK_SIZE> m_header{};
    // The picture's units are read into place, with no copy; a ninth, which makes the
    // record no picture of ours, lands in the spare unit behind them.
    std::array<uint8_t, kvx::MAX_PICTURE_SIZE + kvx::PICTURE_UNIT_SIZE> m_picture{};
    std::array<uint8_t, kvx::AUDIO_BLOCK_SIZE> m_audio{};
    size_t m_nBlockCount = 0;      // 512-byte blocks of the picture read so far
    bool m_bInRecord = false;
    uint8_t m_byPrevByte = 0;      // carries over from unit to unit and record to record
    int m_nAudioMode = kvx::AUDIO_MODE_NONE;
    bool m_bFirstFrame = true;
    uint8_t m_byGroupLength = 0;
    // The record delivered last, where frame steps start from.
    bool m_bShown = false;
    uint64_t m_nShownHeader = 0;
    uint64_t m_nShownEnd = 0;      // the position right after its data
    CRecordHeader m_shownHeader;
    // A jump's show (go to a header, frame steps): it pauses at the ends of the file
    // instead of reading on from elsewhere, and shows m_nShowRecords records, or a group when 0.
    bool m_bJumpShow = false;
    int m_nShowRecords = 0;
    int m_nStepChannel = -1;        // a step's show ends at this channel's picture; -1: by m_nShowRecords
    uint8_t m_byDeliveredChannel = 0xFF; // the channel of the picture delivered last, 0xFF for none
    // The state of the last lap that ended at the end of the file, and whether a record
    // was shown since: a lap that showed none is not run again in the same state.
    static constexpr uint8_t NO_END_STATE = 0xFF;
    uint8_t m_byEndState = NO_END_STATE;
    bool m_bDeliveredSinceEnd = false;
    uint8_t m_byActedState = PS_PAUSE; // the play state read last, or stored since
    bool m_bPacingArmed = false;
    double m_dPeriodStart = 0;     // when the current frame period began
};

// Runs one engine on the calling thread until it ends.
void RunPlaybackEngine(CPlaySteering& steering, IPlaybackView& view, CCurrentRecord& current);
