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

[[nodiscard]] Expected<TemperatureAnalysis> AnalyseTemperature(const AmplifierDesign& design,
                                                               const VerificationOptions& verification,
                                                               const AnalysisProgress& progress = {});

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

[[nodiscard]] Expected<NoiseAnalysis> AnalyseNoise(const AmplifierDesign& design,
                                                   const VerificationOptions& verification,
                                                   const AnalysisProgress& progress = {});

// The same for any netlist of the conventions (VIN the source, out the
// output), spotFrequency in Hz.
[[nodiscard]] Expected<NoiseAnalysis> MeasureNoise(const std::string& netlist, double spotFrequency,
                                                   double sourceResistance = 0.0);

} // namespace norvane
