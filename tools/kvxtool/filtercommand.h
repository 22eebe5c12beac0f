#pragma once

#include <string>
#include <vector>

// kvxtool filter IN.bmp OUT.bmp OP [OP ...] [--force]
int RunFilterCommand(const std::vector<std::string>& args);
