#include "present/RobustnessText.h"

#include "format/EngineeringFormat.h"
#include "format/Units.h"
#include "present/SvgPlot.h"

#include <algorithm>
#include <cmath>

namespace norvane {

namespace {

// A share of 0..1 as "97.4 %".
std::string Share(double fraction)
{
    return FormatFixed(fraction * 100, 1) + " %";
}

// What a transient resolves: a harmonic or a distortion further below the
// fundamental is numerical noise.
constexpr double ResolvedDb = -120.0;

// A distortion in percent with three significant digits: "0.0217 %",
// "2.35 %".
std::string DistortionPercent(double percent)
{
    if (!std::isfinite(percent)) {
        return "-";
    }
    const double resolved = 100 * std::pow(10.0, ResolvedDb / 20);
    return percent < resolved ? "below " + FormatGeneral(resolved, 3) + " %"
                              : FormatGeneral(percent, 3) + " %";
}

// A harmonic against the fundamental: "-59.0 dB".
std::string HarmonicDecibels(double db)
{
    if (std::isnan(db)) {
        return "-";
    }
    return db < ResolvedDb ? "below " + FormatFixed(ResolvedDb, 0) + " dB" : FormatFixed(db, 1) + " dB";
}

std::string Celsius(double degrees)
{
    return FormatGeneral(degrees, 4) + " degC";
}

// The clipping limit: the smaller edge of the headroom sweep, as
// Headroom::Amplitude takes it, and its name: "4.2 V peak (saturation)".
std::string HeadroomText(const Headroom& headroom)
{
    const bool rising = !(headroom.m_Falling < headroom.m_Rising);
    const double amplitude = rising ? headroom.m_Rising : headroom.m_Falling;
    if (!std::isfinite(amplitude)) {
        return "not found";
    }
    return QuantityOrDash(amplitude, "V") + " peak (" +
           (rising ? headroom.m_RisingEdge : headroom.m_FallingEdge) + ")";
}

// "500 mV peak", "292.7 nV rms"; "-" for no figure.
std::string VoltsAs(double value, const char* kind)
{
    return std::isfinite(value) ? QuantityOrDash(value, "V") + " " + kind : "-";
}

std::string Edge(double amplitude, const std::string& edge)
{
    return std::isfinite(amplitude) ? QuantityOrDash(amplitude, "V") + " (" + edge + ")" : edge;
}

// A table cell or a figure in a line: "-" where there is none.
template <std::string (*Format)(double)>
std::string Cell(double value)
{
    return std::isfinite(value) ? Format(value) : "-";
}

// "20 Hz .. 20 kHz (audio band)", "100 kHz .. 23.4 MHz (pass band)".
std::string NoiseBand(const NoiseAnalysis& a)
{
    return Cell<Hertz>(a.m_BandLow) + " .. " + Cell<Hertz>(a.m_BandHigh) +
           (a.m_AudioBand ? " (audio band)" : " (pass band)");
}

} // namespace

std::string TolerancePercent(double fraction)
{
    return FormatGeneral(fraction * 100, 3) + " %";
}

const std::array<ToleranceQuantity, 6> ToleranceQuantities{{
    {"Ic", &ToleranceAnalysis::m_Ic, Cell<Amperes>},
    {"Uce", &ToleranceAnalysis::m_Uce, Cell<Volts>},
    {"gain", &ToleranceAnalysis::m_GainDb, Cell<Decibels>},
    {"Z_in", &ToleranceAnalysis::m_InputImpedance, Cell<Ohms>},
    {"Z_out", &ToleranceAnalysis::m_OutputImpedance, Cell<Ohms>},
    {"f_-3dB", &ToleranceAnalysis::m_LowerCutoff, Cell<Hertz>},
}};

std::string SafeAreaText(const std::vector<SafeAreaExcursion>& excursions)
{
    std::string text;
    for (const SafeAreaExcursion& e : excursions) {
        const bool power = e.m_Rating == "Ptot";
        const bool current = e.m_Rating == "IC max";
        const auto shown = [&](double value) {
            return power ? Quantity(value, "W") : current ? Amperes(value) : Volts(value);
        };
        text += (text.empty() ? "; T1 past its ratings: " : ", ") +
                std::string(power     ? "P "
                            : current ? "Ic "
                                      : "Vce ") +
                shown(e.m_Value) + " above " + e.m_Rating + " " + shown(e.m_Limit);
    }
    return text;
}

std::string ToleranceLine(const ToleranceAnalysis& a)
{
    std::string line = "Tolerances (" + std::to_string(a.m_Runs) + " runs, seed " + std::to_string(a.m_Seed) +
                       "; resistors " + TolerancePercent(a.m_ResistorTolerance) + ", capacitors " +
                       TolerancePercent(a.m_CapacitorTolerance) + ", BF and IS x/" +
                       FormatGeneral(a.m_CurrentGainSpread, 3) + "): yield " + Share(a.Yield()) + " (" +
                       std::to_string(a.m_Meeting) + " of " + std::to_string(a.m_Runs) +
                       " meet the requirements";
    if (a.m_Simulated < a.m_Runs) {
        line += ", " + std::to_string(a.m_Runs - a.m_Simulated) + " did not simulate";
    }
    line += ")";
    if (!a.m_Misses.empty()) {
        line += "; missed";
        for (std::size_t i = 0; i < a.m_Misses.size(); ++i) {
            line += (i == 0 ? " " : ", ") + a.m_Misses[i].first + " " + std::to_string(a.m_Misses[i].second) +
                    " times";
        }
    }
    return line + SafeAreaText(a.m_SafeArea);
}

TextTable ToleranceTable(const ToleranceAnalysis& a)
{
    TextTable table{{"Quantity", "Median", "1st percentile", "99th percentile"}};
    for (const ToleranceQuantity& q : ToleranceQuantities) {
        const Distribution& d = a.*q.m_Values;
        table.push_back({q.m_Name, q.m_Format(d.m_Median), q.m_Format(d.m_Low), q.m_Format(d.m_High)});
    }
    return table;
}

std::string WorstCaseLine(const WorstCaseAnalysis& a)
{
    std::string line = "Worst case (resistors " + TolerancePercent(a.m_ResistorTolerance) + ", capacitors " +
                       TolerancePercent(a.m_CapacitorTolerance);
    if (a.m_CurrentGainSpread > 0) {
        line += ", BF and IS x/" + FormatGeneral(a.m_CurrentGainSpread, 3);
    }
    line += ", " + FormatGeneral(WorstCaseTemperatures[0], 4) + " .. " + Celsius(WorstCaseTemperatures[1]) +
            "; " + std::to_string(a.m_Simulations) + " points): ";
    std::vector<std::string> failing;
    for (const WorstCaseQuantity& q : a.m_Quantities) {
        if (q.m_Meets && !*q.m_Meets) {
            failing.push_back(q.m_Name);
        }
    }
    if (failing.empty()) {
        return line + "every requirement holds at its worst case";
    }
    for (std::size_t i = 0; i < failing.size(); ++i) {
        line += (i == 0 ? "" : i + 1 == failing.size() ? " and " : ", ") + failing[i];
    }
    return line + (failing.size() == 1 ? " misses its requirement" : " miss their requirements") +
           " at the worst case";
}

TextTable WorstCaseTable(const WorstCaseAnalysis& a)
{
    TextTable table{{"Quantity", "Nominal", "Minimum", "Corner of the minimum", "Maximum",
                     "Corner of the maximum", "Requirement"}};
    for (const WorstCaseQuantity& q : a.m_Quantities) {
        const auto format =
            std::ranges::find(ToleranceQuantities, std::string_view(q.m_Name),
                              [](const ToleranceQuantity& t) { return std::string_view(t.m_Name); });
        const auto cell = [&](double value) {
            return format != ToleranceQuantities.end() ? format->m_Format(value) : FormatGeneral(value, 4);
        };
        table.push_back({q.m_Name, cell(q.m_Nominal), cell(q.m_Min), q.m_CornerMin, cell(q.m_Max),
                         q.m_CornerMax,
                         !q.m_Meets   ? ""
                         : *q.m_Meets ? "holds"
                                      : "fails"});
    }
    return table;
}

std::string TemperatureLine(const TemperatureAnalysis& a)
{
    if (a.m_Points.empty()) {
        return "Temperature: no points";
    }
    const TemperaturePoint& cold = a.m_Points.front();
    const TemperaturePoint& hot = a.m_Points.back();
    return "Temperature " + FormatGeneral(cold.m_Celsius, 4) + " .. " + Celsius(hot.m_Celsius) + ": Ic " +
           Cell<Amperes>(cold.m_Ic) + " .. " + Cell<Amperes>(hot.m_Ic) + ", Uce " + Cell<Volts>(cold.m_Uce) +
           " .. " + Cell<Volts>(hot.m_Uce) + ", gain " + Cell<Decibels>(cold.m_GainDb) + " .. " +
           Cell<Decibels>(hot.m_GainDb) + SafeAreaText(a.m_SafeArea);
}

TextTable TemperatureTable(const TemperatureAnalysis& a)
{
    TextTable table{{"Temperature", "Ic", "Uce", "gain"}};
    for (const TemperaturePoint& point : a.m_Points) {
        table.push_back({Celsius(point.m_Celsius), Cell<Amperes>(point.m_Ic), Cell<Volts>(point.m_Uce),
                         Cell<Decibels>(point.m_GainDb)});
    }
    return table;
}

// "1 % THD at 310 mV peak", or that the stage stays below it.
std::string CleanAmplitudeText(const DistortionAnalysis& a)
{
    const std::string thd = FormatGeneral(CleanThdPercent, 3) + " % THD";
    return std::isfinite(a.m_CleanAmplitude) ? thd + " at " + VoltsAs(a.m_CleanAmplitude, "peak")
                                             : "below " + thd + " up to the clipping limit";
}

std::string DistortionLine(const DistortionAnalysis& a)
{
    return "Clipping limit " + HeadroomText(a.m_Headroom) + "; " + CleanAmplitudeText(a) + "; THD " +
           DistortionPercent(a.m_ThdPercent) + " at " + VoltsAs(a.m_Amplitude, "peak") + ", " +
           Cell<Hertz>(a.m_Frequency) + SafeAreaText(a.m_SafeArea);
}

TextTable DistortionTable(const DistortionAnalysis& a)
{
    const Headroom& h = a.m_Headroom;
    TextTable table{{"Quantity", "Value"},
                    {"Clipping limit, rising", Edge(h.m_Rising, h.m_RisingEdge)},
                    {"Clipping limit, falling", Edge(h.m_Falling, h.m_FallingEdge)},
                    {"Output amplitude at " + FormatGeneral(CleanThdPercent, 3) + " % THD",
                     std::isfinite(a.m_CleanAmplitude) ? VoltsAs(a.m_CleanAmplitude, "peak")
                                                       : "above the clipping limit"},
                    {"Output amplitude", VoltsAs(a.m_Amplitude, "peak")},
                    {"Input amplitude", VoltsAs(a.m_InputAmplitude, "peak")},
                    {"Frequency", Cell<Hertz>(a.m_Frequency)},
                    {"THD (harmonics 2 to " + std::to_string(DistortionHarmonics) + ")",
                     DistortionPercent(a.m_ThdPercent)}};
    const double fundamental = a.m_Harmonics.empty() ? DistortionAnalysis::NaN : a.m_Harmonics.front();
    for (std::size_t k = 1; k < a.m_Harmonics.size(); ++k) {
        const double db = 20 * std::log10(a.m_Harmonics[k] / fundamental);
        table.push_back({"Harmonic " + std::to_string(k + 1) + " to the fundamental", HarmonicDecibels(db)});
    }
    return table;
}

std::string NoiseLine(const NoiseAnalysis& a)
{
    return "Noise (source " + Ohms(a.m_SourceResistance) +
           "): " + QuantityOrDash(a.m_InputDensity, "V/sqrt(Hz)") + " at " + Cell<Hertz>(a.m_SpotFrequency) +
           ", " + VoltsAs(a.m_InputTotal, "rms") + " over " + NoiseBand(a);
}

TextTable NoiseTable(const NoiseAnalysis& a)
{
    return {{"Quantity", "Value"},
            {"Source resistance", Ohms(a.m_SourceResistance)},
            {"Input noise density at " + Cell<Hertz>(a.m_SpotFrequency),
             QuantityOrDash(a.m_InputDensity, "V/sqrt(Hz)")},
            {"Input noise, " + NoiseBand(a), VoltsAs(a.m_InputTotal, "rms")},
            {"Output noise, " + NoiseBand(a), VoltsAs(a.m_OutputTotal, "rms")}};
}

} // namespace norvane
