#include "analysis/Statistics.h"

#include <algorithm>
#include <cmath>

namespace norvane {

double Percentile(std::vector<double> values, double p)
{
    if (values.empty()) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    std::ranges::sort(values);
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
    // The top 53 bits as a double in [0, 1): the same numbers from a seed
    // with every standard library (std::uniform_real_distribution may
    // differ between them).
    const double u = static_cast<double>(random() >> 11) * 0x1.0p-53;
    return nominal * (1.0 + tolerance * (2.0 * u - 1.0));
}

// (ngspice's own inoise_total weighs each interval's output noise with the
// gain at its upper end: 9 % low for a first-order high-pass below its
// corner.)
double IntegrateDensity(const std::vector<std::pair<double, double>>& spectrum)
{
    double sum = 0.0;
    for (std::size_t i = 1; i < spectrum.size(); ++i) {
        const auto [fa, da] = spectrum[i - 1];
        const auto [fb, db] = spectrum[i];
        const double sa = da * da, sb = db * db;
        const double ratio = fb / fa;
        if (!(sa > 0) || !(sb > 0) || !(ratio > 1)) {
            sum += 0.5 * (sa + sb) * (fb - fa);
            continue;
        }
        const double exponent = std::log(sb / sa) / std::log(ratio);
        sum += std::fabs(exponent + 1) < 1e-9
                   ? sa * fa * std::log(ratio)
                   : sa * fa / (exponent + 1) * (std::pow(ratio, exponent + 1) - 1);
    }
    return std::sqrt(sum);
}

} // namespace norvane
