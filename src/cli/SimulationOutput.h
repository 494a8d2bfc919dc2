#pragma once

// The simulation options of "norvane-cli design <circuit>":
//   --netlist FILE.cir  writes the SPICE netlist of the design
//   --load OHMS         a load at the output (default: none)
//   --simulate          adds the "Simulation:" block (text) or the
//                       "simulation" object (JSON)
//   --bode FILE.csv     writes frequency, magnitude in dB, phase in degrees

#include "common/FileWriter.h"
#include "design/AmplifierDesign.h"
#include "simulation/Simulator.h"

#include <nlohmann/json.hpp>

#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace norvane::cli {

struct SimulationCliOptions {
    std::string netlistPath;
    std::string loadText;  // as typed, engineering notation ("4k7")
    bool simulate = false;
    std::string bodePath;
};

void AddSimulationOptions(CLI::App& command, SimulationCliOptions& options);

// The load in ohms (0 for none), or ExitBadInput with a message on err.
int ReadLoad(const SimulationCliOptions& options, double& load, std::ostream& err);

struct SimulationOutput {
    bool ran = false;
    double load = 0.0;  // ohm; 0 = none
    SimulationResult result;
};

// Simulates as the options ask (a design is simulated for --simulate and
// for --bode) and adds the netlist and the Bode file to files, for the
// command to write together with its other files. Returns ExitOk, or
// ExitFailure with a message on err when the design cannot be built (no
// netlist) or there is no simulation to write a Bode diagram from.
int RunSimulationOutput(const AmplifierDesign& design, const SimulationCliOptions& options, double load,
                        SimulationOutput& output, PendingWrites& files, std::ostream& err);

// The "Simulation:" block: each simulated value beside the one the design
// aimed at.
void PrintSimulation(std::ostream& out, const AmplifierDesign& design, const SimulationOutput& output);

nlohmann::ordered_json SimulationJson(const AmplifierDesign& design, const SimulationOutput& output);

} // namespace norvane::cli
