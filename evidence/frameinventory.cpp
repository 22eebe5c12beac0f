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
        CDecodedPicture picture;
        if (!audioOnly)
            picture = decoder.DecodeJpegFrame(f.picture, f.pictureLength, facts.m_nChannelCount);
        ++totals.m_nRecords;
        totals.m_nAudioOnly += audioOnly;
        totals.m_nUndecoded += !audioOnly && !picture.IsDecoded();
        onFrame({f, audioOnly, picture.m_nChannel, !picture.m_bMarkAbsent});
    });
    totals.m_bEndedAtEndOfFile = reader.EndedAtEndOfFile();
    return ok;
}
