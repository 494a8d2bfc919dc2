#include "app/AnalysisCharts.h"

#include "analysis/Verification.h"
#include "app/ChartParts.h"
#include "format/EngineeringFormat.h"
#include "present/PlotAxis.h"
#include "present/RobustnessText.h"

#include <QPen>
#include <QtCharts/QAreaSeries>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QLogValueAxis>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <string_view>
#include <tuple>
#include <vector>

namespace norvane {

namespace {

const QColor Green(ThirdCurveColour);

// The unit of a tolerance quantity (ToleranceQuantities) on a plot axis;
// all but the gain take an SI prefix there ("mA").
struct AxisUnit {
    const char* m_Unit;
    bool m_Prefixed;
};

AxisUnit AxisUnitOf(std::string_view quantity)
{
    if (quantity == "Ic") {
        return {"A", true};
    }
    if (quantity == "Uce") {
        return {"V", true};
    }
    if (quantity == "gain") {
        return {"dB", false};
    }
    if (quantity == "f_-3dB") {
        return {"Hz", true};
    }
    return {"ohm", true}; // Z_in, Z_out
}

// The histogram has about sqrt(runs) bars, within these bounds.
constexpr int FewestBins = 5;
constexpr int MostBins = 40;

// The least span of a temperature plot's axis: a share of the value, or
// dB for the gain.
constexpr double LeastDriftShare = 0.1;
constexpr double LeastDriftDb = 1.0;

// An SI prefix for a plot axis: values divided by m_Unit show with one to
// three digits before the point.
struct AxisScale {
    double m_Unit = 1.0;
    QString m_Prefix;
};

AxisScale ScaleFor(double typical)
{
    static const char* const Prefixes[] = {"p", "n", "u", "m", "", "k", "M", "G"};
    constexpr int Unprefixed = 4;
    int thousands = 0;
    if (std::isfinite(typical) && typical != 0.0) {
        thousands =
            std::clamp(static_cast<int>(std::floor(std::log10(std::abs(typical)) / 3.0)), -Unprefixed, 3);
    }
    return {std::pow(1000.0, thousands), QString::fromLatin1(Prefixes[thousands + Unprefixed])};
}

// A linear axis over low..high as NiceRange makes it, about AxisSteps
// steps (at least leastStep each), labelled at every step with as many
// decimals as the step needs. The labels are written here, not by printf on
// the axis: a sum of steps that misses 0 by 1e-16 must not show as
// "1.11e-16".
constexpr int AxisSteps = 6;

QCategoryAxis* NiceAxis(const QString& title, double low, double high, double leastStep = 0.0)
{
    const PlotRange range = NiceRange(low, high, AxisSteps, leastStep);
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(range.m_Step) + 1e-9)));
    auto* axis = new QCategoryAxis;
    axis->setTitleText(title);
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    axis->setStartValue(range.m_Low);
    axis->setRange(range.m_Low, range.m_High);
    for (const PlotTick& tick : LinearTicks(range, [&](double v) { return FormatFixed(v, decimals); })) {
        axis->append(QString::fromStdString(tick.m_Label), tick.m_Value);
    }
    return axis;
}

// An axis in the colour of the one series it belongs to.
void Colour(QAbstractAxis* axis, const QColor& colour)
{
    axis->setLabelsColor(colour);
    axis->setTitleBrush(colour);
    axis->setLinePenColor(colour);
}

void DrawHistogram(QChart& chart, const ToleranceAnalysis& analysis, const ToleranceQuantity& quantity)
{
    const Distribution& distribution = analysis.*quantity.m_Values;
    const AxisUnit unit = AxisUnitOf(quantity.m_Name);
    std::vector<double> values;
    std::ranges::copy_if(distribution.m_Values, std::back_inserter(values),
                         [](double v) { return std::isfinite(v); });
    const QString name = QString::fromLatin1(quantity.m_Name);
    chart.setTitle(QStringLiteral("%1 over %2 runs").arg(name).arg(values.size()));
    if (values.empty()) {
        return;
    }
    const AxisScale scale = unit.m_Prefixed ? ScaleFor(distribution.m_Median) : AxisScale{};
    for (double& v : values) {
        v /= scale.m_Unit;
    }
    const auto [lowest, highest] = std::ranges::minmax(values);
    double low = lowest;
    double high = highest;
    if (!(high > low)) {
        const double pad = low != 0.0 ? 0.01 * std::abs(low) : 1.0;
        low -= pad;
        high += pad;
    }
    const int bins = std::clamp(static_cast<int>(std::ceil(std::sqrt(values.size()))), FewestBins, MostBins);
    const double width = (high - low) / bins;
    std::vector<int> counts(static_cast<std::size_t>(bins), 0);
    for (double v : values) {
        ++counts[static_cast<std::size_t>(std::clamp(static_cast<int>((v - low) / width), 0, bins - 1))];
    }
    // The bars as one outline: up and across each bin. An area series
    // does not own its outline: it is the area's child, and goes with it.
    auto* bars = new QAreaSeries;
    auto* outline = new QLineSeries(bars);
    outline->append(low, 0.0);
    for (int i = 0; i < bins; ++i) {
        outline->append(low + i * width, counts[static_cast<std::size_t>(i)]);
        outline->append(low + (i + 1) * width, counts[static_cast<std::size_t>(i)]);
    }
    outline->append(high, 0.0);
    bars->setUpperSeries(outline);
    bars->setName(QLatin1String(BarsName));
    bars->setColor(QColor(BarColour));
    bars->setBorderColor(PlotBlue);

    // The requirement's limits, where the quantity has any: the axis
    // reaches them, so that the spread is seen against them.
    const RequirementBand band = RequirementBandOf(analysis.m_Targets, quantity.m_Name);
    double axisLow = lowest;
    double axisHigh = highest;
    for (const double limit : {band.m_Low, band.m_High}) {
        if (std::isfinite(limit)) {
            axisLow = std::min(axisLow, limit / scale.m_Unit);
            axisHigh = std::max(axisHigh, limit / scale.m_Unit);
        }
    }
    auto* xAxis = NiceAxis(QStringLiteral("%1 (%2%3)").arg(name, scale.m_Prefix, QLatin1String(unit.m_Unit)),
                           axisLow, axisHigh);
    const int most = *std::ranges::max_element(counts);
    auto* yAxis = NiceAxis(QStringLiteral("runs"), 0.0, most, 1.0);
    chart.addAxis(xAxis, Qt::AlignBottom);
    chart.addAxis(yAxis, Qt::AlignLeft);
    Attach(chart, bars, xAxis, yAxis);
    const double top = yAxis->max();
    const QPen medianPen(QColor(MarkColour), 2.0);
    const QPen percentilePen(QColor(MarkColour), 1.5, Qt::DashLine);
    const QPen limitPen(QColor(LimitColour), 2.0, Qt::DashDotLine);
    const bool twoLimits = std::isfinite(band.m_Low) && std::isfinite(band.m_High);
    for (const auto& [label, value, pen] :
         {std::tuple{QString(QLatin1String(MedianName)), distribution.m_Median, medianPen},
          std::tuple{QString(QLatin1String(PercentilesName)), distribution.m_Low, percentilePen},
          std::tuple{QString(), distribution.m_High, percentilePen},
          std::tuple{QString(QLatin1String(twoLimits ? LimitsName : LimitName)),
                     std::isfinite(band.m_Low) ? band.m_Low : band.m_High, limitPen},
          std::tuple{QString(), twoLimits ? band.m_High : NAN, limitPen}}) {
        if (std::isfinite(value)) {
            const double x = value / scale.m_Unit;
            Attach(chart, Line(label, x, 0.0, x, top, pen), xAxis, yAxis);
        }
    }
    // The second percentile line shares the first one's entry.
    for (QLegendMarker* marker : chart.legend()->markers()) {
        marker->setVisible(!marker->label().isEmpty());
    }
}

void DrawTemperature(QChart& chart, const TemperatureAnalysis& analysis)
{
    const std::vector<TemperaturePoint>& points = analysis.m_Points;
    if (points.empty()) {
        return;
    }
    chart.setTitle(QStringLiteral("Ic, Uce and gain (at %1) against temperature")
                       .arg(WithUnit(analysis.m_MidbandFrequency, QStringLiteral("Hz"))));
    auto* xAxis = new QCategoryAxis;
    xAxis->setTitleText(QLatin1String(TemperatureAxisTitle));
    xAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    xAxis->setRange(points.front().m_Celsius - 10.0, points.back().m_Celsius + 10.0);
    for (const TemperaturePoint& p : points) {
        xAxis->append(QString::number(p.m_Celsius), p.m_Celsius);
    }
    chart.addAxis(xAxis, Qt::AlignBottom);

    struct Curve {
        const char* m_Name;
        double TemperaturePoint::*m_Member;
        const char* m_Unit;
        bool m_Prefixed;
        QColor m_Colour;
        Qt::Alignment m_Side;
    };
    const Curve curves[] = {
        {"Ic", &TemperaturePoint::m_Ic, "A", true, PlotBlue, Qt::AlignLeft},
        {"Uce", &TemperaturePoint::m_Uce, "V", true, PlotOrange, Qt::AlignRight},
        {"gain", &TemperaturePoint::m_GainDb, "dB", false, Green, Qt::AlignRight},
    };
    for (const Curve& curve : curves) {
        const AxisScale scale =
            curve.m_Prefixed ? ScaleFor(points[points.size() / 2].*curve.m_Member) : AxisScale{};
        auto* series = new QLineSeries;
        series->setName(QString::fromLatin1(curve.m_Name));
        series->setPen(QPen(curve.m_Colour, 2.0));
        series->setPointsVisible(true);
        double low = INFINITY;
        double high = -INFINITY;
        for (const TemperaturePoint& p : points) {
            const double value = p.*curve.m_Member / scale.m_Unit;
            if (std::isfinite(value)) {
                series->append(p.m_Celsius, value);
                low = std::min(low, value);
                high = std::max(high, value);
            }
        }
        if (series->count() == 0) {
            delete series;
            continue;
        }
        // Each axis spans at least LeastDriftShare of its value (LeastDriftDb
        // for the gain): a drift too small to matter looks small.
        const double middle = 0.5 * (low + high);
        const double span =
            std::max(high - low, curve.m_Prefixed ? LeastDriftShare * std::abs(middle) : LeastDriftDb);
        auto* yAxis =
            NiceAxis(QStringLiteral("%1 (%2%3)")
                         .arg(QLatin1String(curve.m_Name), scale.m_Prefix, QLatin1String(curve.m_Unit)),
                     middle - span / 2, middle + span / 2);
        yAxis->setGridLineVisible(curve.m_Side == Qt::AlignLeft);
        Colour(yAxis, curve.m_Colour);
        chart.addAxis(yAxis, curve.m_Side);
        Attach(chart, series, xAxis, yAxis);
    }
}

void DrawWaveform(QChart& chart, const DistortionAnalysis& analysis)
{
    const std::vector<std::pair<double, double>>& wave = analysis.m_Waveform;
    chart.setTitle(QStringLiteral("output over one period: %1 peak at %2")
                       .arg(WithUnit(analysis.m_Amplitude, QStringLiteral("V")),
                            WithUnit(analysis.m_Frequency, QStringLiteral("Hz"))));
    if (wave.size() < 2) {
        return;
    }
    const double start = wave.front().first;
    const AxisScale time = ScaleFor(wave.back().first - start);
    double peak = 0.0;
    for (const auto& [t, v] : wave) {
        peak = std::max(peak, std::abs(v));
    }
    const AxisScale volts = ScaleFor(peak);
    auto* series = new QLineSeries;
    series->setName(QStringLiteral("output"));
    series->setPen(QPen(PlotBlue, 2.0));
    for (const auto& [t, v] : wave) {
        series->append((t - start) / time.m_Unit, v / volts.m_Unit);
    }
    auto* xAxis = new QValueAxis;
    xAxis->setTitleText(QStringLiteral("time (%1s)").arg(time.m_Prefix));
    // One period, in quarters.
    const double period = std::isfinite(analysis.m_Frequency) && analysis.m_Frequency > 0.0
                              ? 1.0 / analysis.m_Frequency
                              : wave.back().first - start;
    xAxis->setRange(0.0, period / time.m_Unit);
    xAxis->setTickCount(5);
    xAxis->setLabelFormat(QStringLiteral("%.4g"));
    // Symmetric about the operating point.
    const double reach = peak / volts.m_Unit;
    auto* yAxis = NiceAxis(QStringLiteral("output (%1V)").arg(volts.m_Prefix), -reach, reach);
    chart.addAxis(xAxis, Qt::AlignBottom);
    chart.addAxis(yAxis, Qt::AlignLeft);
    Attach(chart, series, xAxis, yAxis);
    chart.legend()->hide();
}

void DrawNoise(QChart& chart, const NoiseAnalysis& analysis)
{
    const std::vector<std::pair<double, double>>& spectrum = analysis.m_Spectrum;
    chart.setTitle(QStringLiteral("input noise, source %1")
                       .arg(WithUnit(analysis.m_SourceResistance, QStringLiteral("ohm"))));
    if (spectrum.size() < 2) {
        return;
    }
    const AxisScale scale =
        ScaleFor(std::isfinite(analysis.m_InputDensity) ? analysis.m_InputDensity
                                                        : spectrum[spectrum.size() / 2].second);
    auto* series = new QLineSeries;
    series->setName(QStringLiteral("input-referred density"));
    series->setPen(QPen(PlotBlue, 2.0));
    double low = INFINITY;
    double high = -INFINITY;
    for (const auto& [f, density] : spectrum) {
        // A log axis takes positive values only.
        if (f > 0.0 && density > 0.0) {
            series->append(f, density / scale.m_Unit);
            low = std::min(low, density / scale.m_Unit);
            high = std::max(high, density / scale.m_Unit);
        }
    }
    if (series->count() < 2) {
        delete series;
        return;
    }
    auto* xAxis = new QLogValueAxis;
    xAxis->setTitleText(QLatin1String(FrequencyAxisTitle));
    xAxis->setBase(10.0);
    xAxis->setLabelFormat(QStringLiteral("%g"));
    xAxis->setMinorTickCount(8);
    xAxis->setMinorGridLineVisible(true);
    xAxis->setRange(series->at(0).x(), series->at(series->count() - 1).x());
    auto* yAxis = new QLogValueAxis;
    yAxis->setTitleText(QStringLiteral("density (%1V/sqrt(Hz))").arg(scale.m_Prefix));
    yAxis->setBase(10.0);
    yAxis->setLabelFormat(QStringLiteral("%g"));
    yAxis->setMinorTickCount(8);
    yAxis->setMinorGridLineVisible(true);
    yAxis->setRange(std::pow(10.0, std::floor(std::log10(low))),
                    std::pow(10.0, std::ceil(std::log10(high) + 1e-9)));
    chart.addAxis(xAxis, Qt::AlignBottom);
    chart.addAxis(yAxis, Qt::AlignLeft);
    Attach(chart, series, xAxis, yAxis);
    if (std::isfinite(analysis.m_InputDensity) && analysis.m_InputDensity > 0.0 &&
        analysis.m_SpotFrequency > 0.0) {
        auto* spot = new QScatterSeries;
        spot->setName(QStringLiteral("at %1").arg(WithUnit(analysis.m_SpotFrequency, QStringLiteral("Hz"))));
        spot->setMarkerSize(10.0);
        spot->setColor(QColor(MarkColour));
        spot->append(analysis.m_SpotFrequency, analysis.m_InputDensity / scale.m_Unit);
        Attach(chart, spot, xAxis, yAxis);
    }
}

} // namespace

void DrawAnalysisChart(QChart& chart, const RobustnessResults& results, std::size_t toleranceQuantity)
{
    if (results.m_Tolerance && *results.m_Tolerance) {
        DrawHistogram(chart, **results.m_Tolerance,
                      ToleranceQuantities[std::min(toleranceQuantity, ToleranceQuantities.size() - 1)]);
    } else if (results.m_Temperature && *results.m_Temperature) {
        DrawTemperature(chart, **results.m_Temperature);
    } else if (results.m_Distortion && *results.m_Distortion) {
        DrawWaveform(chart, **results.m_Distortion);
    } else if (results.m_Noise && *results.m_Noise) {
        DrawNoise(chart, **results.m_Noise);
    }
}

} // namespace norvane
