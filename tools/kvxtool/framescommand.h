#pragma once

#include <string>
#include <vector>

// kvxtool frames FILE [--json]: every record forward play delivers, one line each.
int RunFramesCommand(const std::vector<std::string>& args);
