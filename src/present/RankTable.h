#pragma once

// A ranking (Ranking.h) as a table of text: the columns and the cells of a
// row as norvane-cli rank prints them and the desktop's suggestion table
// shows them, written once for both.

#include "analysis/RankResults.h"

#include <array>
#include <string>
#include <vector>

namespace norvane {

// Plain field names for now: the command line prints the columns, and
// takes the m_ names together with its own option structs.
// NOLINTBEGIN(readability-identifier-naming)
struct RankColumn {
    const char* heading;
    bool leftAligned; // the texts; the figures are right-aligned
};
// NOLINTEND(readability-identifier-naming)

// Type, polarity, B (Ic / Ib at the operating point), the simulated gain,
// Z_in, Z_out and f_-3dB, the bias shift, the score and the verdict; then
// the type's ratings VCEO, IC max and Ptot, and a column without heading
// for RatingUnknownMark.
inline constexpr std::array<RankColumn, 14> RankColumns{{{"Type", true},
                                                         {"Pol.", false},
                                                         {"B", false},
                                                         {"Gain", false},
                                                         {"Z_in", false},
                                                         {"Z_out", false},
                                                         {"f_-3dB", false},
                                                         {"Bias shift", false},
                                                         {"Score", false},
                                                         {"Verdict", true},
                                                         {"VCEO", false},
                                                         {"IC max", false},
                                                         {"Ptot", false},
                                                         {"", true}}};

// The mark of a row whose type has a rating no source states
// (RankRow::m_RatingUnknown), and the line under the table that says so.
inline constexpr const char* RatingUnknownMark = "?";
inline constexpr const char* RatingUnknownNote =
    "?: a rating of the type is not known (-), so the design could not be checked against it; "
    "such types come after all whose ratings are known.";

// One text per column of RankColumns ("2.2 kohm", "12 %", "500 mW"); "-"
// where the row has no figure, the last column RatingUnknownMark or empty.
std::vector<std::string> RankCells(const RankRow& row);

// "3612 types designed, 1402 usable without notes, the best 60 by their own
// figures simulated", with " (2 would not simulate)" where some failed; ", 310
// of them over a rating of the type" after the usable where some are.
std::string RankSummary(const Ranking& ranking);

} // namespace norvane
