#include "cli/DesignOptions.h"

#include "cli/CommandLine.h"
#include "cli/OptionValues.h"
#include "design/InputChecks.h"
#include "design/StandardSeries.h"
#include "format/EngineeringFormat.h"
#include "report/ReportReader.h"
#include "transistors/TransistorTable.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>

namespace norvane::cli {

void AddRequirementOptions(CLI::App& command, std::span<const CircuitField> fields, bool askType,
                           DesignOptions& options)
{
    for (const CircuitField& circuitField : fields) {
        const FieldInfo& info = FieldInfoOf(circuitField.field);
        std::string help = info.help;
        if (fields.size() < InputFieldCount) {
            help += " (default " + FormatEngineering(circuitField.defaultValue) + ")";
        }
        command
            .add_option_function<std::string>(
                info.option,
                [&options, field = circuitField.field](const std::string& text) {
                    options.m_Texts[field] = text;
                },
                help)
            ->check(NotAnOption())
            ->transform(QuantityValue(*info.unit != 0 ? info.unit : "ohm"));
    }
    if (askType) {
        command
            .add_option_function<std::string>(
                "--transistor", [&options](const std::string& text) { options.m_Transistor = text; },
                std::string("Transistor type (default ") + DefaultTransistorName + ")")
            ->check(NotAnOption());
    }
    command
        .add_option_function<std::string>(
            "--series", [&options](const std::string& text) { options.m_Series = text; },
            "Resistor standard series (default E24)")
        ->check(CLI::IsMember({"E12", "E24", "E48", "E96"}));
    command
        .add_option("--from", options.m_From,
                    "Take the requirements, type and series from a saved report; options "
                    "given beside it override them")
        ->option_text("REPORT")
        ->check(FileName());
    command.footer("Values take SI prefix letters and units, as the dialogs do: "
                   "4k7, 2.2u, 100mA, 12 V.");
}

void AddDesignOptions(CLI::App& command, std::span<const CircuitField> fields, DesignOptions& options)
{
    AddRequirementOptions(command, fields, true, options);
    command.add_flag("--json", options.m_Json, "Print the result as JSON");
    command
        .add_option("--report", options.m_Report,
                    "Also save the report: the XHTML file at PATH, its schematic in "
                    "the folder <name>-Files beside it")
        ->option_text("PATH")
        ->check(FileName());
    command
        .add_option("--bom", options.m_PartsList,
                    "Also write the parts list (bill of materials): reference, value, quantity, "
                    "tolerance, rating and description of each part, as CSV")
        ->option_text("FILE.csv")
        ->check(FileName());
    command
        .add_option("--kicad", options.m_KicadSchematic,
                    "Also write the schematic for KiCad (6 and later), drawn as the report draws it, "
                    "with the parts' values, tolerances and ratings")
        ->option_text("FILE.kicad_sch")
        ->check(FileName());
    AddSimulationOptions(command, options.m_Simulation);
}

void AddSimulationOptions(CLI::App& command, SimulationCliOptions& options)
{
    command
        .add_option("--netlist", options.m_NetlistPath, "Write the SPICE netlist of the design to FILE.cir")
        ->option_text("FILE.cir")
        ->check(FileName());
    command.add_option("--load", options.m_LoadText, "Load at the output in ohms (default: none)")
        ->option_text("OHMS")
        ->check(NotAnOption())
        ->transform(QuantityValue("ohm"));
    command.add_flag("--simulate", options.m_Simulate,
                     "Simulate the design with ngspice and show the results");
    command
        .add_option("--bode", options.m_BodePath,
                    "Simulate and write frequency, magnitude (dB) and phase (degrees) to FILE.csv")
        ->option_text("FILE.csv")
        ->check(FileName());
    command.add_flag("--tune", options.m_Tune,
                     "Propose E12 capacitor values that meet the requirements in simulation, and write the "
                     "report and the netlist with them");
    command
        .add_option("--source", options.m_SourceText,
                    "Resistance of the signal source in ohms, for every simulation (default 0: ideal)")
        ->option_text("OHMS")
        ->check(NotAnOption())
        ->transform(QuantityValue("ohm"));
    CLI::Option* tolerance =
        command
            .add_option("--tolerance", options.m_ToleranceRuns,
                        "Simulate N samples (1 to " + std::to_string(MaximumToleranceRuns) +
                            ") with the parts' tolerances and show the spread and the yield")
            ->option_text("N")
            ->check(CLI::Range(1, MaximumToleranceRuns));
    command
        .add_option("--seed", options.m_Seed,
                    "Seed of the tolerance samples (default " + std::to_string(DefaultToleranceSeed) + ")")
        ->option_text("S")
        ->check(UnsignedNumber())
        ->needs(tolerance);
    command.add_flag("--temperature", options.m_Temperature,
                     "Simulate Ic, Uce and the gain at -25, 0, 25, 50 and 85 degC");
    command.add_flag("--distortion", options.m_Distortion,
                     "Find the output headroom and the distortion at 1 V peak to peak");
    command.add_flag("--noise", options.m_Noise, "Simulate the input-referred noise");
    command.add_flag("--worst-case", options.m_WorstCase,
                     "Find each quantity's extremes with every part at an edge of its tolerance, "
                     "the transistor's spread and -25 .. 85 degC");
}

Expected<Resistances> ReadResistances(const SimulationCliOptions& options)
{
    Resistances read;
    if (!options.m_LoadText.empty()) {
        read.m_Load = ParseEngineering(options.m_LoadText);
        if (!(read.m_Load > 0) || !std::isfinite(read.m_Load)) {
            return Refused("The load must be a resistance above 0 ohms, e.g. 4k7.");
        }
    }
    if (!options.m_SourceText.empty()) {
        const std::optional<double> source = ReadEngineering(options.m_SourceText);
        if (!source || !(*source >= 0) || !std::isfinite(*source)) {
            return Refused("The source resistance must be 0 ohms or more, e.g. 600.");
        }
        read.m_Source = *source;
    }
    return read;
}

Expected<DesignInputs> GatherInputs(std::optional<CircuitKind> kind, const DesignOptions& options)
{
    std::optional<DesignInputs> base;
    if (!options.m_From.empty()) {
        const Expected<ReportRecipe> recipe = ReadReportFile(options.m_From);
        if (!recipe) {
            return Refused(recipe.Message());
        }
        if (kind && recipe->inputs.Kind() != *kind) {
            return Refused("\"" + options.m_From + "\" is a report of a " +
                           CircuitTitle(recipe->inputs.Kind()) + ", not of a " + CircuitTitle(*kind));
        }
        base = recipe->inputs;
    } else if (kind) {
        base = DesignInputs(*kind);
    } else {
        return Refused("design needs a circuit (ce, cb or cc) or --from REPORT");
    }
    for (const auto& [field, text] : options.m_Texts) {
        if (!base->Has(field)) {
            return Refused(std::string(FieldInfoOf(field).option) + " is no requirement of the " +
                           CircuitTitle(base->Kind()));
        }
    }
    if (options.m_Series) {
        const auto series = std::ranges::find_if(
            SeriesCounts, [&](int count) { return *options.m_Series == SeriesLabel(count); });
        base->SetSeriesIndex(static_cast<int>(series - SeriesCounts.begin()));
    }
    // A field not given keeps the value the dialog would show.
    const auto fieldText = [&](InputField field) {
        const auto given = options.m_Texts.find(field);
        return given != options.m_Texts.end() ? given->second : FormatEngineering(base->Value(field));
    };
    const InputCheckOutcome outcome = CheckInputs(
        *base, fieldText, options.m_Transistor.value_or(GetTransistorRecord(base->TransistorIndex()).name));
    if (!outcome.Accepted()) {
        return Refused(outcome.message);
    }
    return outcome.inputs;
}

WorkflowOptions WorkflowOptionsOf(const SimulationCliOptions& options, const Resistances& resistances)
{
    WorkflowOptions workflow;
    workflow.m_Verify = options.Simulates();
    workflow.m_Tune = options.m_Tune;
    workflow.m_Conditions.m_LoadResistance = resistances.m_Load;
    workflow.m_Conditions.m_SourceResistance = resistances.m_Source;
    workflow.m_Analyses.m_ToleranceRuns = options.m_ToleranceRuns;
    workflow.m_Analyses.m_Seed = options.m_Seed;
    workflow.m_Analyses.m_Temperature = options.m_Temperature;
    workflow.m_Analyses.m_Distortion = options.m_Distortion;
    workflow.m_Analyses.m_Noise = options.m_Noise;
    workflow.m_Analyses.m_WorstCase = options.m_WorstCase;
    workflow.m_Yield = options.ShowsSimulation() || options.m_Tune;
    return workflow;
}

} // namespace norvane::cli
