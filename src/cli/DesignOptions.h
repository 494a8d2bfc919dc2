#pragma once

// The options of "norvane-cli design <circuit>" and "rank <circuit>": a
// requirement option for each field of the circuit, the type, the series
// and --from REPORT; for design also --json, --report, --bom (the parts
// list as CSV), --kicad (the schematic for KiCad 6 and later) and the
// simulation options.
//
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

#include "design/DesignInputs.h"
#include "workflow/DesignWorkflow.h"

#include <cstdint>
#include <map>
#include <optional>
#include <ostream>
#include <span>
#include <string>

namespace CLI {
class App;
}

namespace norvane::cli {

struct SimulationCliOptions {
    std::string m_NetlistPath;
    std::string m_LoadText; // as typed, engineering notation ("4k7")
    bool m_Simulate = false;
    std::string m_BodePath;
    bool m_Tune = false;
    std::string m_SourceText; // as typed
    int m_ToleranceRuns = 0;  // 0: no tolerance analysis
    std::uint64_t m_Seed = DefaultToleranceSeed;
    bool m_Temperature = false;
    bool m_Distortion = false;
    bool m_Noise = false;
    bool m_WorstCase = false;

    bool Analyses() const
    {
        return m_ToleranceRuns > 0 || m_Temperature || m_Distortion || m_Noise || m_WorstCase;
    }
    // Whether the "Simulation:" block (the "simulation" object) is shown.
    bool ShowsSimulation() const { return m_Simulate || Analyses(); }
    bool Simulates() const { return ShowsSimulation() || m_Tune || !m_BodePath.empty(); }
};

struct DesignOptions {
    std::map<InputField, std::string> m_Texts;
    std::optional<std::string> m_Transistor;
    std::optional<std::string> m_Series;
    std::string m_From;
    bool m_Json = false;
    std::string m_Report;
    std::string m_PartsList;      // --bom FILE.csv
    std::string m_KicadSchematic; // --kicad FILE.kicad_sch
    SimulationCliOptions m_Simulation;
};

// The requirement options of a design or ranking command: the fields
// given, the type (askType), the series, the report to start from.
void AddRequirementOptions(CLI::App& command, std::span<const CircuitField> fields, bool askType,
                           DesignOptions& options);

// The options of a design command: the requirements, the type, the
// series, the outputs, the simulation.
void AddDesignOptions(CLI::App& command, std::span<const CircuitField> fields, DesignOptions& options);

void AddSimulationOptions(CLI::App& command, SimulationCliOptions& options);

// The requirements to design from: the circuit's defaults, or those of the
// report named by --from; then every option given, checked by the dialogs'
// rules. Refused with the message where one is not acceptable.
[[nodiscard]] Expected<DesignInputs> GatherInputs(std::optional<CircuitKind> kind,
                                                  const DesignOptions& options);

// The load and the source resistance in ohms, 0 for none.
struct Resistances {
    double m_Load = 0.0;
    double m_Source = 0.0;
};
// Refused where one is no resistance.
[[nodiscard]] Expected<Resistances> ReadResistances(const SimulationCliOptions& options);

// What the design workflow is to do for these options.
WorkflowOptions WorkflowOptionsOf(const SimulationCliOptions& options, const Resistances& resistances);

} // namespace norvane::cli
