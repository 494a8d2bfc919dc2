#include "cli/SimulationOutput.h"

#include "cli/CommandLine.h"
#include "cli/OptionValues.h"
#include "design/DesignResults.h"
#include "format/EngineeringFormat.h"
#include "simulation/DesignTargets.h"
#include "simulation/Netlist.h"

#include <CLI/CLI.hpp>

#include <cmath>
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
    return FormatFixed(value, 2) + " dB";
}

// A required gain as it was typed: "20 dB", "0.5 dB".
std::string RequiredDecibels(double value)
{
    return FormatGeneral(value, 6) + " dB";
}

// "Cannot write the <what> to <path>: <reason>."
FailureMessageOf CannotWrite(std::string what)
{
    return [what = std::move(what)](const std::string& path, const std::string& reason) {
        return "Cannot write the " + what + " to " + path + ": " + reason + ".";
    };
}

// "name = value (what aim)" when the design aimed at something, else
// "name = value".
void Line(std::ostream& out, const char* name, const std::string& value, const char* what, double aim,
          const char* unit)
{
    out << name << " = " << value;
    if (std::isfinite(aim)) {
        out << " (" << what << ' '
            << (std::string_view(unit) == "dB" ? RequiredDecibels(aim) : Quantity(aim, unit)) << ')';
    }
    out << '\n';
}

} // namespace

void AddSimulationOptions(CLI::App& command, SimulationCliOptions& options)
{
    command.add_option("--netlist", options.netlistPath, "Write the SPICE netlist of the design to FILE.cir")
        ->option_text("FILE.cir")
        ->check(FileName());
    command.add_option("--load", options.loadText, "Load at the output in ohms (default: none)")
        ->option_text("OHMS")
        ->check(NotAnOption());
    command.add_flag("--simulate", options.simulate, "Simulate the design with ngspice and show the results");
    command
        .add_option("--bode", options.bodePath,
                    "Simulate and write frequency, magnitude (dB) and phase (degrees) to FILE.csv")
        ->option_text("FILE.csv")
        ->check(FileName());
    command.add_flag("--tune", options.tune,
                     "Propose E12 capacitor values that meet the requirements in simulation, and write the "
                     "report and the netlist with them");
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

void RunSimulation(const AmplifierDesign& design, const SimulationCliOptions& options, double load,
                   SimulationOutput& output)
{
    output.load = load;
    if (!options.Simulates()) {
        return;
    }
    VerificationOptions verification;
    verification.m_LoadResistance = load;
    output.verification = Verify(design, verification);
    output.ran = true;
    output.tuning = options.tune;
    if (options.tune) {
        output.proposal = ProposeTuning(design, verification);
    }
}

int AddSimulationFiles(const AmplifierDesign& written, const SimulationCliOptions& options,
                       const SimulationOutput& output, PendingWrites& files, std::ostream& err)
{
    int status = ExitOk;
    if (!options.netlistPath.empty()) {
        if (!written.IsUsable()) {
            // A netlist of it would hold parts such as "R3 vcc base inf".
            err << "No netlist: the design cannot be built: " << written.Problem() << ".\n";
            status = ExitFailure;
        } else {
            NetlistOptions netlistOptions;
            netlistOptions.m_LoadResistance = output.load;
            files.AddFile(options.netlistPath, WriteNetlist(written, netlistOptions), CannotWrite("netlist"));
        }
    }
    if (!options.bodePath.empty()) {
        const SimulationResult& result = output.tuned ? output.tuned->m_Simulation : output.Result();
        if (!result.m_Simulated) {
            err << "No Bode diagram: " << result.Status() << ".\n";
            status = ExitFailure;
        } else {
            files.AddFile(options.bodePath, BodeCsv(result.m_Bode), CannotWrite("Bode diagram"));
        }
    }
    return status;
}

void PrintVerdict(std::ostream& out, const SimulationOutput& output)
{
    out << output.verification.m_Verdict.Line() << '\n';
    const Verdict& verdict = output.verification.m_Verdict;
    if (output.proposal) {
        out << "Proposed: " << output.proposal->Line() << '\n';
    } else if (output.tuning && verdict.m_Simulated && !verdict.m_Meets) {
        out << "Proposed: nothing; no capacitor change mends these misses\n";
    }
}

json VerdictJson(const Verdict& verdict)
{
    json misses = json::array();
    for (const VerdictMiss& miss : verdict.m_Misses) {
        misses.push_back({{"quantity", miss.m_Quantity},
                          {"required", Number(miss.m_Required)},
                          {"simulated", Number(miss.m_Simulated)},
                          {"why", miss.m_Why}});
    }
    return {{"meets", verdict.m_Meets},
            {"misses", misses},
            {"simulated", verdict.m_Simulated},
            {"problem", verdict.m_Problem},
            {"line", verdict.Line()}};
}

json TunedJson(const AmplifierDesign& tuned, const SimulationOutput& output)
{
    if (!output.proposal || !output.tuned) {
        return nullptr;
    }
    json changes = json::array();
    for (const PartChange& change : output.proposal->m_Changes) {
        changes.push_back(
            {{"part", change.m_Part}, {"designed", change.m_Designed}, {"proposed", change.m_Proposed}});
    }
    json values = json::object();
    for (const auto& [name, value] : tuned.ComponentNumbers()) {
        values[name] = Number(value);
    }
    return {{"changes", changes},
            {"values", values},
            {"line", output.proposal->Line()},
            {"verdict", VerdictJson(output.tuned->m_Verdict)}};
}

void PrintSimulation(std::ostream& out, const AmplifierDesign& design, const SimulationOutput& output)
{
    const SimulationResult& r = output.Result();
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
    const SimulationResult& r = output.Result();
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
