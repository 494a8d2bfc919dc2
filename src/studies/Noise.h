#pragma once

// Noise: ngspice's noise analysis of the design's circuit, referred to the
// source's own voltage behind its resistance (analysis/RobustnessResults.h).

#include "analysis/RobustnessResults.h"
#include "analysis/Verification.h"
#include "circuit/Netlist.h"
#include "common/Outcome.h"
#include "design/AmplifierDesign.h"
#include "ngspice/Simulator.h"

#include <string>

namespace norvane {

[[nodiscard]] Expected<NoiseAnalysis> AnalyseNoise(const AmplifierDesign& design,
                                                   const VerificationOptions& verification,
                                                   const AnalysisProgress& progress = {});

// The same for any netlist of the conventions (VIN the source, out the
// output), spotFrequency in Hz. The totals are over the band the stage's
// lower corner lowerCorner (Hz, its f_min) sets, or over the audio band
// where that is no number.
[[nodiscard]] Expected<NoiseAnalysis> MeasureNoise(const std::string& netlist, double spotFrequency,
                                                   double sourceResistance = 0.0,
                                                   double lowerCorner = NoiseAnalysis::NaN);

} // namespace norvane
