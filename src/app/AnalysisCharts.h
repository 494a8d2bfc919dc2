#pragma once

// The plots of the four robustness analyses (studies/Robustness.h) on a Qt
// chart, one per tab of the verification window (app/RobustnessTab.h):
// - Tolerances: a histogram of one quantity over the runs, about sqrt(runs)
//   bars (5 to 40), its median and its 1st and 99th percentile marked;
// - Temperature: Ic, Uce and the mid-band gain against the temperature,
//   each on an axis of its colour that spans at least a tenth of its value
//   (1 dB for the gain), so that a drift too small to matter looks small;
// - Distortion: the output over the last period of the transient,
//   symmetric about the operating point;
// - Noise: the input-referred noise density over frequency, log-log, its
//   value at the spot frequency marked.
// Values take an SI prefix on their axis ("mA", "nV/sqrt(Hz)"); the axes
// of linear plots step by 1, 2 or 5 x 10^n and write their own labels.

#include "analysis/RobustnessResults.h"

#include <cstddef>

class QChart;

namespace norvane {

// Draws the analysis that results holds, when it has figures, on chart,
// which ClearChart has emptied; a result without figures leaves at most a
// title. toleranceQuantity picks the histogram's quantity, an index into
// ToleranceQuantities (present/RobustnessText.h).
void DrawAnalysisChart(QChart& chart, const RobustnessResults& results, std::size_t toleranceQuantity);

} // namespace norvane
