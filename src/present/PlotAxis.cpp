#include "present/PlotAxis.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace norvane {

namespace {

// Values beyond this are held at it, so that a span and its steps stay
// finite numbers.
constexpr double Largest = 1e300;
// Values all below this in size count as 0.
constexpr double Smallest = 1e-300;
// A span below this share of the values' size counts as a single value.
constexpr double Flatness = 1e-9;
// A value a rounding error beyond a whole step counts as on it.
constexpr double Slack = 1e-9;
// More ticks than any plot draws: a range that would give them is broken.
constexpr double MostTicks = 10000;

// The smallest 1, 2 or 5 times a power of ten not below rough (> 0).
double StepAtLeast(double rough)
{
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double factor : {1.0, 2.0, 5.0}) {
        if (factor * power >= rough * (1 - Slack)) {
            return factor * power;
        }
    }
    return 10 * power;
}

} // namespace

PlotRange RoundedRange(double low, double high, double step)
{
    PlotRange range{step * std::floor(low / step + Slack), step * std::ceil(high / step - Slack), step};
    if (range.m_High - range.m_Low < step) {
        range.m_Low -= step;
        range.m_High += step;
    }
    return range;
}

namespace {

// NiceRange, with or without its margin.
PlotRange AxisRange(double low, double high, int intervals, double leastStep, bool margin)
{
    if (!std::isfinite(low)) {
        low = high;
    }
    if (!std::isfinite(high)) {
        high = low;
    }
    if (!std::isfinite(low)) {
        low = high = 0.0;
    }
    if (low > high) {
        std::swap(low, high);
    }
    low = std::clamp(low, -Largest, Largest);
    high = std::clamp(high, -Largest, Largest);

    if (std::max(std::fabs(low), std::fabs(high)) < Smallest) {
        low = high = 0.0;
    }
    // The span the steps divide: the values', or a band around a single one.
    double from = low;
    double to = high;
    if (!(high - low > Flatness * std::max(std::fabs(low), std::fabs(high)))) {
        const double centre = low / 2 + high / 2;
        const double half = centre != 0.0 ? std::fabs(centre) / 10 : 1.0;
        from = centre - half;
        to = centre + half;
    }
    double step = StepAtLeast((to - from) / std::max(intervals, 1));
    if (std::isfinite(leastStep) && leastStep > step) {
        step = std::min(leastStep, Largest);
    }
    PlotRange range = RoundedRange(from, to, step);

    if (!margin) {
        return range;
    }
    // The margin keeps the values themselves off the frame.
    const double room = NiceMargin * (range.m_High - range.m_Low);
    const bool lowOnZero = range.m_Low == 0.0 && low >= 0.0;
    const bool highOnZero = range.m_High == 0.0 && high <= 0.0;
    if (low - range.m_Low < room && !lowOnZero) {
        range.m_Low -= step;
    }
    if (range.m_High - high < room && !highOnZero) {
        range.m_High += step;
    }
    return range;
}

} // namespace

PlotRange NiceRange(double low, double high, int intervals, double leastStep)
{
    return AxisRange(low, high, intervals, leastStep, true);
}

PlotRange SweepRange(double low, double high, int intervals)
{
    return AxisRange(low, high, intervals, 0.0, false);
}

std::vector<PlotTick> LinearTicks(const PlotRange& range, const TickLabel& label)
{
    std::vector<PlotTick> ticks;
    const double steps = std::round((range.m_High - range.m_Low) / range.m_Step);
    if (!(steps >= 0 && steps <= MostTicks)) {
        return ticks;
    }
    for (int i = 0; i <= static_cast<int>(steps); ++i) {
        const double value = range.m_Low + i * range.m_Step;
        // A sum of steps that should be zero comes out as 1e-17 or so.
        const double shown = std::fabs(value) < range.m_Step * Slack ? 0.0 : value;
        ticks.push_back({shown, label(shown)});
    }
    return ticks;
}

} // namespace norvane
