#include "cli/RankOutput.h"

#include "cli/CommandLine.h"
#include "design/DesignResults.h"
#include "format/EngineeringFormat.h"
#include "simulation/Ranking.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace norvane::cli {

namespace {

using json = nlohmann::ordered_json;

json Number(double value)
{
    return std::isfinite(value) ? json(value) : json(nullptr);
}

// "2.2 kOhm", "7.15 Hz"; "-" for no figure.
std::string Quantity(double value, const char* unit)
{
    if (!std::isfinite(value)) {
        return "-";
    }
    ResultItem item;
    item.SetQuantity("", value, unit);
    return item.value;
}

std::string Percent(double fraction)
{
    return std::isfinite(fraction) ? FormatFixed(fraction * 100, 0) + " %" : "-";
}

const char* PolarityText(bool pnp)
{
    return pnp ? "PNP" : "NPN";
}

// The columns of the table: the type left-aligned, every figure right-aligned.
constexpr std::array<const char*, 11> Headings{
    "#", "Type", "Pol.", "B", "Gain", "Z_in", "Z_out", "f_-3dB", "Bias shift", "Score", "Verdict"};

std::vector<std::string> Cells(int place, const RankRow& row)
{
    return {std::to_string(place),
            row.m_Name,
            PolarityText(row.m_IsPnp),
            std::isfinite(row.m_CurrentGain) ? FormatFixed(row.m_CurrentGain, 0) : "-",
            std::isfinite(row.m_GainDb) ? FormatFixed(row.m_GainDb, 2) + " dB" : "-",
            Quantity(row.m_InputImpedance, "Ohm"),
            Quantity(row.m_OutputImpedance, "Ohm"),
            Quantity(row.m_LowerCutoff, "Hz"),
            Percent(row.m_BiasStability),
            Percent(row.m_Score),
            row.m_Meets ? "meets" : "misses"};
}

void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& lines)
{
    std::vector<std::size_t> width(Headings.size(), 0);
    for (const auto& line : lines) {
        for (std::size_t c = 0; c < line.size(); ++c) {
            width[c] = std::max(width[c], line[c].size());
        }
    }
    for (const auto& line : lines) {
        std::string text;
        for (std::size_t c = 0; c < line.size(); ++c) {
            const std::string pad(width[c] - line[c].size(), ' ');
            const bool left = c == 1 || c + 1 == line.size();
            text += (c == 0 ? "" : "  ") + (left ? line[c] + pad : pad + line[c]);
        }
        text.erase(text.find_last_not_of(' ') + 1);
        out << text << '\n';
    }
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
    command.add_option("--top", options.top, "How many of the best types to show (default 10)")
        ->option_text("N")
        ->check(CLI::PositiveNumber);
    command.add_option("--polarity", options.polarity, "Rank only NPN or only PNP types")
        ->check(CLI::IsMember({"npn", "pnp"}));
    command.add_flag("--json", options.json, "Print the ranking as JSON");
}

int RunRank(const DesignInputs& inputs, const RankCliOptions& options, std::ostream& out, std::ostream& err)
{
    RankOptions rankOptions;
    rankOptions.m_Polarity = FilterOf(options.polarity);
    const Expected<Ranking> ranking = Rank(inputs, rankOptions);
    if (!ranking) {
        err << ranking.Message() << '\n';
        return ExitFailure;
    }
    const std::size_t shown = std::min(ranking->m_Rows.size(), static_cast<std::size_t>(options.top));
    const CircuitInfo& circuit = CircuitInfoOf(inputs.Kind());

    if (options.json) {
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
                            {"meets", row.m_Meets}});
        }
        out << json{{"circuit", circuit.command},
                    {"inputs", inputsJson},
                    {"polarity", options.polarity.empty() ? "any" : options.polarity},
                    {"designed", ranking->m_Designed},
                    {"usable", ranking->m_Usable},
                    {"simulated", ranking->m_Simulated},
                    {"not_simulated", ranking->m_NotSimulated},
                    {"design_seconds", ranking->m_DesignSeconds},
                    {"simulation_seconds", ranking->m_SimulationSeconds},
                    {"rows", rows}}
                   .dump(2)
            << '\n';
        return ExitOk;
    }

    out << CircuitTitle(inputs.Kind()) << ": " << ranking->m_Designed << " types designed, "
        << ranking->m_Usable << " usable without notes, the best " << ranking->m_Simulated
        << " by their own figures simulated";
    if (ranking->m_NotSimulated > 0) {
        out << " (" << ranking->m_NotSimulated << " would not simulate)";
    }
    out << ".\nDesign " << FormatFixed(ranking->m_DesignSeconds * 1000, 0) << " ms, simulation "
        << FormatFixed(ranking->m_SimulationSeconds * 1000, 0) << " ms.\n\n";
    std::vector<std::vector<std::string>> lines;
    lines.emplace_back(Headings.begin(), Headings.end());
    for (std::size_t i = 0; i < shown; ++i) {
        lines.push_back(Cells(static_cast<int>(i + 1), ranking->m_Rows[i]));
    }
    PrintTable(out, lines);
    out << "\nB: Ic / Ib at the operating point. Bias shift: the change of Ic when BF is halved and "
           "doubled.\nScore: the sum of the relative errors of the simulated figures.\n";
    return ExitOk;
}

} // namespace norvane::cli
