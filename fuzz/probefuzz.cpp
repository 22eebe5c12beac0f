// The probe and the go-to search on any bytes behind a recording's reserved area.

#include "fuzz/memoryfile.h"
#include "recording/recordinglocator.h"
#include "recording/recordingprobe.h"

#include <cstdlib>

namespace {

class CQuietProbeView : public IProbeView {
public:
    void ShowProbeMessage(const std::string&) override { ++m_nMessages; }
    void EnableAudioControls(bool) override {}
    void DisableEndButton() override {}
    int m_nMessages = 0;
};

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// A moment on the day the recording starts (or ends), at a time the input's last
// bytes choose.
CDateTime MomentFor(const CRecordingFacts& facts, const uint8_t* data, size_t size)
{
    const CDateTime& day = facts.m_timeStart.IsValid() ? facts.m_timeStart : facts.m_timeEnd;
    if (!day.IsValid() || size < 3)
        return CDateTime(2005, 1, 1, 0, 0, 0);
    return CDateTime(day.GetYear(), day.GetMonth(), day.GetDay(), data[size - 1] % 24, data[size - 2] % 60,
                     data[size - 3] % 60);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const CMemoryFile file(data, size, kvx::RECORD_AREA_OFFSET);
    CRecordingFacts facts;
    CQuietProbeView view;
    const bool opened = CRecordingProbe(facts, view).ProbeRecording(file.Path());
    if (!opened) {
        Check(view.m_nMessages == 1); // refused, and the user is told once
        return 0;
    }
    Check(view.m_nMessages == 0);
    Check(facts.m_nChannelCount == 4 || facts.m_nChannelCount == 16);
    Check(facts.m_nEndOffset < facts.m_nFileLength);

    CRecordingLocator locator(facts);
    if (!locator.Open(file.Path()))
        return 0;
    locator.Locate(MomentFor(facts, data, size));
    if (size)
        locator.RecordNear(kvx::RECORD_AREA_OFFSET + uint64_t(data[0]) * size / 256);
    return 0;
}
