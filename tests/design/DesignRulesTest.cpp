#include "design/DesignRules.h"

#include <gtest/gtest.h>

#include <cmath>

namespace norvane {
namespace {

// N equal first-order high-pass corners at factor * f: the gain at f in dB,
// from |H|^2 = (1 + (fc / f)^2)^-N.
double GainOfCornersDb(double factor, int corners)
{
    return -10 * corners * std::log10(1 + factor * factor);
}

// The four places of each factor leave the cut-off within 0.0006 dB of
// half the power; a wrong digit moves it by 0.001 dB or more.
TEST(DesignRules, CornerFactorsPutTheCutOffAtHalfPower)
{
    const double halfPowerDb = 10 * std::log10(0.5);
    EXPECT_NEAR(GainOfCornersDb(ThreeCornersFactor, 3), halfPowerDb, 6e-4);
    EXPECT_NEAR(GainOfCornersDb(TwoCornersFactor, 2), halfPowerDb, 6e-4);
}

// The base voltage of a loaded divider, by its Thevenin equivalent.
double LoadedBaseVoltage(const BaseDivider& d, double supply, double baseCurrent)
{
    const double open = supply * d.m_Lower / (d.m_Upper + d.m_Lower);
    return open - baseCurrent * (d.m_Upper * d.m_Lower / (d.m_Upper + d.m_Lower));
}

// Rounding to E24 moves each resistor by up to about 5 %; the loaded base
// voltage stays that close to the one asked for.
TEST(DesignRules, DividerHoldsTheBaseUnderLoad)
{
    const double supply = 12.0;
    const double base = 1.65;
    const double ib = 5e-6;
    BaseDivider d = DesignBaseDivider(supply, base, ib, 24);
    EXPECT_NEAR(LoadedBaseVoltage(d, supply, ib), base, 0.06 * base);

    // A required input impedance above what the divider gives leaves it.
    const double rBase = 500e3;
    const BaseDivider natural = d;
    LowerForInputImpedance(d, supply, base, ib, 1e6, rBase, 24);
    EXPECT_EQ(d.m_Upper, natural.m_Upper);
    EXPECT_EQ(d.m_Lower, natural.m_Lower);

    // A lower one is met within the rounding, at the same base voltage.
    // The lower resistor follows the rounded upper one, so their errors
    // add: 150 k and 27 k for 142.5 k and 25.8 k give 21.9 k.
    LowerForInputImpedance(d, supply, base, ib, 20e3, rBase, 24);
    EXPECT_NEAR(1 / BaseNodeConductance(d, rBase), 20e3, 0.1 * 20e3);
    EXPECT_NEAR(LoadedBaseVoltage(d, supply, ib), base, 0.06 * base);
}

} // namespace
} // namespace norvane
