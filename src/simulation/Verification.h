#pragma once

// Whether a design does what was asked of it, proven by simulation on the
// same Gummel-Poon card the design used: the verdict, the table beside it,
// and a proposal of capacitor values that meet the requirements.
//
// A requirement is missed when, without a load (or with the load and
// source resistance of the options):
// - the common-emitter gain is more than 1 dB from the target;
// - Z_out is more than 20 % from the requirement (common-emitter,
//   common-base);
// - Z_in is more than 20 % above the requirement, which is an upper limit
//   (common-emitter, common-collector);
// - the simulated lower -3 dB frequency is above f_min;
// - the simulated Ic is more than 10 % from the designed Ic.
// The mid-band figures (gain, Z_in, Z_out) are read inside the pass band,
// no higher than 100 x f_min (or the upper corner, when that is lower).
// The verdict never changes a designed value.

#include "design/AmplifierDesign.h"
#include "simulation/Simulator.h"

#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace norvane {

struct VerificationOptions {
    double m_LoadResistance = 0.0;    // ohm at the output; 0: none
    double m_SourceResistance = 0.0;  // ohm in series with the input source; 0: none
    // Part values that replace the design's (what-if edits, a tuning
    // proposal), by the part's name ("R1", "C3"), in ohm or farad.
    std::vector<NamedValue> m_PartValues;
};

// One requirement the simulation does not meet.
struct VerdictMiss {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    std::string m_Quantity;   // "gain", "Z_in", "Z_out", "f_-3dB", "Ic"
    double m_Required = NaN;  // SI units; dB for the gain
    double m_Simulated = NaN;
    // The likely cause where the design's values show it ("C3 of 22 pF
    // does not ground the base at 100 kHz"); empty when none is known.
    std::string m_Why;
};

struct Verdict {
    // False when there is no simulation to judge by; m_Problem then says
    // why ("not simulated: ...", "simulation unavailable: ...").
    bool m_Simulated = false;
    std::string m_Problem;
    bool m_Meets = false;
    std::vector<VerdictMiss> m_Misses;

    // The line below the title: what was simulated and whether the design
    // meets its requirements, naming each miss.
    std::string Line() const;
};

// One row of the verification table, as shown: Ic, Uce, gain, Z_in, Z_out,
// lower and upper -3 dB frequency. A quantity the circuit has no
// requirement for shows an empty requirement and verdict.
struct VerificationRow {
    std::string m_Quantity;
    std::string m_Required;
    std::string m_Designed;
    std::string m_Simulated;
    std::string m_Verdict;  // "meets", "misses" or empty
};

struct Verification {
    SimulationResult m_Simulation;
    Verdict m_Verdict;
    std::vector<VerificationRow> m_Rows;
};

// Simulates the design (with the options' edits, load and source) and
// judges it. Thread-safe: simulations are serialised by the simulator.
[[nodiscard]] Verification Verify(const AmplifierDesign& design, const VerificationOptions& options = {});

struct PartChange {
    std::string m_Part;    // "C3"
    double m_Designed = 0.0;
    double m_Proposed = 0.0;
};

struct TuningProposal {
    std::vector<PartChange> m_Changes;
    Verification m_Verification;  // of the design with the changes

    // "C3 22 pF -> 100 nF: Z_out 1.86 k, f_-3dB 0.92 x f_min"
    std::string Line() const;
};

// Where misses come from capacitors (the lower corner, the common-base
// Z_out through C3, common-emitter gain lost at C1), the smallest E12
// capacitor values that meet the requirements in simulation; nullopt when
// the design meets them already, or no capacitor change helps. Resistors
// stay as designed.
[[nodiscard]] std::optional<TuningProposal> ProposeTuning(const AmplifierDesign& design,
                                                          const VerificationOptions& options = {});

} // namespace norvane
