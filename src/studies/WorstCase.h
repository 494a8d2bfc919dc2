#pragma once

// The worst-case analysis (analysis/RobustnessResults.h says what it
// varies and how it finds the corners), simulated by ngspice in one
// session: the circuit is loaded once and every point set with alter,
// altermod and the temperature option. A common-emitter stage of eight
// parts takes 1 + 2 x 10 points for the sensitivities and at most 12
// corners, about 30 simulations of the kind the tolerance runs make:
// 55 to 88 ms for the three worked examples in a release build, against
// 23 to 51 ms for one "ngspice -b" of their netlists (a 2-core machine
// under load).

#include "analysis/RobustnessResults.h"
#include "studies/Tolerances.h"

#include <string>
#include <vector>

namespace norvane {

[[nodiscard]] Expected<WorstCaseAnalysis> AnalyseWorstCase(const AmplifierDesign& design,
                                                           const VerificationOptions& verification,
                                                           const AnalysisProgress& progress = {});

// The engine under it, for any circuit of the netlist conventions: the
// resistors at +-resistorTolerance, the rest as above; required names the
// quantities (as the verdict names them) the design has a requirement on,
// and misses judges a point as the verdict does.
[[nodiscard]] Expected<WorstCaseAnalysis>
RunWorstCase(const AmplifierCircuit& circuit, const SimulationOptions& simulation, double resistorTolerance,
             const std::vector<std::string>& required, const RunJudge& misses,
             const AnalysisProgress& progress = {});

} // namespace norvane
