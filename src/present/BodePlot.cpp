#include "present/BodePlot.h"

#include "format/EngineeringFormat.h"
#include "format/Units.h"
#include "present/SvgPlot.h"

#include <algorithm>
#include <cmath>

namespace norvane {

namespace {

// The picture in SVG user units (pixels at 100 %).
constexpr double Width = 760;
constexpr double Height = 520;
constexpr PlotBox GainBox{80, 40, 730, 250};
constexpr PlotBox PhaseBox{80, 290, 730, 460};

std::string Fill(const char* colour)
{
    return std::string(" fill=\"") + colour + "\"";
}

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
           const PlotScale& y, const char* clip)
{
    std::vector<std::pair<double, double>> points;
    points.reserve(bode.size());
    for (const BodePoint& point : bode) {
        points.emplace_back(x(point.m_Frequency), y(point.*value));
    }
    svg.Polyline(points, CurveColour, clip);
}

} // namespace

std::string BodeSvg(const SimulationResult& result, double minimumFrequency)
{
    const std::vector<BodePoint>& bode = result.m_Bode;
    if (bode.size() < 2) {
        return {};
    }
    const auto [lowGain, highGain] = std::ranges::minmax(bode, {}, &BodePoint::m_MagnitudeDb);
    const auto [lowPhase, highPhase] = std::ranges::minmax(bode, {}, &BodePoint::m_PhaseDegrees);
    const double gainStep = 10.0;
    const PlotRange gain =
        RoundedRange(std::max(lowGain.m_MagnitudeDb, highGain.m_MagnitudeDb - BodeGainRange),
                     highGain.m_MagnitudeDb, gainStep);
    const double phaseSpan = highPhase.m_PhaseDegrees - lowPhase.m_PhaseDegrees;
    const PlotRange phase =
        RoundedRange(lowPhase.m_PhaseDegrees, highPhase.m_PhaseDegrees, phaseSpan > 360 ? 90.0 : 45.0);
    const PlotScale x = PlotScale::Logarithmic(bode.front().m_Frequency, bode.back().m_Frequency,
                                               GainBox.m_Left, GainBox.m_Right);
    const PlotScale gainY = PlotScale::Linear(gain.m_Low, gain.m_High, GainBox.m_Bottom, GainBox.m_Top);
    const PlotScale phaseY = PlotScale::Linear(phase.m_Low, phase.m_High, PhaseBox.m_Bottom, PhaseBox.m_Top);

    SvgPicture svg(Width, Height, "Bode plot (ngspice)", {{"gain", GainBox}, {"phase", PhaseBox}});
    svg.Label(GainBox.m_Left, 24, "Bode plot, simulated with ngspice", "start", " font-size=\"14\"");

    Panel(svg, GainBox, x, gainY, gain, " dB", "Gain (dB)");
    Panel(svg, PhaseBox, x, phaseY, phase, "", "Phase (degrees)");
    svg.Label((GainBox.m_Left + GainBox.m_Right) / 2, Height - 12, "Frequency (Hz, logarithmic)", "middle");

    // f_min across both panels.
    if (minimumFrequency > 0 && std::isfinite(minimumFrequency)) {
        const double at = x(minimumFrequency);
        svg.Line(at, GainBox.m_Top, at, PhaseBox.m_Bottom, MarkColour, " stroke-dasharray=\"6 4\"");
        svg.Label(at + 4, GainBox.m_Top + 14, "f_min " + Hertz(minimumFrequency), "start", Fill(MarkColour));
    }
    // The -3 dB points on the gain curve, their level and their frequency.
    const double level = result.m_GainDb - CutoffDropDb;
    if (std::isfinite(level)) {
        const double y = gainY(level);
        svg.Line(GainBox.m_Left, y, GainBox.m_Right, y, SecondMarkColour, " stroke-dasharray=\"2 3\"");
        svg.Label(GainBox.m_Right - 4, y - 4, "-3 dB", "end", Fill(SecondMarkColour));
        for (const bool upper : {false, true}) {
            const double cutoff = upper ? result.m_UpperCutoff : result.m_LowerCutoff;
            if (!std::isfinite(cutoff)) {
                continue;
            }
            const double at = x(cutoff);
            svg.Line(at, y, at, GainBox.m_Bottom, SecondMarkColour, " stroke-dasharray=\"2 3\"");
            svg.Circle(at, y, 4, SecondMarkColour);
            svg.Label(at + (upper ? -6 : 6), GainBox.m_Bottom - 8, Hertz(cutoff), upper ? "end" : "start",
                      Fill(SecondMarkColour));
        }
    }
    Curve(svg, bode, &BodePoint::m_MagnitudeDb, x, gainY, "gain");
    Curve(svg, bode, &BodePoint::m_PhaseDegrees, x, phaseY, "phase");
    return svg.Finish();
}

} // namespace norvane
