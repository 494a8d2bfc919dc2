#pragma once

// Measurements on a frequency response sampled at ascending frequencies
// (an AC sweep): pass band, mid-band, -3 dB points, Bode diagram.
//
// How the mid-band is found: first the -3 dB points relative to the
// largest magnitude of the sweep (or the ends of the sweep where the
// response does not fall that far); the mid-band frequency is the sweep
// point nearest, on the logarithmic axis, to their geometric mean. A
// highest mid-band frequency, when given, bounds both: the largest
// magnitude is sought below it, and the mid-band is taken no higher, even
// where the sweep passes more above it (the collector-base capacitance
// feeding the input through at tens of MHz); only a bound below the band's
// own lower corner, where the response still climbs by 3 dB or more within
// the decade above, is not taken. Without it a stage whose response
// shows no upper corner inside the sweep would be read at the geometric
// centre of its lower corner and the sweep's end, far above the band it was
// designed for. Taking
// the maximum alone would not do: an emitter follower's gain creeps up
// towards 1 at high frequencies, where the transistor's capacitances
// already spoil its input impedance. The -3 dB points that are reported
// are then measured from the magnitude at mid-band, searching outward from
// it, and interpolated linearly in dB over log f between the two sweep
// points that enclose the crossing.

#include <complex>
#include <cstddef>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace norvane {

// 20 log10(sqrt 2): the drop that defines a cut-off frequency.
inline constexpr double CutoffDropDb = 3.0102999566398120;

struct BodePoint {
    double m_Frequency = 0.0;    // Hz
    double m_MagnitudeDb = 0.0;  // dB
    double m_PhaseDegrees = 0.0; // degrees
};

struct PassBand {
    std::size_t m_MidIndex = 0; // the sweep point taken as mid-band
    double m_MidFrequency = std::numeric_limits<double>::quiet_NaN();
    double m_MidGainDb = std::numeric_limits<double>::quiet_NaN();
    // -3 dB below the mid-band magnitude; NaN when the sweep does not get
    // there on that side.
    double m_LowerCutoff = std::numeric_limits<double>::quiet_NaN();
    double m_UpperCutoff = std::numeric_limits<double>::quiet_NaN();
};

double MagnitudeDb(std::complex<double> value);

// The frequency at which the straight line through (f0, db0) and (f1, db1)
// on a log10(f) axis reaches level.
double InterpolateCrossing(double f0, double db0, double f1, double db1, double level);

// Empty frequency or h, sizes that differ, frequencies that do not rise
// or values that are no finite numbers give a PassBand with NaN values.
// highestMidFrequency in Hz; infinity: no bound.
PassBand FindPassBand(std::span<const double> frequency, std::span<const std::complex<double>> h,
                      double highestMidFrequency = std::numeric_limits<double>::infinity());

// Magnitude in dB and phase in degrees at every sweep point. The phase is
// unwrapped outward from the point midIndex, where it is the principal
// value (-180, 180], so that it runs without jumps over the sweep.
std::vector<BodePoint> MakeBode(std::span<const double> frequency, std::span<const std::complex<double>> h,
                                std::size_t midIndex);

// The Bode table as CSV: "frequency_hz,magnitude_db,phase_deg" and one line
// per sweep point, ten significant digits, in the classic locale (the CLI's
// --bode file, the verification window's export).
std::string BodeCsv(const std::vector<BodePoint>& bode);

} // namespace norvane
