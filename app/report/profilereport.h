#pragma once

#include "report/reportdata.h"

class AbstractTrace;
struct ExtraArgs;

// The data of the measurement report of a profile trace: the organisation and
// part names, one row per run (the main trace, then its additional traces)
// with controller, its own cut-off, length of the raw points, speed and
// date, and one row per parameter shown in the settings, its value taken
// from the trace's results (evaluated with args first when the trace has
// none) with its unit. An additional trace reports its main trace; a trace
// that is not a profile gives no data.
ReportData profileReportData(AbstractTrace *trace, ExtraArgs &args);
