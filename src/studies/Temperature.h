#pragma once

// Temperature: Ic, Uce and the mid-band gain of the design's circuit at
// AnalysisTemperatures, the card's TNOM as written.

#include "analysis/RobustnessResults.h"
#include "analysis/Verification.h"
#include "circuit/Netlist.h"
#include "common/Outcome.h"
#include "design/AmplifierDesign.h"
#include "ngspice/Simulator.h"

namespace norvane {

[[nodiscard]] Expected<TemperatureAnalysis> AnalyseTemperature(const AmplifierDesign& design,
                                                               const VerificationOptions& verification,
                                                               const AnalysisProgress& progress = {});

} // namespace norvane
