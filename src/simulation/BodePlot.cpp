#include "simulation/BodePlot.h"

#include "design/DesignResults.h"
#include "format/EngineeringFormat.h"

#include <algorithm>
#include <cmath>

namespace norvane {

namespace {

// The picture in SVG user units (pixels at 100 %).
constexpr double Width = 760;
constexpr double Height = 520;
constexpr double Left = 80; // plot area, both panels
constexpr double Right = 730;
constexpr double GainTop = 40;
constexpr double GainBottom = 250;
constexpr double PhaseTop = 290;
constexpr double PhaseBottom = 460;

constexpr const char* CurveColour = "#000080";
constexpr const char* MinimumColour = "#c00000";
constexpr const char* CutoffColour = "#008000";
constexpr const char* GridColour = "#c8c8c8";

std::string Number(double value)
{
    return FormatFixed(value, 1);
}

std::string Hertz(double value)
{
    ResultItem item;
    item.SetQuantity("", value, "Hz");
    return item.value;
}

// A linear axis: the value range and its step, rounded outward.
struct Axis {
    double low = 0.0;
    double high = 0.0;
    double step = 0.0;
};

Axis RoundedAxis(double low, double high, double step)
{
    Axis axis{step * std::floor(low / step), step * std::ceil(high / step), step};
    if (axis.high - axis.low < step) {
        axis.low -= step;
        axis.high += step;
    }
    return axis;
}

class Plot {
public:
    Plot(double firstHz, double lastHz) : m_LogLow(std::log10(firstHz)), m_LogHigh(std::log10(lastHz)) {}

    double X(double hertz) const
    {
        return Left + (std::log10(hertz) - m_LogLow) / (m_LogHigh - m_LogLow) * (Right - Left);
    }
    static double Y(double value, const Axis& axis, double top, double bottom)
    {
        return bottom - (value - axis.low) / (axis.high - axis.low) * (bottom - top);
    }
    double LogLow() const { return m_LogLow; }
    double LogHigh() const { return m_LogHigh; }

    std::string& Text() { return m_Text; }

    void Line(double x1, double y1, double x2, double y2, const char* colour, const char* extra = "")
    {
        m_Text += "<line x1=\"" + Number(x1) + "\" y1=\"" + Number(y1) + "\" x2=\"" + Number(x2) +
                  "\" y2=\"" + Number(y2) + "\" stroke=\"" + colour + "\"" + extra + " />\n";
    }
    void Label(double x, double y, const std::string& text, const char* anchor, const char* extra = "")
    {
        m_Text += "<text x=\"" + Number(x) + "\" y=\"" + Number(y) + "\" text-anchor=\"" + anchor + "\"" +
                  extra + ">" + text + "</text>\n";
    }

private:
    double m_LogLow;
    double m_LogHigh;
    std::string m_Text;
};

// The grid, the frame and the value labels of one panel.
void Panel(Plot& plot, const Axis& axis, double top, double bottom, const std::string& unit,
           const char* title)
{
    for (int decade = static_cast<int>(std::ceil(plot.LogLow() - 1e-9)); decade <= plot.LogHigh() + 1e-9;
         ++decade) {
        const double x = plot.X(std::pow(10.0, decade));
        plot.Line(x, top, x, bottom, GridColour);
        plot.Label(x, bottom + 15, Hertz(std::pow(10.0, decade)), "middle");
    }
    for (double value = axis.low; value <= axis.high + axis.step / 2; value += axis.step) {
        const double y = Plot::Y(value, axis, top, bottom);
        plot.Line(Left, y, Right, y, GridColour);
        plot.Label(Left - 6, y + 4, FormatGeneral(value, 4) + unit, "end");
    }
    plot.Text() += "<rect x=\"" + Number(Left) + "\" y=\"" + Number(top) + "\" width=\"" +
                   Number(Right - Left) + "\" height=\"" + Number(bottom - top) +
                   "\" fill=\"none\" stroke=\"#000000\" />\n";
    const double middle = (top + bottom) / 2;
    plot.Label(18, middle, title, "middle", (" transform=\"rotate(-90 18 " + Number(middle) + ")\"").c_str());
}

// The curve of one panel, clipped to it.
void Curve(Plot& plot, const std::vector<BodePoint>& bode, double BodePoint::*value, const Axis& axis,
           double top, double bottom, const char* clip)
{
    std::string points;
    for (const BodePoint& point : bode) {
        points += (points.empty() ? "" : " ") + Number(plot.X(point.m_Frequency)) + "," +
                  Number(Plot::Y(point.*value, axis, top, bottom));
    }
    plot.Text() += std::string("<polyline clip-path=\"url(#") + clip + ")\" fill=\"none\" stroke=\"" +
                   CurveColour + "\" stroke-width=\"1.5\" points=\"" + points + "\" />\n";
}

} // namespace

std::string BodeSvg(const SimulationResult& result, double minimumFrequency)
{
    const std::vector<BodePoint>& bode = result.m_Bode;
    if (bode.size() < 2) {
        return {};
    }
    Plot plot(bode.front().m_Frequency, bode.back().m_Frequency);
    const auto [lowGain, highGain] = std::ranges::minmax(bode, {}, &BodePoint::m_MagnitudeDb);
    const auto [lowPhase, highPhase] = std::ranges::minmax(bode, {}, &BodePoint::m_PhaseDegrees);
    const double gainStep = 10.0;
    const Axis gain = RoundedAxis(std::max(lowGain.m_MagnitudeDb, highGain.m_MagnitudeDb - BodeGainRange),
                                  highGain.m_MagnitudeDb, gainStep);
    const double phaseSpan = highPhase.m_PhaseDegrees - lowPhase.m_PhaseDegrees;
    const Axis phase =
        RoundedAxis(lowPhase.m_PhaseDegrees, highPhase.m_PhaseDegrees, phaseSpan > 360 ? 90.0 : 45.0);

    std::string& svg = plot.Text();
    svg += "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>\n";
    svg += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + Number(Width) +
           "\" height=\"" + Number(Height) + "\" viewBox=\"0 0 " + Number(Width) + " " + Number(Height) +
           "\" font-family=\"Arial, Helvetica, sans-serif\" font-size=\"12\">\n";
    svg += "<title>Bode plot (ngspice)</title>\n";
    svg += "<defs>\n";
    svg += "<clipPath id=\"gain\"><rect x=\"" + Number(Left) + "\" y=\"" + Number(GainTop) + "\" width=\"" +
           Number(Right - Left) + "\" height=\"" + Number(GainBottom - GainTop) + "\" /></clipPath>\n";
    svg += "<clipPath id=\"phase\"><rect x=\"" + Number(Left) + "\" y=\"" + Number(PhaseTop) + "\" width=\"" +
           Number(Right - Left) + "\" height=\"" + Number(PhaseBottom - PhaseTop) + "\" /></clipPath>\n";
    svg += "</defs>\n";
    svg += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\" />\n";
    plot.Label(Left, 24, "Bode plot, simulated with ngspice", "start", " font-size=\"14\"");

    Panel(plot, gain, GainTop, GainBottom, " dB", "Gain (dB)");
    Panel(plot, phase, PhaseTop, PhaseBottom, "", "Phase (degrees)");
    plot.Label((Left + Right) / 2, Height - 12, "Frequency (Hz, logarithmic)", "middle");

    // f_min across both panels.
    if (minimumFrequency > 0 && std::isfinite(minimumFrequency)) {
        const double x = plot.X(minimumFrequency);
        plot.Line(x, GainTop, x, PhaseBottom, MinimumColour, " stroke-dasharray=\"6 4\"");
        plot.Label(x + 4, GainTop + 14, "f_min " + Hertz(minimumFrequency), "start",
                   (std::string(" fill=\"") + MinimumColour + "\"").c_str());
    }
    // The -3 dB points on the gain curve, their level and their frequency.
    const double level = result.m_GainDb - CutoffDropDb;
    if (std::isfinite(level)) {
        const double y = Plot::Y(level, gain, GainTop, GainBottom);
        plot.Line(Left, y, Right, y, CutoffColour, " stroke-dasharray=\"2 3\"");
        plot.Label(Right - 4, y - 4, "-3 dB", "end", (std::string(" fill=\"") + CutoffColour + "\"").c_str());
        for (const bool upper : {false, true}) {
            const double cutoff = upper ? result.m_UpperCutoff : result.m_LowerCutoff;
            if (!std::isfinite(cutoff)) {
                continue;
            }
            const double x = plot.X(cutoff);
            plot.Line(x, y, x, GainBottom, CutoffColour, " stroke-dasharray=\"2 3\"");
            svg += "<circle cx=\"" + Number(x) + "\" cy=\"" + Number(y) +
                   "\" r=\"4\" fill=\"none\" stroke=\"" + CutoffColour + "\" stroke-width=\"1.5\" />\n";
            plot.Label(x + (upper ? -6 : 6), GainBottom - 8, Hertz(cutoff), upper ? "end" : "start",
                       (std::string(" fill=\"") + CutoffColour + "\"").c_str());
        }
    }
    Curve(plot, bode, &BodePoint::m_MagnitudeDb, gain, GainTop, GainBottom, "gain");
    Curve(plot, bode, &BodePoint::m_PhaseDegrees, phase, PhaseTop, PhaseBottom, "phase");
    svg += "</svg>\n";
    return svg;
}

} // namespace norvane
