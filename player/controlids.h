#pragma once

// Control IDs of the player window. Commands are dispatched by them.
namespace ctl {
inline constexpr int MODE1 = 1003, MODE4 = 1004, MODE9 = 1005, MODE16 = 1006;
inline constexpr int BACKUP = 1007, SETTING = 1008, EDIT = 1009;
inline constexpr int END = 1011, FFPLAY = 1012, FPLAY = 1013, PAUSE = 1014, BPLAY = 1015, RWPLAY = 1016,
                     START = 1017;
inline constexpr int DELAY_VAL = 1022, SPEED_VAL = 1023, PAGE_VAL = 1024;
inline constexpr int EXIT = 1027, OPEN = 1028;
inline constexpr int PREV_PAGE = 1030, NEXT_PAGE = 1031;
inline constexpr int DELAY_DN = 1035, DELAY_UP = 1037, SPEED_DN = 1039, SPEED_UP = 1041;
inline constexpr int AUDIO1 = 1036, AUDIO2 = 1042, AUDIO3 = 1066, AUDIO4 = 1068, AUDIO_CAPTION = 1038;
inline constexpr int LAMP_FIRST = 1043; // 1043..1049: start, fast backward, backward, pause, forward, fast forward, end
inline constexpr int CHANNEL_FIRST = 1050; // 1050..1065
inline constexpr int SLIDER = 1067;
inline constexpr int AUDIO_IDS[4] = {AUDIO1, AUDIO2, AUDIO3, AUDIO4};
// The layouts of 1, 4, 9 and 16 tiles.
inline constexpr int MODES[4] = {MODE1, MODE4, MODE9, MODE16};
// The navigation buttons in the order of their lamps.
inline constexpr int NAVIGATION[7] = {START, RWPLAY, BPLAY, PAUSE, FPLAY, FFPLAY, END};
} // namespace ctl
