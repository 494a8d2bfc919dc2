#include "present/RankTable.h"

#include "format/Units.h"

#include "design/DesignResults.h"
#include "format/EngineeringFormat.h"

#include <cmath>

namespace norvane {

namespace {

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
            QuantityOrDash(row.m_InputImpedance, "ohm"),
            QuantityOrDash(row.m_OutputImpedance, "ohm"),
            QuantityOrDash(row.m_LowerCutoff, "Hz"),
            Percent(row.m_BiasStability),
            Percent(row.m_Score),
            row.m_Meets ? "meets" : "misses",
            QuantityOrDash(row.m_Vceo, "V"),
            QuantityOrDash(row.m_IcMax, "A"),
            QuantityOrDash(row.m_Ptot, "W"),
            row.m_RatingUnknown ? RatingUnknownMark : ""};
}

std::string RankSummary(const Ranking& ranking)
{
    std::string text = std::to_string(ranking.m_Designed) + " types designed, " +
                       std::to_string(ranking.m_Usable) + " usable without notes";
    if (ranking.m_OverRating > 0) {
        text += ", " + std::to_string(ranking.m_OverRating) + " of them over a rating of the type";
    }
    text += ", " + std::to_string(ranking.m_Modelled) + " scored in-process, the best " +
            std::to_string(ranking.m_Simulated) + " of them simulated";
    if (ranking.m_NotSimulated > 0) {
        text += " (" + std::to_string(ranking.m_NotSimulated) + " would not simulate)";
    }
    return text;
}

} // namespace norvane
