#include "app/BodeChart.h"

#include "analysis/FrequencyResponse.h"
#include "app/ChartParts.h"
#include "format/EngineeringFormat.h"
#include "present/BodePlot.h"
#include "present/PlotStyle.h"

#include <QFontMetrics>
#include <QPen>
#include <QSize>
#include <QtCharts/QCategoryAxis>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

namespace norvane {

namespace {

// A vertical marker line over the whole gain axis.
QLineSeries* Marker(const QString& name, double frequency, double bottom, double top, const QPen& pen)
{
    return Line(name, std::log10(frequency), bottom, std::log10(frequency), top, pen);
}

// A value axis over bottom..top with a tick at every whole multiple of
// interval, labelled without decimals.
QValueAxis* TickedAxis(const QString& title, double bottom, double top, double interval)
{
    auto* axis = new QValueAxis;
    axis->setTitleText(title);
    axis->setRange(bottom, top);
    axis->setTickType(QValueAxis::TicksDynamic);
    axis->setTickAnchor(0.0);
    axis->setTickInterval(interval);
    axis->setLabelFormat(QStringLiteral("%.0f"));
    return axis;
}

// The grid of the logarithmic frequency axis over first..last (log10 of
// Hz): a line at every decade, fainter ones at 2 to 9 times it, from
// bottom to top of the gain axis.
void AddDecadeGrid(QChart& chart, double first, double last, double bottom, double top, QAbstractAxis* x,
                   QAbstractAxis* y)
{
    const QPen decadePen(QColor(GridColour), 1.0);
    const QPen minorPen(QColor(MinorGridColour), 1.0);
    for (double decade = std::floor(first); decade <= last; decade += 1.0) {
        for (int k = 1; k <= 9; ++k) {
            const double at = decade + std::log10(k);
            if (at >= first - 1e-9 && at <= last + 1e-9) {
                Attach(chart, Line(QString(), at, bottom, at, top, k == 1 ? decadePen : minorPen), x, y);
            }
        }
    }
}

// The value of a curve at x (log10 of Hz), straight between its points;
// NaN outside them.
double ValueAt(const std::vector<BodePoint>& bode, double x, double BodePoint::*member)
{
    for (std::size_t i = 1; i < bode.size(); ++i) {
        const double x0 = std::log10(bode[i - 1].m_Frequency);
        const double x1 = std::log10(bode[i].m_Frequency);
        if (x >= x0 && x <= x1) {
            const double t = x1 > x0 ? (x - x0) / (x1 - x0) : 0.0;
            return bode[i - 1].*member + t * (bode[i].*member - bode[i - 1].*member);
        }
    }
    return NAN;
}

} // namespace

PlotReadout DrawBodeChart(QChart& chart, const SimulationResult& result, double fMin, const QSize& viewSize)
{
    const std::vector<BodePoint>& bode = result.m_Bode;
    if (bode.empty()) {
        return {};
    }
    auto* gain = new QLineSeries;
    gain->setName(QStringLiteral("gain"));
    auto* phase = new QLineSeries;
    phase->setName(QStringLiteral("phase"));
    for (const BodePoint& p : bode) {
        gain->append(std::log10(p.m_Frequency), p.m_MagnitudeDb);
        phase->append(std::log10(p.m_Frequency), p.m_PhaseDegrees);
    }
    // The report's axes.
    const BodeAxes axes = BodeAxisRanges(bode);
    const double gainTop = axes.m_Gain.m_High;
    const double gainBottom = axes.m_Gain.m_Low;

    auto* frequencyAxis = new QCategoryAxis;
    frequencyAxis->setTitleText(QLatin1String(FrequencyAxisTitle));
    frequencyAxis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    const double first = std::log10(bode.front().m_Frequency);
    const double last = std::log10(bode.back().m_Frequency);
    frequencyAxis->setRange(first, last);
    // Every decade where the labels fit, every second one where they
    // would run into each other ("100 m" and "1 k" need about five
    // characters each).
    const double decades = last - first;
    const int labelWidth =
        QFontMetrics(frequencyAxis->labelsFont()).horizontalAdvance(QStringLiteral("100 m")) * 3 / 2;
    const double plotWidth = std::max(100, viewSize.width() - 160);
    const double step = decades * labelWidth > plotWidth ? 2.0 : 1.0;
    for (double decade = std::ceil(first - 1e-9); decade <= last + 1e-9; decade += step) {
        frequencyAxis->append(QString::fromStdString(FormatEngineering(std::pow(10.0, decade))), decade);
    }
    // The same for the gain and the phase: a tick every 10 dB and 45
    // degrees where the labels fit one above the other, else every second
    // one (a label without room shows as "...").
    const int labelHeight = QFontMetrics(frequencyAxis->labelsFont()).height() * 3 / 2;
    const double plotHeight = std::max(100, viewSize.height() - 160);
    const double phaseBottom = axes.m_Phase.m_Low;
    const double phaseTop = axes.m_Phase.m_High;
    const auto tickStep = [&](double span, double step) {
        return span / step * labelHeight > plotHeight ? 2.0 * step : step;
    };
    auto* gainAxis = TickedAxis(QLatin1String(GainAxisTitle), gainBottom, gainTop,
                                tickStep(gainTop - gainBottom, axes.m_Gain.m_Step));
    auto* phaseAxis = TickedAxis(QLatin1String(PhaseAxisTitle), phaseBottom, phaseTop,
                                 tickStep(phaseTop - phaseBottom, axes.m_Phase.m_Step));
    phaseAxis->setGridLineVisible(false);
    frequencyAxis->setGridLineVisible(false);
    chart.addAxis(frequencyAxis, Qt::AlignBottom);
    chart.addAxis(gainAxis, Qt::AlignLeft);
    chart.addAxis(phaseAxis, Qt::AlignRight);
    // First, so that the curves are drawn over it.
    AddDecadeGrid(chart, first, last, gainBottom, gainTop, frequencyAxis, gainAxis);

    QList<QXYSeries*> gainSeries{gain};
    gain->setPen(QPen(PlotBlue, 2.0));
    phase->setPen(QPen(PlotOrange, 1.5));

    if (std::isfinite(fMin)) {
        QPen pen(QColor(FrequencyMarkColour), 1.5, Qt::DashLine);
        gainSeries.push_back(Marker(QLatin1String(MinimumFrequencyName), fMin, gainBottom, gainTop, pen));
    }
    auto* corners = new QScatterSeries;
    for (const double corner : {result.m_LowerCutoff, result.m_UpperCutoff}) {
        if (std::isfinite(corner)) {
            corners->append(std::log10(corner), result.m_GainDb - CutoffDropDb);
            QPen pen(PlotBlue, 1.0, Qt::DotLine);
            gainSeries.push_back(Marker(QString(), corner, gainBottom, gainTop, pen));
        }
    }
    corners->setName(QLatin1String(CutoffName));
    corners->setMarkerSize(10.0);
    corners->setColor(PlotBlue);
    gainSeries.push_back(corners);

    for (QXYSeries* series : gainSeries) {
        Attach(chart, series, frequencyAxis, gainAxis);
    }
    Attach(chart, phase, frequencyAxis, phaseAxis);
    // The unnamed corner lines stay out of the legend.
    for (QLegendMarker* marker : chart.legend()->markers()) {
        if (marker->label().isEmpty()) {
            marker->setVisible(false);
        }
    }
    // What the markers stand for, in numbers, above the plot.
    QString title = QString::fromStdString(MidbandText(result));
    if (std::isfinite(fMin)) {
        title += QStringLiteral(", %1 %2").arg(QLatin1String(MinimumFrequencyName),
                                               WithUnit(fMin, QStringLiteral("Hz")));
    }
    title += QStringLiteral("<br>") + QString::fromStdString(CutoffText(result));
    chart.setTitle(title);
    return [bode](QPointF value) {
        const double gain = ValueAt(bode, value.x(), &BodePoint::m_MagnitudeDb);
        if (!std::isfinite(gain)) {
            return QString();
        }
        return QStringLiteral("f %1: gain %2 dB, phase %3 degrees")
            .arg(
                WithUnit(std::pow(10.0, value.x()), QStringLiteral("Hz")),
                QString::fromStdString(FormatFixed(gain, 2)),
                QString::fromStdString(FormatFixed(ValueAt(bode, value.x(), &BodePoint::m_PhaseDegrees), 1)));
    };
}

} // namespace norvane
