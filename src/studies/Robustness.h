#pragma once

// The four robustness analyses, each on the same Gummel-Poon card and
// circuit as Verify (with its load, source resistance and part edits),
// each loading its circuit into ngspice once and changing it there (alter,
// altermod, the temperature option) rather than loading it again for every
// run. What each measures, and the results: analysis/RobustnessResults.h.
//
// Each analysis reports its progress and may be cancelled through
// AnalysisProgress; a cancelled analysis fails with AnalysisCancelled.
// Like every simulation they are serialised with the others in the
// process; the callers run them on a worker thread.

#include "studies/Distortion.h"
#include "studies/Noise.h"
#include "studies/Temperature.h"
#include "studies/Tolerances.h"
#include "studies/WorstCase.h"
