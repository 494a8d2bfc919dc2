#pragma once

// Numbers in the command line's JSON output.

#include <nlohmann/json.hpp>

#include <cmath>

namespace norvane::cli {

// A double as it is; NaN and the infinities, which JSON has no number for,
// as null.
inline nlohmann::ordered_json Number(double value)
{
    return std::isfinite(value) ? nlohmann::ordered_json(value) : nlohmann::ordered_json(nullptr);
}

} // namespace norvane::cli
