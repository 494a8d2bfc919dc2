#include "cli/CommandLine.h"

#include "cli/JsonNumber.h"
#include "cli/OptionValues.h"
#include "cli/RankOutput.h"
#include "cli/SimulationOutput.h"

#include "design/InputChecks.h"
#include "format/EngineeringFormat.h"
#include "report/Report.h"
#include "report/ReportReader.h"
#include "report/SchematicImages.h"
#include "transistors/TransistorModel.h"
#include "transistors/TransistorTable.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <system_error>
#include <vector>

namespace norvane::cli {

namespace {

using json = nlohmann::ordered_json;

json ItemsJson(const ResultList& list)
{
    json items = json::array();
    for (const ResultItem& item : list) {
        items.push_back({{"name", item.name}, {"value", item.value}});
    }
    return items;
}

void PrintItems(std::ostream& out, const ResultList& list)
{
    for (const ResultItem& item : list) {
        out << item.name << " = " << item.value << '\n';
    }
}

std::string Polarity(int index)
{
    return IsPnpTransistor(index) ? "PNP" : "NPN";
}

// "%.17g": enough digits to read the same double back.
std::string Exact(double value)
{
    return FormatGeneral(value, 17);
}

struct DesignOptions {
    std::map<InputField, std::string> texts;
    std::optional<std::string> transistor;
    std::optional<std::string> series;
    std::string from;
    bool json = false;
    std::string report;
    SimulationCliOptions simulation;
};

// The requirements to design from: the circuit's defaults, or those of the
// report named by --from; then every option given, checked by the dialogs'
// rules. ExitOk, or ExitBadInput with the message on err.
int GatherInputs(std::optional<CircuitKind> kind, const DesignOptions& options,
                 std::optional<DesignInputs>& inputs, std::ostream& err)
{
    std::optional<DesignInputs> base;
    if (!options.from.empty()) {
        const Expected<ReportRecipe> recipe = ReadReportFile(options.from);
        if (!recipe) {
            err << recipe.Message() << '\n';
            return ExitBadInput;
        }
        if (kind && recipe->inputs.Kind() != *kind) {
            err << "\"" << options.from << "\" is a report of a " << CircuitTitle(recipe->inputs.Kind())
                << ", not of a " << CircuitTitle(*kind) << '\n';
            return ExitBadInput;
        }
        base = recipe->inputs;
    } else if (kind) {
        base = DesignInputs(*kind);
    } else {
        err << "design needs a circuit (ce, cb or cc) or --from REPORT\n";
        return ExitBadInput;
    }
    for (const auto& [field, text] : options.texts) {
        if (!base->Has(field)) {
            err << FieldInfoOf(field).option << " is no requirement of the " << CircuitTitle(base->Kind())
                << '\n';
            return ExitBadInput;
        }
    }
    if (options.series) {
        const auto series = std::ranges::find_if(
            SeriesCounts, [&](int count) { return *options.series == SeriesLabel(count); });
        base->SetSeriesIndex(static_cast<int>(series - SeriesCounts.begin()));
    }
    // A field not given keeps the value the dialog would show.
    const auto fieldText = [&](InputField field) {
        const auto given = options.texts.find(field);
        return given != options.texts.end() ? given->second : FormatEngineering(base->Value(field));
    };
    const InputCheckOutcome outcome = CheckInputs(
        *base, fieldText, options.transistor.value_or(GetTransistorRecord(base->TransistorIndex()).name));
    if (!outcome.Accepted()) {
        err << outcome.message << '\n';
        return ExitBadInput;
    }
    inputs = outcome.inputs;
    return ExitOk;
}

int RunDesign(std::optional<CircuitKind> kind, const DesignOptions& options, std::ostream& out,
              std::ostream& err)
{
    std::optional<DesignInputs> inputs;
    if (const int status = GatherInputs(kind, options, inputs, err); status != ExitOk) {
        return status;
    }
    double load = 0.0;
    double source = 0.0;
    if (const int status = ReadResistances(options.simulation, load, source, err); status != ExitOk) {
        return status;
    }

    const std::unique_ptr<AmplifierDesign> design = MakeDesign(inputs->Kind());
    design->Compute(*inputs);
    SimulationOutput simulation;
    RunSimulation(*design, options.simulation, load, source, simulation);
    // The design the files are written of: after --tune, with the proposal
    // applied (its notes name each change).
    std::unique_ptr<AmplifierDesign> tuned;
    if (simulation.proposal) {
        tuned = MakeDesign(inputs->Kind());
        tuned->Compute(*inputs);
        tuned->ApplyPartValues(simulation.proposal->PartValues());
        simulation.tuned = Verify(*tuned, simulation.Conditions());
    }
    const AmplifierDesign& written = tuned ? *tuned : *design;
    RunAnalyses(written, options.simulation, simulation);
    // Every file of the command is written together, or none is.
    PendingWrites files;
    if (const int status = AddSimulationFiles(written, options.simulation, simulation, files, err);
        status != ExitOk) {
        return status;
    }
    if (!options.report.empty()) {
        if (simulation.ran) {
            AddReport(files, options.report,
                      ReportContentOf(written, simulation.tuned ? *simulation.tuned : simulation.verification,
                                      nullptr, &simulation.robustness),
                      SchematicPng(written.SchematicId()));
        } else {
            AddReport(files, options.report, *design);
        }
    }
    if (const Status written = files.Commit(); !written) {
        err << written.Message() << '\n';
        return ExitFailure;
    }

    const CircuitInfo& circuit = CircuitInfoOf(inputs->Kind());
    if (options.json) {
        json values = json::object();
        for (const auto& [name, value] : design->ComponentNumbers()) {
            values[name] = Number(value);
        }
        values["Ic"] = Number(design->Ic());
        values["Uce"] = Number(design->Uce());
        values["P"] = Number(design->P());
        json inputsJson = json::object();
        for (const InputField field : circuit.testOrder) {
            inputsJson[FieldInfoOf(field).jsonKey] = Number(inputs->Value(field));
        }
        inputsJson["transistor"] = GetTransistorRecord(inputs->TransistorIndex()).name;
        inputsJson["series"] = SeriesCounts.at(inputs->SeriesIndex());
        json document = {
            {"circuit", circuit.command},
            {"title", design->Title()},
            {"schematic_id", design->SchematicId()},
            {"input_data", ItemsJson(design->GetInputData())},
            {"component_values", ItemsJson(design->GetComponentValues())},
            {"operation_point", ItemsJson(design->GetOperationPoint())},
            {"values", values},
            {"inputs", inputsJson},
            {"usable", design->IsUsable()},
            {"problem", design->Problem()},
            {"notes", design->Notes()},
        };
        if (options.simulation.ShowsSimulation()) {
            document["simulation"] = SimulationJson(*design, simulation);
        }
        if (options.simulation.ShowsSimulation() || options.simulation.tune) {
            document["verdict"] = VerdictJson(simulation.verification.m_Verdict);
        }
        if (options.simulation.tune) {
            document["tuned"] = TunedJson(written, simulation);
        }
        AddAnalysesJson(document, simulation);
        out << document.dump(2) << '\n';
    } else {
        out << "Transistor amplifier, type: " << design->Title() << '\n';
        for (const std::string& note : DesignNotes(*design)) {
            out << note << '\n';
        }
        if (options.simulation.ShowsSimulation() || options.simulation.tune) {
            PrintVerdict(out, simulation);
        }
        out << '\n';
        out << "Input data:\n";
        PrintItems(out, design->GetInputData());
        out << "\nResult:\n";
        PrintItems(out, design->GetComponentValues());
        out << "\nOperation point:\n";
        PrintItems(out, design->GetOperationPoint());
        if (options.simulation.ShowsSimulation()) {
            out << '\n';
            PrintSimulation(out, *design, simulation);
        }
        PrintAnalyses(out, simulation);
    }
    return ExitOk;
}

// The requirement options of a design or ranking command: the fields
// given, the type (askType), the series, the report to start from.
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
                    options.texts[field] = text;
                },
                help)
            ->check(NotAnOption());
    }
    if (askType) {
        command
            .add_option_function<std::string>(
                "--transistor", [&options](const std::string& text) { options.transistor = text; },
                std::string("Transistor type (default ") + DefaultTransistorName + ")")
            ->check(NotAnOption());
    }
    command
        .add_option_function<std::string>(
            "--series", [&options](const std::string& text) { options.series = text; },
            "Resistor standard series (default E24)")
        ->check(CLI::IsMember({"E12", "E24", "E48", "E96"}));
    command
        .add_option("--from", options.from,
                    "Take the requirements, type and series from a saved report; options "
                    "given beside it override them")
        ->option_text("REPORT")
        ->check(FileName());
    command.footer("Values take SI prefix letters and units, as the dialogs do: "
                   "4k7, 2.2u, 100mA, 12 V.");
}

// The options of a design command: the requirements, the type, the
// series, the outputs.
void AddDesignOptions(CLI::App& command, std::span<const CircuitField> fields, DesignOptions& options)
{
    AddRequirementOptions(command, fields, true, options);
    command.add_flag("--json", options.json, "Print the result as JSON");
    command
        .add_option("--report", options.report,
                    "Also save the report: the XHTML file at PATH, its schematic in "
                    "the folder <name>-Files beside it")
        ->option_text("PATH")
        ->check(FileName());
    AddSimulationOptions(command, options.simulation);
}

int RunTransistors(bool asJson, std::ostream& out)
{
    if (asJson) {
        json list = json::array();
        for (int i = 0; i < GetTransistorCount(); ++i) {
            list.push_back({{"name", GetTransistorRecord(i).name}, {"polarity", Polarity(i)}});
        }
        out << list.dump(2) << '\n';
        return ExitOk;
    }
    for (int i = 0; i < GetTransistorCount(); ++i) {
        out << GetTransistorRecord(i).name << ' ' << Polarity(i) << '\n';
    }
    return ExitOk;
}

int FindOrComplain(const std::string& name, std::ostream& err)
{
    const int index = FindTransistor(std::string_view(name));
    if (index < 0) {
        err << UnknownTransistorMessage << '\n';
    }
    return index;
}

int RunTransistor(const std::string& name, bool asJson, std::ostream& out, std::ostream& err)
{
    const int index = FindOrComplain(name, err);
    if (index < 0) {
        return ExitBadInput;
    }
    const TransistorRecord record = GetTransistorRecord(index);
    if (asJson) {
        json parameters = json::object();
        for (int k = 0; k < TransistorParameterCount; ++k) {
            parameters[TransistorParameterNames[k]] = TransistorParameter(record, k);
        }
        out << json{{"name", record.name}, {"polarity", Polarity(index)}, {"parameters", parameters}}.dump(2)
            << '\n';
        return ExitOk;
    }
    out << record.name << ' ' << Polarity(index) << '\n';
    for (int k = 0; k < TransistorParameterCount; ++k) {
        out << TransistorParameterNames[k] << " = " << Exact(TransistorParameter(record, k)) << '\n';
    }
    return ExitOk;
}

const char* StatusText(ModelStatus status)
{
    switch (status) {
    case ModelStatus::Solved: return "solved";
    case ModelStatus::OutsideLimits: return "outside the model's limits (Ic >= 1 pA, Vce >= 1 V)";
    case ModelStatus::NotConverged: return "the transistor cannot carry this current";
    case ModelStatus::NoNumber: return "the equations have no finite solution here";
    }
    return "";
}

// Reads a value with the dialogs' rules against the range of a field,
// naming it by label. ExitOk, or ExitBadInput with the message on err.
int ReadModelValue(const std::string& text, InputField rangeOf, const char* label, double& value,
                   std::ostream& err)
{
    const FieldInfo& info = FieldInfoOf(rangeOf);
    const std::optional<double> read = ReadEngineering(text);
    if (!read) {
        err << NotANumberMessage(label) << '\n';
        return ExitBadInput;
    }
    value = *read;
    if (!(info.min <= value && value <= info.max)) {
        err << RangeMessage(label, info.min, info.max) << '\n';
        return ExitBadInput;
    }
    return ExitOk;
}

int RunModel(const std::string& name, const std::string& icText, const std::string& vceText, bool asJson,
             std::ostream& out, std::ostream& err)
{
    // Read as the design's fields are: the collector current in its range,
    // the voltage in the range of a supply that could give it.
    double ic = 0.0;
    double vce = 0.0;
    if (const int status = ReadModelValue(icText, InputField::CollectorCurrent,
                                          FieldInfoOf(InputField::CollectorCurrent).rangeLabel, ic, err);
        status != ExitOk) {
        return status;
    }
    if (const int status =
            ReadModelValue(vceText, InputField::SupplyVoltage, "of collector-emitter voltage", vce, err);
        status != ExitOk) {
        return status;
    }
    const int index = FindOrComplain(name, err);
    if (index < 0) {
        return ExitBadInput;
    }
    TransistorModel model;
    model.SelectTransistor(index);
    model.SetOperatingPoint(ic, vce);
    const double vbe = model.GetBaseEmitterVoltage();
    const double ib = model.GetBaseCurrent();
    // The model gives a negative base current where leakage outweighs the
    // forward base current; that is no operating point to bias for.
    const bool positiveBase = ib > 0;
    const bool valid = model.IsValid() && positiveBase;
    const char* status =
        model.IsValid() && !positiveBase ? "the base current is not positive" : StatusText(model.GetStatus());
    if (asJson) {
        out << json{{"name", GetTransistorRecord(index).name},
                    {"vbe", Number(vbe)},
                    {"ib", Number(ib)},
                    {"valid", valid},
                    {"status", status}}
                   .dump(2)
            << '\n';
        return ExitOk;
    }
    out << "Vbe = " << Exact(vbe) << " V\n";
    out << "Ib = " << Exact(ib) << " A\n";
    out << "valid = " << (valid ? "yes" : "no") << '\n';
    out << "status = " << status << '\n';
    return ExitOk;
}

int RunCommand(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{

    CLI::App app{"Norvane: design of single-stage bipolar transistor amplifiers", "norvane-cli"};
    app.set_version_flag("--version", std::string("norvane-cli ") + NORVANE_VERSION);
    app.require_subcommand(1);
    // Building every command's options costs more than a design does, so a
    // command gets its options only when the arguments name it (a word that
    // merely looks like a name costs a few options more, nothing else).
    const auto named = [&](std::string_view word) {
        return std::any_of(argv + 1, argv + argc, [&](const char* argument) { return word == argument; });
    };
    const auto namedCircuit = [&](const CircuitInfo& circuit) {
        return named(circuit.command) || named(circuit.alias);
    };

    // design <circuit> [requirements], or design --from REPORT [requirements]
    CLI::App* designCommand = app.add_subcommand(
        "design", "Design an amplifier and print the result; with --from and no circuit, the "
                  "circuit of the report");
    designCommand->require_subcommand(0, 1);
    DesignOptions designOptions;
    std::optional<CircuitKind> chosenCircuit;
    // Every field on the bare command, for --from; the circuit's own on each.
    std::vector<CircuitField> allFields;
    for (std::size_t f = 0; f < InputFieldCount; ++f) {
        allFields.push_back({static_cast<InputField>(f), 0.0, 0});
    }
    // The bare command's options serve --from without a circuit; after a
    // circuit, its own take over.
    const bool circuitNamed = std::ranges::any_of(AllCircuits(), namedCircuit);
    if (named("design") && !circuitNamed) {
        AddDesignOptions(*designCommand, allFields, designOptions);
    }
    for (const CircuitInfo& circuit : AllCircuits()) {
        if (!named("design")) {
            break;
        }
        CLI::App* command = designCommand->add_subcommand(circuit.command, circuit.description);
        command->alias(circuit.alias);
        if (namedCircuit(circuit)) {
            AddDesignOptions(*command, circuit.dialogOrder, designOptions);
        }
        command->callback([&chosenCircuit, kind = circuit.kind] { chosenCircuit = kind; });
    }

    // rank <circuit> [requirements]
    CLI::App* rankCommand = app.add_subcommand(
        "rank", "Rank every built-in transistor type for a circuit's requirements: design with "
                "each, simulate the best, and list them");
    rankCommand->require_subcommand(1);
    DesignOptions rankRequirements;
    RankCliOptions rankOptions;
    std::optional<CircuitKind> rankCircuit;
    for (const CircuitInfo& circuit : AllCircuits()) {
        if (!named("rank")) {
            break;
        }
        CLI::App* command = rankCommand->add_subcommand(circuit.command, circuit.description);
        command->alias(circuit.alias);
        if (namedCircuit(circuit)) {
            AddRequirementOptions(*command, circuit.dialogOrder, false, rankRequirements);
            AddRankOptions(*command, rankOptions);
        }
        command->callback([&rankCircuit, kind = circuit.kind] { rankCircuit = kind; });
    }

    bool listJson = false;
    CLI::App* listCommand = app.add_subcommand("transistors", "List the built-in transistor types");
    listCommand->add_flag("--json", listJson, "Print as JSON");

    std::string recordName;
    bool recordJson = false;
    CLI::App* recordCommand = app.add_subcommand("transistor", "Print the model card of a transistor type");
    recordCommand->add_option("NAME", recordName, "Transistor type")->required();
    recordCommand->add_flag("--json", recordJson, "Print as JSON");

    std::string modelName, icText, vceText;
    bool modelJson = false;
    CLI::App* modelCommand =
        app.add_subcommand("model", "Solve the DC model of a transistor at an operating point");
    modelCommand->add_option("NAME", modelName, "Transistor type")->required();
    modelCommand->add_option("--ic", icText, "Collector current in A")->required()->check(NotAnOption());
    modelCommand->add_option("--vce", vceText, "Collector-emitter voltage in V")
        ->required()
        ->check(NotAnOption());
    modelCommand->add_flag("--json", modelJson, "Print as JSON");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        // Help of the innermost command that was named.
        const CLI::App* shown = &app;
        for (CLI::App* sub = &app; sub != nullptr;) {
            const auto chosen = sub->get_subcommands();
            sub = chosen.empty() ? nullptr : chosen.front();
            if (sub != nullptr) {
                shown = sub;
            }
        }
        out << shown->help();
        return ExitOk;
    } catch (const CLI::CallForVersion&) {
        out << app.version() << '\n';
        return ExitOk;
    } catch (const CLI::ParseError& error) {
        err << error.what() << '\n';
        err << "Run with --help for more information.\n";
        return ExitBadInput;
    }

    if (designCommand->parsed()) {
        return RunDesign(chosenCircuit, designOptions, out, err);
    }
    if (rankCommand->parsed()) {
        std::optional<DesignInputs> inputs;
        if (const int status = GatherInputs(rankCircuit, rankRequirements, inputs, err); status != ExitOk) {
            return status;
        }
        return RunRank(*inputs, rankOptions, out, err);
    }
    if (listCommand->parsed()) {
        return RunTransistors(listJson, out);
    }
    if (recordCommand->parsed()) {
        return RunTransistor(recordName, recordJson, out, err);
    }
    if (modelCommand->parsed()) {
        return RunModel(modelName, icText, vceText, modelJson, out, err);
    }
    return ExitBadInput;
}

} // namespace

int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    UseEnglishNumberFormat();
    const int status = RunCommand(argc, argv, out, err);
    // Output that did not arrive (a full disk, a closed pipe) is a failure.
    errno = 0;
    out.flush();
    if (!out) {
        const int error = errno;
        err << "Cannot write the output"
            << (error != 0 ? ": " + std::generic_category().message(error) : std::string()) << ".\n";
        return ExitFailure;
    }
    return status;
}

} // namespace norvane::cli
