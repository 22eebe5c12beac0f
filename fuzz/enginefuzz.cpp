// The playback engine over any bytes behind a recording's reserved area, steered
// through a bounded mix of play states the input chooses, on a clock that never waits.
//
// Input: one byte N (at most MAX_SCRIPT), N script bytes, then the recording's bytes
// from offset 64 KiB on. A script byte holds the current state for (byte >> 4) + 1
// turns of the engine, then sets the state (byte & 15) % 13; a seek takes its
// position from the next script byte. A turn is anything by which the engine shows
// that it is alive: a frame delivered, a pause poll, a lap at the end of the file.

#include "fuzz/memoryfile.h"
#include "playback/currentrecord.h"
#include "playback/iplaybackview.h"
#include "playback/playbackclock.h"
#include "playback/playbackengine.h"
#include "playback/playstate.h"
#include "playback/playsteering.h"
#include "recording/recordingprobe.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

namespace {

constexpr size_t MAX_SCRIPT = 32;
constexpr int TURNS_AFTER_SCRIPT = 40;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

class CQuietProbeView : public IProbeView {
public:
    void ShowProbeMessage(const std::string&) override {}
    void EnableAudioControls(bool) override {}
    void DisableEndButton() override {}
};

// The user at the window and the clock in one: every turn of the engine may bring
// the next command of the script; once it is spent, the run flag goes down.
class CScriptedUser : public IPlaybackView, public IPlaybackClock {
public:
    explicit CScriptedUser(std::span<const uint8_t> script) : m_script(script)
    {
        m_steering.m_bThreadRun = true;
        m_steering.m_pClock = this;
    }

    CPlaySteering m_steering;

    uint8_t OnPlayFrame(bool, int audioMode, uint32_t pictureLength, const uint8_t* audio,
                        const uint8_t* picture) override
    {
        Check(pictureLength <= kvx::MAX_PICTURE_SIZE && pictureLength % kvx::BLOCK_SIZE == 0);
        // Every byte handed over must be the engine's to hand over.
        Touch(picture, pictureLength);
        if (audioMode == kvx::AUDIO_MODE_ONLY || audioMode == kvx::AUDIO_MODE_WITH_PICTURE)
            Touch(audio, kvx::AUDIO_BLOCK_SIZE);
        Turn();
        return 0;
    }
    void SetStartButtons() override {}
    void SetEndButtons() override {}
    void SetSliderPos(int pos) override { Check(pos >= 0 && pos <= SLIDER_MAX + 7); }
    void ShowReadError(const char*) override {}
    void OnEndOfFile() override { Turn(); }

    double Now() override { return m_dNow; }
    void Sleep(int milliseconds) override
    {
        m_dNow += milliseconds / 1000.0;
        if (milliseconds >= 4)
            Turn();
    }
    void WaitUntil(double deadline, const std::atomic<bool>&) override { m_dNow = std::max(m_dNow, deadline); }

private:
    // The sanitizer checks every byte a copy reads, at a fraction of a loop's cost here.
    void Touch(const uint8_t* bytes, size_t size) { std::memcpy(m_copy.data(), bytes, std::min(size, m_copy.size())); }
    void Turn()
    {
        if (m_nHold > 0) {
            --m_nHold;
            return;
        }
        if (m_nNext >= m_script.size()) {
            if (++m_nTurnsAfter > TURNS_AFTER_SCRIPT)
                m_steering.m_bThreadRun = false;
            return;
        }
        const uint8_t command = m_script[m_nNext++];
        m_nHold = command >> 4;
        const uint8_t state = uint8_t((command & 15) % 13);
        if (state == PS_SEEK && m_nNext < m_script.size())
            m_steering.m_nSeekPos = m_script[m_nNext++] * SLIDER_MAX / 255;
        m_steering.m_nSpeedIndex = command % (SPEED_MAX + 1);
        m_steering.m_nStepRecords = command >> 7; // a record, or a whole group
        m_steering.m_nPlayState = state;
    }

    std::span<const uint8_t> m_script;
    size_t m_nNext = 0;
    int m_nHold = 0;
    int m_nTurnsAfter = 0;
    double m_dNow = 1000.0;
    std::vector<uint8_t> m_copy = std::vector<uint8_t>(kvx::MAX_PICTURE_SIZE);
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const size_t scriptSize = std::min<size_t>({data[0], MAX_SCRIPT, size - 1});
    const std::span<const uint8_t> script(data + 1, scriptSize);
    const CMemoryFile file(data + 1 + scriptSize, size - 1 - scriptSize, kvx::RECORD_AREA_OFFSET);

    // As the player does: only a recording the probe accepts is played.
    CRecordingFacts facts;
    CQuietProbeView probeView;
    if (!CRecordingProbe(facts, probeView).ProbeRecording(file.Path()))
        return 0;

    CScriptedUser user(script);
    CCurrentRecord current;
    CPlaySteering& steering = user.m_steering;
    steering.m_nFirstSector = facts.m_nFirstSector;
    steering.m_nTargetOffset = kvx::RECORD_AREA_OFFSET + (scriptSize ? script[0] : 0) * kvx::BLOCK_SIZE;
    steering.m_nChannelCount = facts.m_nChannelCount;
    steering.m_nEndOffset = facts.m_nEndOffset;
    steering.m_strPath = file.Path();
    RunPlaybackEngine(steering, user, current);
    return 0;
}
