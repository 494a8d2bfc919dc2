#pragma once

// The pictures of the robustness analyses (Robustness.h) for the report,
// drawn as the Bode plot is (SvgPlot.h: plain SVG 1.1, ASCII, no script,
// the same bytes for the same results), 760 user units wide like it:
// - tolerances: a histogram of each of the six quantities (Ic, Uce, gain,
//   Z_in, Z_out, f_-3dB) in two columns of three, with the median and the
//   1st and 99th percentile marked;
// - temperature: Ic, Uce and the gain against the temperature, three
//   panels side by side;
// - distortion: the output over the last period of the transient, and
//   beside it the transfer curve of the headroom sweep with the clipping
//   edges marked;
// - noise: the input-referred density over the band, logarithmic both
//   ways, with the spot frequency marked.
// Each gives an empty string when the analysis holds nothing to draw.

#include "analysis/RobustnessResults.h"

#include <string>

namespace norvane {

std::string ToleranceSvg(const ToleranceAnalysis& analysis);
std::string TemperatureSvg(const TemperatureAnalysis& analysis);
std::string DistortionSvg(const DistortionAnalysis& analysis);
std::string NoiseSvg(const NoiseAnalysis& analysis);

} // namespace norvane
