#pragma once

#include <string>
#include <vector>

// kvxtool report RECORDING [--json] [--gap SECONDS] [--no-hash]: one pass over the
// whole file; its hash, each camera's pictures and gaps, clock jumps and damage.
int RunReportCommand(const std::vector<std::string>& args);
