#include "design/StandardSeries.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>

namespace norvane {
namespace {

double Rounded(double value, StandardSeries count)
{
    RoundToSeries(value, count);
    return value;
}

TEST(StandardSeries, TablesFollowIec60063)
{
    for (const StandardSeries count : {12, 24, 48, 96}) {
        const auto table = SeriesTable(count);
        ASSERT_EQ(table.size(), static_cast<std::size_t>(count) + 1);
        EXPECT_EQ(table.front(), 100);
        EXPECT_EQ(table.back(), 1000);
        for (std::size_t i = 1; i < table.size(); ++i) {
            EXPECT_LT(table[i - 1], table[i]);
        }
    }
    // E48 and E96 are 10^(i/n) to three significant digits, without exception.
    for (const StandardSeries count : {48, 96}) {
        const auto table = SeriesTable(count);
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(table[i], std::lround(100.0 * std::pow(10.0, double(i) / count)))
                << "E" << count << " entry " << i;
        }
    }
    // E48 is every other value of E96; E12 every other value of E24.
    for (int i = 0; i <= 48; ++i) {
        EXPECT_EQ(SeriesTable(48)[i], SeriesTable(96)[2 * i]);
    }
    for (int i = 0; i <= 12; ++i) {
        EXPECT_EQ(SeriesTable(12)[i], SeriesTable(24)[2 * i]);
    }
    const int e24[] = {100, 110, 120, 130, 150, 160, 180, 200, 220, 240, 270, 300,
                       330, 360, 390, 430, 470, 510, 560, 620, 680, 750, 820, 910};
    for (int i = 0; i < 24; ++i) {
        EXPECT_EQ(SeriesTable(24)[i], e24[i]);
    }
}

TEST(StandardSeries, RoundsToNearestWithTiesUp)
{
    EXPECT_DOUBLE_EQ(Rounded(135, 12), 150);
    EXPECT_DOUBLE_EQ(Rounded(110, 12), 120);
    EXPECT_DOUBLE_EQ(Rounded(905, 12), 820);
    EXPECT_DOUBLE_EQ(Rounded(910, 12), 1000);
    EXPECT_DOUBLE_EQ(Rounded(135, 24), 130);
    EXPECT_DOUBLE_EQ(Rounded(145, 24), 150);
    EXPECT_DOUBLE_EQ(Rounded(57.5, 96), 57.6);
    EXPECT_DOUBLE_EQ(Rounded(4700, 12), 4700);
    EXPECT_EQ(Rounded(0.5, 12), 0.47000000000000003);
    EXPECT_EQ(Rounded(2.2e-6, 12), 2.2000000000000005e-6);
    EXPECT_DOUBLE_EQ(Rounded(1e-13, 12), 1e-12);
    EXPECT_DOUBLE_EQ(Rounded(5e-20, 12), 1e-12);
    for (const StandardSeries count : {12, 24, 48, 96}) {
        EXPECT_EQ(Rounded(0, count), 0);
        EXPECT_EQ(Rounded(-5, count), 0);
        EXPECT_EQ(Rounded(9e-21, count), 0);
    }
}

TEST(StandardSeries, SeriesValueState)
{
    SeriesValue top(12, 999.9);
    EXPECT_EQ(top.Index(), 12);
    EXPECT_DOUBLE_EQ(top.GetValue(), 1000);

    SeriesValue decade(12, 1000);
    EXPECT_EQ(decade.Index(), 0);
    EXPECT_DOUBLE_EQ(decade.Scale(), 10);
    EXPECT_DOUBLE_EQ(decade.GetValue(), 1000);

    SeriesValue none(24, -1);
    EXPECT_EQ(none.Index(), -1);
    EXPECT_EQ(none.Scale(), 1.0);
    EXPECT_EQ(none.Requested(), 0);
    EXPECT_EQ(none.GetValue(), 0);

    // A new series places the stored request anew.
    SeriesValue value(12, 135);
    EXPECT_DOUBLE_EQ(value.GetValue(), 150);
    value.SetSeries(24);
    EXPECT_DOUBLE_EQ(value.GetValue(), 130);
    EXPECT_DOUBLE_EQ(value.Requested(), 135);
    EXPECT_DOUBLE_EQ(value.SetValue(57.5), 56);
    value.SetSeries(96);
    EXPECT_DOUBLE_EQ(value.GetValue(), 57.6);
}

TEST(StandardSeries, NonFiniteValuesReturn)
{
    const double inf = std::numeric_limits<double>::infinity();
    for (const StandardSeries count : {12, 24, 48, 96}) {
        EXPECT_EQ(Rounded(inf, count), inf);
        EXPECT_TRUE(std::isnan(Rounded(std::numeric_limits<double>::quiet_NaN(), count)));
        EXPECT_EQ(Rounded(-inf, count), 0);
    }
    SeriesValue value(12, inf);
    EXPECT_EQ(value.GetValue(), inf);
    value.SetSeries(96);
    EXPECT_EQ(value.GetValue(), inf);
}

TEST(StandardSeries, InvalidSeriesCountFailsLoudly)
{
    for (const StandardSeries count : {0, 6, 13, 192, -12}) {
        EXPECT_FALSE(IsValidSeries(count));
        EXPECT_THROW(SeriesValue(count, 100.0), std::invalid_argument);
        double x = 100.0;
        EXPECT_THROW(RoundToSeries(x, count), std::invalid_argument);
        EXPECT_EQ(x, 100.0);
    }
    SeriesValue value(24, 135);
    EXPECT_THROW(value.SetSeries(10), std::invalid_argument);
    EXPECT_EQ(value.Count(), 24);
    EXPECT_DOUBLE_EQ(value.GetValue(), 130);
}

// Over a wide sweep the result is a member of the series and no member of
// its decade is strictly nearer on the linear scale.
TEST(StandardSeries, ResultIsNearestMemberOverAWideSweep)
{
    std::mt19937_64 random(12);
    std::uniform_real_distribution<double> exponent(-15.0, 15.0);
    for (const StandardSeries count : {12, 24, 48, 96}) {
        const auto table = SeriesTable(count);
        for (int n = 0; n < 50000; ++n) {
            const double x = std::pow(10.0, exponent(random));
            const double r = Rounded(x, count);
            const double a = std::max(x, 1e-12);
            // The decade of a: scale so that the mantissa lies in [100, 1000).
            const double decade = std::pow(10.0, std::floor(std::log10(a)) - 2);
            const double mantissa = r / decade;
            const long rounded = std::lround(mantissa);
            ASSERT_NEAR(mantissa, rounded, 1e-6 * rounded) << x;
            bool member = false;
            for (const int entry : table) {
                member = member || entry == rounded;
            }
            ASSERT_TRUE(member) << x << " -> " << r;
            const double distance = std::fabs(r - a);
            for (const int entry : table) {
                if (entry == rounded) {
                    continue;
                }
                ASSERT_GE(std::fabs(entry * decade - a), distance - 1e-9 * a)
                    << x << " -> " << r << ", but " << entry * decade << " is nearer";
            }
        }
    }
}

} // namespace
} // namespace norvane
