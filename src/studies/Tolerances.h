#pragma once

// Tolerances (Monte Carlo): seeded runs of the design's circuit with every
// part drawn within its tolerance and the transistor's spread, each
// simulated and judged as Verify does (analysis/RobustnessResults.h says
// how the parts are drawn and what is counted).

#include "analysis/RobustnessResults.h"
#include "analysis/Verification.h"
#include "circuit/Netlist.h"
#include "common/Outcome.h"
#include "design/AmplifierDesign.h"
#include "ngspice/Simulator.h"

#include <functional>
#include <string>
#include <vector>

namespace norvane {

[[nodiscard]] Expected<ToleranceAnalysis> AnalyseTolerances(const AmplifierDesign& design,
                                                            const VerificationOptions& verification,
                                                            const ToleranceOptions& options = {},
                                                            const AnalysisProgress& progress = {});

// The engine under it, for any circuit of the netlist conventions:
// resistors drawn within resistorTolerance, capacitors within
// CapacitorTolerance, BF and IS of the card as described above (when the
// circuit's Q1 has a card), each run measured as SimulateCircuit measures
// and judged by misses: the quantities the run misses, none when it meets
// the requirements.
using RunJudge = std::function<std::vector<std::string>(const SimulationResult&)>;
[[nodiscard]] Expected<ToleranceAnalysis>
RunTolerances(const AmplifierCircuit& circuit, const SimulationOptions& simulation, double resistorTolerance,
              const ToleranceOptions& options, const RunJudge& misses, const AnalysisProgress& progress = {});

} // namespace norvane
