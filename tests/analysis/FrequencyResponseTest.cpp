#include "analysis/FrequencyResponse.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <functional>
#include <vector>

namespace norvane {
namespace {

using Complex = std::complex<double>;
const Complex j(0.0, 1.0);

struct Sweep {
    std::vector<double> f;
    std::vector<Complex> h;
};

// Samples h at pointsPerDecade logarithmically spaced points from start to
// stop, as SPICE's ".ac dec" does.
Sweep Sample(const std::function<Complex(double)>& h, double start, double stop, int pointsPerDecade = 50)
{
    Sweep sweep;
    const int points = static_cast<int>(std::lround(std::log10(stop / start) * pointsPerDecade));
    for (int i = 0; i <= points; ++i) {
        const double f = start * std::pow(10.0, static_cast<double>(i) / pointsPerDecade);
        sweep.f.push_back(f);
        sweep.h.push_back(h(f));
    }
    return sweep;
}

Complex HighPass(double f, double corner)
{
    return j * f / corner / (1.0 + j * f / corner);
}

Complex LowPass(double f, double corner)
{
    return 1.0 / (1.0 + j * f / corner);
}

TEST(MagnitudeDb, OfSimpleValues)
{
    EXPECT_DOUBLE_EQ(MagnitudeDb(10.0), 20.0);
    EXPECT_DOUBLE_EQ(MagnitudeDb(Complex(0.0, -0.1)), -20.0);
    EXPECT_NEAR(MagnitudeDb(1.0 / std::sqrt(2.0)), -CutoffDropDb, 1e-12);
}

TEST(InterpolateCrossing, IsLinearOnTheLogAxis)
{
    EXPECT_NEAR(InterpolateCrossing(10, 0, 100, -10, -5), std::sqrt(1000.0), 1e-9);
    EXPECT_NEAR(InterpolateCrossing(100, -10, 10, 0, -5), std::sqrt(1000.0), 1e-9);
    EXPECT_NEAR(InterpolateCrossing(10, 0, 100, -10, 0), 10.0, 1e-12);
}

// First-order high-pass at 100 Hz over the sweep the netlists use: 50
// points per decade from 1/1000 to 1e5 times the corner. Between two
// points 0.02 decade apart the dB curve bends by at most 23 dB/decade^2,
// so a straight line misses it by 23 * 0.02^2 / 8 = 0.0012 dB, that is
// 0.03 % in frequency at the 10 dB/decade slope of the corner.
TEST(FindPassBand, FirstOrderHighPassCorner)
{
    const double corner = 100.0;
    const Sweep sweep = Sample([&](double f) { return HighPass(f, corner); }, corner / 1e3, corner * 1e5);
    const PassBand band = FindPassBand(sweep.f, sweep.h);
    EXPECT_NEAR(band.m_LowerCutoff, corner, 1e-3 * corner);
    EXPECT_TRUE(std::isnan(band.m_UpperCutoff));
    // Mid-band halfway (on the log axis) between the corner and the end.
    EXPECT_NEAR(std::log10(band.m_MidFrequency), std::log10(corner * std::sqrt(1e5)), 0.011);
    EXPECT_NEAR(band.m_MidGainDb, 0.0, 1e-4);
    EXPECT_EQ(sweep.f[band.m_MidIndex], band.m_MidFrequency);
}

TEST(FindPassBand, BandPassBetweenTwoCorners)
{
    const Sweep sweep =
        Sample([](double f) { return 10.0 * HighPass(f, 100.0) * LowPass(f, 1e6); }, 1.0, 1e8);
    const PassBand band = FindPassBand(sweep.f, sweep.h);
    EXPECT_NEAR(band.m_LowerCutoff, 100.0, 0.1);
    EXPECT_NEAR(band.m_UpperCutoff, 1e6, 1e3);
    EXPECT_NEAR(std::log10(band.m_MidFrequency), 4.0, 0.011);
    // Each corner, two decades away, still takes 0.0004 dB at mid-band.
    EXPECT_NEAR(band.m_MidGainDb, 20.0, 1e-3);
}

TEST(FindPassBand, FlatResponseHasNoCorners)
{
    const Sweep sweep = Sample([](double) { return Complex(0.25, 0.0); }, 1.0, 1e6);
    const PassBand band = FindPassBand(sweep.f, sweep.h);
    EXPECT_TRUE(std::isnan(band.m_LowerCutoff));
    EXPECT_TRUE(std::isnan(band.m_UpperCutoff));
    EXPECT_NEAR(band.m_MidGainDb, 20 * std::log10(0.25), 1e-12);
    EXPECT_NEAR(band.m_MidFrequency, 1e3, 1e-6);
}

// An emitter follower's gain creeps from 0.99 up to 1 at high frequencies:
// the largest magnitude sits at the end of the sweep, the mid-band does not.
TEST(FindPassBand, MidBandOfAGainThatCreepsUpwards)
{
    const auto follower = [](double f) {
        const Complex creep = (0.99 + j * f / 1e6) / (1.0 + j * f / 1e6);
        return HighPass(f, 10.0) * creep;
    };
    const Sweep sweep = Sample(follower, 0.01, 1e6);
    const PassBand band = FindPassBand(sweep.f, sweep.h);
    // The nearest sweep point to the middle of 10 Hz .. 1 MHz on the log axis.
    EXPECT_NEAR(std::log10(band.m_MidFrequency), std::log10(std::sqrt(10.0 * 1e6)), 0.02);
    EXPECT_NEAR(band.m_LowerCutoff, 10.0, 0.01 * 10.0);
    EXPECT_NEAR(band.m_MidGainDb, 20 * std::log10(0.99), 1e-3);
}

// A bound on the mid-band: a high-pass at 100 Hz whose own centre would lie
// at 316 kHz is read at the bound, 10 kHz, where it passes all but 0.0004 dB;
// a bound below the corner would put the mid-band outside the band, and is
// not taken.
TEST(FindPassBand, MidBandNoHigherThanTheBound)
{
    const double corner = 100.0;
    const Sweep sweep = Sample([&](double f) { return HighPass(f, corner); }, corner / 1e3, corner * 1e5);
    const PassBand bounded = FindPassBand(sweep.f, sweep.h, 100 * corner);
    EXPECT_NEAR(std::log10(bounded.m_MidFrequency), 4.0, 0.011);
    EXPECT_NEAR(bounded.m_MidGainDb, 0.0, 1e-3);
    EXPECT_NEAR(bounded.m_LowerCutoff, corner, 1e-3 * corner);
    const PassBand belowCorner = FindPassBand(sweep.f, sweep.h, corner / 10);
    EXPECT_NEAR(belowCorner.m_MidFrequency, FindPassBand(sweep.f, sweep.h).m_MidFrequency, 1e-9);
}

// An attenuating stage (-10 dB from its 500 Hz corner) whose collector-base
// capacitance feeds the input through above 1 MHz, louder than the band:
// the sweep's largest magnitude lies at 50 MHz, the band's mid-band still
// no higher than the bound.
TEST(FindPassBand, FeedthroughAboveTheBoundIsNoBand)
{
    const auto stage = [](double f) {
        return -0.316 * HighPass(f, 500.0) + 0.9 * HighPass(f, 5e6) * LowPass(f, 1e8);
    };
    const Sweep sweep = Sample(stage, 1.0, 1e8);
    const PassBand band = FindPassBand(sweep.f, sweep.h, 1e5);
    EXPECT_NEAR(std::log10(band.m_MidFrequency), 5.0, 0.011);
    EXPECT_NEAR(band.m_MidGainDb, 20 * std::log10(0.316), 0.05);
    EXPECT_NEAR(band.m_LowerCutoff, 500.0, 10.0);
}

TEST(FindPassBand, RefusesWhatIsNoSweep)
{
    EXPECT_TRUE(std::isnan(FindPassBand({}, {}).m_MidGainDb));
    const std::vector<double> f{1.0, 10.0, 100.0};
    const std::vector<Complex> shorter{1.0, 1.0};
    EXPECT_TRUE(std::isnan(FindPassBand(f, shorter).m_MidGainDb));
    const std::vector<Complex> withZero{1.0, 0.0, 1.0};
    EXPECT_TRUE(std::isnan(FindPassBand(f, withZero).m_MidGainDb));
    const std::vector<double> falling{1.0, 10.0, 5.0};
    const std::vector<Complex> h{1.0, 1.0, 1.0};
    EXPECT_TRUE(std::isnan(FindPassBand(falling, h).m_MidGainDb));
}

// An inverting stage with three high-pass corners: 180 degrees at
// mid-band, up to 180 + 3 * 90 at the low end, and no jumps of 360.
TEST(MakeBode, PhaseIsUnwrappedFromMidBand)
{
    const auto stage = [](double f) {
        return -10.0 * HighPass(f, 5.0) * HighPass(f, 10.0) * HighPass(f, 20.0) * LowPass(f, 1e6);
    };
    const Sweep sweep = Sample(stage, 0.01, 1e6);
    const PassBand band = FindPassBand(sweep.f, sweep.h);
    const std::vector<BodePoint> bode = MakeBode(sweep.f, sweep.h, band.m_MidIndex);
    ASSERT_EQ(bode.size(), sweep.f.size());
    // Inverting: +180 or -180 at mid-band, whichever side of it the small
    // phase shifts of the corners leave the principal value.
    const double mid = bode[band.m_MidIndex].m_PhaseDegrees;
    EXPECT_NEAR(std::fabs(mid), 180.0, 2.0);
    EXPECT_LE(mid, 180.0);
    EXPECT_GT(mid, -180.0);
    EXPECT_NEAR(bode.front().m_PhaseDegrees - mid, 270.0, 1.0);
    EXPECT_NEAR(bode.back().m_PhaseDegrees - mid, -45.0, 1.0);
    for (std::size_t i = 1; i < bode.size(); ++i) {
        EXPECT_LT(std::fabs(bode[i].m_PhaseDegrees - bode[i - 1].m_PhaseDegrees), 10.0) << i;
        EXPECT_EQ(bode[i].m_Frequency, sweep.f[i]);
        EXPECT_DOUBLE_EQ(bode[i].m_MagnitudeDb, MagnitudeDb(sweep.h[i]));
    }
}

TEST(MakeBode, EmptySweep)
{
    EXPECT_TRUE(MakeBode({}, {}, 0).empty());
}

} // namespace
} // namespace norvane
