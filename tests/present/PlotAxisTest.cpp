#include "present/PlotAxis.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace norvane {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Infinity = std::numeric_limits<double>::infinity();

void ExpectRange(const PlotRange& range, double low, double high, double step)
{
    const double tolerance = 1e-12 * (std::fabs(low) + std::fabs(high) + step);
    EXPECT_NEAR(range.m_Low, low, tolerance);
    EXPECT_NEAR(range.m_High, high, tolerance);
    EXPECT_NEAR(range.m_Step, step, tolerance);
}

std::vector<double> TickValues(const PlotRange& range)
{
    std::vector<double> values;
    for (const PlotTick& tick : LinearTicks(range, [](double v) { return std::to_string(v); })) {
        values.push_back(tick.m_Value);
    }
    return values;
}

// The steps are 1, 2 or 5 times a power of ten, the smallest that gives no
// more intervals than asked; an end the values come within 2 % of the span
// of moves out one more step (not so for a sweep).
TEST(PlotAxis, PositiveRangesRoundOutToNiceSteps)
{
    // 0.3..9.2 in 5: 1.78 a step, so 2; 0..10. 9.2 lies 0.8 below 10 (8 %),
    // and the end at 0 stays: the values do not cross it.
    ExpectRange(NiceRange(0.3, 9.2, 5), 0, 10, 2);
    // 9.9 lies 1 % below 10: one more step.
    ExpectRange(NiceRange(0.3, 9.9, 5), 0, 12, 2);
    // 12.5..47 in 4: 8.6 a step, so 10; 10..50, both ends clear of the values.
    ExpectRange(NiceRange(12.5, 47, 4), 10, 50, 10);
    // 2..10 in 4: steps of 2 end on the values themselves: one more each way.
    ExpectRange(NiceRange(2, 10, 4), 0, 12, 2);
    // The order of the ends does not matter.
    ExpectRange(NiceRange(9.2, 0.3, 5), 0, 10, 2);
    // What a curve is drawn over takes no margin: one period of 1 ms (the
    // last sample a little short of it) is 0..1 ms.
    ExpectRange(SweepRange(2, 10, 4), 2, 10, 2);
    ExpectRange(SweepRange(0, 0.9993e-3, 4), 0, 1e-3, 0.5e-3);
    // Run counts: whole steps from 0. One run would give steps of 0.5; the
    // least step makes it 1, and the bar of 1 gets a step above it.
    ExpectRange(NiceRange(0, 1, 3, 1.0), 0, 2, 1);
    ExpectRange(NiceRange(0, 12, 3, 1.0), 0, 15, 5);
}

TEST(PlotAxis, NegativeRangesAndRangesAcrossZero)
{
    // The mirror of 12.5..47.
    ExpectRange(NiceRange(-47, -12.5, 4), -50, -10, 10);
    // -7.3..-0.1 in 5: steps of 2, -8..0; -0.1 is within the margin of 0,
    // but an end at 0 that the values do not cross stays.
    ExpectRange(NiceRange(-7.3, -0.1, 5), -8, 0, 2);
    // -3.1..4.2 in 6: 1.22 a step, so 2; -4..6.
    ExpectRange(NiceRange(-3.1, 4.2, 6), -4, 6, 2);
    // A waveform of 2 V peak: -2..2 in steps of 1 ends on the peaks, so
    // -3..3, and the tick at the middle is 0 itself.
    const PlotRange wave = NiceRange(-2, 2, 4);
    ExpectRange(wave, -3, 3, 1);
    EXPECT_EQ(TickValues(wave), (std::vector<double>{-3, -2, -1, 0, 1, 2, 3}));
    // -0.3 + 3 x 0.1 is 5.6e-17 in doubles; the tick shows 0.
    const std::vector<double> tenths = TickValues({-0.3, 0.3, 0.1});
    ASSERT_EQ(tenths.size(), 7u);
    EXPECT_EQ(tenths[3], 0.0);
}

// A single value shows a tenth of itself either way (0: 1 either way), in
// the middle of the axis; no values at all give the axis of 0.
TEST(PlotAxis, FlatAndMissingValues)
{
    // 2.5 +- 0.25 in 4: 0.125 a step, so 0.2; 2.2..2.8.
    ExpectRange(NiceRange(2.5, 2.5, 4), 2.2, 2.8, 0.2);
    // 1 mA +- 0.1 mA in 4: steps of 0.05 mA, the value in the middle.
    ExpectRange(NiceRange(1e-3, 1e-3, 4), 0.9e-3, 1.1e-3, 0.05e-3);
    ExpectRange(NiceRange(-4, -4, 4), -4.4, -3.6, 0.2);
    ExpectRange(NiceRange(0, 0, 4), -1, 1, 0.5);
    // Ends that differ by rounding only count as one value.
    ExpectRange(NiceRange(2.5, std::nextafter(2.5, 3.0), 4), 2.2, 2.8, 0.2);
    // An end that is no number takes the other one's value.
    ExpectRange(NiceRange(NaN, 2.5, 4), 2.2, 2.8, 0.2);
    ExpectRange(NiceRange(2.5, Infinity, 4), 2.2, 2.8, 0.2);
    ExpectRange(NiceRange(NaN, NaN, 4), -1, 1, 0.5);
    ExpectRange(NiceRange(-Infinity, Infinity, 4), -1, 1, 0.5);
}

// Whatever comes in, the axis has finite ends, a step above 0 and a
// handful of ticks: a plot loops over them.
TEST(PlotAxis, AnyInputGivesADrawableAxis)
{
    const double max = std::numeric_limits<double>::max();
    const double tiny = std::numeric_limits<double>::denorm_min();
    const struct {
        double low;
        double high;
        int intervals;
        double leastStep;
    } cases[] = {
        {-max, max, 5, 0},        {0, tiny, 4, 0}, {tiny, tiny, 4, 0},
        {1e-300, 2e-300, 4, 0},   {0, 1, 0, 0},    {0, 1, -3, 0},
        {0, 1, 4, max},           {0, 1, 4, NaN},  {1e15, 1e15 + 1, 4, 0},
        {NaN, -Infinity, 6, 1.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.low) + ".." + std::to_string(c.high));
        const PlotRange range = NiceRange(c.low, c.high, c.intervals, c.leastStep);
        EXPECT_TRUE(std::isfinite(range.m_Low) && std::isfinite(range.m_High));
        EXPECT_TRUE(std::isfinite(range.m_Step) && range.m_Step > 0);
        EXPECT_LT(range.m_Low, range.m_High);
        const std::size_t ticks = LinearTicks(range, [](double) { return std::string(); }).size();
        EXPECT_GE(ticks, 2u);
        EXPECT_LE(ticks, 12u);
    }
}

} // namespace
} // namespace norvane
