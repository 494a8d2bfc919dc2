// Percentiles and the noise integral against values worked out by hand
// (numpy's default percentile gives the same).

#include "analysis/Statistics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace norvane {
namespace {

TEST(Percentile, InterpolatesBetweenOrderStatistics)
{
    // Order does not matter; the ends are the extremes.
    const std::vector<double> five = {50, 10, 40, 20, 30};
    EXPECT_DOUBLE_EQ(Percentile(five, 50), 30);
    EXPECT_DOUBLE_EQ(Percentile(five, 0), 10);
    EXPECT_DOUBLE_EQ(Percentile(five, 100), 50);
    EXPECT_DOUBLE_EQ(Percentile(five, 99), 49.6); // 0.99 x 4 = 3.96 of the way
    EXPECT_DOUBLE_EQ(Percentile(five, 1), 10.4);
    EXPECT_DOUBLE_EQ(Percentile({1, 2, 3, 4}, 50), 2.5);
    EXPECT_DOUBLE_EQ(Percentile({7}, 1), 7);
    EXPECT_TRUE(std::isnan(Percentile({}, 50)));

    const Distribution d = MakeDistribution({3, 1, 2});
    EXPECT_DOUBLE_EQ(d.m_Median, 2);
    EXPECT_DOUBLE_EQ(d.m_Low, 1.02);
    EXPECT_DOUBLE_EQ(d.m_High, 2.98);
    EXPECT_EQ(d.m_Values, (std::vector<double>{3, 1, 2})); // kept in run order
}

TEST(IntegrateDensity, IsExactForFlatAndOneOverFSpectraAtAnySpacing)
{
    // Flat: 4 nV/sqrt(Hz) over 20 Hz .. 20 kHz is 4 nV x sqrt(19980 Hz).
    const double flat = 4e-9;
    EXPECT_NEAR(IntegrateDensity({{20, flat}, {200, flat}, {20000, flat}}), flat * std::sqrt(19980.0), 1e-20);
    // 1/f noise, density^2 = K / f: the rms is sqrt(K ln(f2 / f1)), from
    // three points as well as from thirty.
    const double k = 1e-16;
    const auto oneOverF = [&](int points) {
        std::vector<std::pair<double, double>> spectrum;
        for (int i = 0; i < points; ++i) {
            const double f = 20 * std::pow(1000.0, static_cast<double>(i) / (points - 1));
            spectrum.emplace_back(f, std::sqrt(k / f));
        }
        return IntegrateDensity(spectrum);
    };
    const double expected = std::sqrt(k * std::log(1000.0));
    EXPECT_NEAR(oneOverF(3), expected, 1e-12 * expected);
    EXPECT_NEAR(oneOverF(30), expected, 1e-12 * expected);
    // A first-order high-pass below its corner (density rising with f) as
    // well: density^2 = K f^2, integral K (f2^3 - f1^3) / 3.
    const std::vector<std::pair<double, double>> rising = {{10, 1e-9 * 10}, {100, 1e-9 * 100}};
    EXPECT_NEAR(IntegrateDensity(rising), 1e-9 * std::sqrt((1e6 - 1e3) / 3), 1e-15);
    EXPECT_EQ(IntegrateDensity({}), 0.0);
}

} // namespace
} // namespace norvane
