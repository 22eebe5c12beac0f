#pragma once

#include <string>
#include <vector>

// kvxtool snapshot RECORDING --channel N --at "YYYY-MM-DD HH:MM:SS" [--out DIR] [--json]
int RunSnapshotCommand(const std::vector<std::string>& args);
