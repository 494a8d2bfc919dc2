#pragma once

// The verification of a design by simulation (ngspice) and its tuning: the
// simulation of the design's circuit, judged by the rules of
// analysis/Verification.h, and a proposal of capacitor values that meet
// the requirements.
//
// The tuning proposal leaves as designed each capacitor of the misses that
// the others, raised four decades, do without; it scales the rest up the
// E12 ladder together, step by step in a bisection, to the first step that
// mends those misses without adding one, and then lowers each of them
// alone, again by bisection, as far as it can. The steps, some twenty, are
// judged by the in-process model (analysis/SmallSignal.h, about 0.1 ms
// each); ngspice judges the values found, and where it finds one at the
// edge of a requirement the model just met, the capacitors raised go one
// step further.
//
// A proposal holds with real parts: every capacitor it changes is judged
// at the low edge of its tolerance (CapacitorTolerance, 20 % below the
// proposed value) with the other parts as designed, because the smallest
// value that passes nominally fails with every part that comes out low
// (the common-base default's C3 of 1.8 nF met its Z_out in 29 % of builds).
// The proposal's own verification is of the proposed values.

#include "analysis/Verification.h"
#include "design/AmplifierDesign.h"

#include <optional>

namespace norvane {

// Simulates the design (with the options' edits, load and source) and
// judges it. Thread-safe: simulations are serialised by the simulator.
[[nodiscard]] Verification Verify(const AmplifierDesign& design, const VerificationOptions& options = {});

// Where misses come from capacitors (the lower corner, the common-base
// Z_out through C3, common-emitter gain lost at C1), the smallest E12
// capacitor values that meet the requirements in simulation; nullopt when
// the design meets them already, or no capacitor change helps. Resistors
// stay as designed.
[[nodiscard]] std::optional<TuningProposal> ProposeTuning(const AmplifierDesign& design,
                                                          const VerificationOptions& options = {});

} // namespace norvane
