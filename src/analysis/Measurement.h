#pragma once

// What a simulation of an amplifier measures, and how a signal sweep is
// read: the result type every simulation hands out (ngspice's, or any
// other that gives the same vectors) and the one measurement of an AC
// sweep that the verification and every analysis share.
//
// The measurement of a signal sweep (V(in), V(driven), V(out), I(VIN) at
// ascending frequencies):
// - Gain: H(f) = V(out) / V(driven); mid-band, gain in dB and the -3 dB
//   points as FrequencyResponse.h describes them, the mid-band no higher
//   than a given frequency (MidbandLimitFactor x f_min for the designs).
//   Behind a source resistance the driven node is the source's own, so
//   the gain is what the source's own voltage sees.
// - Input impedance: |V(in) / I(in)| at the mid-band point, I(in) being
//   the current VIN drives into the circuit (-I(VIN) in SPICE's sign).
//   It includes the load, as a source driving the stage would see it.

#include "analysis/FrequencyResponse.h"
#include "circuit/Netlist.h"
#include "common/Outcome.h"

#include <complex>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace norvane {

// The mid-band figures of a design are read no higher than this multiple
// of its f_min: two decades above the band's lower edge, where the stage
// does what it was designed for, and below the transistor's own roll-off.
inline constexpr double MidbandLimitFactor = 100.0;

struct SimulationOptions {
    // Load at the output in ohms; 0 means none (OpenLoadResistance).
    double m_LoadResistance = 0.0;
    // Resistance of the signal source in ohms; 0 means an ideal source.
    double m_SourceResistance = 0.0;
    int m_PointsPerDecade = DefaultPointsPerDecade;
};

// A part driven past one of its ratings in a simulation: ngspice's
// safe-operating-area check (NetlistOptions::m_SafeAreaCheck) reports it.
struct SafeAreaExcursion {
    std::string m_Rating; // "VCEO", "IC max" or "Ptot"
    double m_Value = 0.0; // the largest |Vce| (V), Ic (A) or dissipation (W) reported
    double m_Limit = 0.0; // the rating, same unit
};

struct SimulationResult {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

    // Done, or why there is no result: FailureKind::Unavailable where there
    // is no simulator (ngspice's library is missing or would not start),
    // Refused for a circuit or netlist that is not simulated, NotConverged,
    // TimedOut or Cancelled for a run that ended so, Failed otherwise.
    norvane::Status m_Outcome = Failure{};
    // Everything ngspice printed while it loaded and ran the circuits.
    std::string m_Log;
    // The lines of m_Log that warn of something (none for the netlists of
    // the designs).
    std::vector<std::string> m_Warnings;

    // Operating point, magnitudes (A, V, A); NaN for a circuit without Q1.
    double m_Ic = NaN;
    double m_Uce = NaN;
    double m_Ib = NaN;

    double m_MidbandFrequency = NaN; // Hz
    double m_GainDb = NaN;           // at mid-band
    double m_InputImpedance = NaN;   // ohm, at mid-band
    double m_OutputImpedance = NaN;  // ohm, at mid-band
    double m_LowerCutoff = NaN;      // Hz; NaN when below the sweep
    double m_UpperCutoff = NaN;      // Hz; NaN when above the sweep
    std::vector<BodePoint> m_Bode;   // V(out) / V(in) over the sweep

    bool Simulated() const { return m_Outcome.Ok(); }
    // "simulated", "not simulated: <why>", or "simulation unavailable:
    // <why>" where there is no simulator.
    std::string StatusText() const
    {
        if (m_Outcome) {
            return "simulated";
        }
        return (m_Outcome.Is(FailureKind::Unavailable) ? "simulation unavailable: " : "not simulated: ") +
               m_Outcome.Message();
    }
};

// The vectors of a signal run's sweep.
struct SignalSweep {
    std::vector<double> m_Frequency;
    std::vector<std::complex<double>> m_In;
    std::vector<std::complex<double>> m_Driven; // V(source), or V(in)
    std::vector<std::complex<double>> m_Out;
    std::vector<std::complex<double>> m_SourceCurrent; // I(VIN)
};

// What a signal run's sweep gives.
struct SweepFigures {
    std::size_t m_MidIndex = 0; // the sweep point taken as mid-band
    double m_MidbandFrequency = SimulationResult::NaN;
    double m_GainDb = SimulationResult::NaN;
    double m_LowerCutoff = SimulationResult::NaN;
    double m_UpperCutoff = SimulationResult::NaN;
    double m_InputImpedance = SimulationResult::NaN;
    std::vector<BodePoint> m_Bode; // empty unless asked for

    // Into the result's fields of the same names.
    void CopyTo(SimulationResult& result) const;
};

// The figures of a signal run: mid-band, gain, -3 dB points, input
// impedance, and the Bode diagram when withBode; or why there are none
// (vectors that do not match, or no pass band).
[[nodiscard]] Expected<SweepFigures> MeasureSweep(const SignalSweep& sweep, double highestMidFrequency,
                                                  bool withBode);

// Whether every value is a finite number.
bool AllFinite(const std::vector<std::complex<double>>& values);

} // namespace norvane
