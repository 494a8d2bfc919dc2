#include "simulation/Robustness.h"

#include <algorithm>
#include <cmath>

namespace norvane {

double ResistorTolerance(int series)
{
    switch (series) {
    case 12: return 0.10;
    case 24: return 0.05;
    case 48: return 0.02;
    case 96: return 0.01;
    default: return 0.05;
    }
}

double Percentile(std::vector<double> values, double p)
{
    if (values.empty()) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    std::sort(values.begin(), values.end());
    const double position = std::clamp(p, 0.0, 100.0) / 100.0 * static_cast<double>(values.size() - 1);
    const auto below = static_cast<std::size_t>(std::floor(position));
    const std::size_t above = std::min(below + 1, values.size() - 1);
    return values[below] + (values[above] - values[below]) * (position - static_cast<double>(below));
}

Distribution MakeDistribution(std::vector<double> values)
{
    Distribution d;
    d.m_Median = Percentile(values, 50);
    d.m_Low = Percentile(values, 1);
    d.m_High = Percentile(values, 99);
    d.m_Values = std::move(values);
    return d;
}

double DrawWithin(double nominal, double tolerance, std::mt19937_64& random)
{
    // The top 53 bits as a double in [0, 1): the same numbers from the same
    // seed with every standard library (std::uniform_real_distribution is
    // free to differ between them).
    const double u = static_cast<double>(random() >> 11) * 0x1.0p-53;
    return nominal * (1.0 + tolerance * (2.0 * u - 1.0));
}

double Headroom::Amplitude() const
{
    return std::fmin(m_Rising, m_Falling);
}

} // namespace norvane
