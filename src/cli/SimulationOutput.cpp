#include "cli/SimulationOutput.h"

#include "cli/CommandLine.h"
#include "design/DesignResults.h"
#include "format/EngineeringFormat.h"
#include "simulation/DesignTargets.h"
#include "simulation/Netlist.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string_view>

namespace norvane::cli {

namespace {

using json = nlohmann::ordered_json;

json Number(double value)
{
    return std::isfinite(value) ? json(value) : json(nullptr);
}

// A value with its unit ("2.6 mA"), or without one ("42.13 k").
std::string Quantity(double value, const char* unit)
{
    if (*unit == '\0') {
        return FormatEngineering(value);
    }
    ResultItem item;
    item.SetQuantity("", value, unit);
    return item.value;
}

// A simulated gain with two decimals: "19.48 dB", "-0.12 dB" (prefix
// letters would read "-118.9 mdB").
std::string Decibels(double value)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.2f dB", value);
    return text;
}

// A required gain as it was typed: "20 dB", "0.5 dB".
std::string RequiredDecibels(double value)
{
    char text[48];
    std::snprintf(text, sizeof text, "%g dB", value);
    return text;
}

bool WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    return !file.fail();
}

// "name = value (what aim)" when the design aimed at something, else
// "name = value".
void Line(std::ostream& out, const char* name, const std::string& value, const char* what, double aim,
          const char* unit)
{
    out << name << " = " << value;
    if (std::isfinite(aim)) {
        out << " (" << what << ' ' << (std::string_view(unit) == "dB" ? RequiredDecibels(aim) : Quantity(aim, unit))
            << ')';
    }
    out << '\n';
}

} // namespace

void AddSimulationOptions(CLI::App& command, SimulationCliOptions& options)
{
    command.add_option("--netlist", options.netlistPath, "Write the SPICE netlist of the design to FILE.cir")
        ->option_text("FILE.cir");
    command.add_option("--load", options.loadText, "Load at the output in ohms (default: none)")
        ->option_text("OHMS");
    command.add_flag("--simulate", options.simulate, "Simulate the design with ngspice and show the results");
    command.add_option("--bode", options.bodePath,
                       "Simulate and write frequency, magnitude (dB) and phase (degrees) to FILE.csv")
        ->option_text("FILE.csv");
}

int ReadLoad(const SimulationCliOptions& options, double& load, std::ostream& err)
{
    load = 0.0;
    if (options.loadText.empty()) {
        return ExitOk;
    }
    load = ParseEngineering(options.loadText);
    if (!(load > 0) || !std::isfinite(load)) {
        err << "The load must be a resistance above 0 ohms, e.g. 4k7.\n";
        return ExitBadInput;
    }
    return ExitOk;
}

std::string BodeCsv(const std::vector<BodePoint>& bode)
{
    std::string text = "frequency_hz,magnitude_db,phase_deg\n";
    char line[96];
    for (const BodePoint& point : bode) {
        std::snprintf(line, sizeof line, "%.10g,%.10g,%.10g\n", point.m_Frequency, point.m_MagnitudeDb,
                      point.m_PhaseDegrees);
        text += line;
    }
    return text;
}

int RunSimulationOutput(const AmplifierDesign& design, const SimulationCliOptions& options, double load,
                        SimulationOutput& output, std::ostream& err)
{
    output.load = load;
    int status = ExitOk;
    if (!options.netlistPath.empty()) {
        NetlistOptions netlistOptions;
        netlistOptions.m_LoadResistance = load;
        if (!WriteFile(options.netlistPath, WriteNetlist(design, netlistOptions))) {
            err << "Cannot write the netlist to " << options.netlistPath << ".\n";
            status = ExitFailure;
        }
    }
    if (!options.simulate && options.bodePath.empty()) {
        return status;
    }
    SimulationOptions simulationOptions;
    simulationOptions.m_LoadResistance = load;
    output.result = Simulate(design, simulationOptions);
    output.ran = true;
    if (!options.bodePath.empty()) {
        if (!output.result.m_Simulated) {
            err << "No Bode diagram: " << output.result.Status() << ".\n";
            status = ExitFailure;
        } else if (!WriteFile(options.bodePath, BodeCsv(output.result.m_Bode))) {
            err << "Cannot write the Bode diagram to " << options.bodePath << ".\n";
            status = ExitFailure;
        }
    }
    return status;
}

void PrintSimulation(std::ostream& out, const AmplifierDesign& design, const SimulationOutput& output)
{
    const SimulationResult& r = output.result;
    out << "Simulation";
    if (!r.m_Simulated) {
        out << ":\n" << r.Status() << '\n';
        return;
    }
    out << " (ngspice, " << (output.load > 0 ? "load " + Quantity(output.load, "") : std::string("no load"))
        << "):\n";
    const DesignTargets aim = TargetsOf(design);
    Line(out, "Ic", Quantity(r.m_Ic, "A"), "designed", aim.m_Ic, "A");
    Line(out, "Uce", Quantity(r.m_Uce, "V"), "designed", aim.m_Uce, "V");
    Line(out, "Ib", Quantity(r.m_Ib, "A"), "", DesignTargets::NaN, "");
    Line(out, "Voltage gain", Decibels(r.m_GainDb), "required", aim.m_GainDb, "dB");
    Line(out, "Z_in", Quantity(r.m_InputImpedance, ""), "required at most", aim.m_InputImpedance, "");
    Line(out, "Z_out", Quantity(r.m_OutputImpedance, ""), "required", aim.m_OutputImpedance, "");
    const std::string lower =
        std::isfinite(r.m_LowerCutoff) ? Quantity(r.m_LowerCutoff, "Hz") : std::string("below the sweep");
    Line(out, "f_-3dB", lower, "required f_min", aim.m_LowerCutoff, "Hz");
    if (std::isfinite(r.m_UpperCutoff)) {
        Line(out, "f_-3dB upper", Quantity(r.m_UpperCutoff, "Hz"), "", DesignTargets::NaN, "");
    }
    Line(out, "Mid-band", Quantity(r.m_MidbandFrequency, "Hz"), "", DesignTargets::NaN, "");
    for (const std::string& warning : r.m_Warnings) {
        out << "ngspice: " << warning << '\n';
    }
}

json SimulationJson(const AmplifierDesign& design, const SimulationOutput& output)
{
    const SimulationResult& r = output.result;
    const DesignTargets aim = TargetsOf(design);
    json warnings = json::array();
    for (const std::string& warning : r.m_Warnings) {
        warnings.push_back(warning);
    }
    return {
        {"simulated", r.m_Simulated},
        {"status", r.Status()},
        {"problem", r.m_Problem},
        {"load", output.load > 0 ? json(output.load) : json(nullptr)},
        {"ic", Number(r.m_Ic)},
        {"uce", Number(r.m_Uce)},
        {"ib", Number(r.m_Ib)},
        {"gain_db", Number(r.m_GainDb)},
        {"zin", Number(r.m_InputImpedance)},
        {"zout", Number(r.m_OutputImpedance)},
        {"f_3db", Number(r.m_LowerCutoff)},
        {"f_3db_upper", Number(r.m_UpperCutoff)},
        {"f_mid", Number(r.m_MidbandFrequency)},
        {"aims",
         {{"ic", Number(aim.m_Ic)},
          {"uce", Number(aim.m_Uce)},
          {"gain_db", Number(aim.m_GainDb)},
          {"zin", Number(aim.m_InputImpedance)},
          {"zout", Number(aim.m_OutputImpedance)},
          {"fmin", Number(aim.m_LowerCutoff)}}},
        {"warnings", warnings},
    };
}

} // namespace norvane::cli
