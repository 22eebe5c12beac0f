#include "tools/kvxtool/consoleprobeview.h"

#include <cstdio>

bool CConsoleProbeView::Probe(const std::string& path, CRecordingFacts& facts)
{
    CConsoleProbeView view;
    return CRecordingProbe(facts, view).ProbeRecording(path);
}

void CConsoleProbeView::ShowProbeMessage(const std::string& text)
{
    std::fprintf(stderr, "%s\n", text.c_str());
}
