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
// 2. Scores. A design is simulated in-process (analysis/SmallSignal.h,
//    about 0.1 ms) and judged by the verdict's rules: its row as ngspice
//    would give it, to the model's error. That error is below 1e-5 on
//    every figure of every usable design of the table; the ranking allows
//    ModelError (2e-4, relative; the gain the same in dB) and gives each
//    design the best place it could take within it: a miss whose figure
//    lies within the error of its limit counts as met, and the score is
//    lowered by what the errors of its terms could take off.
// 3. Order. The rows are ordered by
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
//    decides. A design ngspice could not simulate is left out.
// 4. Best first. Each design starts with the place its ratings alone
//    allow (met, score 0). The design with the best place is looked at
//    closer, one step at a time: its model (2.), then its bias stability,
//    then ngspice, which Verify (Verification.h) judges; each step can
//    only move it down. This goes on until the rows wanted
//    (RankOptions::m_Rows) are settled: ngspice has given that many, and
//    the last of them in 3.'s order comes before the best place left. No
//    other design can then enter them, so they are exactly the first rows
//    of a ranking in which ngspice simulated the whole table. A design the
//    model cannot analyse keeps the place of its ratings and is simulated
//    early. Every figure and verdict a row shows is ngspice's. For the
//    common-emitter 20 dB example: 3,633 usable designs, 310 modelled (the
//    fully rated ones), 18 simulated for 10 rows.
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

} // namespace norvane
