#pragma once

#include <string>
#include <vector>

// kvxtool locate FILE --at "YYYY-MM-DD HH:MM:SS" [--json]: the record the player's
// go-to-date dialog would show for that moment.
int RunLocateCommand(const std::vector<std::string>& args);
