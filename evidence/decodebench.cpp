#include "evidence/decodebench.h"

#include "evidence/forwardreader.h"
#include "platform/outputfile.h"
#include "playback/dibpicture.h"
#include "recording/recordformat.h"

namespace {

// The repaired stream up to its first end-of-image marker: what a plain decoder gets.
bool AppendStream(COutputFile& out, CDibPicture& repairer, const uint8_t* picture, size_t length)
{
    const uint8_t* jpeg = repairer.RepairJpeg(picture, length);
    if (!jpeg)
        return true;
    for (size_t i = 1; i < length; ++i)
        if (jpeg[i - 1] == 0xFF && jpeg[i] == 0xD9)
            return out.Write(jpeg, i + 1);
    return true;
}

} // namespace

bool RunDecodeBench(const std::string& path, const CRecordingFacts& facts, COutputFile* dump,
                    CDecodeBenchResult& result)
{
    CDibPicture decoder, repairer;
    result = {};
    CForwardReader reader;
    return reader.Run(path, facts, [&](const CForwardReader::CFrame& f) {
        if (f.audioMode == kvx::AUDIO_MODE_ONLY)
            return;
        ++result.m_nPictures;
        const CDecodedPicture decoded = decoder.DecodeJpegFrame(f.picture, f.pictureLength, facts.m_nChannelCount);
        if (!decoded.IsDecoded())
            ++result.m_nFailed;
        else
            result.m_dPixels += double(decoded.m_header.biWidth) * decoded.m_header.biHeight;
        if (dump && result.m_bDumpWritten)
            result.m_bDumpWritten = AppendStream(*dump, repairer, f.picture, f.pictureLength);
    });
}
