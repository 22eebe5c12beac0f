#pragma once

// Control IDs of the snapshot editor's buttons; the skin's sections name them.
namespace editctl {
inline constexpr int CLOSE = 1008;
inline constexpr int BRIGHT = 1015, DARK = 1016, SHARPEN = 1017, BLUR = 1018;
inline constexpr int CONTRAST_UP = 1021; // its button despeckles
inline constexpr int CONTRAST_DN = 1022; // its button spreads the contrast
inline constexpr int PRINT = 1023, SAVE = 1036;
} // namespace editctl
