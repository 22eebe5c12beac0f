#pragma once

#include "evidence/recordingreport.h"
#include "skin/slidermark.h"

// The report's findings (see ReportFindings) as the slider's Evidence marks, each in
// the colour of its kind, at the positions the thumb takes at its offsets: a gap or
// jump a tick, a run of damage the stretch of its bytes.
CSliderMarks TimelineMarks(const CRecordingReport& report);
