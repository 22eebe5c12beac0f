#include "export/exportrequest.h"

#include "evidence/recordedstill.h"
#include "platform/formattext.h"
#include "platform/jsonline.h"
#include "platform/nativefilename.h"

namespace {

using Refusal = CExportRequest::Refusal;

Refusal Refuse(const std::string& what, const std::string& reason)
{
    return CExportRequest::CRefusal{what, reason};
}

bool IsPalSize(const std::string& size)
{
    return size == "352x288" || size == "720x576";
}

// The first picture decides the video standard, as in the player.
bool IsPalRecording(const std::string& recording, const CRecordingFacts& facts)
{
    bool readFailed = false;
    const std::optional<CRecordedStill> still = FindRecordedStill(recording, facts, 0, facts.m_timeStart, readFailed);
    return still && still->m_tile.height() > 480;
}

std::string FileName(const QString& name)
{
    return CNativeFileName::Encode(name).toStdString();
}

} // namespace

Refusal CExportRequest::SetSize(const std::string& size)
{
    if (size != "360x240" && size != "720x480" && !IsPalSize(size))
        return Refuse("--size " + size, "the size is 360x240 or 720x480, or on a PAL recording 352x288 or 720x576");
    m_settings.m_nWidth = std::stoi(size);
    m_settings.m_nHeight = std::stoi(size.substr(size.find('x') + 1));
    m_strSize = size;
    m_bSizeGiven = true;
    return std::nullopt;
}

Refusal CExportRequest::SetFormat(const std::string& format)
{
    if (format != "avi" && format != "mp4")
        return Refuse("--format " + format, "the format is avi or mp4");
    m_settings.m_options.m_format = format == "mp4" ? EExportFormat::Mp4 : EExportFormat::Avi;
    return std::nullopt;
}

void CExportRequest::UseMosaicSize()
{
    if (m_settings.m_bMosaic && !m_bSizeGiven) {
        m_settings.m_nWidth = 720;
        m_settings.m_nHeight = 480;
        m_strSize = "720x480";
    }
}

Refusal CExportRequest::CheckOptions() const
{
    const CRecordingExportSettings& s = m_settings;
    const bool mp4 = s.m_options.m_format == EExportFormat::Mp4;
    if (!m_bAllChannels && s.m_channels.empty())
        return Refuse("--channel", "the camera to export must be given");
    if (!mp4 && m_bCrfGiven)
        return Refuse("--crf " + std::to_string(s.m_options.m_nCrf), "only an MP4 (--format mp4) has a quality");
    if (!mp4 && m_bAudioGiven)
        return Refuse("--audio", "only an MP4 (--format mp4) carries sound");
    if (!mp4 && s.m_bMosaic)
        return Refuse("--mosaic", "only an MP4 (--format mp4) can be a mosaic");
    if (mp4 && m_bFpsGiven)
        return Refuse("--fps", "an MP4 is timed by the recorder's clock, not a rate");
    if (s.m_bMosaic && !m_bAllChannels && s.m_channels.size() < 2)
        return Refuse("--mosaic", "a mosaic needs several cameras (--channel 1,2,3,4 or all)");
    if (s.m_from.IsValid() && s.m_to.IsValid() && DateTimeToOrderKey(s.m_from) > DateTimeToOrderKey(s.m_to))
        return Refuse("--to " + s.m_to.ToIsoString(), "it lies before --from " + s.m_from.ToIsoString());
    return std::nullopt;
}

Refusal CExportRequest::FitRecording(const std::string& recording, const CRecordingFacts& facts)
{
    std::vector<int>& channels = m_settings.m_channels;
    for (int channel = 1; m_bAllChannels && channel <= facts.m_nChannelCount; ++channel)
        channels.push_back(channel);
    const int sound = m_settings.m_options.m_nSoundChannel;
    if (channels.back() > facts.m_nChannelCount)
        return Refuse(recording + ": --channel " + std::to_string(channels.back()),
                      "the recording has cameras 1 to " + std::to_string(facts.m_nChannelCount));
    if (IsPalSize(m_strSize) && !IsPalRecording(recording, facts))
        return Refuse(recording + ": --size " + m_strSize, "the recording is NTSC: 360x240 or 720x480");
    if (sound >= 0 && !(facts.m_bAudio && facts.m_nChannelCount == 4))
        return Refuse(recording + ": --audio " + std::to_string(sound + 1), "the recording has no sound");
    return std::nullopt;
}

std::string CExportRequest::Summary(const CRecordingExport::CExported& exported, bool json) const
{
    return m_settings.m_options.m_format == EExportFormat::Mp4 ? Mp4Summary(exported, json)
                                                               : AviSummary(exported, json);
}

std::string CExportRequest::AviSummary(const CRecordingExport::CExported& e, bool json) const
{
    const CRecordingExportSettings& s = m_settings;
    const std::string avi = FileName(e.m_strAvi);
    const std::string log = FileName(e.m_strLog);
    if (json)
        return CJsonLine().Add("avi", avi).Add("log", log).Add("frames", int(e.m_nFrames)).Add("channel", e.m_nChannel)
                   .Add("fps", e.m_nFps).Add("width", s.m_nWidth).Add("height", s.m_nHeight).Text()
             + "\n";
    return FormatText("%s  %d frames  channel %02d  %d fps  %d x %d\n%s\n", avi.c_str(), int(e.m_nFrames), e.m_nChannel,
                  e.m_nFps, s.m_nWidth, s.m_nHeight, log.c_str());
}

std::string CExportRequest::Mp4Summary(const CRecordingExport::CExported& e, bool json) const
{
    const CRecordingExportSettings& s = m_settings;
    const std::string mp4 = FileName(e.m_strAvi);
    const std::string log = FileName(e.m_strLog);
    const std::string txt = FileName(e.m_strTxt);
    const std::string audio = e.m_nSoundChannel < 0 ? "none" : std::to_string(e.m_nSoundChannel + 1);
    const std::string channel = s.m_bMosaic ? "mosaic" : std::to_string(e.m_nChannel);
    if (json)
        return CJsonLine().Add("mp4", mp4).Add("log", log).Add("txt", txt).Add("frames", int(e.m_nFrames))
                   .Add("channel", channel).Add("crf", s.m_options.m_nCrf).Add("audio", audio)
                   .Add("width", s.m_nWidth).Add("height", s.m_nHeight).Text()
             + "\n";
    return FormatText("%s  %d frames  channel %s  CRF %d  audio %s  %d x %d\n%s\n%s\n", mp4.c_str(), int(e.m_nFrames),
                  channel.c_str(), s.m_options.m_nCrf, audio.c_str(), s.m_nWidth, s.m_nHeight, log.c_str(),
                  txt.c_str());
}
