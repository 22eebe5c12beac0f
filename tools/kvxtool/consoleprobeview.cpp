#include "tools/kvxtool/consoleprobeview.h"

#include <cstdio>

void CConsoleProbeView::ShowProbeMessage(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
}
