#include "present/RankTable.h"

#include "design/DesignResults.h"
#include "format/EngineeringFormat.h"

#include <cmath>

namespace norvane {

namespace {

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

} // namespace

std::vector<std::string> RankCells(const RankRow& row)
{
    return {row.m_Name,
            row.m_IsPnp ? "PNP" : "NPN",
            std::isfinite(row.m_CurrentGain) ? FormatFixed(row.m_CurrentGain, 0) : "-",
            std::isfinite(row.m_GainDb) ? FormatFixed(row.m_GainDb, 2) + " dB" : "-",
            Quantity(row.m_InputImpedance, "Ohm"),
            Quantity(row.m_OutputImpedance, "Ohm"),
            Quantity(row.m_LowerCutoff, "Hz"),
            Percent(row.m_BiasStability),
            Percent(row.m_Score),
            row.m_Meets ? "meets" : "misses"};
}

std::string RankSummary(const Ranking& ranking)
{
    std::string text = std::to_string(ranking.m_Designed) + " types designed, " +
                       std::to_string(ranking.m_Usable) + " usable without notes, the best " +
                       std::to_string(ranking.m_Simulated) + " by their own figures simulated";
    if (ranking.m_NotSimulated > 0) {
        text += " (" + std::to_string(ranking.m_NotSimulated) + " would not simulate)";
    }
    return text;
}

} // namespace norvane
