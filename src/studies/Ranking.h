#pragma once

// Which transistor suits a circuit's requirements: the whole built-in table
// ranked for them.
//
// 1. Design. The circuit is designed with every type of the table (of the
//    polarity asked for), with the requirements and the series of the
//    inputs, through the ordinary design classes. A design that is not
//    usable, or that carries a note (a requirement it cannot meet, a part
//    that cannot be bought), is dropped; so is one that exceeds a known
//    absolute maximum rating of its type: the supply above VCEO, Ic above
//    IC max or P above Ptot (circuit/PartStress.h). Such a design
//    simulates well and destroys the part, and it costs no simulation
//    here. A rating no source states does not drop a design (see 3.).
// 2. Candidates. The designs left are put in order: those whose type has
//    all three ratings known first, as 3. orders them, then each group by
//    their own figures, without simulation (PreScore). The first
//    m_Candidates of them are simulated and judged with Verify
//    (Verification.h). Two types in three have a rating unknown, and by
//    the pre-score alone they would take most of the places, leaving few
//    rated types to rank (none of the common-emitter 20 dB at 90 V); a
//    type with a rating unknown is simulated only where fewer rated ones
//    are left than places. The pre-score is the sum of three relative
//    errors the design shows by itself:
//    - the shift of Ic: the DC operating point of the designed resistors
//      (see the bias stability below), estimated by one secant step from
//      the designed Ic, against the designed Ic. The resistors rounded to
//      the series move it by up to several percent, and it is what tells
//      most of the simulated designs of a circuit apart;
//    - where there is an output impedance requirement: how much the card's
//      collector-base capacitance CJC lowers it at 100 x f_min, the top of
//      the band where the verdict reads it (1 - 1 / sqrt(1 + (w CJC R)^2));
//      at the high f_min of the common-base defaults this decides;
//    - the common emitter's designed gain against the requirement.
//    A simulation takes about 4 ms and ngspice runs one at a time, so the
//    60 simulations of DefaultRankCandidates and the designs of the whole
//    table take well under a second. Tried on every usable design of the
//    common-emitter 20 dB and the common-base defaults, the first 60 by
//    the pre-score hold the best simulated design of each and most of the
//    best 20 of the common-base circuit.
// 3. Order. The simulated candidates are ordered by
//    - whether all three ratings of the type are known: a type with any of
//      VCEO, IC max and Ptot unknown could not be checked, and comes after
//      every type that was (RankRow::m_RatingUnknown marks it);
//    - whether the verdict is met (those that meet first);
//    - the score: the sum of the relative errors of the quantities the
//      verdict judges (Verification.h), in whole percent (lower first);
//    - the type's Ptot (lower first; unknown last);
//    - the bias stability (lower first);
//    - the type name.
//    Designs whose errors sum to the same whole percent count as equally
//    good; among them the smallest part that suffices comes first (a
//    small-signal stage gets a small-signal type, not a power or
//    high-voltage one), and between parts of one Ptot the stiffer bias
//    decides. A candidate that could not be simulated is left out.
//
// The relative errors of the score, each 0 where the quantity meets its
// requirement exactly (or lies on the allowed side of a limit):
// - gain (common emitter): |A_sim / A_req - 1| on the linear voltage gain;
// - Z_out (common emitter, common base): |Z_sim / Z_req - 1|;
// - Z_in (common emitter, common collector), an upper limit:
//   max(0, Z_sim / Z_req - 1);
// - f_-3dB, an upper limit: max(0, f_sim / f_min - 1), 0 where the response
//   does not fall 3 dB within the sweep;
// - Ic: |Ic_sim / Ic_designed - 1|.
//
// The bias stability: circuit/BiasPoint.h.
//
// The ranking is deterministic: the same inputs give the same rows.

#include "analysis/RankResults.h"
#include "common/Outcome.h"
#include "design/AmplifierDesign.h"
#include "design/DesignInputs.h"

#include <functional>
#include <string>
#include <vector>

namespace norvane {

// done of total steps (a design or a simulation each); false cancels.
using RankProgress = std::function<bool(int done, int total)>;

inline constexpr const char* RankCancelledMessage = "The ranking was cancelled.";

// Ranks the table for inputs (their type is ignored). Fails when there is
// no simulator (the reason), or with RankCancelledMessage when progress
// returned false. Thread-safe.
[[nodiscard]] Expected<Ranking> Rank(const DesignInputs& inputs, const RankOptions& options = {},
                                     const RankProgress& progress = {});

// The figure of the design's own that orders the candidates (2. above),
// lower first; infinite for a design that cannot be built.
double PreScore(const AmplifierDesign& design);

} // namespace norvane
