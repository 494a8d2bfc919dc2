#include "present/RobustnessPlots.h"

#include "analysis/Verification.h"
#include "format/EngineeringFormat.h"
#include "format/Units.h"
#include "present/RobustnessText.h"
#include "present/SvgPlot.h"

#include <algorithm>
#include <cmath>
#include <tuple>

namespace norvane {

namespace {

constexpr double Width = 760;
constexpr double TitleY = 24;

using Points = std::vector<std::pair<double, double>>;

std::string Fill(const char* colour)
{
    return std::string(" fill=\"") + colour + "\"";
}

constexpr const char* Dashed = " stroke-dasharray=\"6 4\"";
constexpr const char* DashDotted = " stroke-dasharray=\"8 3 2 3\"";

void Heading(SvgPicture& svg, const std::string& text)
{
    svg.Label(20, TitleY, text, "start", " font-size=\"14\"");
}

// The title of a small panel, above its box.
void PanelTitle(SvgPicture& svg, const PlotBox& box, const std::string& text)
{
    svg.Label(box.m_Left, box.m_Top - 8, text, "start", " font-weight=\"bold\"");
}

// The smallest and largest finite value of a list (NaN, NaN for none).
std::pair<double, double> Extent(const std::vector<double>& values)
{
    double low = std::numeric_limits<double>::quiet_NaN();
    double high = low;
    for (const double v : values) {
        if (std::isfinite(v)) {
            low = std::isnan(low) ? v : std::min(low, v);
            high = std::isnan(high) ? v : std::max(high, v);
        }
    }
    return {low, high};
}

std::string Count(double value)
{
    return FormatGeneral(value, 6);
}

// An axis label in dB: "-3 dB", "19.5 dB".
std::string DecibelLabel(double value)
{
    return FormatGeneral(value, 4) + " dB";
}

// A curve in value terms, mapped onto the panel.
Points Mapped(const std::vector<std::pair<double, double>>& values, const PlotScale& x, const PlotScale& y)
{
    Points points;
    points.reserve(values.size());
    for (const auto& [a, b] : values) {
        if (std::isfinite(a) && std::isfinite(b)) {
            points.emplace_back(x(a), y(b));
        }
    }
    return points;
}

// ---- Tolerances ----------------------------------------------------------

// Two columns of three panels.
constexpr double ToleranceHeight = 600;
constexpr double HistogramWidth = 290;
constexpr double HistogramHeight = 115;
constexpr double HistogramLefts[] = {70, 450};
constexpr double HistogramTops[] = {70, 245, 420};

PlotBox HistogramBox(std::size_t index)
{
    const double left = HistogramLefts[index % 2];
    const double top = HistogramTops[index / 2];
    return {left, top, left + HistogramWidth, top + HistogramHeight};
}

// How many bars: about the square root of the runs, 5 to 30.
int BinCount(std::size_t values)
{
    return std::clamp(static_cast<int>(std::lround(std::sqrt(static_cast<double>(values)))), 5, 30);
}

void Histogram(SvgPicture& svg, std::size_t index, const ToleranceQuantity& quantity, const Distribution& d,
               const RequirementBand& band)
{
    const PlotBox box = HistogramBox(index);
    const auto [low, high] = Extent(d.m_Values);
    PanelTitle(svg, box, std::string(quantity.m_Name) + ": median " + quantity.m_Format(d.m_Median));
    if (std::isnan(low)) {
        svg.Frame(box);
        svg.Label((box.m_Left + box.m_Right) / 2, (box.m_Top + box.m_Bottom) / 2, "no run gave a figure",
                  "middle");
        return;
    }
    // The axis reaches the requirement's limits, so that the spread is seen
    // against them.
    double axisLow = low;
    double axisHigh = high;
    for (const double limit : {band.m_Low, band.m_High}) {
        if (std::isfinite(limit)) {
            axisLow = std::min(axisLow, limit);
            axisHigh = std::max(axisHigh, limit);
        }
    }
    // About five intervals, fewer where their labels would run into each
    // other.
    PlotRange xRange;
    std::vector<PlotTick> xTicks;
    for (int intervals = 5; intervals >= 1; --intervals) {
        xRange = NiceRange(axisLow, axisHigh, intervals);
        xTicks = LinearTicks(xRange, quantity.m_Format);
        std::size_t widest = 0;
        for (const PlotTick& tick : xTicks) {
            widest = std::max(widest, tick.m_Label.size());
        }
        const double spacing =
            (box.m_Right - box.m_Left) / static_cast<double>(std::max<std::size_t>(xTicks.size(), 2) - 1);
        if (spacing >= SvgCharacterWidth * static_cast<double>(widest) + 6.0) {
            break;
        }
    }
    // The bars span the values themselves; one value gives one bar.
    const int bins = high > low ? BinCount(d.m_Values.size()) : 1;
    const double barLow = high > low ? low : xRange.m_Low;
    const double barWidth = (high > low ? high - low : xRange.m_High - xRange.m_Low) / bins;
    std::vector<int> counts(static_cast<std::size_t>(bins), 0);
    for (const double v : d.m_Values) {
        if (std::isfinite(v)) {
            const int bin = std::clamp(static_cast<int>((v - barLow) / barWidth), 0, bins - 1);
            ++counts[static_cast<std::size_t>(bin)];
        }
    }
    // Whole runs: a step of at least one, from 0.
    const PlotRange yRange = NiceRange(0, *std::ranges::max_element(counts), 3, 1.0);
    const PlotScale x = PlotScale::Linear(xRange.m_Low, xRange.m_High, box.m_Left, box.m_Right);
    const PlotScale y = PlotScale::Linear(yRange.m_Low, yRange.m_High, box.m_Bottom, box.m_Top);
    svg.Grid(box, x, xTicks, y, LinearTicks(yRange, Count));
    for (int bin = 0; bin < bins; ++bin) {
        const int count = counts[static_cast<std::size_t>(bin)];
        if (count == 0) {
            continue;
        }
        const double left = x(barLow + bin * barWidth);
        const double right = x(barLow + (bin + 1) * barWidth);
        svg.Rectangle(left, y(count), right - left, box.m_Bottom - y(count), BarColour,
                      " stroke=\"#ffffff\"");
    }
    for (const double mark : {d.m_Low, d.m_High}) {
        if (std::isfinite(mark)) {
            svg.Line(x(mark), box.m_Top, x(mark), box.m_Bottom, MarkColour, Dashed);
        }
    }
    for (const double limit : {band.m_Low, band.m_High}) {
        if (std::isfinite(limit)) {
            svg.Line(x(limit), box.m_Top, x(limit), box.m_Bottom, LimitColour, DashDotted);
        }
    }
    if (std::isfinite(d.m_Median)) {
        svg.Line(x(d.m_Median), box.m_Top, x(d.m_Median), box.m_Bottom, MarkColour, " stroke-width=\"1.5\"");
    }
    svg.Frame(box);
}

// ---- Temperature ---------------------------------------------------------

constexpr double TemperatureHeight = 330;
constexpr double TemperaturePanelWidth = 160;
constexpr double TemperatureLefts[] = {80, 330, 580};
constexpr double TemperatureTop = 60;
constexpr double TemperatureBottom = 270;

void TemperaturePanel(SvgPicture& svg, std::size_t index, const TemperatureAnalysis& a,
                      double TemperaturePoint::*value, const std::string& title, std::string (*label)(double),
                      const char* colour)
{
    const PlotBox box{TemperatureLefts[index], TemperatureTop,
                      TemperatureLefts[index] + TemperaturePanelWidth, TemperatureBottom};
    std::vector<double> values;
    std::vector<PlotTick> xTicks;
    std::vector<std::pair<double, double>> curve;
    for (const TemperaturePoint& point : a.m_Points) {
        values.push_back(point.*value);
        xTicks.push_back({point.m_Celsius, FormatGeneral(point.m_Celsius, 4)});
        curve.emplace_back(point.m_Celsius, point.*value);
    }
    PanelTitle(svg, box, title);
    const auto [low, high] = Extent(values);
    if (std::isnan(low) || xTicks.empty()) {
        svg.Frame(box);
        return;
    }
    const PlotRange yRange = NiceRange(low, high, 4);
    const PlotScale x =
        PlotScale::Linear(xTicks.front().m_Value, xTicks.back().m_Value, box.m_Left, box.m_Right);
    const PlotScale y = PlotScale::Linear(yRange.m_Low, yRange.m_High, box.m_Bottom, box.m_Top);
    svg.Grid(box, x, xTicks, y, LinearTicks(yRange, label));
    const Points points = Mapped(curve, x, y);
    svg.Polyline(points, colour, "t" + std::to_string(index));
    for (const auto& [px, py] : points) {
        svg.Circle(px, py, 3, colour);
    }
}

// ---- Distortion ----------------------------------------------------------

constexpr double DistortionHeight = 380;
constexpr PlotBox WaveBox{80, 60, 370, 310};
constexpr PlotBox TransferBox{450, 60, 740, 310};

std::pair<double, double> PairExtent(const Points& values, bool second)
{
    std::vector<double> list;
    list.reserve(values.size());
    for (const auto& [a, b] : values) {
        list.push_back(second ? b : a);
    }
    return Extent(list);
}

// The output at the input nearest to 0 V: the operating point.
double OutputAtRest(const Points& transfer)
{
    const auto nearest = std::ranges::min_element(
        transfer, {}, [](const std::pair<double, double>& point) { return std::fabs(point.first); });
    return nearest == transfer.end() ? 0.0 : nearest->second;
}

void WavePanel(SvgPicture& svg, const DistortionAnalysis& a)
{
    const PlotBox& box = WaveBox;
    PanelTitle(svg, box, "Output over the last period (V)");
    // Time from the start of the period shown.
    const double start = a.m_Waveform.front().first;
    Points wave;
    for (const auto& [t, v] : a.m_Waveform) {
        wave.emplace_back(t - start, v);
    }
    const auto [firstT, lastT] = PairExtent(wave, false);
    const auto [low, high] = PairExtent(wave, true);
    const PlotRange tRange = SweepRange(firstT, lastT, 4);
    const PlotRange vRange = NiceRange(std::min(low, -std::fabs(high)), std::max(high, std::fabs(low)), 4);
    const PlotScale x = PlotScale::Linear(tRange.m_Low, tRange.m_High, box.m_Left, box.m_Right);
    const PlotScale y = PlotScale::Linear(vRange.m_Low, vRange.m_High, box.m_Bottom, box.m_Top);
    svg.Grid(box, x, LinearTicks(tRange, [](double t) { return Quantity(t, "s"); }), y,
             LinearTicks(vRange, Volts));
    svg.Line(box.m_Left, y(0), box.m_Right, y(0), "#000000", " stroke-dasharray=\"2 3\"");
    svg.Polyline(Mapped(wave, x, y), CurveColour, "wave");
    svg.Label((box.m_Left + box.m_Right) / 2, box.m_Bottom + 34, "Time from the start of the period",
              "middle");
}

void TransferPanel(SvgPicture& svg, const DistortionAnalysis& a)
{
    const PlotBox& box = TransferBox;
    PanelTitle(svg, box, "Transfer curve, output (V) against input (V)");
    const double rest = OutputAtRest(a.m_Transfer);
    const auto [inLow, inHigh] = PairExtent(a.m_Transfer, false);
    auto [low, high] = PairExtent(a.m_Transfer, true);
    const Headroom& h = a.m_Headroom;
    const double top = rest + h.m_Rising;
    const double bottom = rest - h.m_Falling;
    for (const double edge : {top, bottom}) {
        if (std::isfinite(edge)) {
            low = std::min(low, edge);
            high = std::max(high, edge);
        }
    }
    // Room above and below the clipping edges for their names.
    const double margin = (high - low) / 10;
    const PlotRange inRange = SweepRange(inLow, inHigh, 4);
    const PlotRange outRange = NiceRange(low - margin, high + margin, 8);
    const PlotScale x = PlotScale::Linear(inRange.m_Low, inRange.m_High, box.m_Left, box.m_Right);
    const PlotScale y = PlotScale::Linear(outRange.m_Low, outRange.m_High, box.m_Bottom, box.m_Top);
    svg.Grid(box, x, LinearTicks(inRange, Volts), y, LinearTicks(outRange, Volts));
    const std::pair<double, const std::string*> edges[] = {{top, &h.m_RisingEdge},
                                                           {bottom, &h.m_FallingEdge}};
    for (const auto& [level, name] : edges) {
        if (std::isfinite(level)) {
            svg.Line(box.m_Left, y(level), box.m_Right, y(level), MarkColour, Dashed);
            svg.Label(box.m_Right - 4, y(level) - 4, *name, "end", Fill(MarkColour));
        }
    }
    svg.Polyline(Mapped(a.m_Transfer, x, y), CurveColour, "transfer");
    svg.Label((box.m_Left + box.m_Right) / 2, box.m_Bottom + 34, "Input (V)", "middle");
}

// ---- Noise ---------------------------------------------------------------

constexpr double NoiseHeight = 380;
constexpr PlotBox NoiseBox{120, 50, 730, 310};

} // namespace

std::string ToleranceSvg(const ToleranceAnalysis& a)
{
    if (std::ranges::all_of(ToleranceQuantities, [&](const ToleranceQuantity& q) {
            return std::isnan(Extent((a.*q.m_Values).m_Values).first);
        })) {
        return {};
    }
    SvgPicture svg(Width, ToleranceHeight, "Tolerances (ngspice)");
    Heading(svg, "Tolerances: " + std::to_string(a.m_Runs) + " runs, yield " +
                     FormatFixed(a.Yield() * 100, 1) + " %");
    for (std::size_t i = 0; i < ToleranceQuantities.size(); ++i) {
        Histogram(svg, i, ToleranceQuantities[i], a.*ToleranceQuantities[i].m_Values,
                  RequirementBandOf(a.m_Targets, ToleranceQuantities[i].m_Name));
    }
    // The legend below the panels.
    svg.Legend(70, ToleranceHeight - 16,
               {{LegendEntry::Sample::Box, BarColour, "", BarsName},
                {LegendEntry::Sample::Line, MarkColour, "", MedianName},
                {LegendEntry::Sample::Line, MarkColour, Dashed, PercentilesName},
                {LegendEntry::Sample::Line, LimitColour, DashDotted, LimitsName}});
    return svg.Finish();
}

std::string TemperatureSvg(const TemperatureAnalysis& a)
{
    if (a.m_Points.size() < 2) {
        return {};
    }
    std::vector<std::pair<std::string, PlotBox>> clips;
    for (std::size_t i = 0; i < std::size(TemperatureLefts); ++i) {
        clips.push_back({"t" + std::to_string(i),
                         {TemperatureLefts[i], TemperatureTop, TemperatureLefts[i] + TemperaturePanelWidth,
                          TemperatureBottom}});
    }
    SvgPicture svg(Width, TemperatureHeight, "Temperature (ngspice)", clips);
    Heading(svg, "Temperature: operating point and gain (at " + Quantity(a.m_MidbandFrequency, "Hz") + ")");
    TemperaturePanel(svg, 0, a, &TemperaturePoint::m_Ic, "Ic", Amperes, CurveColour);
    TemperaturePanel(svg, 1, a, &TemperaturePoint::m_Uce, "Uce", Volts, SecondCurveColour);
    TemperaturePanel(svg, 2, a, &TemperaturePoint::m_GainDb, "gain", DecibelLabel, ThirdCurveColour);
    svg.Label(Width / 2, TemperatureHeight - 16, TemperatureAxisTitle, "middle");
    return svg.Finish();
}

std::string DistortionSvg(const DistortionAnalysis& a)
{
    if (a.m_Waveform.size() < 2) {
        return {};
    }
    SvgPicture svg(Width, DistortionHeight, "Clipping and distortion (ngspice)",
                   {{"wave", WaveBox}, {"transfer", TransferBox}});
    Heading(svg, DistortionLine(a));
    WavePanel(svg, a);
    if (a.m_Transfer.size() >= 2) {
        TransferPanel(svg, a);
    }
    return svg.Finish();
}

std::string NoiseSvg(const NoiseAnalysis& a)
{
    std::vector<std::pair<double, double>> spectrum;
    std::ranges::copy_if(a.m_Spectrum, std::back_inserter(spectrum), [](const auto& point) {
        return point.first > 0 && point.second > 0 && std::isfinite(point.first) &&
               std::isfinite(point.second);
    });
    if (spectrum.size() < 2) {
        return {};
    }
    const PlotBox& box = NoiseBox;
    const auto [fLow, fHigh] = PairExtent(spectrum, false);
    auto [low, high] = PairExtent(spectrum, true);
    std::tie(low, high) = RoundedLogarithmicRange(low, high);
    const PlotScale x = PlotScale::Logarithmic(fLow, fHigh, box.m_Left, box.m_Right);
    const PlotScale y = PlotScale::Logarithmic(low, high, box.m_Bottom, box.m_Top);
    const auto density = [](double v) { return Quantity(v, "V/sqrt(Hz)"); };

    SvgPicture svg(Width, NoiseHeight, "Noise (ngspice)", {{"noise", box}});
    Heading(svg, NoiseLine(a));
    svg.Grid(box, x, LogarithmicTicks(fLow, fHigh, [](double f) { return Quantity(f, "Hz"); }), y,
             LogarithmicTicks(low, high, density));
    svg.VerticalLabel(18, (box.m_Top + box.m_Bottom) / 2, "Input-referred density (V/sqrt(Hz))");
    svg.Label((box.m_Left + box.m_Right) / 2, NoiseHeight - 16, "Frequency (Hz, logarithmic)", "middle");
    svg.Polyline(Mapped(spectrum, x, y), CurveColour, "noise");
    if (a.m_SpotFrequency >= fLow && a.m_SpotFrequency <= fHigh) {
        const double at = x(a.m_SpotFrequency);
        svg.Line(at, box.m_Top, at, box.m_Bottom, MarkColour, Dashed);
        if (a.m_InputDensity > 0 && std::isfinite(a.m_InputDensity)) {
            svg.Circle(at, y(a.m_InputDensity), 4, MarkColour);
        }
        svg.Label(at + 6, box.m_Top + 14,
                  Quantity(a.m_SpotFrequency, "Hz") + ": " + density(a.m_InputDensity), "start",
                  Fill(MarkColour));
    }
    return svg.Finish();
}

} // namespace norvane
