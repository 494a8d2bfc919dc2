#include "cli/RankOutput.h"

#include "cli/CommandLine.h"
#include "cli/JsonNumber.h"
#include "cli/TablePrint.h"
#include "design/DesignResults.h"
#include "format/EngineeringFormat.h"
#include "present/RankTable.h"
#include "studies/Ranking.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace norvane::cli {

namespace {

using json = nlohmann::ordered_json;

const char* PolarityText(bool pnp)
{
    return pnp ? "PNP" : "NPN";
}

// The place, then the columns of the ranking table.
std::vector<std::string> Headings()
{
    std::vector<std::string> headings{"#"};
    for (const RankColumn& column : RankColumns) {
        headings.emplace_back(column.heading);
    }
    return headings;
}

std::vector<std::string> Cells(int place, const RankRow& row)
{
    std::vector<std::string> cells = RankCells(row);
    cells.insert(cells.begin(), std::to_string(place));
    return cells;
}

// "#" right-aligned, then the columns as RankColumns has them.
std::vector<bool> Alignment()
{
    std::vector<bool> left{false};
    for (const RankColumn& column : RankColumns) {
        left.push_back(column.leftAligned);
    }
    return left;
}

PolarityFilter FilterOf(const std::string& text)
{
    if (text == "npn") {
        return PolarityFilter::Npn;
    }
    return text == "pnp" ? PolarityFilter::Pnp : PolarityFilter::Any;
}

} // namespace

void AddRankOptions(CLI::App& command, RankCliOptions& options)
{
    command.add_option("--top", options.m_Top, "How many of the best types to show (default 10)")
        ->option_text("N")
        ->check(CLI::Range(1, MaximumTop));
    command.add_option("--polarity", options.m_Polarity, "Rank only NPN or only PNP types")
        ->transform(CLI::IsMember({"npn", "pnp"}, CLI::ignore_case));
    command.add_flag("--json", options.m_Json, "Print the ranking as JSON");
}

Status RunRank(const DesignInputs& inputs, const RankCliOptions& options, std::ostream& out)
{
    RankOptions rankOptions;
    rankOptions.m_Polarity = FilterOf(options.m_Polarity);
    rankOptions.m_Rows = options.m_Top;
    const Expected<Ranking> ranking = Rank(inputs, rankOptions);
    if (!ranking) {
        return ranking.AsStatus();
    }
    const std::size_t shown = std::min(ranking->m_Rows.size(), static_cast<std::size_t>(options.m_Top));
    const CircuitInfo& circuit = CircuitInfoOf(inputs.Kind());

    if (options.m_Json) {
        json inputsJson = json::object();
        for (const InputField field : circuit.testOrder) {
            inputsJson[FieldInfoOf(field).jsonKey] = Number(inputs.Value(field));
        }
        inputsJson["series"] = SeriesCounts.at(inputs.SeriesIndex());
        json rows = json::array();
        for (std::size_t i = 0; i < shown; ++i) {
            const RankRow& row = ranking->m_Rows[i];
            rows.push_back({{"rank", i + 1},
                            {"transistor", row.m_Name},
                            {"polarity", PolarityText(row.m_IsPnp)},
                            {"current_gain", Number(row.m_CurrentGain)},
                            {"gain_db", Number(row.m_GainDb)},
                            {"input_impedance", Number(row.m_InputImpedance)},
                            {"output_impedance", Number(row.m_OutputImpedance)},
                            {"lower_cutoff", Number(row.m_LowerCutoff)},
                            {"ic", Number(row.m_Ic)},
                            {"simulated_ic", Number(row.m_SimulatedIc)},
                            {"bias_stability", Number(row.m_BiasStability)},
                            {"score", Number(row.m_Score)},
                            {"meets", row.m_Meets},
                            {"vceo", Number(row.m_Vceo)},
                            {"ic_max", Number(row.m_IcMax)},
                            {"ptot", Number(row.m_Ptot)},
                            {"rating_unknown", row.m_RatingUnknown}});
        }
        out << json{{"circuit", circuit.command},
                    {"inputs", inputsJson},
                    {"polarity", options.m_Polarity.empty() ? "any" : options.m_Polarity},
                    {"designed", ranking->m_Designed},
                    {"usable", ranking->m_Usable},
                    {"over_rating", ranking->m_OverRating},
                    {"modelled", ranking->m_Modelled},
                    {"simulated", ranking->m_Simulated},
                    {"not_simulated", ranking->m_NotSimulated},
                    {"design_seconds", ranking->m_DesignSeconds},
                    {"simulation_seconds", ranking->m_SimulationSeconds},
                    {"rows", rows}}
                   .dump(2)
            << '\n';
        return {};
    }

    out << CircuitTitle(inputs.Kind()) << ": " << RankSummary(*ranking) << ".\nDesign "
        << FormatFixed(ranking->m_DesignSeconds * 1000, 0) << " ms, simulation "
        << FormatFixed(ranking->m_SimulationSeconds * 1000, 0) << " ms.\n\n";
    std::vector<std::vector<std::string>> lines;
    lines.push_back(Headings());
    for (std::size_t i = 0; i < shown; ++i) {
        lines.push_back(Cells(static_cast<int>(i + 1), ranking->m_Rows[i]));
    }
    PrintTable(out, lines, Alignment());
    out << "\nB: Ic / Ib at the operating point. Bias shift: the change of Ic when BF is halved and "
           "doubled.\nScore: the sum of the relative errors of the simulated figures.\n";
    if (std::any_of(ranking->m_Rows.begin(), ranking->m_Rows.begin() + static_cast<std::ptrdiff_t>(shown),
                    [](const RankRow& row) { return row.m_RatingUnknown; })) {
        out << RatingUnknownNote << '\n';
    }
    return {};
}

} // namespace norvane::cli
