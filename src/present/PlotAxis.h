#pragma once

// The values a linear axis of a plot shows, and its grid lines: one rule
// for the report's SVG pictures and the window's charts, so that the same
// results get the same axes on paper and on screen.

#include <functional>
#include <string>
#include <vector>

namespace norvane {

// The values one direction of a plot shows, and the spacing of its grid
// lines.
struct PlotRange {
    double m_Low = 0.0;
    double m_High = 0.0;
    double m_Step = 0.0;
};

// low..high widened outward to whole steps, at least one step wide.
PlotRange RoundedRange(double low, double high, double step);

// The share of an axis's span that the values keep from its ends.
inline constexpr double NiceMargin = 0.02;

// The axis for values from low to high: ends on whole steps of 1, 2 or 5
// times a power of ten (at least leastStep, where that is above 0), about
// `intervals` of them, never fewer than one.
// - An end the values come within NiceMargin of the span of gets one step
//   more, so that no bar or point sits on the frame; but an end at 0 stays
//   there when the values do not cross it (counts, magnitudes).
// - A single value (or one that varies by less than a billionth of itself)
//   shows a tenth of itself either way, 0 shows -1..1.
// - An end that is no finite number takes the other; with neither (no
//   values at all) the axis is that of 0. low above high counts as
//   high..low.
// The result always has finite ends and a finite step above 0.
PlotRange NiceRange(double low, double high, int intervals, double leastStep = 0.0);

// The same for what a curve is drawn over (time, a swept input): the curve
// runs from end to end, so the ends take no margin.
PlotRange SweepRange(double low, double high, int intervals);

struct PlotTick {
    double m_Value = 0.0;
    std::string m_Label;
};

using TickLabel = std::function<std::string(double)>;

// One tick per step of the range.
std::vector<PlotTick> LinearTicks(const PlotRange& range, const TickLabel& label);

} // namespace norvane
