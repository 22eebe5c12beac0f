#pragma once

#include <string>
#include <vector>

// kvxtool excerpt RECORDING --from T --to T --out FILE.kvx: the records of a time
// range copied bit for bit into a recording of their own, with FILE.kvx.sha256 and a
// note of where they came from (FILE.kvx.txt).
int RunExcerptCommand(const std::vector<std::string>& args);
