#pragma once

// The simulation options of "norvane-cli design <circuit>":
//   --netlist FILE.cir  writes the SPICE netlist of the design
//   --load OHMS         a load at the output (default: none)
//   --simulate          adds the "Simulation:" block (text) or the
//                       "simulation" object (JSON)
//   --bode FILE.csv     writes frequency, magnitude in dB, phase in degrees
//   --tune              proposes E12 capacitor values that mend the misses
//                       the verdict found ("tuned" in the JSON), and writes
//                       the report and the netlist of the tuned design
//   --source OHMS       the signal source's resistance (default 0, ideal),
//                       for every simulation and the netlist, as --load
//   --tolerance N [--seed S], --temperature, --distortion, --noise
//                       the robustness analyses (Robustness.h): each
//                       simulates as --simulate does and adds its line and
//                       table after the "Simulation:" block, its object
//                       ("tolerance", ...) to the JSON and its section to
//                       the report. After --tune they are those of the
//                       tuned design, the one the files are written of.
//
// Whatever simulates also judges: the verdict line follows the title (and
// its notes) in the text, "verdict" is in the JSON. An analysis that fails
// says why in its place; like a failed simulation, that is no failure of
// the command.

#include "common/FileWriter.h"
#include "design/AmplifierDesign.h"
#include "simulation/Robustness.h"
#include "simulation/Simulator.h"
#include "simulation/Verification.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace norvane::cli {

struct SimulationCliOptions {
    std::string netlistPath;
    std::string loadText; // as typed, engineering notation ("4k7")
    bool simulate = false;
    std::string bodePath;
    bool tune = false;
    std::string sourceText; // as typed
    int toleranceRuns = 0;  // 0: no tolerance analysis
    std::uint64_t seed = DefaultToleranceSeed;
    bool temperature = false;
    bool distortion = false;
    bool noise = false;

    bool Analyses() const { return toleranceRuns > 0 || temperature || distortion || noise; }
    // Whether the "Simulation:" block (the "simulation" object) is shown.
    bool ShowsSimulation() const { return simulate || Analyses(); }
    bool Simulates() const { return ShowsSimulation() || tune || !bodePath.empty(); }
};

void AddSimulationOptions(CLI::App& command, SimulationCliOptions& options);

// The load and the source resistance in ohms (0 for none), or
// ExitBadInput with a message on err.
int ReadResistances(const SimulationCliOptions& options, double& load, double& source, std::ostream& err);

struct SimulationOutput {
    bool ran = false;
    double load = 0.0;         // ohm; 0 = none
    double source = 0.0;       // ohm; 0 = an ideal source
    Verification verification; // of the design as designed
    bool tuning = false;       // --tune was given
    // With --tune: the proposal, if there is one.
    std::optional<TuningProposal> proposal;
    // With --tune and a proposal: the verification of the tuned design.
    std::optional<Verification> tuned;
    // The robustness analyses asked for.
    RobustnessResults robustness;

    const SimulationResult& Result() const { return verification.m_Simulation; }
    // The load and source every simulation runs with.
    VerificationOptions Conditions() const;
};

// Verifies the design as the options ask (for --simulate, --bode, --tune
// and the analyses) and with --tune looks for a proposal.
void RunSimulation(const AmplifierDesign& design, const SimulationCliOptions& options, double load,
                   double source, SimulationOutput& output);

// Runs the robustness analyses the options ask for on the design written.
void RunAnalyses(const AmplifierDesign& written, const SimulationCliOptions& options,
                 SimulationOutput& output);

// Adds the netlist and the Bode file of the design written (the tuned one
// after --tune) to files, for the command to write together with its other
// files. Returns ExitOk, or ExitFailure with a message on err when the
// design cannot be built (no netlist) or there is no simulation to write a
// Bode diagram from.
int AddSimulationFiles(const AmplifierDesign& written, const SimulationCliOptions& options,
                       const SimulationOutput& output, PendingWrites& files, std::ostream& err);

// The verdict line, and after --tune the proposal's line.
void PrintVerdict(std::ostream& out, const SimulationOutput& output);

// {"meets", "misses": [{"quantity", "required", "simulated", "why"}]}, with
// "simulated", "problem" and "line" beside them.
nlohmann::ordered_json VerdictJson(const Verdict& verdict);

// The "tuned" object: the changes, the tuned component values, their
// verdict; null without a proposal.
nlohmann::ordered_json TunedJson(const AmplifierDesign& tuned, const SimulationOutput& output);

// The "Simulation:" block: each simulated value beside the one the design
// aimed at.
void PrintSimulation(std::ostream& out, const AmplifierDesign& design, const SimulationOutput& output);

nlohmann::ordered_json SimulationJson(const AmplifierDesign& design, const SimulationOutput& output);

// Each analysis that was run: a blank line, its line and its table, or
// "<heading>: <why it failed>".
void PrintAnalyses(std::ostream& out, const SimulationOutput& output);

// The objects "tolerance", "temperature", "distortion", "noise" of the
// analyses that were run, added to document: "problem" (empty), the plain
// numbers in SI units (null for none) and "line"; for one that failed
// "problem" alone, saying why. README.md names every field.
void AddAnalysesJson(nlohmann::ordered_json& document, const SimulationOutput& output);

} // namespace norvane::cli
