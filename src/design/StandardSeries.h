#pragma once

// Rounding of component values to the resistor standard series of
// IEC 60063 (E12, E24, E48, E96). Rounding works on the linear distance
// within one decade; a value exactly halfway goes to the upper neighbour.

#include <span>

namespace norvane {

// The number of values per decade: 12, 24, 48 or 96.
using StandardSeries = int;

// The mantissas of a series, 100 up to the last value below 1000, followed
// by 1000 (count + 1 entries). Throws std::invalid_argument for any count
// other than 12, 24, 48 and 96.
std::span<const int> SeriesTable(StandardSeries count);

// True for 12, 24, 48 and 96.
bool IsValidSeries(StandardSeries count);

// A value placed on a series: a position in the series table and a decade
// scale, so that the value is entry(m_Index) * m_Scale.
class SeriesValue {
public:
    // Throws std::invalid_argument for an invalid series count.
    SeriesValue(StandardSeries count, double value);

    // Changes the series and places the last requested value anew on it.
    // Throws std::invalid_argument for an invalid count and keeps the old one.
    void SetSeries(StandardSeries count);
    // Places x on the series and returns the series value. Values below
    // 1e-20 (zero, negatives) give 0; values from 1e-20 to 1e-12 count as
    // 1e-12. An infinite value stays infinite, not a number stays so.
    double SetValue(double x);
    double GetValue() const;

    int Index() const { return m_Index; }
    double Scale() const { return m_Scale; }
    StandardSeries Count() const { return m_Count; }
    double Requested() const { return m_Requested; }

private:
    int m_Index = 0;      // 0 to count; -1 = no value
    double m_Scale = 0.0; // decade scale
    StandardSeries m_Count = 12;
    double m_Requested = 0.0;
    bool m_HasValue = false;
};

// Replaces value by the nearest value of the series.
void RoundToSeries(double& value, StandardSeries count);

} // namespace norvane
