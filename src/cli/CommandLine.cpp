#include "cli/CommandLine.h"

#include "cli/OptionValues.h"
#include "cli/SimulationOutput.h"

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "design/InputChecks.h"
#include "format/EngineeringFormat.h"
#include "report/Report.h"
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
#include <system_error>
#include <tuple>

namespace norvane::cli {

namespace {

using json = nlohmann::ordered_json;

// A double for JSON: non-finite values become null.
json Number(double value)
{
    return std::isfinite(value) ? json(value) : json(nullptr);
}

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

struct CircuitCommand {
    CircuitKind kind;
    const char* name;
    const char* alias;
    const char* description;
};

constexpr CircuitCommand Circuits[] = {
    {CircuitKind::CommonEmitter, "common-emitter", "ce", "Design a common-emitter amplifier"},
    {CircuitKind::CommonBase, "common-base", "cb", "Design a common-base amplifier"},
    {CircuitKind::CommonCollector, "common-collector", "cc",
     "Design a common-collector amplifier (emitter follower)"},
};

// Option name and help per requirement field.
struct FieldOption {
    InputField field;
    const char* option;
    const char* key;  // in the JSON "inputs" object
    const char* help;
};

constexpr FieldOption FieldOptions[] = {
    {InputField::Gain, "--gain", "gain_db", "Voltage gain in dB"},
    {InputField::LowerCutoff, "--fmin", "fmin", "Lower cut-off frequency in Hz"},
    {InputField::SupplyVoltage, "--supply", "supply", "Supply voltage in V"},
    {InputField::InputImpedance, "--zin", "zin", "Input impedance in ohms"},
    {InputField::OutputImpedance, "--zout", "zout", "Output impedance in ohms"},
    {InputField::CollectorCurrent, "--ic", "ic", "Collector current in A"},
};

const FieldOption& OptionOf(InputField field)
{
    return *std::find_if(std::begin(FieldOptions), std::end(FieldOptions),
                         [field](const FieldOption& option) { return option.field == field; });
}

// The design object of a circuit with its requirement defaults, and access
// to the fields the dialogs hold.
struct DesignRun {
    std::unique_ptr<AmplifierDesign> design;
    std::map<InputField, double> defaults;
    int* transistorIndex = nullptr;
    int* seriesIndex = nullptr;
    std::function<void(const InputCheckOutcome&)> apply;
};

template <typename Design>
using InputsOf = decltype(Design::m_Inputs);

// The requirement fields of a circuit and where its inputs keep them.
template <typename Design>
DesignRun MakeRun(std::initializer_list<std::pair<InputField, double InputsOf<Design>::*>> fields)
{
    DesignRun run;
    auto design = std::make_unique<Design>();
    InputsOf<Design>& in = design->m_Inputs;
    for (const auto& [field, member] : fields) {
        run.defaults[field] = in.*member;
    }
    run.transistorIndex = &in.m_TransistorIndex;
    run.seriesIndex = &in.m_SeriesIndex;
    run.apply = [&in](const InputCheckOutcome& outcome) { ApplyInputs(outcome, in); };
    run.design = std::move(design);
    return run;
}

DesignRun MakeDesign(CircuitKind kind)
{
    switch (kind) {
    case CircuitKind::CommonEmitter: {
        using In = CommonEmitterInputs;
        return MakeRun<CommonEmitterDesign>({{InputField::Gain, &In::m_GainDb},
                                             {InputField::LowerCutoff, &In::m_LowerCutoff},
                                             {InputField::SupplyVoltage, &In::m_SupplyVoltage},
                                             {InputField::InputImpedance, &In::m_InputImpedance},
                                             {InputField::OutputImpedance, &In::m_OutputImpedance}});
    }
    case CircuitKind::CommonBase: {
        using In = CommonBaseInputs;
        return MakeRun<CommonBaseDesign>({{InputField::LowerCutoff, &In::m_LowerCutoff},
                                          {InputField::SupplyVoltage, &In::m_SupplyVoltage},
                                          {InputField::OutputImpedance, &In::m_OutputImpedance}});
    }
    case CircuitKind::CommonCollector:
    case CircuitKind::None:
        break;
    }
    using In = CommonCollectorInputs;
    return MakeRun<CommonCollectorDesign>({{InputField::LowerCutoff, &In::m_LowerCutoff},
                                           {InputField::SupplyVoltage, &In::m_SupplyVoltage},
                                           {InputField::InputImpedance, &In::m_InputImpedance},
                                           {InputField::CollectorCurrent, &In::m_CollectorCurrent}});
}

struct DesignOptions {
    std::map<InputField, std::string> texts;
    std::string transistor = "BC548B";
    std::string series = "E24";
    bool json = false;
    std::string report;
    SimulationCliOptions simulation;
};

const char* CircuitName(CircuitKind kind)
{
    for (const CircuitCommand& circuit : Circuits) {
        if (circuit.kind == kind) {
            return circuit.name;
        }
    }
    return "";
}

int RunDesign(CircuitKind kind, const DesignOptions& options, std::ostream& out, std::ostream& err)
{
    DesignRun run = MakeDesign(kind);
    // A missing option takes the dialog's default, as the dialog shows it.
    auto fieldText = [&](InputField field) {
        const auto given = options.texts.find(field);
        return given != options.texts.end() ? given->second
                                             : FormatEngineering(run.defaults.at(field));
    };
    const InputCheckOutcome outcome = CheckInputs(kind, fieldText, options.transistor);
    if (!outcome.Accepted()) {
        err << outcome.message << '\n';
        return ExitBadInput;
    }
    run.apply(outcome);
    const auto series = std::find(SeriesCounts.begin(), SeriesCounts.end(),
                                  std::stoi(options.series.substr(1)));
    *run.seriesIndex = static_cast<int>(series - SeriesCounts.begin());

    double load = 0.0;
    if (const int status = ReadLoad(options.simulation, load, err); status != ExitOk) {
        return status;
    }

    AmplifierDesign& design = *run.design;
    design.Compute();
    // Every file of the command is written together, or none is.
    PendingWrites files;
    SimulationOutput simulation;
    if (const int status = RunSimulationOutput(design, options.simulation, load, simulation, files, err);
        status != ExitOk) {
        return status;
    }
    if (!options.report.empty()) {
        AddReport(files, options.report, design);
    }
    if (const Status written = files.Commit(); !written) {
        err << written.Message() << '\n';
        return ExitFailure;
    }

    if (options.json) {
        json values = json::object();
        for (const auto& [name, value] : design.ComponentNumbers()) {
            values[name] = Number(value);
        }
        values["Ic"] = Number(design.m_Ic);
        values["Uce"] = Number(design.m_Uce);
        values["P"] = Number(design.m_P);
        json inputs = json::object();
        for (const FieldRange& range : RangeCheckOrder(kind)) {
            inputs[OptionOf(range.field).key] = Number(outcome.values.at(range.field));
        }
        inputs["transistor"] = GetTransistorRecord(*run.transistorIndex).name;
        inputs["series"] = SeriesCounts.at(*run.seriesIndex);
        json document = {
            {"circuit", CircuitName(kind)},
            {"title", design.Title()},
            {"schematic_id", design.SchematicId()},
            {"input_data", ItemsJson(design.GetInputData())},
            {"component_values", ItemsJson(design.GetComponentValues())},
            {"operation_point", ItemsJson(design.GetOperationPoint())},
            {"values", values},
            {"inputs", inputs},
            {"usable", design.IsUsable()},
            {"problem", design.Problem()},
        };
        if (options.simulation.simulate) {
            document["simulation"] = SimulationJson(design, simulation);
        }
        out << document.dump(2) << '\n';
    } else {
        out << "Transistor amplifier, type: " << design.Title() << '\n';
        if (!design.IsUsable()) {
            out << design.ProblemNote() << '\n';
        }
        out << '\n';
        out << "Input data:\n";
        PrintItems(out, design.GetInputData());
        out << "\nResult:\n";
        PrintItems(out, design.GetComponentValues());
        out << "\nOperation point:\n";
        PrintItems(out, design.GetOperationPoint());
        if (options.simulation.simulate) {
            out << '\n';
            PrintSimulation(out, design, simulation);
        }
    }
    return ExitOk;
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
        out << json{{"name", record.name}, {"polarity", Polarity(index)}, {"parameters", parameters}}
                   .dump(2)
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

// The range a field of the common-collector design (it has both the
// collector current and the supply) is checked against.
const FieldRange& CommonCollectorRange(InputField field)
{
    const auto order = RangeCheckOrder(CircuitKind::CommonCollector);
    return *std::ranges::find(order, field, &FieldRange::field);
}

int RunModel(const std::string& name, const std::string& icText, const std::string& vceText,
             bool asJson, std::ostream& out, std::ostream& err)
{
    // Read as the design's fields are: the collector current in its range,
    // the voltage in the range of a supply that could give it.
    const FieldRange& current = CommonCollectorRange(InputField::CollectorCurrent);
    const FieldRange& supply = CommonCollectorRange(InputField::SupplyVoltage);
    const FieldRange voltage{supply.field, "of collector-emitter voltage", supply.min, supply.max};
    double ic = 0.0;
    double vce = 0.0;
    for (const auto& [text, range, value] : {std::tie(icText, current, ic), std::tie(vceText, voltage, vce)}) {
        if (!CheckRange(text, value, range.min, range.max)) {
            err << RangeMessage(range.label, range.min, range.max) << '\n';
            return ExitBadInput;
        }
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
    const char* status = model.IsValid() && !positiveBase ? "the base current is not positive"
                                                          : StatusText(model.GetStatus());
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

    // design <circuit> [requirements]
    CLI::App* designCommand = app.add_subcommand("design", "Design an amplifier and print the result");
    designCommand->require_subcommand(1);
    DesignOptions designOptions;
    std::optional<CircuitKind> chosenCircuit;
    for (const CircuitCommand& circuit : Circuits) {
        CLI::App* command = designCommand->add_subcommand(circuit.name, circuit.description);
        command->alias(circuit.alias);
        const std::map<InputField, double> defaults = MakeDesign(circuit.kind).defaults;
        for (const FieldRange& range : RangeCheckOrder(circuit.kind)) {
            const FieldOption& option = OptionOf(range.field);
            command->add_option_function<std::string>(
                option.option,
                [&designOptions, field = range.field](const std::string& text) {
                    designOptions.texts[field] = text;
                },
                std::string(option.help) + " (default "
                    + FormatEngineering(defaults.at(range.field)) + ")")
                ->check(NotAnOption());
        }
        command->add_option("--transistor", designOptions.transistor,
                            "Transistor type (default BC548B)")
            ->check(NotAnOption());
        command->add_option("--series", designOptions.series, "Resistor standard series (default E24)")
            ->check(CLI::IsMember({"E12", "E24", "E48", "E96"}));
        command->add_flag("--json", designOptions.json, "Print the result as JSON");
        command->add_option("--report", designOptions.report,
                            "Also save the report: the XHTML file at PATH, its schematic in "
                            "the folder <name>-Files beside it")
            ->option_text("PATH")
            ->check(FileName());
        AddSimulationOptions(*command, designOptions.simulation);
        command->footer("Values take SI prefix letters and units, as the dialogs do: "
                        "4k7, 2.2u, 100mA, 12 V.");
        command->callback([&chosenCircuit, kind = circuit.kind] { chosenCircuit = kind; });
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
    modelCommand->add_option("--vce", vceText, "Collector-emitter voltage in V")->required()->check(NotAnOption());
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

    if (chosenCircuit) {
        return RunDesign(*chosenCircuit, designOptions, out, err);
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
        err << "Cannot write the output" << (error != 0 ? ": " + std::generic_category().message(error) : std::string())
            << ".\n";
        return ExitFailure;
    }
    return status;
}

} // namespace norvane::cli
