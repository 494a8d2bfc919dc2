#include "cli/DesignCommand.h"

#include "cli/CommandLine.h"
#include "cli/JsonNumber.h"
#include "cli/ProgressLine.h"
#include "cli/SimulationPrint.h"
#include "design/AmplifierDesign.h"
#include "design/DesignResults.h"
#include "design/StandardSeries.h"
#include "present/PartsList.h"
#include "report/Report.h"
#include "report/ReportReader.h"
#include "transistors/TransistorTable.h"
#include "workflow/DesignWorkflow.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <optional>
#include <utility>
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

const char* CheckName(const CheckedRating& rating)
{
    switch (rating.Check()) {
    case RatingCheck::Within: return "within";
    case RatingCheck::Exceeded: return "exceeded";
    case RatingCheck::Unknown: break;
    }
    return "unknown";
}

// One object per part, as README.md describes "parts".
json PartsJson(const PartsList& list)
{
    json parts = json::array();
    for (const PartsListRow& row : list.m_Rows) {
        json part = {{"ref", row.m_Reference},
                     {"kind", PartKindName(row.m_Kind)},
                     {"value", Number(row.m_Value)},
                     {"text", row.m_ValueText},
                     {"tolerance", Number(row.m_Tolerance)}};
        if (row.m_Kind == PartKind::Transistor) {
            const std::optional<TransistorStress>& t1 = list.m_Transistor;
            const double nan = std::numeric_limits<double>::quiet_NaN();
            part["voltage"] = Number(t1 ? t1->m_Voltage.m_Figure : nan);
            part["uce"] = Number(t1 ? t1->m_Uce : nan);
            part["current"] = Number(t1 ? t1->m_Current.m_Figure : nan);
            part["dissipation"] = Number(row.m_Stress);
            if (t1) {
                part["rating"] = {{"vceo", Number(t1->m_Voltage.m_Rating)},
                                  {"ic_max", Number(t1->m_Current.m_Rating)},
                                  {"ptot", Number(t1->m_Power.m_Rating)}};
                part["checks"] = {{"vceo", CheckName(t1->m_Voltage)},
                                  {"ic_max", CheckName(t1->m_Current)},
                                  {"ptot", CheckName(t1->m_Power)}};
            } else {
                part["rating"] = nullptr;
                part["checks"] = nullptr;
            }
        } else {
            part[row.m_Kind == PartKind::Resistor ? "dissipation" : "voltage"] = Number(row.m_Stress);
            part["rating"] = Number(row.m_Rating);
        }
        if (row.m_Kind == PartKind::Capacitor) {
            part["positive"] = row.m_PositiveNode.empty() ? json(nullptr) : json(row.m_PositiveNode);
        }
        part["description"] = row.m_Description;
        part["note"] = row.m_Note;
        parts.push_back(std::move(part));
    }
    return parts;
}

void PrintItems(std::ostream& out, const ResultList& list)
{
    for (const ResultItem& item : list) {
        out << item.name << " = " << item.value << '\n';
    }
}

// Where path leads: absolute, "." and ".." resolved, and the symbolic
// links of the part that exists followed.
std::filesystem::path Resolved(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : resolved;
}

// Whether path lies inside folder.
bool IsInside(const std::filesystem::path& path, const std::filesystem::path& folder)
{
    const auto [end, rest] = std::mismatch(folder.begin(), folder.end(), path.begin(), path.end());
    return end == folder.end() && rest != path.end();
}

// Two outputs that lead to one file, or one inside the report's folder of
// pictures, would overwrite each other: refused before anything is done.
Status CheckDistinctOutputs(const DesignOptions& options)
{
    const std::pair<const char*, const std::string*> named[] = {
        {"--report", &options.m_Report},
        {"--netlist", &options.m_Simulation.m_NetlistPath},
        {"--bode", &options.m_Simulation.m_BodePath},
        {"--bom", &options.m_PartsList},
        {"--kicad", &options.m_KicadSchematic}};
    std::vector<std::pair<const char*, std::filesystem::path>> outputs;
    for (const auto& [option, path] : named) {
        if (!path->empty()) {
            outputs.emplace_back(option, Resolved(*path));
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        for (std::size_t j = i + 1; j < outputs.size(); ++j) {
            if (outputs[i].second == outputs[j].second) {
                return Refused(std::string(outputs[i].first) + " and " + outputs[j].first +
                               " name the same file: " + outputs[i].second.string());
            }
        }
    }
    if (!options.m_Report.empty()) {
        if (const std::string other = ReportSharingPictureFolder(options.m_Report); !other.empty()) {
            return Refused("--report " + options.m_Report + " would share the folder " +
                           ImageFolderPath(options.m_Report) + " with the report " + other +
                           ", whose pictures it would replace");
        }
        const std::filesystem::path pictures = Resolved(ImageFolderPath(options.m_Report));
        for (const auto& [option, path] : outputs) {
            if (path == pictures || IsInside(path, pictures)) {
                return Refused(std::string(option) + " names a file in the report's folder " +
                               pictures.string() + ", which --report writes");
            }
        }
    }
    return {};
}

// The setup of a report read with --from: the part values applied and
// the what-if values, unless requirements given on the command line make
// it another design (then they are left out, and stderr says so); the
// load and the source unless given; the analyses the report ran, when the
// command simulates and asks for none of its own.
void TakeSetup(const ReportRecipe& report, const DesignInputs& inputs, const DesignOptions& options,
               WorkflowOptions& workflow, std::ostream& err)
{
    const DesignSetup& setup = report.setup;
    const SimulationCliOptions& simulation = options.m_Simulation;
    if (report.inputs == inputs) {
        workflow.m_Applied = setup.m_Applied;
        workflow.m_Conditions.m_PartValues = setup.m_Conditions.m_PartValues;
    } else if (!setup.m_Applied.empty() || !setup.m_Conditions.m_PartValues.empty()) {
        err << "The part values set in " << options.m_From
            << " are left out: they belong to its own requirements.\n";
    }
    if (simulation.m_LoadText.empty()) {
        workflow.m_Conditions.m_LoadResistance = setup.m_Conditions.m_LoadResistance;
    }
    if (simulation.m_SourceText.empty()) {
        workflow.m_Conditions.m_SourceResistance = setup.m_Conditions.m_SourceResistance;
    }
    if (simulation.Simulates() && !simulation.Analyses()) {
        workflow.m_Analyses = setup.m_Analyses;
    }
}

} // namespace

Status RunDesign(std::optional<CircuitKind> kind, const DesignOptions& options, std::ostream& out,
                 std::ostream& err, bool errIsTerminal)
{
    const Expected<DesignInputs> inputs = GatherInputs(kind, options);
    if (!inputs) {
        return inputs.AsStatus();
    }
    const Expected<Resistances> resistances = ReadResistances(options.m_Simulation);
    if (!resistances) {
        return resistances.AsStatus();
    }
    if (const Status distinct = CheckDistinctOutputs(options); !distinct) {
        return distinct;
    }

    // A report read with --from brings back what it was saved with, as
    // far as the command line does not say otherwise.
    std::optional<ReportRecipe> report;
    if (!options.m_From.empty()) {
        if (Expected<ReportRecipe> recipe = ReadReportFile(options.m_From)) {
            report = std::move(recipe).Value();
        }
    }
    WorkflowOptions workflow = WorkflowOptionsOf(options.m_Simulation, *resistances);
    if (report) {
        TakeSetup(*report, *inputs, options, workflow, err);
    }
    std::optional<ProgressLine> progress;
    if (errIsTerminal && !options.m_Json) {
        progress.emplace(err);
    }
    const WorkflowResult result =
        RunDesignWorkflow(*inputs, workflow, progress ? progress->Callback() : nullptr);
    progress.reset();
    // Every file of the command is written together, or none is.
    PendingWrites files;
    const OutputFiles paths{options.m_Report, options.m_Simulation.m_NetlistPath,
                            options.m_Simulation.m_BodePath, options.m_PartsList, options.m_KicadSchematic};
    if (const Status added = AddOutputFiles(result, workflow, paths, files); !added) {
        return added;
    }
    if (const Status written = files.Commit(); !written) {
        return written;
    }

    const AmplifierDesign& design = *result.m_Design;
    // Computed again from a report's own requirements, the design says
    // where it differs from the file, as the desktop program does on Open
    // (requirements changed on the command line differ on purpose).
    std::vector<std::string> notes = design.Notes();
    if (report && report->inputs == *inputs) {
        const std::string note = DifferenceNote(options.m_From, DifferencesFromReport(*report, design));
        if (!note.empty()) {
            err << note << '\n';
            notes.push_back(note);
        }
    }
    const CircuitInfo& circuit = CircuitInfoOf(inputs->Kind());
    const SimulationCliOptions& simulation = options.m_Simulation;
    if (options.m_Json) {
        json values = json::object();
        for (const auto& [name, value] : design.ComponentNumbers()) {
            values[name] = Number(value);
        }
        values["Ic"] = Number(design.Ic());
        values["Uce"] = Number(design.Uce());
        values["P"] = Number(design.P());
        json inputsJson = json::object();
        for (const InputField field : circuit.testOrder) {
            inputsJson[FieldInfoOf(field).jsonKey] = Number(inputs->Value(field));
        }
        inputsJson["transistor"] = GetTransistorRecord(inputs->TransistorIndex()).name;
        inputsJson["series"] = SeriesCounts.at(inputs->SeriesIndex());
        json document = {
            {"circuit", circuit.command},
            {"title", design.Title()},
            {"schematic_id", design.SchematicId()},
            {"input_data", ItemsJson(design.GetInputData())},
            {"component_values", ItemsJson(design.GetComponentValues())},
            {"operation_point", ItemsJson(design.GetOperationPoint())},
            {"values", values},
            {"inputs", inputsJson},
            {"usable", design.IsUsable()},
            {"problem", design.Problem()},
            {"notes", notes},
            {"parts", PartsJson(PartsListOf(design))},
        };
        if (simulation.ShowsSimulation()) {
            document["simulation"] = SimulationJson(result, workflow);
        }
        if (simulation.ShowsSimulation() || simulation.m_Tune) {
            document["verdict"] = VerdictJson(result.m_Verification.m_Verdict);
        }
        if (simulation.m_Tune) {
            document["tuned"] = TunedJson(result);
        }
        AddAnalysesJson(document, result.m_Analyses);
        out << document.dump(2) << '\n';
    } else {
        out << "Transistor amplifier, type: " << design.Title() << '\n';
        for (const std::string& note : DesignNotes(design)) {
            out << note << '\n';
        }
        if (simulation.ShowsSimulation() || simulation.m_Tune) {
            PrintVerdict(out, result, workflow);
        }
        out << '\n';
        out << "Input data:\n";
        PrintItems(out, design.GetInputData());
        out << "\nResult:\n";
        PrintItems(out, design.GetComponentValues());
        out << "\nOperation point:\n";
        PrintItems(out, design.GetOperationPoint());
        if (simulation.ShowsSimulation()) {
            out << '\n';
            PrintSimulation(out, result, workflow);
        }
        PrintAnalyses(out, result.m_Analyses);
    }
    return {};
}

} // namespace norvane::cli
