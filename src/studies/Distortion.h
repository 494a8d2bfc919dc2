#pragma once

// Headroom and distortion: how far the output swings before the
// transistor leaves the active region, and the harmonic distortion of a
// transient at that amplitude or DistortionAmplitude
// (analysis/RobustnessResults.h says how both are found).

#include "analysis/RobustnessResults.h"
#include "analysis/Verification.h"
#include "circuit/Netlist.h"
#include "common/Outcome.h"
#include "design/AmplifierDesign.h"
#include "ngspice/Simulator.h"

namespace norvane {

[[nodiscard]] Expected<DistortionAnalysis> AnalyseDistortion(const AmplifierDesign& design,
                                                             const VerificationOptions& verification,
                                                             const AnalysisProgress& progress = {});

// The headroom of a circuit, and its distortion at outputAmplitude (V peak
// at out) and frequency, as AnalyseDistortion finds them: for tests that
// drive a stage into clipping on purpose.
[[nodiscard]] Expected<DistortionAnalysis> MeasureDistortion(const AmplifierCircuit& circuit,
                                                             const SimulationOptions& simulation,
                                                             double outputAmplitude, double frequency,
                                                             const AnalysisProgress& progress = {});

} // namespace norvane
