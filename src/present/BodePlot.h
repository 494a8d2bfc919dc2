#pragma once

// The Bode plot of a simulation as an SVG document, for the report: gain in
// dB above, phase in degrees below, both over one logarithmic frequency
// axis, with f_min and the -3 dB points marked. Plain SVG 1.1 with no
// script, no external reference and ASCII text only, so that a browser
// shows it as an <img> and any editor opens it.
//
// The gain axis shows at most BodeGainRange dB below the largest gain: a
// high-pass stage falls by 100 dB and more towards the start of the sweep,
// which would squeeze the pass band into a line.

#include "analysis/Measurement.h"

#include <string>

namespace norvane {

inline constexpr double BodeGainRange = 60.0; // dB

// The document, ending in a line feed; an empty string when the result
// holds no sweep. minimumFrequency is the design's f_min in Hz (not marked
// when it is no positive number).
std::string BodeSvg(const SimulationResult& result, double minimumFrequency);

} // namespace norvane
