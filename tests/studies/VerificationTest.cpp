// The verdict, the mid-band it reads, and the tuning proposal, against
// ngspice.

#include "ngspice/Simulator.h"
#include "studies/Verify.h"

#include "support/SimulationExamples.h"

#include "format/EngineeringFormat.h"
#include "transistors/TransistorRatings.h"

#include <gtest/gtest.h>

#include <cmath>

namespace norvane {
namespace {

using testing::CommonBase;
using testing::CommonCollector;
using testing::CommonEmitter;

// The verdict's numbers as the CLI shows them: "1.475 kohm".
class Verdict : public ::testing::Test {
protected:
    void SetUp() override { UseEnglishNumberFormat(); }
};
using Tuning = Verdict;

const VerdictMiss* FindMiss(const norvane::Verdict& verdict, const std::string& quantity)
{
    for (const VerdictMiss& miss : verdict.m_Misses) {
        if (miss.m_Quantity == quantity) {
            return &miss;
        }
    }
    return nullptr;
}

// A simulation that gives what the design aimed at.
SimulationResult Exactly(const DesignTargets& aim)
{
    SimulationResult r;
    r.m_Outcome = {};
    r.m_Ic = aim.IcReference();
    r.m_Uce = aim.m_Uce;
    r.m_Ib = r.m_Ic / 300;
    r.m_GainDb = aim.m_GainDb;
    r.m_InputImpedance = aim.m_InputImpedance;
    r.m_OutputImpedance = aim.m_OutputImpedance;
    r.m_LowerCutoff = aim.m_LowerCutoff;
    return r;
}

// Each rule alone, on figures that meet every other: met at its boundary,
// missed just past it in either direction (a too-low Ic as well as a
// too-high one); a corner at f_min or below the sweep (NaN) meets, a gain
// that is no number misses. Ic and Z_in name no cause.
TEST_F(Verdict, EachRuleInBothDirectionsAndAtItsBoundary)
{
    const auto design = CommonEmitter(20);
    const SimulationResult exact = Exactly(TargetsOf(*design));
    ASSERT_TRUE(JudgeSimulation(*design, {}, exact).m_Verdict.m_Meets);
    struct Case {
        double SimulationResult::*m_Field;
        const char* m_Quantity;
        double m_Value;
        bool m_Missed;
    };
    const double ic = exact.m_Ic, gain = exact.m_GainDb, zin = exact.m_InputImpedance;
    const double zout = exact.m_OutputImpedance, corner = exact.m_LowerCutoff, nan = std::nan("");
    const Case cases[] = {
        {&SimulationResult::m_Ic, "Ic", ic * 1.0999, false},
        {&SimulationResult::m_Ic, "Ic", ic * 1.1001, true},
        {&SimulationResult::m_Ic, "Ic", ic * 0.9001, false},
        {&SimulationResult::m_Ic, "Ic", ic * 0.8999, true},
        {&SimulationResult::m_GainDb, "gain", gain + 0.999, false},
        {&SimulationResult::m_GainDb, "gain", gain + 1.001, true},
        {&SimulationResult::m_GainDb, "gain", gain - 0.999, false},
        {&SimulationResult::m_GainDb, "gain", gain - 1.001, true},
        {&SimulationResult::m_GainDb, "gain", nan, true},
        {&SimulationResult::m_InputImpedance, "Z_in", zin * 1.1999, false},
        {&SimulationResult::m_InputImpedance, "Z_in", zin * 1.2001, true},
        {&SimulationResult::m_InputImpedance, "Z_in", zin * 0.01, false}, // an upper limit only
        {&SimulationResult::m_OutputImpedance, "Z_out", zout * 1.1999, false},
        {&SimulationResult::m_OutputImpedance, "Z_out", zout * 1.2001, true},
        {&SimulationResult::m_OutputImpedance, "Z_out", zout * 0.8001, false},
        {&SimulationResult::m_OutputImpedance, "Z_out", zout * 0.7999, true},
        {&SimulationResult::m_LowerCutoff, "f_-3dB", corner, false},
        {&SimulationResult::m_LowerCutoff, "f_-3dB", corner * 1.0001, true},
        {&SimulationResult::m_LowerCutoff, "f_-3dB", corner * 1e-3, false},
        {&SimulationResult::m_LowerCutoff, "f_-3dB", nan, false},
    };
    for (const Case& c : cases) {
        SimulationResult r = exact;
        r.*c.m_Field = c.m_Value;
        const norvane::Verdict verdict = JudgeSimulation(*design, {}, r).m_Verdict;
        EXPECT_EQ(verdict.Misses(c.m_Quantity), c.m_Missed) << c.m_Quantity << " " << c.m_Value;
        EXPECT_EQ(verdict.m_Meets, !c.m_Missed) << c.m_Quantity << " " << c.m_Value;
        if (c.m_Missed && (c.m_Quantity == std::string("Ic") || c.m_Quantity == std::string("Z_in"))) {
            EXPECT_EQ(FindMiss(verdict, c.m_Quantity)->m_Why, "") << c.m_Quantity;
        }
    }
}

// The defaults of each circuit: the common-emitter 20 dB example meets its
// requirements; the common-base default misses Z_out, because its 1 nF C3
// lets the collector drive the base through C_cb.
// A resistance the verdict, its conditions or a proposal names carries its
// unit; a capacitor its farads.
TEST_F(Verdict, WritesResistancesInOhm)
{
    const auto design = CommonEmitter(20);
    SimulationResult r = Exactly(TargetsOf(*design));
    r.m_OutputImpedance = 600;
    const VerificationOptions options{4700, 600, {{"R1", 150e3}, {"C1", 2.2e-9}}};
    EXPECT_EQ(JudgeSimulation(*design, options, r).m_Verdict.Line(),
              "Simulation (ngspice, load 4.7 kohm, source 600 ohm, R1 = 150 kohm, C1 = 2.2 nF): "
              "misses Z_out 600 ohm for 2 kohm");
    BiasProposal bias;
    bias.m_Changes = {{"R1", 620e3, 150e3}};
    bias.m_After.m_Fraction = 0.97;
    bias.m_InputImpedanceBefore = 42e3;
    bias.m_InputImpedanceAfter = 19e3;
    bias.m_ReachesTarget = true;
    EXPECT_EQ(bias.Line(), "R1 620 kohm -> 150 kohm: 97 % of builds meet, Z_in 42 kohm -> 19 kohm");
}

TEST_F(Verdict, OfEachCircuitsDefaultDesign)
{
    const Verification ce = Verify(*CommonEmitter(20));
    ASSERT_TRUE(ce.m_Verdict.m_Simulated) << ce.m_Verdict.m_Problem;
    EXPECT_TRUE(ce.m_Verdict.m_Meets) << ce.m_Verdict.Line();
    EXPECT_EQ(ce.m_Verdict.Line(), "Simulation (ngspice, no load): meets the requirements");

    const Verification cb = Verify(*CommonBase());
    EXPECT_FALSE(cb.m_Verdict.m_Meets);
    const VerdictMiss* zout = FindMiss(cb.m_Verdict, "Z_out");
    ASSERT_NE(zout, nullptr) << cb.m_Verdict.Line();
    EXPECT_EQ(zout->m_Required, 2000.0);
    EXPECT_LT(zout->m_Simulated, 0.8 * 2000.0);
    EXPECT_TRUE(zout->m_Why.starts_with("C3 of 1 nF does not ground the base at 100 kHz")) << zout->m_Why;
    EXPECT_TRUE(cb.m_Verdict.Line().starts_with("Simulation (ngspice, no load): misses Z_out 1.4"))
        << cb.m_Verdict.Line();
    EXPECT_EQ(FindMiss(cb.m_Verdict, "f_-3dB"), nullptr) << cb.m_Verdict.Line();

    EXPECT_TRUE(Verify(*CommonCollector()).m_Verdict.m_Meets);

    // The table: seven rows, the verdict column as the misses say.
    ASSERT_EQ(cb.m_Rows.size(), 7u);
    EXPECT_EQ(cb.m_Rows[4].m_Quantity, "Z_out");
    EXPECT_EQ(cb.m_Rows[4].m_Verdict, "misses");
    EXPECT_EQ(cb.m_Rows[0].m_Verdict, "meets");
    EXPECT_EQ(cb.m_Rows[2].m_Verdict, ""); // no gain requirement
}

// A stage on 90 V with a BC548B simulates fine, but the whole supply stands
// across a transistor rated 20 V whenever the stage is cut off, and the
// operating point dissipates several times its 300 mW (the lowest Ptot its
// sources state). The verdict names both ratings and what to buy.
TEST_F(Verdict, MissesTheRatingsTheDesignExceeds)
{
    auto design = std::make_unique<CommonEmitterDesign>();
    DesignInputs inputs(CircuitKind::CommonEmitter);
    inputs.SetValue(InputField::SupplyVoltage, 90);
    inputs.SetValue(InputField::Gain, 20);
    inputs.SetTransistorIndex(FindTransistor("BC548B"));
    design->Compute(inputs);
    ASSERT_TRUE(design->IsUsable()) << design->Problem();

    const Verification v = Verify(*design);
    ASSERT_TRUE(v.m_Verdict.m_Simulated) << v.m_Verdict.m_Problem;
    EXPECT_FALSE(v.m_Verdict.m_Meets);
    const VerdictMiss* vceo = FindMiss(v.m_Verdict, "VCEO");
    ASSERT_NE(vceo, nullptr) << v.m_Verdict.Line();
    EXPECT_EQ(vceo->m_Required, 20.0);
    EXPECT_EQ(vceo->m_Simulated, 90.0);
    EXPECT_NE(v.m_Verdict.Line().find("VCEO 20 V < supply 90 V: choose a type rated at least 90 V"),
              std::string::npos)
        << v.m_Verdict.Line();
    const VerdictMiss* ptot = FindMiss(v.m_Verdict, "Ptot");
    ASSERT_NE(ptot, nullptr) << v.m_Verdict.Line();
    EXPECT_EQ(ptot->m_Required, 0.3);
    EXPECT_NEAR(ptot->m_Simulated, v.m_Simulation.m_Uce * v.m_Simulation.m_Ic, 0.01 * ptot->m_Simulated);
    EXPECT_EQ(FindMiss(v.m_Verdict, "IC max"), nullptr) << v.m_Verdict.Line();
    EXPECT_TRUE(v.m_Verdict.m_Notes.empty());
}

// A type no source rates is judged on what the simulation shows, and the
// verdict says that its ratings are still to be checked.
TEST_F(Verdict, NotesRatingsNoSourceStates)
{
    int unrated = -1;
    for (int i = 0; i < GetTransistorCount() && unrated < 0; ++i) {
        const TransistorRatings r = GetTransistorRatings(i);
        if (std::isnan(r.m_Vceo) && std::isnan(r.m_IcMax) && std::isnan(r.m_Ptot) && !IsPnpTransistor(i) &&
            CommonEmitter(20, GetTransistorRecord(i).name)->IsUsable()) {
            unrated = i;
        }
    }
    ASSERT_GE(unrated, 0);
    const std::string name = GetTransistorRecord(unrated).name;
    const Verification v = Verify(*CommonEmitter(20, name.c_str()));
    ASSERT_TRUE(v.m_Verdict.m_Simulated) << v.m_Verdict.m_Problem;
    ASSERT_EQ(v.m_Verdict.m_Notes.size(), 1u);
    EXPECT_EQ(v.m_Verdict.m_Notes[0], "ratings of " + name + " unknown: check the data sheet");
    EXPECT_TRUE(v.m_Verdict.Line().ends_with("; ratings of " + name + " unknown: check the data sheet"))
        << v.m_Verdict.Line();
}

// The common-collector circuit takes Ic as a requirement: its simulated Ic
// is judged against the request, not against the design rounded to E12,
// which here lies 12 % below it.
TEST_F(Verdict, JudgesARequestedIcAgainstTheRequest)
{
    auto design = std::make_unique<CommonCollectorDesign>();
    DesignInputs inputs(CircuitKind::CommonCollector);
    inputs.SetValue(InputField::SupplyVoltage, 10.59);
    inputs.SetValue(InputField::LowerCutoff, 2.257);
    inputs.SetValue(InputField::InputImpedance, 237.8e3);
    inputs.SetValue(InputField::CollectorCurrent, 11.58e-3);
    inputs.SetTransistorIndex(FindTransistor("BC560C"));
    inputs.SetSeriesIndex(0);
    design->Compute(inputs);
    ASSERT_TRUE(design->IsUsable()) << design->Problem();

    const Verification v = Verify(*design);
    ASSERT_TRUE(v.m_Verdict.m_Simulated) << v.m_Verdict.m_Problem;
    const VerdictMiss* ic = FindMiss(v.m_Verdict, "Ic");
    ASSERT_NE(ic, nullptr) << v.m_Verdict.Line();
    EXPECT_EQ(ic->m_Required, 11.58e-3);
    EXPECT_LT(ic->m_Simulated, 0.9 * 11.58e-3);
    EXPECT_NE(v.m_Verdict.Line().find("for the requested 11.58 mA"), std::string::npos) << v.m_Verdict.Line();
    EXPECT_EQ(v.m_Rows[0].m_Required, "11.58 mA +/- 10 %");
}

// An attenuating stage, -10 dB from 1 kHz: above 10 MHz T1's collector-base
// capacitance passes the input through louder than the band (-1.15 dB at
// 57.5 MHz). The verdict reads the band at 100 x f_min all the same.
TEST_F(Verdict, ReadsTheBandNotTheFeedthroughAboveIt)
{
    auto design = std::make_unique<CommonEmitterDesign>();
    DesignInputs inputs(CircuitKind::CommonEmitter);
    inputs.SetValue(InputField::Gain, -10);
    inputs.SetValue(InputField::LowerCutoff, 1e3);
    inputs.SetTransistorIndex(FindTransistor("BC548B"));
    design->Compute(inputs);
    const Verification v = Verify(*design);
    ASSERT_TRUE(v.m_Verdict.m_Simulated) << v.m_Verdict.m_Problem;
    EXPECT_NEAR(v.m_Simulation.m_MidbandFrequency, 1e5, 0.03e5);
    EXPECT_NEAR(v.m_Simulation.m_GainDb, -9.92, 0.01);
    EXPECT_NEAR(v.m_Simulation.m_OutputImpedance, 1999, 2);
    EXPECT_NEAR(v.m_Simulation.m_LowerCutoff, 572.6, 1);
    EXPECT_TRUE(v.m_Verdict.m_Meets) << v.m_Verdict.Line();
}

// R2 is chosen as Z_out, but T1's output resistance (VAF 31 V) lies in
// parallel: 2.2 k || 9.54 k. The verdict names it and the R2 of the series
// that gives the required Z_out with it.
TEST_F(Verdict, NamesTheOutputResistanceOfACommonBaseStage)
{
    auto design = std::make_unique<CommonBaseDesign>();
    DesignInputs inputs(CircuitKind::CommonBase);
    inputs.SetValue(InputField::SupplyVoltage, 19.94);
    inputs.SetValue(InputField::LowerCutoff, 1605);
    inputs.SetValue(InputField::OutputImpedance, 2206);
    inputs.SetTransistorIndex(FindTransistor("BC327-25"));
    design->Compute(inputs);
    const Verification v = Verify(*design);
    const VerdictMiss* zout = FindMiss(v.m_Verdict, "Z_out");
    ASSERT_NE(zout, nullptr) << v.m_Verdict.Line();
    EXPECT_NEAR(zout->m_Simulated, 1725, 5);
    EXPECT_TRUE(zout->m_Why.starts_with("T1's output resistance of 9.543 kohm")) << zout->m_Why;
    EXPECT_TRUE(zout->m_Why.ends_with("R2 = 3 kohm gives Z_out 2.282 kohm")) << zout->m_Why;
}

// A common-emitter stage at 100 kHz: C1 of a few tens of pF against the
// Miller capacitance loses gain at every frequency; the verdict says so.
TEST_F(Verdict, NamesC1AgainstTheMillerCapacitance)
{
    auto design = std::make_unique<CommonEmitterDesign>();
    DesignInputs inputs(CircuitKind::CommonEmitter);
    inputs.SetValue(InputField::Gain, 20);
    inputs.SetValue(InputField::LowerCutoff, 100e3);
    design->Compute(inputs);
    const Verification v = Verify(*design);
    const VerdictMiss* gain = FindMiss(v.m_Verdict, "gain");
    ASSERT_NE(gain, nullptr) << v.m_Verdict.Line();
    EXPECT_NE(gain->m_Why.find("Miller"), std::string::npos) << gain->m_Why;
    EXPECT_TRUE(gain->m_Why.starts_with("C1 of ")) << gain->m_Why;
}

// A common-collector stage with 2SA1329 (C_cb near 1 nF) at f_min 100 kHz
// shows no upper corner in the sweep; its mid-band was read at 18 MHz.
// Now it lies inside the band, no higher than 100 x f_min, and the gain is
// the response there.
TEST_F(Verdict, MidBandOfAFollowerWithoutAnUpperCornerStaysNearItsBand)
{
    auto design = std::make_unique<CommonCollectorDesign>();
    DesignInputs inputs(CircuitKind::CommonCollector);
    inputs.SetValue(InputField::LowerCutoff, 100e3);
    inputs.SetValue(InputField::InputImpedance, 5e3);
    inputs.SetTransistorIndex(FindTransistor("2SA1329"));
    design->Compute(inputs);
    const SimulationResult r = Verify(*design).m_Simulation;
    ASSERT_TRUE(r.Simulated()) << r.StatusText();
    EXPECT_TRUE(std::isnan(r.m_UpperCutoff));
    EXPECT_LE(r.m_MidbandFrequency, 100 * 100e3 * 1.0001);
    EXPECT_GT(r.m_MidbandFrequency, r.m_LowerCutoff);
    for (const BodePoint& point : r.m_Bode) {
        if (point.m_Frequency == r.m_MidbandFrequency) {
            EXPECT_EQ(point.m_MagnitudeDb, r.m_GainDb);
        }
    }
}

// A source resistance equal to the stage's input impedance halves the
// signal at the input: 6.02 dB less gain from the source's own voltage.
TEST_F(Verdict, SourceResistanceDividesAtTheInput)
{
    const auto design = CommonEmitter(20);
    const SimulationResult ideal = Verify(*design).m_Simulation;
    VerificationOptions options;
    options.m_SourceResistance = ideal.m_InputImpedance;
    const Verification driven = Verify(*design, options);
    EXPECT_NEAR(ideal.m_GainDb - driven.m_Simulation.m_GainDb, 20 * std::log10(2.0), 0.05);
    EXPECT_NEAR(driven.m_Simulation.m_InputImpedance, ideal.m_InputImpedance, 0.01 * ideal.m_InputImpedance);
    EXPECT_TRUE(driven.m_Verdict.Line().starts_with("Simulation (ngspice, no load, source "))
        << driven.m_Verdict.Line();
}

// The proposal for the common-base default changes C3 alone, to an E12
// value that meets Z_out and f_min in a simulation of its own, also at the
// low edge of its tolerance, while the E12 value below it does not there:
// the smallest with margin.
TEST_F(Tuning, CommonBaseDefaultMeetsZoutAndFmin)
{
    const auto design = CommonBase();
    const std::optional<TuningProposal> proposal = ProposeTuning(*design);
    ASSERT_TRUE(proposal.has_value());
    ASSERT_EQ(proposal->m_Changes.size(), 1u);
    const PartChange& c3 = proposal->m_Changes.front();
    EXPECT_EQ(c3.m_Part, "C3");
    EXPECT_EQ(c3.m_Designed, 1e-9);
    EXPECT_TRUE(proposal->m_Verification.m_Verdict.m_Meets) << proposal->m_Verification.m_Verdict.Line();

    auto tuned = CommonBase();
    tuned->ApplyPartValues(proposal->PartValues());
    const SimulationResult r = Simulate(*tuned);
    EXPECT_NEAR(r.m_OutputImpedance, 2000.0, 0.2 * 2000.0);
    EXPECT_LE(r.m_LowerCutoff, 100e3);
    EXPECT_EQ(tuned->Notes().back(),
              "C3 changed to " + PartItem("C3", c3.m_Proposed).value + " (designed 1 nF)");

    // It holds with the capacitor 20 % low, and is no larger than needed:
    // the E12 value below it, 20 % low, misses.
    VerificationOptions lowEdge;
    lowEdge.m_PartValues = {{"C3", 0.8 * c3.m_Proposed}};
    const Verification atLowEdge = Verify(*design, lowEdge);
    EXPECT_TRUE(atLowEdge.m_Verdict.m_Meets) << atLowEdge.m_Verdict.Line();
    VerificationOptions lower;
    lower.m_PartValues = {{"C3", 0.8 * c3.m_Proposed / 1.2}};
    EXPECT_FALSE(Verify(*design, lower).m_Verdict.m_Meets);
    EXPECT_TRUE(proposal->Line().starts_with("C3 1 nF -> ")) << proposal->Line();

    EXPECT_FALSE(ProposeTuning(*CommonEmitter(20)).has_value());
}

// The common-base stage at 1 kHz, 12 V, 2 k with C3 at 2.2 nF (what its
// formula gave before it was mended): the corner at 19 x f_min comes from
// C3 alone, and the proposal raises C3 alone, to the E12 value above the
// 100 nF the design now gives itself (the margin for its tolerance); C1,
// raised along, would only have taken a share of the corner.
TEST_F(Tuning, LeavesAsDesignedWhatTheCornerDoesNotNeed)
{
    CommonBaseDesign design;
    DesignInputs inputs(CircuitKind::CommonBase);
    inputs.SetValue(InputField::LowerCutoff, 1e3);
    design.Compute(inputs);
    VerificationOptions small;
    small.m_PartValues = {{"C3", 2.2e-9}};
    const Verification before = Verify(design, small);
    ASSERT_NE(FindMiss(before.m_Verdict, "f_-3dB"), nullptr) << before.m_Verdict.Line();
    EXPECT_GT(before.m_Simulation.m_LowerCutoff, 15e3);
    const std::optional<TuningProposal> proposal = ProposeTuning(design, small);
    ASSERT_TRUE(proposal.has_value());
    ASSERT_EQ(proposal->m_Changes.size(), 1u) << proposal->Line();
    EXPECT_EQ(proposal->m_Changes.front().m_Part, "C3");
    // The 100 nF the design gives itself would not hold 20 % low.
    EXPECT_DOUBLE_EQ(PartValue(DescribeCircuit(design), "C3"), 100e-9);
    EXPECT_DOUBLE_EQ(proposal->m_Changes.front().m_Proposed, 120e-9);
    EXPECT_TRUE(proposal->m_Verification.m_Verdict.m_Meets) << proposal->m_Verification.m_Verdict.Line();
}

} // namespace
} // namespace norvane
