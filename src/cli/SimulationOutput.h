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
//
// Whatever simulates also judges: the verdict line follows the title (and
// its notes) in the text, "verdict" is in the JSON.

#include "common/FileWriter.h"
#include "design/AmplifierDesign.h"
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

    bool Simulates() const { return simulate || tune || !bodePath.empty(); }
};

void AddSimulationOptions(CLI::App& command, SimulationCliOptions& options);

// The load in ohms (0 for none), or ExitBadInput with a message on err.
int ReadLoad(const SimulationCliOptions& options, double& load, std::ostream& err);

struct SimulationOutput {
    bool ran = false;
    double load = 0.0;         // ohm; 0 = none
    Verification verification; // of the design as designed
    bool tuning = false;       // --tune was given
    // With --tune: the proposal, if there is one.
    std::optional<TuningProposal> proposal;
    // With --tune and a proposal: the verification of the tuned design.
    std::optional<Verification> tuned;

    const SimulationResult& Result() const { return verification.m_Simulation; }
};

// Verifies the design as the options ask (for --simulate, --bode and
// --tune) and with --tune looks for a proposal.
void RunSimulation(const AmplifierDesign& design, const SimulationCliOptions& options, double load,
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

} // namespace norvane::cli
