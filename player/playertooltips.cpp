#include "player/playertooltips.h"

#include "player/controlids.h"
#include "skin/profilefile.h"

namespace {

const char* const TOOL_TIP_KEYS[24] = {
    "TTIP_EXIT", "TTIP_SPEED", "TTIP_SPEEDUP", "TTIP_SPEEDDN", "TTIP_DELAY", "TTIP_DELAYUP",
    "TTIP_DELAYDN", "TTIP_OPEN", "TTIP_BACKUP", "TTIP_EDIT", "TTIP_SETTING", "TTIP_MODE",
    "TTIP_PREV", "TTIP_NEXT", "TTIP_NG_END", "TTIP_NG_FFPLAY", "TTIP_NG_FPLAY", "TTIP_NG_PAUSE",
    "TTIP_NG_BPLAY", "TTIP_NG_RWPLAY", "TTIP_NG_START", "TTIP_CH", "TTIP_NAVIGATION_STATE", "TTIP_NULL",
};
constexpr int TOOL_TIP_MAX = 79;

} // namespace

void CPlayerToolTips::Load(const CProfileFile& profile)
{
    m_bOn = profile.GetInt("INFO", "TOOLTIP_ON", 0) != 0;
    for (size_t i = 0; i < m_strText.size(); ++i)
        m_strText[i] = QString::fromStdString(profile.GetString("TOOL_TIP", TOOL_TIP_KEYS[i], "EMPTY"));
}

QString CPlayerToolTips::TextFor(int id) const
{
    return m_bOn ? m_strText[IndexFor(id)].left(TOOL_TIP_MAX) : QString();
}

QString CPlayerToolTips::ActivityKeys()
{
    return "Activity: N next, Shift+N previous; with one camera enlarged, Shift + left drag draws "
           "a search region and Esc clears it; L lists the stretches (click here too)";
}

// Which of the 24 texts a control shows.
size_t CPlayerToolTips::IndexFor(int id)
{
    switch (id) {
    case ctl::EXIT: return 0;
    case ctl::SPEED_VAL: return 1;
    case ctl::SPEED_UP: return 2;
    case ctl::SPEED_DN: return 3;
    case ctl::DELAY_VAL: return 4;
    case ctl::DELAY_UP: return 5;
    case ctl::DELAY_DN: return 6;
    case ctl::OPEN: return 7;
    case ctl::BACKUP: return 8;
    case ctl::EDIT: return 9;
    case ctl::SETTING: return 10;
    case ctl::MODE1:
    case ctl::MODE4:
    case ctl::MODE9:
    case ctl::MODE16: return 11;
    case ctl::PREV_PAGE: return 12;
    case ctl::NEXT_PAGE: return 13;
    case ctl::END: return 14;
    case ctl::FFPLAY: return 15;
    case ctl::FPLAY: return 16;
    case ctl::PAUSE: return 17;
    case ctl::BPLAY: return 18;
    case ctl::RWPLAY: return 19;
    case ctl::START: return 20;
    default:
        if (id >= ctl::CHANNEL_FIRST && id < ctl::CHANNEL_FIRST + 16)
            return 21;
        if (id >= ctl::LAMP_FIRST && id < ctl::LAMP_FIRST + 7)
            return 22;
        return 23;
    }
}
