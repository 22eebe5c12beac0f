#pragma once

#include <cstdint>

// What the playback thread does next: the steering's play state. Both threads store
// it directly; the engine tells its view each state it stores.
inline constexpr uint8_t PS_PAUSE = 0;         // no reading
inline constexpr uint8_t PS_FPLAY = 1;         // forward, record by record
inline constexpr uint8_t PS_BPLAY = 2;         // backward, record by record
inline constexpr uint8_t PS_FFPLAY = 3;        // one group, then jump forward by the speed step
inline constexpr uint8_t PS_RWPLAY = 4;        // one group, then jump backward by the speed step
inline constexpr uint8_t PS_START = 5;         // jump to the first record
inline constexpr uint8_t PS_END = 6;           // jump to the end offset
inline constexpr uint8_t PS_SHOW_FORWARD = 7;  // one group forward, then pause
inline constexpr uint8_t PS_SHOW_BACKWARD = 8; // one group stepping backward, then pause
inline constexpr uint8_t PS_SEEK = 9;          // jump to the slider position
// Jumps to an exact place; what they jump to is then shown as the show states show it.
inline constexpr uint8_t PS_LOCATE = 10;        // to the target header, one group forward, then pause
inline constexpr uint8_t PS_STEP_FORWARD = 11;  // the record after the one shown last (or a group), then pause
inline constexpr uint8_t PS_STEP_BACKWARD = 12; // the record before the one shown last (or a group), then pause

// Frame period = 16 ms x factor, by delay index 1..7 (index 0 unused).
inline constexpr int DELAY_MIN = 1;
inline constexpr int DELAY_MAX = 7;
inline constexpr int DELAY_FACTORS[DELAY_MAX + 1] = {1, 1, 2, 4, 8, 16, 64, 128};
inline constexpr double FRAME_PERIOD_UNIT = 0.016;

// Fast-play jump in units of 1,024 bytes, by speed index 0..5.
inline constexpr int SPEED_MIN = 0;
inline constexpr int SPEED_MAX = 5;
inline constexpr int SPEED_STEPS_4CH[SPEED_MAX + 1] = {320, 640, 1280, 2560, 5120, 10240};
inline constexpr int SPEED_STEPS_16CH[SPEED_MAX + 1] = {1280, 2560, 5120, 10240, 20480, 40960};

// The texts the speed and delay fields show: speed index i uses entry i, delay
// index d entry 5 + d.
inline constexpr const char* VALUE_TEXTS[13] = {
    " 2x ", " 4x ", " 8x ", "16x", "32x", "64x",
    "  1  ", " 1/2 ", " 1/4 ", " 1/8 ", " 1/16 ", " 1/64 ", " 1/128",
};

// The slider's scale: 0 at the first record area byte, 710 at the end of the file.
inline constexpr int SLIDER_MAX = 710;
