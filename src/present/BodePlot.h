#pragma once

// The Bode plot of a simulation as an SVG document, for the report: gain in
// dB above, phase in degrees below, both over one logarithmic frequency
// axis, with f_min and the -3 dB points marked. Plain SVG 1.1 with no
// script, no external reference and ASCII text only, so that a browser
// shows it as an <img> and any editor opens it.
//
// The window's Bode chart takes its axes from BodeAxisRanges too, and its
// colours and words from PlotStyle.h, so that both show a result alike.

#include "analysis/Measurement.h"
#include "present/PlotAxis.h"

#include <string>
#include <vector>

namespace norvane {

inline constexpr double BodeGainRange = 60.0; // dB

// The gain and phase axes of a sweep. The gain shows at most BodeGainRange
// dB below the largest gain (a high-pass stage falls by 100 dB and more
// towards the start of the sweep, which would squeeze the pass band into a
// line) and 5 dB above it, in whole 10 dB; the phase its span and 10
// degrees either side, in whole 45 degrees (90 over more than a turn), so
// that no curve runs along the frame. Empty ranges for an empty sweep.
struct BodeAxes {
    PlotRange m_Gain;
    PlotRange m_Phase;
};
BodeAxes BodeAxisRanges(const std::vector<BodePoint>& bode);

// "mid-band 19.9 dB at 1 kHz" (empty without a mid-band) and "-3 dB: 8.03
// Hz, 27.1 MHz" ("-3 dB: none in the sweep"): what the marks stand for.
std::string MidbandText(const SimulationResult& result);
std::string CutoffText(const SimulationResult& result);

// The document, ending in a line feed; an empty string when the result
// holds no sweep. minimumFrequency is the design's f_min in Hz (not marked
// when it is no positive number).
std::string BodeSvg(const SimulationResult& result, double minimumFrequency);

} // namespace norvane
