#include "transistors/TransistorModel.h"

#include <gtest/gtest.h>

#include <cmath>

namespace norvane {
namespace {

// Relative agreement to six significant digits.
void ExpectSixDigits(double actual, double expected, const char* what)
{
    EXPECT_NEAR(actual, expected, 5e-6 * std::fabs(expected)) << what;
}

TransistorModel SolvedModel(const char* name, double ic, double vce)
{
    TransistorModel model;
    const int index = FindTransistor(name);
    EXPECT_GE(index, 0) << name;
    model.SelectTransistor(index);
    model.SetOperatingPoint(ic, vce);
    return model;
}

TEST(TransistorModel, ReferenceOperatingPoints)
{
    struct Case {
        const char* name;
        double ic, vce, vbe, ib;
    };
    const Case cases[] = {
        {"BC548B", 1e-3, 5.0, 0.632448, 3.30624e-6},
        {"2N3904", 1e-3, 5.0, 0.659882, 7.16431e-6},
        {"BC558B", 1e-3, 5.0, 0.643148, 4.08973e-6},
        {"BC548B", 10e-3, 6.0, 0.693372, 3.45311e-5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TransistorModel model = SolvedModel(c.name, c.ic, c.vce);
        EXPECT_TRUE(model.IsValid());
        EXPECT_EQ(model.GetStatus(), ModelStatus::Solved);
        ExpectSixDigits(model.GetBaseEmitterVoltage(), c.vbe, "Vbe");
        ExpectSixDigits(model.GetBaseCurrent(), c.ib, "Ib");
    }
}

TEST(TransistorModel, GermaniumTypeHasTinyJunctionVoltage)
{
    TransistorModel model = SolvedModel("AC187K", 1e-3, 5.0);
    ASSERT_TRUE(model.IsValid());
    // IS is 1.435 A: the junction needs about 0.06 mV; RB adds about 0.34 mV.
    EXPECT_NEAR(model.GetBaseEmitterVoltage(), 0.40e-3, 0.01e-3);
    EXPECT_NEAR(model.GetBaseCurrent(), 1e-3 / 132.0, 1e-3 / 132.0 * 1e-6);
}

TEST(TransistorModel, ThermalVoltageAndTemperature)
{
    TransistorModel model;
    EXPECT_NEAR(model.GetThermalVoltage(), 0.0256926081545, 1e-15);
    model.SetTemperature(-273.15);
    EXPECT_EQ(model.GetThermalVoltage(), 0.0);
    model.SetTemperature(100.0);
    EXPECT_NEAR(model.GetThermalVoltage(), 373.15 * 8.617343e-5, 1e-15);
}

TEST(TransistorModel, TemperatureTakesEffectAtTheNextSolve)
{
    TransistorModel model = SolvedModel("BC548B", 1e-3, 5.0);
    const double vbeAt25 = model.GetBaseEmitterVoltage();
    model.SetTemperature(75.0);
    EXPECT_EQ(model.GetBaseEmitterVoltage(), vbeAt25); // still the old, valid solve
    model.Recompute();
    // This equation set has no temperature dependence of IS, so a higher
    // thermal voltage needs a higher junction voltage.
    EXPECT_GT(model.GetBaseEmitterVoltage(), vbeAt25);
}

TEST(TransistorModel, OperatingPointOutsideTheLimits)
{
    TransistorModel fresh;
    fresh.SelectTransistor(FindTransistor("BC548B"));
    fresh.SetOperatingPoint(1e-3, 0.99);
    EXPECT_FALSE(fresh.IsValid());
    EXPECT_EQ(fresh.GetStatus(), ModelStatus::OutsideLimits);
    EXPECT_EQ(fresh.GetBaseCurrent(), 0.0);
    EXPECT_EQ(fresh.GetBaseEmitterVoltage(), 0.0);

    // A solved model keeps its last good results when moved outside.
    TransistorModel model = SolvedModel("BC548B", 1e-3, 5.0);
    const double ib = model.GetBaseCurrent();
    model.SetOperatingPoint(1e-13, 5.0);
    EXPECT_FALSE(model.IsValid());
    EXPECT_EQ(model.GetBaseCurrent(), ib);

    // Both limits are inclusive.
    TransistorModel edge = SolvedModel("2N3904", 1e-12, 1.0);
    EXPECT_TRUE(edge.IsValid());
    EXPECT_EQ(edge.GetStatus(), ModelStatus::Solved);

    TransistorModel undefined = SolvedModel("BC548B", std::nan(""), 5.0);
    EXPECT_FALSE(undefined.IsValid());
}

// At 1 pA and 1 V the collector leakage of BC548B exceeds the forward base
// current: the base current is negative and the current-dependent base
// resistance would take the square root of a negative number.
TEST(TransistorModel, NegativeBaseCurrentGivesFiniteResults)
{
    TransistorModel model = SolvedModel("BC548B", 1e-12, 1.0);
    EXPECT_TRUE(model.IsValid());
    EXPECT_LT(model.GetBaseCurrent(), 0.0);
    EXPECT_TRUE(std::isfinite(model.GetBaseEmitterVoltage()));
    EXPECT_GT(model.GetBaseEmitterVoltage(), 0.0);
}

// BC548B cannot carry 130 mA (IKF is 0.1357 A): the solve must end and say so
// rather than hand out numbers that are not numbers.
TEST(TransistorModel, CurrentTheTransistorCannotCarry)
{
    TransistorModel model = SolvedModel("BC548B", 0.13, 5.0);
    EXPECT_NE(model.GetStatus(), ModelStatus::Solved);
    EXPECT_TRUE(std::isfinite(model.GetBaseCurrent()));
    EXPECT_TRUE(std::isfinite(model.GetBaseEmitterVoltage()));
    if (model.IsValid()) {
        EXPECT_EQ(model.GetStatus(), ModelStatus::NotConverged);
    } else {
        EXPECT_EQ(model.GetStatus(), ModelStatus::NoNumber);
        EXPECT_EQ(model.GetBaseCurrent(), 0.0);
    }
}

} // namespace
} // namespace norvane
