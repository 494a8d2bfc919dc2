// The measurement of a sweep on vectors worked out by hand: a source
// behind 1 k driving a 1 uF high-pass into 10 k, as a simulator would hand
// them over.

#include "analysis/Measurement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace norvane {
namespace {

constexpr double Rs = 1e3, C = 1e-6, R = 10e3;

SignalSweep HighPassSweep()
{
    SignalSweep sweep;
    for (int i = 0; i <= 300; ++i) {
        const double f = std::pow(10.0, -1 + i / 50.0); // 0.1 Hz .. 1 MHz
        const std::complex<double> zc(0, -1 / (2 * std::numbers::pi * f * C));
        const std::complex<double> current = 1.0 / (Rs + zc + R); // from VIN at 1 V
        sweep.m_Frequency.push_back(f);
        sweep.m_Driven.push_back(1.0); // the source's own node
        sweep.m_In.push_back(1.0 - current * Rs);
        sweep.m_Out.push_back(current * R);
        sweep.m_SourceCurrent.push_back(-current); // SPICE's sign: into VIN's + terminal
    }
    return sweep;
}

TEST(MeasureSweep, ReadsGainCornerAndInputImpedanceAtMidBand)
{
    const Expected<SweepFigures> result = MeasureSweep(HighPassSweep(), 1e4, true);
    ASSERT_TRUE(result) << result.Message();
    // Mid-band: no higher than the bound; the gain is the divider's.
    EXPECT_LE(result->m_MidbandFrequency, 1e4);
    EXPECT_NEAR(result->m_GainDb, 20 * std::log10(R / (Rs + R)), 1e-3);
    const double corner = 1 / (2 * std::numbers::pi * (Rs + R) * C); // 14.47 Hz
    EXPECT_NEAR(result->m_LowerCutoff, corner, 0.002 * corner);
    EXPECT_TRUE(std::isnan(result->m_UpperCutoff));
    EXPECT_NEAR(result->m_InputImpedance, R, 0.01 * R); // C is a short up there
    EXPECT_EQ(result->m_Bode.size(), 301u);
}

TEST(MeasureSweep, RefusesVectorsThatDoNotMatchOrCarryNoSignal)
{
    SignalSweep cut = HighPassSweep();
    cut.m_Out.pop_back();
    EXPECT_EQ(MeasureSweep(cut, 1e4, false).Message(), "the simulation results are no usable numbers");
    SignalSweep silent = HighPassSweep();
    std::ranges::fill(silent.m_Out, 0.0);
    EXPECT_EQ(MeasureSweep(silent, 1e4, false).Message(),
              "the simulated response has no pass band (no signal at the output)");
    SignalSweep broken = HighPassSweep();
    broken.m_In[7] = std::nan("");
    EXPECT_FALSE(MeasureSweep(broken, 1e4, false));
}

} // namespace
} // namespace norvane
