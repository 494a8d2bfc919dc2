#include "analysis/FrequencyResponse.h"

#include "format/EngineeringFormat.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

namespace norvane {

namespace {

// Walks from index start towards lower (step -1) or higher (step +1)
// indices and returns the interpolated frequency where the magnitude first
// falls below level; NaN when it never does inside the sweep.
double FindCrossing(std::span<const double> f, const std::vector<double>& db, std::size_t start, int step,
                    double level)
{
    std::size_t i = start;
    while (true) {
        if ((step < 0 && i == 0) || (step > 0 && i + 1 >= db.size())) {
            return std::numeric_limits<double>::quiet_NaN();
        }
        const std::size_t next = step < 0 ? i - 1 : i + 1;
        if (db[next] < level) {
            return InterpolateCrossing(f[i], db[i], f[next], db[next], level);
        }
        i = next;
    }
}

double WrapDegrees(double degrees)
{
    double wrapped = std::remainder(degrees, 360.0); // [-180, 180]
    if (wrapped <= -180.0) {
        wrapped += 360.0;
    }
    return wrapped;
}

} // namespace

double MagnitudeDb(std::complex<double> value)
{
    return 20.0 * std::log10(std::abs(value));
}

double InterpolateCrossing(double f0, double db0, double f1, double db1, double level)
{
    if (db0 == db1) {
        return f0;
    }
    const double x0 = std::log10(f0);
    const double x1 = std::log10(f1);
    const double x = x0 + (level - db0) * (x1 - x0) / (db1 - db0);
    return std::pow(10.0, x);
}

PassBand FindPassBand(std::span<const double> frequency, std::span<const std::complex<double>> h,
                      double highestMidFrequency)
{
    PassBand band;
    if (frequency.empty() || frequency.size() != h.size()) {
        return band;
    }
    std::vector<double> db(h.size());
    for (std::size_t i = 0; i < h.size(); ++i) {
        db[i] = MagnitudeDb(h[i]);
        if (!std::isfinite(db[i]) || !(frequency[i] > 0) || (i > 0 && !(frequency[i] > frequency[i - 1]))) {
            return band;
        }
    }

    // The pass band around the largest magnitude of the first count
    // points: its -3 dB points, or the ends of the sweep.
    const auto around = [&](std::ptrdiff_t count) {
        const auto peak =
            static_cast<std::size_t>(std::max_element(db.begin(), db.begin() + count) - db.begin());
        const double peakLevel = db[peak] - CutoffDropDb;
        const double low = FindCrossing(frequency, db, peak, -1, peakLevel);
        const double high = FindCrossing(frequency, db, peak, +1, peakLevel);
        return std::pair{std::isnan(low) ? frequency.front() : low,
                         std::isnan(high) ? frequency.back() : high};
    };
    std::pair<double, double> edges = around(static_cast<std::ptrdiff_t>(db.size()));
    // A bound: the largest magnitude at or below it, and the mid-band no
    // higher. Above the bound a stage may pass more than in its band: the
    // transistor's collector-base capacitance feeds the input straight
    // through at tens of MHz, louder than an attenuating or a loaded stage.
    // That is no band of the amplifier, and the bound keeps it out, however
    // high the sweep's largest magnitude. Only a bound below the band's own
    // lower corner is not taken (the mid-band would lie outside the band):
    // the response still climbing there, its magnitude at the bound the
    // largest below it and CutoffDropDb or more above the magnitude a decade
    // lower. A band that has flattened out below the bound is taken there,
    // whatever rises above it.
    const auto below = std::upper_bound(frequency.begin(), frequency.end(), highestMidFrequency);
    const auto count = std::max<std::ptrdiff_t>(1, below - frequency.begin());
    const auto last = static_cast<std::size_t>(count - 1);
    const auto decadeBelow = std::lower_bound(frequency.begin(), frequency.end(), frequency[last] / 10);
    const bool climbing =
        std::max_element(db.begin(), db.begin() + count) == db.begin() + count - 1 &&
        db[last] - db[static_cast<std::size_t>(decadeBelow - frequency.begin())] >= CutoffDropDb;
    const bool bounded = std::isfinite(highestMidFrequency) && below != frequency.end() && !climbing;
    if (bounded) {
        edges = around(count);
    }
    const auto [low, high] = edges;
    double centre = std::log10(low * high) * 0.5;
    if (bounded && highestMidFrequency > low) {
        centre = std::min(centre, std::log10(highestMidFrequency));
    }
    std::size_t mid = 0;
    for (std::size_t i = 1; i < frequency.size(); ++i) {
        if (std::fabs(std::log10(frequency[i]) - centre) < std::fabs(std::log10(frequency[mid]) - centre)) {
            mid = i;
        }
    }

    band.m_MidIndex = mid;
    band.m_MidFrequency = frequency[mid];
    band.m_MidGainDb = db[mid];
    const double level = db[mid] - CutoffDropDb;
    band.m_LowerCutoff = FindCrossing(frequency, db, mid, -1, level);
    band.m_UpperCutoff = FindCrossing(frequency, db, mid, +1, level);
    return band;
}

std::vector<BodePoint> MakeBode(std::span<const double> frequency, std::span<const std::complex<double>> h,
                                std::size_t midIndex)
{
    const std::size_t n = std::min(frequency.size(), h.size());
    std::vector<BodePoint> bode(n);
    if (n == 0) {
        return bode;
    }
    midIndex = std::min(midIndex, n - 1);
    const double toDegrees = 180.0 / std::numbers::pi;
    for (std::size_t i = 0; i < n; ++i) {
        bode[i].m_Frequency = frequency[i];
        bode[i].m_MagnitudeDb = MagnitudeDb(h[i]);
        bode[i].m_PhaseDegrees = std::arg(h[i]) * toDegrees;
    }
    bode[midIndex].m_PhaseDegrees = WrapDegrees(bode[midIndex].m_PhaseDegrees);
    for (std::size_t i = midIndex + 1; i < n; ++i) {
        const double previous = bode[i - 1].m_PhaseDegrees;
        bode[i].m_PhaseDegrees = previous + WrapDegrees(bode[i].m_PhaseDegrees - previous);
    }
    for (std::size_t i = midIndex; i-- > 0;) {
        const double next = bode[i + 1].m_PhaseDegrees;
        bode[i].m_PhaseDegrees = next + WrapDegrees(bode[i].m_PhaseDegrees - next);
    }
    return bode;
}

std::string BodeCsv(const std::vector<BodePoint>& bode)
{
    constexpr int Digits = 10;
    std::string text = "frequency_hz,magnitude_db,phase_deg\n";
    for (const BodePoint& point : bode) {
        text += FormatGeneral(point.m_Frequency, Digits) + ',' + FormatGeneral(point.m_MagnitudeDb, Digits) +
                ',' + FormatGeneral(point.m_PhaseDegrees, Digits) + '\n';
    }
    return text;
}

} // namespace norvane
