#include "present/BodePlot.h"

#include "format/EngineeringFormat.h"
#include "format/Units.h"
#include "present/SvgPlot.h"

#include <algorithm>
#include <cmath>

namespace norvane {

namespace {

// The picture in SVG user units (pixels at 100 %). The legend sits between
// the title and the gain panel, so that no word is drawn over a line.
constexpr double Width = 760;
constexpr double Height = 520;
constexpr double LegendY = 46;
constexpr PlotBox GainBox{80, 60, 730, 260};
constexpr PlotBox PhaseBox{80, 300, 730, 470};
constexpr const char* Dashed = " stroke-dasharray=\"6 4\"";
constexpr const char* Dotted = " stroke-dasharray=\"2 3\"";

// The grid, the frame, the value labels and the title of one panel.
void Panel(SvgPicture& svg, const PlotBox& box, const PlotScale& x, const PlotScale& y,
           const PlotRange& range, const std::string& unit, const char* title)
{
    svg.Grid(box, x, LogarithmicTicks(std::pow(10.0, x.Low()), std::pow(10.0, x.High()), Hertz), y,
             LinearTicks(range, [&](double value) { return FormatGeneral(value, 4) + unit; }));
    svg.VerticalLabel(18, (box.m_Top + box.m_Bottom) / 2, title);
}

// The curve of one panel, clipped to it.
void Curve(SvgPicture& svg, const std::vector<BodePoint>& bode, double BodePoint::*value, const PlotScale& x,
           const PlotScale& y, const char* colour, const char* clip)
{
    std::vector<std::pair<double, double>> points;
    points.reserve(bode.size());
    for (const BodePoint& point : bode) {
        points.emplace_back(x(point.m_Frequency), y(point.*value));
    }
    svg.Polyline(points, colour, clip);
}

} // namespace

BodeAxes BodeAxisRanges(const std::vector<BodePoint>& bode)
{
    if (bode.empty()) {
        return {};
    }
    const auto [lowGain, highGain] = std::ranges::minmax(bode, {}, &BodePoint::m_MagnitudeDb);
    const auto [lowPhase, highPhase] = std::ranges::minmax(bode, {}, &BodePoint::m_PhaseDegrees);
    const double top = highGain.m_MagnitudeDb;
    const double phaseSpan = highPhase.m_PhaseDegrees - lowPhase.m_PhaseDegrees;
    return {RoundedRange(std::max(lowGain.m_MagnitudeDb, top - BodeGainRange), top + 5.0, 10.0),
            RoundedRange(lowPhase.m_PhaseDegrees - 10.0, highPhase.m_PhaseDegrees + 10.0,
                         phaseSpan > 360 ? 90.0 : 45.0)};
}

std::string MidbandText(const SimulationResult& result)
{
    if (!std::isfinite(result.m_GainDb) || !std::isfinite(result.m_MidbandFrequency)) {
        return {};
    }
    // Rounded first, so that a gain just below zero shows no "-0.0".
    return "mid-band " + FormatFixed(std::round(result.m_GainDb * 10) / 10 + 0.0, 1) + " dB at " +
           Hertz(result.m_MidbandFrequency);
}

std::string CutoffText(const SimulationResult& result)
{
    std::string cutoffs;
    for (const double cutoff : {result.m_LowerCutoff, result.m_UpperCutoff}) {
        if (std::isfinite(cutoff)) {
            cutoffs += (cutoffs.empty() ? "" : ", ") + Hertz(cutoff);
        }
    }
    return std::string(CutoffName) + ": " + (cutoffs.empty() ? "none in the sweep" : cutoffs);
}

std::string BodeSvg(const SimulationResult& result, double minimumFrequency)
{
    const std::vector<BodePoint>& bode = result.m_Bode;
    if (bode.size() < 2) {
        return {};
    }
    const auto [gain, phase] = BodeAxisRanges(bode);
    const PlotScale x = PlotScale::Logarithmic(bode.front().m_Frequency, bode.back().m_Frequency,
                                               GainBox.m_Left, GainBox.m_Right);
    const PlotScale gainY = PlotScale::Linear(gain.m_Low, gain.m_High, GainBox.m_Bottom, GainBox.m_Top);
    const PlotScale phaseY = PlotScale::Linear(phase.m_Low, phase.m_High, PhaseBox.m_Bottom, PhaseBox.m_Top);

    SvgPicture svg(Width, Height, "Bode plot (ngspice)", {{"gain", GainBox}, {"phase", PhaseBox}});
    std::string title = "Bode plot, simulated with ngspice";
    if (const std::string midband = MidbandText(result); !midband.empty()) {
        title += ": " + midband;
    }
    svg.Label(GainBox.m_Left, 24, title, "start", " font-size=\"14\"");

    Panel(svg, GainBox, x, gainY, gain, " dB", GainAxisTitle);
    Panel(svg, PhaseBox, x, phaseY, phase, "", PhaseAxisTitle);
    svg.Label((GainBox.m_Left + GainBox.m_Right) / 2, Height - 12, FrequencyAxisTitle, "middle");

    std::vector<LegendEntry> legend{{LegendEntry::Sample::Line, CurveColour, "", "gain"},
                                    {LegendEntry::Sample::Line, SecondCurveColour, "", "phase"}};
    // f_min in both panels, clear of the frequency labels between them.
    if (minimumFrequency > 0 && std::isfinite(minimumFrequency)) {
        const double at = x(minimumFrequency);
        for (const PlotBox& box : {GainBox, PhaseBox}) {
            svg.Line(at, box.m_Top, at, box.m_Bottom, FrequencyMarkColour, Dashed);
        }
        legend.push_back({LegendEntry::Sample::Line, FrequencyMarkColour, Dashed,
                          std::string(MinimumFrequencyName) + " " + Hertz(minimumFrequency)});
    }
    // The -3 dB level and the points where the gain crosses it.
    const double level = result.m_GainDb - CutoffDropDb;
    if (std::isfinite(level)) {
        const double y = gainY(level);
        svg.Line(GainBox.m_Left, y, GainBox.m_Right, y, CurveColour, Dotted);
        for (const double cutoff : {result.m_LowerCutoff, result.m_UpperCutoff}) {
            if (std::isfinite(cutoff)) {
                const double at = x(cutoff);
                svg.Line(at, y, at, GainBox.m_Bottom, CurveColour, Dotted);
                svg.Circle(at, y, 4, CurveColour);
            }
        }
    }
    legend.push_back({LegendEntry::Sample::Dot, CurveColour, "", CutoffText(result)});
    svg.Legend(GainBox.m_Left, LegendY, legend);
    Curve(svg, bode, &BodePoint::m_MagnitudeDb, x, gainY, CurveColour, "gain");
    Curve(svg, bode, &BodePoint::m_PhaseDegrees, x, phaseY, SecondCurveColour, "phase");
    return svg.Finish();
}

} // namespace norvane
