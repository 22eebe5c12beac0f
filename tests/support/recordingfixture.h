#pragma once

#include "recording/recordingprobe.h"
#include "tools/recgen/recordinggenerator.h"

#include <QString>
#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

// A record's date-time as the tools and the notes write it: "YYYY-MM-DD HH:MM:SS".
inline QString Iso(const CDateTime& t)
{
    return QString::fromStdString(t.ToIsoString());
}

// The byte after a generated record: its header, picture and audio block.
inline uint64_t RecordEnd(const CGeneratedRecord& r)
{
    return r.m_nOffset + 512 + r.m_nPictureBytes + (r.m_bAudioBlock ? 1024 : 0);
}

// Four cameras a quarter second apart, no sound, from 00:00:00 to 00:00:59, then the
// clock set back to 00:00:20 and on to 00:01:19: each second from 00:00:20 to
// 00:00:59 is recorded twice.
CRecordingRecipe ClockSetBackRecipe();

// Generated recordings in a temporary folder that lives as long as the fixture.
class CRecordingFixture {
public:
    CRecordingFixture();

    // Writes the recipe to a new file and returns its path; the generator (with the
    // list of records written) stays available through Last().
    std::string Write(const CRecordingRecipe& recipe);
    const CRecordingGenerator& Last() const { return *m_generators.back(); }

    // A file with exactly these bytes.
    std::string WriteBytes(const std::vector<uint8_t>& bytes);
    std::string PathFor(const char* name) const;
    // A new pipe (FIFO) in the folder.
    std::string MakePipe(const char* name) const;

private:
    QTemporaryDir m_dir;
    int m_nCount = 0;
    std::vector<std::unique_ptr<CRecordingGenerator>> m_generators;
};

// Records what a probe asked of its view.
class CTestProbeView : public IProbeView {
public:
    void ShowProbeMessage(const std::string& text) override { m_messages.push_back(text); }
    void EnableAudioControls(bool enable) override { m_audioSwitches.push_back(enable); }
    void DisableEndButton() override { m_bEndDisabled = true; }

    std::vector<std::string> m_messages;
    std::vector<bool> m_audioSwitches;
    bool m_bEndDisabled = false;
};

// Opening a pipe for reading waits until a writer comes. A test that expects a pipe
// to be refused at once watches it with this: should a reader still wait after a
// few seconds, the watchdog opens the pipe for writing, which ends the wait, and
// the test fails instead of hanging.
class CPipeWatchdog {
public:
    explicit CPipeWatchdog(std::string path);
    ~CPipeWatchdog();
    CPipeWatchdog(const CPipeWatchdog&) = delete;
    CPipeWatchdog& operator=(const CPipeWatchdog&) = delete;

    // Ends the watch; true when a reader had to be released.
    bool Released();

private:
    std::atomic<bool> m_bDone{false};
    std::atomic<bool> m_bReleased{false};
    std::thread m_thread;
};
