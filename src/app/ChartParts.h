#pragma once

// What the Bode plot (BodeChart.h) and the analysis plots
// (AnalysisCharts.h) are made of alike: an emptied chart for the next
// picture, straight marker lines, series hung on two axes, the colours of
// the curves, and figures written with their unit as the titles show them.

#include "present/PlotStyle.h"

#include <QColor>
#include <QString>

class QAbstractAxis;
class QAbstractSeries;
class QChart;
class QLineSeries;
class QPen;

namespace norvane {

// The first curve of a plot (the gain, the outline of the histogram, the
// waveform, the noise density) and the second (the phase, Uce).
inline const QColor PlotBlue(CurveColour);
inline const QColor PlotOrange(SecondCurveColour);

// Removes every series, every axis and the title; the legend shows again.
void ClearChart(QChart& chart);

// A line from (x0, y0) to (x1, y1); without a name it stays out of the
// legend where the plot hides unnamed entries.
QLineSeries* Line(const QString& name, double x0, double y0, double x1, double y1, const QPen& pen);

// Puts series on chart over the axes x and y, both already on it.
void Attach(QChart& chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y);

// "4.7 kHz", "100 Hz": the engineering text with its prefix joined to the
// unit.
QString WithUnit(double value, const QString& unit);

} // namespace norvane
