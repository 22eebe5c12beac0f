#include "tools/skingen/tooltiptexts.h"

// Each names the keyboard shortcut where the player has one. TTIP_NULL belongs to the
// controls that need none, so it is empty and shows nothing.
const std::array<CToolTip, 24> TOOL_TIPS = {{
    {"TTIP_EXIT", "Exit KVXPlayer (Ctrl+Q)"},
    {"TTIP_SPEED", "Fast play step: how far fast forward and fast backward jump"},
    {"TTIP_SPEEDUP", "Faster fast forward and fast backward (+)"},
    {"TTIP_SPEEDDN", "Slower fast forward and fast backward (-)"},
    {"TTIP_DELAY", "Play rate: 1 is real time, 1/2 to 1/128 slow motion"},
    {"TTIP_DELAYUP", "Slower: more delay between pictures (])"},
    {"TTIP_DELAYDN", "Faster: less delay between pictures ([)"},
    {"TTIP_OPEN", "Open a recording (Ctrl+O)"},
    {"TTIP_BACKUP", "Export one camera to an AVI file with date and time burnt in"},
    {"TTIP_EDIT", "Snapshot: brighten, sharpen, save or print the enlarged picture"},
    {"TTIP_SETTING", "Settings"},
    {"TTIP_MODE", "Show 1, 4, 9 or 16 cameras (keys 1, 4, 9, 0)"},
    {"TTIP_PREV", "Previous page of cameras (Page Up)"},
    {"TTIP_NEXT", "Next page of cameras (Page Down)"},
    {"TTIP_NG_END", "Go to the end of the recording (End)"},
    {"TTIP_NG_FFPLAY", "Fast forward (Shift+Right)"},
    {"TTIP_NG_FPLAY", "Play forward (Right; Space resumes after a pause)"},
    {"TTIP_NG_PAUSE", "Pause (Space). Paused: . and , step one picture, Shift+. and Shift+, one moment"},
    {"TTIP_NG_BPLAY", "Play backward (Left)"},
    {"TTIP_NG_RWPLAY", "Fast backward (Shift+Left)"},
    {"TTIP_NG_START", "Go to the start of the recording (Home)"},
    {"TTIP_CH", "Enlarge this camera; on the picture: wheel zooms, double-click goes back"},
    {"TTIP_NAVIGATION_STATE", "Play state: the lit lamp shows what playback is doing"},
    {"TTIP_NULL", ""},
}};
