#pragma once

// The yield in the verdict, and the bias proposal that raises it.
//
// The yield is the tolerance analysis (Tolerances.h) with its standard
// runs and seed, judged by the verdict's rules: the share of builds that
// meet the requirements, and the quantity missed most.
//
// A design whose builds miss Ic (the worked common-emitter example: its
// divider of 620 k and 200 k carries only about twice the base current, so
// Ic follows the transistor's gain, and 49 % of builds meet) is given a
// stiffer base divider of the design's series, with the emitter resistor
// (a common-emitter stage's bypassed R5, a common-base stage's R1, a
// follower's R3) raised where a higher emitter voltage steadies Ic: the
// set that brings the share of builds that meet to the target at the
// highest input impedance left, for the source has to drive what the
// divider takes away (within 1 %, the larger divider). Uce may not fall
// below 80 % of the design's (headroom), and the divider may not draw more
// current than the stage. A common-emitter stage's gain resistor R4 is
// first set to the series value beside the designed one that puts the
// nominal gain nearest its target, the middle of its +-1 dB (the worked
// example: 200 ohm gives 19.48 dB, 180 ohm 20.42 dB). The capacitors are
// then tuned again (C1 against the lower Z_in), with their margin. Not
// every design can reach the target this way: with 5 % parts the worked
// common-emitter example's Ic still misses its +-10 % in some 9 % of
// builds with the stiffest divider its headroom allows; its proposal
// brings 49 % to 91 % at Z_in 13.9 k and says that no divider reaches 95 %.
//
// The search runs in-process (analysis/SmallSignal.h) over the very draws
// of the tolerance runs: the same seed, the same order of the parts, so
// that run n of the search is build n of ngspice. For every other bottom
// resistor of the series from the designed one down three decades and
// every other emitter resistor up to three times the designed one, the
// top resistors on either side of the one that centres the nominal Ic are
// tried, each first with the BiasSolver alone (about 2 us a run: the share
// of builds within the Ic tolerance, counted until too many are lost), and
// kept where its nominal verdict adds no miss. From the highest Z_in down,
// those whose Ic alone allows the target are judged in full by the
// in-process model (gain, Z_in, Z_out of every run too, for a stiffer
// divider also moves them) until one reaches it; at most FullEstimates of
// them, else the best. Where Ic alone allows the target to none, the
// FullEstimates whose Ic meets most often are judged. ngspice's tolerance
// runs confirm the one chosen, and the proposal says what they found; a
// divider that does not raise the yield is not proposed. Measured
// (release build, BiasProposal in SimulationBenchmarks.cpp): the worked
// common-emitter example's proposal in under 1 s, the confirming 500 runs
// included, against 22 ms for one "ngspice -b" of its netlist.

#include "analysis/RobustnessResults.h"
#include "analysis/Verification.h"
#include "design/AmplifierDesign.h"

#include <optional>
#include <vector>

namespace norvane {

struct YieldAnalysis {
    BuildYield m_Yield;
    int m_IcMisses = 0; // runs that miss Ic
};

// The tolerance analysis of the design (with the options' load, source and
// part values) at DefaultToleranceRuns and DefaultToleranceSeed.
[[nodiscard]] YieldAnalysis AnalyseYield(const AmplifierDesign& design, const VerificationOptions& options,
                                         const AnalysisProgress& progress = {});

// The stiffer divider, for a design (with the options' part values)
// whose yield before is short of YieldTarget with Ic among the misses;
// nullopt otherwise, or where the circuit cannot be modelled.
[[nodiscard]] std::optional<BiasProposal> ProposeBias(const AmplifierDesign& design,
                                                      const VerificationOptions& options,
                                                      const YieldAnalysis& before,
                                                      const AnalysisProgress& progress = {});

} // namespace norvane
