#pragma once

// "norvane-cli rank <circuit> [requirements] [--top N] [--polarity npn|pnp]
// [--json]": the built-in table ranked for the requirements
// (studies/Ranking.h), the best N rows as an aligned table or as JSON.

#include "common/Outcome.h"
#include "design/DesignInputs.h"

#include <ostream>
#include <string>

namespace CLI {
class App;
}

namespace norvane::cli {

inline constexpr int DefaultRankTop = 10;
// The most rows --top asks for: more than the table has types.
inline constexpr int MaximumTop = 100000;

struct RankCliOptions {
    int m_Top = DefaultRankTop;
    std::string m_Polarity; // "", "npn" or "pnp"
    bool m_Json = false;
};

// The options of the rank command beside the requirements.
void AddRankOptions(CLI::App& command, RankCliOptions& options);

// Ranks and prints; ExitOk, or ExitFailure with the reason on err when
// there is no simulator.
[[nodiscard]] Status RunRank(const DesignInputs& inputs, const RankCliOptions& options, std::ostream& out);

} // namespace norvane::cli
