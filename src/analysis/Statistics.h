#pragma once

// Statistics of the robustness analyses: a quantity's distribution over
// many runs (median and the 1st and 99th percentile), drawing a part
// within its tolerance, and the integral of a noise density over a band.

#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace norvane {

// A quantity over the runs that simulated.
struct Distribution {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> m_Values; // in run order
    double m_Median = NaN;
    double m_Low = NaN;  // 1st percentile
    double m_High = NaN; // 99th percentile
};

// The p-th percentile (0..100) of values by linear interpolation between
// order statistics (as numpy's default); NaN for no values.
double Percentile(std::vector<double> values, double p);
// m_Values with median, 1st and 99th percentile.
Distribution MakeDistribution(std::vector<double> values);

// One drawn value: nominal x (1 + u), u uniform in [-tolerance, tolerance].
double DrawWithin(double nominal, double tolerance, std::mt19937_64& random);

// The rms value of a noise density over the frequencies it is given at,
// (Hz, V/sqrt(Hz)) in ascending order: its square integrated as a power
// law between neighbours, which is exact for the 1/f and f^-2 slopes of
// real spectra.
double IntegrateDensity(const std::vector<std::pair<double, double>>& spectrum);

} // namespace norvane
