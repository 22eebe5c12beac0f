#pragma once

#include <string>
#include <vector>

// kvxtool bench FILE [--mjpeg OUT [--force]]: decodes every picture as fast as it
// can and prints frames/s and megapixels/s.
int RunBenchCommand(const std::vector<std::string>& args);
