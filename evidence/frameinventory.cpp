#include "evidence/frameinventory.h"

#include "playback/dibpicture.h"
#include "recording/recordformat.h"

bool TakeFrameInventory(const std::string& path, const CRecordingFacts& facts,
                        const std::function<void(const CInventoriedFrame&)>& onFrame, CFrameTotals& totals)
{
    CDibPicture decoder;
    CForwardReader reader;
    totals = {};
    const bool ok = reader.Run(path, facts, [&](const CForwardReader::CFrame& f) {
        const bool audioOnly = f.audioMode == kvx::AUDIO_MODE_ONLY;
        const uint8_t channel = audioOnly ? 0 : decoder.DecodeJpegFrame(f.picture, f.pictureLength, facts.m_nChannelCount);
        ++totals.m_nRecords;
        totals.m_nAudioOnly += audioOnly;
        totals.m_nUndecoded += !audioOnly && channel == CDibPicture::NO_CHANNEL;
        onFrame({f, audioOnly, channel, !decoder.m_bMarkAbsent});
    });
    totals.m_bEndedAtEndOfFile = reader.EndedAtEndOfFile();
    return ok;
}
