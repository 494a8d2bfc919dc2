#include "transistors/TransistorModel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>

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

// Above about 0.1 A a trial near the top of the interval leaves a huge base
// current behind that overflows the next trial; the search is then repeated
// with the base current guarded and finds the high-injection solution.
TEST(TransistorModel, HighCurrentIsSolvedDespiteOverflowingTrials)
{
    for (const double ic : {0.1, 0.13, 1.0}) {
        TransistorModel model = SolvedModel("BC548B", ic, 5.0);
        EXPECT_EQ(model.GetStatus(), ModelStatus::Solved) << ic;
        EXPECT_TRUE(model.IsValid());
        // Current gain falls with high injection (IKF = 0.1357 A) but stays sane.
        EXPECT_GT(model.GetBaseCurrent(), ic / 294.3);
        EXPECT_LT(model.GetBaseCurrent(), ic / 20);
        EXPECT_GT(model.GetBaseEmitterVoltage(), 0.7);
        EXPECT_LT(model.GetBaseEmitterVoltage(), 1.0);
    }
    // An RF type with a small IS at 10 mA meets the same overflow.
    TransistorModel rf = SolvedModel("BFR92", 10e-3, 10.0);
    EXPECT_EQ(rf.GetStatus(), ModelStatus::Solved);
    EXPECT_NEAR(rf.GetBaseEmitterVoltage(), 0.85, 0.1);
}

// A silicon-carbide junction needs about 2.7 V: the search ends at the top of
// its interval, and says so.
TEST(TransistorModel, JunctionVoltageBeyondTheInterval)
{
    TransistorModel model = SolvedModel("GA03JT12", 1e-3, 5.0);
    EXPECT_EQ(model.GetStatus(), ModelStatus::NotConverged);
    EXPECT_TRUE(model.IsValid());
    EXPECT_NEAR(model.GetBaseEmitterVoltage(), 1.5, 1e-3);
}

// A card whose leakage exceeds any sensible base current gives no result.
TEST(TransistorModel, ImplausibleCardGivesNoResult)
{
    TransistorModel model = SolvedModel("KT630A", 1e-3, 5.0);
    EXPECT_EQ(model.GetStatus(), ModelStatus::NoNumber);
    EXPECT_FALSE(model.IsValid());
    EXPECT_EQ(model.GetBaseCurrent(), 0.0);
    EXPECT_EQ(model.GetBaseEmitterVoltage(), 0.0);
}

// In SPICE an IRB of 0 means "not given": such records take the simple base
// resistance RBM + (RB - RBM) / qb instead of dividing by zero.
TEST(TransistorModel, ZeroIrbTakesTheSimpleBaseResistance)
{
    const int index = FindTransistor("BFS17A");
    ASSERT_GE(index, 0);
    const TransistorRecord record = GetTransistorRecord(index);
    ASSERT_EQ(record.IRB, 0.0);
    TransistorModel zero;
    zero.SelectRecord(record);
    zero.SetOperatingPoint(1e-3, 5.0);
    TransistorRecord infinite = record;
    infinite.IRB = InfiniteParameter;
    TransistorModel reference;
    reference.SelectRecord(infinite);
    reference.SetOperatingPoint(1e-3, 5.0);
    ASSERT_TRUE(zero.IsValid());
    EXPECT_TRUE(std::isfinite(zero.GetBaseEmitterVoltage()));
    EXPECT_EQ(zero.GetBaseEmitterVoltage(), reference.GetBaseEmitterVoltage());
    EXPECT_EQ(zero.GetBaseCurrent(), reference.GetBaseCurrent());
}

// Over the whole table at two ordinary operating points the solve ends with
// finite numbers and a silicon junction voltage between 0 and 1.5 V, except
// for the listed cards.
TEST(TransistorModel, WholeTableAtOrdinaryOperatingPoints)
{
    const std::set<std::string> beyondInterval{"2N7636",   "BITSIC1206", "GA03JT12",
                                               "GA10JT12", "GA20JT12",   "GA50JT17"};
    const std::set<std::string> implausible{"BU508DR", "KT373G", "KT608A", "KT630A",
                                            "KT630B",  "KT630D", "KT630G", "KT630V"};
    for (const auto& [ic, vce] : {std::pair{1e-3, 5.0}, std::pair{10e-3, 10.0}}) {
        for (int t = 0; t < GetTransistorCount(); ++t) {
            const std::string name = GetTransistorRecord(t).name;
            TransistorModel model;
            model.SelectTransistor(t);
            model.SetOperatingPoint(ic, vce);
            const double vbe = model.GetBaseEmitterVoltage();
            const double ib = model.GetBaseCurrent();
            ASSERT_TRUE(std::isfinite(vbe) && std::isfinite(ib)) << name;
            if (beyondInterval.count(name) != 0) {
                EXPECT_EQ(model.GetStatus(), ModelStatus::NotConverged) << name;
                continue;
            }
            if (implausible.count(name) != 0) {
                // Leakage above any sensible base current: no result, or a
                // plausible one at the higher current.
                EXPECT_TRUE(!model.IsValid() || ib < ic) << name;
                continue;
            }
            ASSERT_EQ(model.GetStatus(), ModelStatus::Solved) << name << " at " << ic;
            ASSERT_GT(ib, 0.0) << name;
            if (!IsGermaniumTransistor(t)) {
                ASSERT_GT(vbe, 0.0) << name;
                ASSERT_LT(vbe, 1.5) << name;
            }
        }
    }
}

} // namespace
} // namespace norvane
