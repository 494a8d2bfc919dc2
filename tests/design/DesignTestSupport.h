#pragma once

#include "design/AmplifierDesign.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace norvane::testing {

// Four significant digits, as the examples quote intermediate values.
inline void ExpectFourDigits(double actual, double expected, const std::string& what)
{
    EXPECT_NEAR(actual, expected, 5e-4 * std::fabs(expected)) << what;
}

// Component values are rounded to a series: compare them to nine digits.
inline void ExpectValue(double actual, double expected, const std::string& what)
{
    EXPECT_NEAR(actual, expected, 1e-9 * std::fabs(expected)) << what;
}

inline std::string Lines(const ResultList& list)
{
    std::string text;
    for (const ResultItem& item : list) {
        text += item.name + " = " + item.value + "\n";
    }
    return text;
}

} // namespace norvane::testing
