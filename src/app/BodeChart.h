#pragma once

// The Bode plot of the verification window on a Qt chart: the gain in dB
// on the left axis and the phase in degrees on the right one, over the
// frequency. The frequency axis is logarithmic: the plot's x is log10 of
// the frequency in Hz, labelled at decades in engineering notation
// ("10 k"), which stays readable where printf's "1e+06" would not. The
// gain axis reaches 60 dB below the highest gain, so that the skirts far
// below the corners do not squeeze the pass band flat. f_min (dashed) and
// the -3 dB points (dotted, each with a dot at its level) are marked; the
// title says them in numbers, with the mid-band gain. A grid line stands
// at every decade of the frequency, fainter ones at 2 to 9 times it; they
// are series of their own, so that they zoom and pan with the curves
// (app/PlotView.h).

#include "analysis/Measurement.h"
#include "app/PlotView.h"

class QChart;
class QSize;

namespace norvane {

// Draws the sweep of result on chart, which ClearChart has emptied. fMin
// is the design's required lower cut-off in Hz (not finite: no marker);
// viewSize is the size of the chart's view: the axes label every second
// decade, 20 dB or 90 degrees where every one would not fit. Returns the
// readout of the plot: "f 1.2 kHz: gain 19.52 dB, phase -12.3 degrees",
// the curves' values at the frequency under the mouse.
PlotReadout DrawBodeChart(QChart& chart, const SimulationResult& result, double fMin, const QSize& viewSize);

} // namespace norvane
