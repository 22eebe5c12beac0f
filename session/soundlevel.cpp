#include "session/soundlevel.h"

#include "playback/playstate.h"
#include "skin/profilefile.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

namespace {
const char* const SECTION = "INFO";
const char* const LEVEL_KEY = "Volume";
const char* const MUTE_KEY = "Mute";

// A value that starts with a digit, as this program writes them; nothing otherwise.
std::optional<int> ReadNumber(const CProfileFile& options, const char* key)
{
    const std::string text = options.GetString(SECTION, key, "");
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text.front())))
        return std::nullopt;
    return LeadingInteger(text);
}

} // namespace

void CSoundLevel::Step(int steps)
{
    m_nPercent = std::clamp(m_nPercent + steps * STEP, 0, MAX);
    m_bMuted = false;
}

void CSoundLevel::Read(const CProfileFile& options)
{
    if (const std::optional<int> percent = ReadNumber(options, LEVEL_KEY))
        m_nPercent = (std::min(*percent, MAX) + STEP / 2) / STEP * STEP;
    if (const std::optional<int> muted = ReadNumber(options, MUTE_KEY))
        m_bMuted = *muted != 0;
}

bool CSoundLevel::Write(const CProfileFile& options) const
{
    return options.WriteString(SECTION, LEVEL_KEY, std::to_string(m_nPercent))
        && options.WriteString(SECTION, MUTE_KEY, std::to_string(int(m_bMuted)));
}

bool SoundReachesSpeakers(const CSoundRoute& route, const CSoundLevel& level)
{
    return route.m_bRecordingHasSound && !route.m_bExportOpen && route.m_nPlayState == PS_FPLAY
        && (route.m_byAudioMask & route.m_byOpenOutputs & 0x0F) != 0 && level.IsAudible();
}
