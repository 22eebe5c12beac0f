#pragma once

#include <string>
#include <vector>

// kvxtool info FILE [--json]: what the probe finds out about a recording.
int RunInfoCommand(const std::vector<std::string>& args);
