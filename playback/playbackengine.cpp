#include "playback/playbackengine.h"

#include "playback/currentrecord.h"
#include "playback/iplaybackview.h"
#include "playback/playstate.h"
#include "playback/seekposition.h"
#include "playback/steadyplaybackclock.h"
#include "recording/recordheader.h"

#include <algorithm>
#include <cstring>
#include <memory>

using namespace kvx;

namespace {

constexpr const char* READ_ERROR_TEXT = "Can not read KVX file. ";
constexpr int PAUSE_POLL_MS = 4;
constexpr int FRAME_SLEEP_MS = 1;
constexpr size_t MAX_PICTURE_BLOCKS = MAX_PICTURE_SIZE / BLOCK_SIZE;

IPlaybackClock& ClockOf(const CPlaySteering& steering)
{
    static CSteadyPlaybackClock steady;
    return steering.m_pClock ? *steering.m_pClock : steady;
}

uint64_t AlignToBlock(uint64_t position)
{
    return position / BLOCK_SIZE * BLOCK_SIZE;
}

} // namespace

CPlaybackEngine::CPlaybackEngine(CPlaySteering& steering, IPlaybackView& view, CCurrentRecord& current)
    : m_steering(steering), m_view(view), m_clock(ClockOf(steering)), m_current(current),
      m_layout(LayoutForChannelCount(steering.m_nChannelCount))
{
}

bool CPlaybackEngine::Open()
{
    if (!m_file.Open(m_steering.m_strPath))
        return false;
    TakeLength();
    m_bWide = m_nLength > UINT32_MAX;
    return m_file.Seek(RECORD_AREA_OFFSET);
}

void CPlaybackEngine::TakeLength()
{
    m_nLength = m_file.Length();
}

// A short read is the end of the file wherever the file ends now: a recording that
// shrinks while it plays (a disc ejected, a copy rewritten) ends there, and the
// engine moves on as at any end instead of reading nothing at the same place forever.
int64_t CPlaybackEngine::ReadPadded(uint8_t* buffer, size_t size)
{
    const int64_t got = m_file.ReadPadded(buffer, size);
    if (got >= 0 && size_t(got) < size)
        TakeLength();
    return got;
}

void CPlaybackEngine::Run()
{
    if (!Open()) {
        ReadErrorExit();
        return;
    }
    StorePlayState(PS_START);
    while (m_steering.m_bThreadRun.load()) {
        const uint8_t state = ReadPlayState();
        if (state == PS_PAUSE) {
            m_clock.Sleep(PAUSE_POLL_MS);
            continue;
        }
        if (state == PS_LOCATE || state == PS_STEP_FORWARD || state == PS_STEP_BACKWARD) {
            Jump(state);
            continue;
        }
        if (m_nPos >= m_nLength && m_bJumpShow) {
            if (EndShow()) // stepped past the last record: nothing more to show
                m_view.SetEndButtons();
            continue;
        }
        if (m_nPos >= m_nLength) {
            AtEndOfFile(state);
            continue;
        }
        const EStep step = m_bInRecord ? ReadRecordPart() : SearchHeader();
        if (step == EStep::ReadError) {
            ReadErrorExit();
            return;
        }
        if (step == EStep::Delivered)
            FinishFrame();
    }
}

// A recording without a record that can be shown after the position cycles here. One
// lap per state is enough to show that: a second one in the same state would read the
// same bytes again, lap after lap, holding a core and the disc for nothing, so the
// engine waits for the user to choose another state instead.
void CPlaybackEngine::AtEndOfFile(uint8_t state)
{
    if (!m_bDeliveredSinceEnd && state == m_byEndState) {
        while (m_steering.m_bThreadRun.load() && m_steering.m_nPlayState.load() == state)
            m_clock.Sleep(PAUSE_POLL_MS);
        m_byEndState = NO_END_STATE;
        return;
    }
    m_bDeliveredSinceEnd = false;
    m_byEndState = state;
    m_view.OnEndOfFile();
    m_nPos = WrapPosition(state);
    m_file.Seek(m_nPos);
    m_clock.Sleep(PAUSE_POLL_MS);
}

// Reading on from the end: from the start for the go-to-start state, else 64 KiB
// before the end, on the block grid even when the file was cut off mid-block.
uint64_t CPlaybackEngine::WrapPosition(uint8_t state) const
{
    if (state == PS_START || m_nLength < 2 * RECORD_AREA_OFFSET)
        return RECORD_AREA_OFFSET;
    return AlignToBlock(m_nLength - RECORD_AREA_OFFSET);
}

CPlaybackEngine::EStep CPlaybackEngine::SearchHeader()
{
    SkipBlocksWithoutHeader();
    const int64_t got = ReadPadded(m_header.data(), BLOCK_SIZE);
    if (got < 0)
        return EStep::ReadError;
    SwapBytePairs(m_header.data(), BLOCK_SIZE);
    m_nPos += uint64_t(got);
    m_nHeaderPos = m_nPos - BLOCK_SIZE;
    if (!m_layout)
        return EStep::Continue;
    const CRecordHeader header = CRecordHeader::Parse(m_header.data(), *m_layout);
    m_current.m_header = header;
    m_current.m_nHeaderOffset = m_nHeaderPos;
    m_byGroupLength = header.m_byGroupLength;
    if (header.IsCandidate()) {
        m_bInRecord = true;
        m_nBlockCount = 0;
        m_nAudioMode = NextAudioMode(m_nAudioMode, header);
        if (!header.IsDateValid())
            m_bInRecord = false; // a header-like block with a broken date is ordinary data
    }
    return EStep::Continue;
}

// A damaged disc's image can hold gigabytes of blocks without a header (a copy
// that filled unreadable areas with zeros). Those that what was read ahead shows to
// be no candidate are passed over at once, as long as another block follows them
// there: that block is read and parsed as usual, which leaves the current-record
// values just as parsing every block of the run would have.
void CPlaybackEngine::SkipBlocksWithoutHeader()
{
    const std::span<const uint8_t> ahead = m_file.Ahead();
    const uint64_t before = m_nLength > m_nPos ? m_nLength - m_nPos : 0;
    const size_t usable = size_t(std::min<uint64_t>(ahead.size(), before));
    size_t skip = 0;
    while (skip + 2 * BLOCK_SIZE <= usable && !IsStoredCandidate(ahead.data() + skip))
        skip += BLOCK_SIZE;
    if (skip == 0)
        return;
    m_nPos += skip;
    m_file.Seek(m_nPos);
}

// One picture unit, or the audio block of an audio-only record. Delivered once the
// picture's end-of-image marker has turned up.
CPlaybackEngine::EStep CPlaybackEngine::ReadRecordPart()
{
    const bool audioOnly = m_nAudioMode == AUDIO_MODE_ONLY;
    uint8_t* unit = nullptr;
    if (audioOnly) {
        if (ReadPadded(m_audio.data(), AUDIO_BLOCK_SIZE) < 0)
            return EStep::ReadError;
    } else {
        unit = m_picture.data() + m_nBlockCount * BLOCK_SIZE;
        const int64_t got = ReadPadded(unit, PICTURE_UNIT_SIZE);
        if (got < 0)
            return EStep::ReadError;
        m_nBlockCount += PICTURE_UNIT_BLOCKS;
        SwapBytePairs(unit, PICTURE_UNIT_SIZE);
        m_nPos += uint64_t(got);
    }
    if (m_nBlockCount > MAX_PICTURE_BLOCKS) {
        LeaveRecord(); // 9 units: not a picture of ours; search on behind it
        return EStep::Continue;
    }
    if (!audioOnly && !FindEndOfPicture(unit))
        return EStep::Continue;
    if (m_nAudioMode == AUDIO_MODE_WITH_PICTURE && ReadPadded(m_audio.data(), AUDIO_BLOCK_SIZE) < 0)
        return EStep::ReadError;
    if (m_nAudioMode == AUDIO_MODE_ONLY || m_nAudioMode == AUDIO_MODE_WITH_PICTURE) {
        m_nPos += AUDIO_BLOCK_SIZE;
        SwapBytePairs(m_audio.data(), AUDIO_BLOCK_SIZE);
        ReverseBitOrder(m_audio.data(), AUDIO_BLOCK_SIZE);
    }
    const uint8_t channel = m_view.OnPlayFrame(m_bFirstFrame, m_nAudioMode, uint32_t(m_nBlockCount * BLOCK_SIZE),
                                               m_audio.data(), m_picture.data());
    m_byDeliveredChannel = audioOnly ? 0xFF : channel;
    m_bFirstFrame = false;
    m_bDeliveredSinceEnd = true;
    m_bShown = true;
    m_nShownHeader = m_nHeaderPos;
    m_nShownEnd = m_nPos;
    m_shownHeader = m_current.m_header;
    return EStep::Delivered;
}

// The first 0xD9 right after a 0xFF ends the picture.
bool CPlaybackEngine::FindEndOfPicture(const uint8_t* unit)
{
    const uint8_t* begin = unit;
    const uint8_t* end = begin + PICTURE_UNIT_SIZE;
    for (const uint8_t* p = begin; p < end;) {
        const auto* hit = static_cast<const uint8_t*>(std::memchr(p, 0xD9, size_t(end - p)));
        if (!hit)
            break;
        const uint8_t before = hit == begin ? m_byPrevByte : hit[-1];
        if (before == 0xFF) {
            m_byPrevByte = 0xD9;
            return true;
        }
        p = hit + 1;
    }
    m_byPrevByte = end[-1];
    return false;
}

void CPlaybackEngine::FinishFrame()
{
    if (!ActOnState() && m_nPos > m_nLength) {
        m_nPos = m_nLength;
        if (ChangePlayState(PS_PAUSE))
            m_view.SetEndButtons();
    }
    const bool passing = PassesToChannel();
    if (!passing)
        m_clock.Sleep(FRAME_SLEEP_MS);
    m_view.SetSliderPos(SliderValue());
    m_file.Seek(m_nPos);
    if (!passing)
        Pace();
    LeaveRecord();
}

bool CPlaybackEngine::ActOnState()
{
    const uint8_t state = ReadPlayState();
    if (state != PS_SHOW_FORWARD && state != PS_SHOW_BACKWARD)
        m_bJumpShow = false; // the user took over from a jump's show
    switch (state) {
    case PS_FPLAY:
        if (m_steering.m_nEndOffset > m_nPos)
            return false;
        m_nPos = m_nLength;
        if (ChangePlayState(PS_PAUSE))
            m_view.SetEndButtons();
        return true;
    case PS_BPLAY:
        if (m_steering.m_nFirstSector.load() < m_current.m_header.m_nSector) {
            BackStep();
            m_file.Seek(m_nPos);
        } else {
            m_nPos = RECORD_AREA_OFFSET;
            if (ChangePlayState(PS_PAUSE))
                m_view.SetStartButtons();
        }
        return false;
    case PS_FFPLAY:
    case PS_RWPLAY:
        if (!GroupStepEnds())
            return false;
        if (state == PS_FFPLAY) {
            m_nPos = Offset(m_nHeaderPos, SpeedStep());
            return false;
        }
        m_nPos = Offset(m_nHeaderPos, -int64_t(SpeedStep()));
        if (m_nPos <= m_nLength)
            return true;
        m_nPos = RECORD_AREA_OFFSET; // jumped back past the start
        if (ChangePlayState(PS_PAUSE))
            m_view.SetStartButtons();
        return false;
    case PS_START:
        m_view.OnJump();
        ChangePlayState(PS_SHOW_FORWARD);
        m_current.m_nGroupCounter = 0;
        m_nPos = RECORD_AREA_OFFSET;
        return false;
    case PS_END:
        m_view.OnJump();
        m_nPos = m_steering.m_nEndOffset;
        ChangePlayState(PS_SHOW_BACKWARD);
        m_current.m_nGroupCounter = 0;
        return false;
    case PS_SHOW_BACKWARD:
        if (m_bJumpShow && m_steering.m_nFirstSector.load() >= m_current.m_header.m_nSector) {
            if (EndShow()) // stepped back to the first record
                m_view.SetStartButtons();
            return false;
        }
        BackStep();
        [[fallthrough]];
    case PS_SHOW_FORWARD:
        if (ShowEnds())
            EndShow();
        return false;
    case PS_SEEK:
        m_view.OnJump();
        m_nPos = SeekTarget();
        ChangePlayState(PS_SHOW_BACKWARD);
        m_current.m_nGroupCounter = 0;
        return false;
    default: // paused while the frame was read: it is shown, nothing moves
        return false;
    }
}

// Go to a header, or step from the record shown last: the show states then show what
// lies there, one record or one group, and pause.
void CPlaybackEngine::Jump(uint8_t state)
{
    LeaveRecord();
    m_current.m_nGroupCounter = 0;
    m_nShowRecords = std::max(0, m_steering.m_nStepRecords.load());
    m_nStepChannel = m_steering.m_nStepChannel.load();
    if (state == PS_LOCATE) {
        m_view.OnJump();
        m_nShowRecords = 0;
        m_nStepChannel = -1;
        m_nPos = TargetOffset();
    } else if (state == PS_STEP_FORWARD) {
        m_nPos = m_bShown ? m_nShownEnd : m_nPos;
    } else if (!m_bShown || m_steering.m_nFirstSector.load() >= m_shownHeader.m_nSector) {
        if (ChangePlayState(PS_PAUSE)) // nothing before the first record
            m_view.SetStartButtons();
        return;
    } else {
        m_nPos = Offset(m_nShownHeader, int64_t(BLOCK_SIZE * (m_shownHeader.m_nPrevSector - m_shownHeader.m_nSector)));
    }
    m_bJumpShow = true;
    m_file.Seek(m_nPos);
    ChangePlayState(state == PS_STEP_BACKWARD ? PS_SHOW_BACKWARD : PS_SHOW_FORWARD);
}

bool CPlaybackEngine::ShowEnds()
{
    if (m_bJumpShow && m_nStepChannel >= 0)
        return m_byDeliveredChannel == m_nStepChannel;
    if (!m_bJumpShow || m_nShowRecords == 0)
        return GroupStepEnds();
    return --m_nShowRecords == 0;
}

// A step to one camera's next picture reads past the other cameras' records without
// waiting out their frame periods: only the picture it stops at is the user's to see.
bool CPlaybackEngine::PassesToChannel() const
{
    return m_bJumpShow && m_nStepChannel >= 0;
}

bool CPlaybackEngine::EndShow()
{
    m_bJumpShow = false;
    return ChangePlayState(PS_PAUSE);
}

// A group is the records of one moment (one per channel): fast play and the show
// states act once a whole group has been shown. A group length of 0 acts on every record.
bool CPlaybackEngine::GroupStepEnds()
{
    int& counter = m_current.m_nGroupCounter;
    counter = m_byGroupLength ? (counter + 1) % m_byGroupLength : 0;
    return counter == 0;
}

// To the header of the previous record, by the difference of the sector numbers.
void CPlaybackEngine::BackStep()
{
    m_nPos = Offset(m_nHeaderPos, int64_t(BLOCK_SIZE * (m_current.m_header.m_nPrevSector - m_current.m_header.m_nSector)));
}

// Jumps wrap at 2^32 as the recorder's positions do; recordings of 4 GiB and more
// keep 64-bit positions.
uint64_t CPlaybackEngine::Offset(uint64_t base, int64_t delta) const
{
    const uint64_t position = base + uint64_t(delta);
    return m_bWide ? position : uint32_t(position);
}

int CPlaybackEngine::SpeedStep() const
{
    const int index = std::clamp(m_steering.m_nSpeedIndex.load(), SPEED_MIN, SPEED_MAX);
    return (m_steering.m_nChannelCount == 4 ? SPEED_STEPS_4CH : SPEED_STEPS_16CH)[index] * 1024;
}

uint64_t CPlaybackEngine::SeekTarget() const
{
    return SliderSeekOffset(m_steering.m_nSeekPos.load(), m_nLength);
}

// A header's offset, as the window found it; anything else is taken to the block grid
// inside the file.
uint64_t CPlaybackEngine::TargetOffset() const
{
    const uint64_t target = m_steering.m_nTargetOffset.load();
    return std::clamp(AlignToBlock(target), RECORD_AREA_OFFSET, std::max(m_nLength, RECORD_AREA_OFFSET));
}

int CPlaybackEngine::SliderValue() const
{
    return SliderPosition(m_nPos, m_nLength);
}

// Each frame cycle (reading, decoding, drawing and this wait) lasts one frame period.
// The next period starts at the deadline just waited for, not at the moment the wait
// ended, so the system's wake-up latency does not add up frame after frame. A cycle
// that overran its period, or that follows a pause, starts its period afresh.
void CPlaybackEngine::Pace()
{
    const int delay = std::clamp(m_steering.m_nDelayIndex.load(), DELAY_MIN, DELAY_MAX);
    const double period = FRAME_PERIOD_UNIT * DELAY_FACTORS[delay];
    if (m_bPacingArmed) {
        const double deadline = m_dPeriodStart + period;
        m_clock.WaitUntil(deadline, m_steering.m_bThreadRun);
        const double now = m_clock.Now();
        m_dPeriodStart = now - deadline < period ? deadline : now;
    } else {
        m_dPeriodStart = m_clock.Now();
    }
    m_bPacingArmed = true;
}

void CPlaybackEngine::ReadErrorExit()
{
    m_view.ShowReadError(READ_ERROR_TEXT);
    StorePlayState(PS_PAUSE);
    m_file.Close();
}

void CPlaybackEngine::LeaveRecord()
{
    m_bInRecord = false;
    m_nBlockCount = 0;
}

uint8_t CPlaybackEngine::ReadPlayState()
{
    m_byActedState = m_steering.m_nPlayState.load();
    return m_byActedState;
}

// The engine moves on from the state it read last (a show pauses, a jump turns into
// its show) only if the window has not stored a command since: that command is the
// user's newer wish, and the next lap acts on it instead.
bool CPlaybackEngine::ChangePlayState(uint8_t state)
{
    if (!m_steering.m_nPlayState.compare_exchange_strong(m_byActedState, state))
        return false;
    m_byActedState = state;
    m_view.OnPlayStateSet(state);
    return true;
}

void CPlaybackEngine::StorePlayState(uint8_t state)
{
    m_steering.m_nPlayState = state;
    m_byActedState = state;
    m_view.OnPlayStateSet(state);
}

void RunPlaybackEngine(CPlaySteering& steering, IPlaybackView& view, CCurrentRecord& current)
{
    // Large buffers: the engine lives on the heap, not on the thread's stack.
    std::make_unique<CPlaybackEngine>(steering, view, current)->Run();
}
