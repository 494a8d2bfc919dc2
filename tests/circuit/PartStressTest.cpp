#include "circuit/PartStress.h"

#include "design/AmplifierDesign.h"
#include "transistors/TransistorTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

namespace norvane {
namespace {

std::unique_ptr<AmplifierDesign> Design(CircuitKind kind, const char* transistor,
                                        std::initializer_list<std::pair<InputField, double>> values = {})
{
    DesignInputs inputs(kind);
    inputs.SetTransistorIndex(FindTransistor(transistor));
    for (const auto& [field, value] : values) {
        inputs.SetValue(field, value);
    }
    auto design = MakeDesign(kind);
    design->Compute(inputs);
    return design;
}

PartStresses StressesOfDesign(const AmplifierDesign& design)
{
    const Expected<PartStresses> stresses = PartStressesOf(design);
    EXPECT_TRUE(stresses.Ok()) << stresses.Message();
    return stresses.Ok() ? *stresses : PartStresses{};
}

TEST(PartStress, StandardRatingsAreTheSmallestThatSuffice)
{
    // Twice the dissipation: 62.5 mW is the most a 1/8 W resistor takes.
    EXPECT_EQ(ResistorPowerRating(0.0625), 0.125);
    EXPECT_EQ(ResistorPowerRating(0.0626), 0.25);
    EXPECT_EQ(ResistorPowerRating(0.826), 2.0);
    EXPECT_EQ(ResistorPowerRating(2.5), 5.0);
    EXPECT_TRUE(std::isnan(ResistorPowerRating(2.6)));
    // At or above the supply.
    EXPECT_EQ(CapacitorWorkingVoltage(5), 6.3);
    EXPECT_EQ(CapacitorWorkingVoltage(12), 16.0);
    EXPECT_EQ(CapacitorWorkingVoltage(16), 16.0);
    EXPECT_EQ(CapacitorWorkingVoltage(90), 100.0);
    EXPECT_TRUE(std::isnan(CapacitorWorkingVoltage(251)));
    EXPECT_EQ(UsualDielectric(680e-9), Dielectric::CeramicOrFilm);
    EXPECT_EQ(UsualDielectric(1e-6), Dielectric::Electrolytic);
}

// The worked example, norvane-cli design ce --gain 20: UB = 12 V, R1 620 k,
// R2 200 k, R3 2 k, R4 200, R5 180, C1 680 nF, C2 15 uF, C3 330 uF, and the
// design's operating point Ic = 2.6 mA. BC548B's data sheet gives hFE
// about 290 there, so Ib = 2.6 mA / 290 = 9.0 uA. By hand:
//   collector  12 V - 2.6 mA * 2 k                        = 6.8 V
//   emitter2   (2.6 mA + 9 uA) * 180                      = 0.4696 V
//   emitter    (2.6 mA + 9 uA) * 380                      = 0.9914 V
//   base       12 V * 200 k / 820 k - 9 uA * (620 k || 200 k)
//              = 2.927 V - 9 uA * 151.2 k                  = 1.57 V
//   R1  (12 - 1.57 V)^2 / 620 k                           = 175 uW
//   R2  (1.57 V)^2 / 200 k                                = 12.3 uW
//   R3  (2.6 mA)^2 * 2 k                                  = 13.52 mW
//   R4  (2.609 mA)^2 * 200                                = 1.361 mW
//   R5  (2.609 mA)^2 * 180                                = 1.225 mW
// Each is far below 62.5 mW: 1/8 W resistors. Every capacitor is rated
// 16 V, the first standard voltage above 12 V: C1 of 680 nF a ceramic or
// film part with 1.57 V, + at base; C2 an electrolytic with 6.8 V, + at
// collector; C3 one with 0.47 V, + at R4/R5.
TEST(PartStress, WorkedCommonEmitterExampleByHand)
{
    const auto design = Design(CircuitKind::CommonEmitter, "BC548B", {{InputField::Gain, 20}});
    const PartStresses s = StressesOfDesign(*design);

    ASSERT_EQ(s.m_Resistors.size(), 5u);
    const struct {
        const char* name;
        double watts;
        // Relative. R1 and R2 move with the base, which hFE puts within
        // 0.1 V of 1.57 V: R2's V^2 by up to 13 %, R1's by 2 %.
        double within;
    } resistors[] = {{"R1", 175e-6, 0.02},
                     {"R2", 12.3e-6, 0.13},
                     {"R3", 13.52e-3, 1e-9},
                     {"R4", 1.361e-3, 0.002},
                     {"R5", 1.225e-3, 0.002}};
    for (std::size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(s.m_Resistors[i].m_Name, resistors[i].name);
        EXPECT_NEAR(s.m_Resistors[i].m_Dissipation, resistors[i].watts,
                    resistors[i].watts * resistors[i].within)
            << resistors[i].name;
        EXPECT_EQ(s.m_Resistors[i].m_Rating, 0.125) << resistors[i].name;
    }
    EXPECT_NEAR(s.m_Resistors[2].m_Voltage, 5.2, 1e-9);

    ASSERT_EQ(s.m_Capacitors.size(), 3u);
    const struct {
        const char* name;
        double volts;
        double within;
        const char* positive;
        Dielectric dielectric;
    } capacitors[] = {{"C1", 1.57, 0.1, "base", Dielectric::CeramicOrFilm},
                      {"C2", 6.8, 1e-9, "collector", Dielectric::Electrolytic},
                      {"C3", 0.4696, 0.002, "emitter2", Dielectric::Electrolytic}};
    for (std::size_t i = 0; i < 3; ++i) {
        const CapacitorStress& c = s.m_Capacitors[i];
        EXPECT_EQ(c.m_Name, capacitors[i].name);
        EXPECT_NEAR(c.m_Voltage, capacitors[i].volts, capacitors[i].within) << c.m_Name;
        EXPECT_EQ(c.m_PositiveNode, capacitors[i].positive) << c.m_Name;
        EXPECT_EQ(c.m_Dielectric, capacitors[i].dielectric) << c.m_Name;
        EXPECT_EQ(c.m_WorkingVoltage, 16.0) << c.m_Name;
    }

    // T1 sees the supply when cut off, and stays within BC548's data sheet
    // (VCEO 30 V, IC 100 mA, Ptot 500 mW) and the lower figures sources give.
    const TransistorStress& t1 = s.m_Transistor;
    EXPECT_EQ(t1.m_Voltage.m_Figure, 12.0);
    EXPECT_EQ(t1.m_Current.m_Figure, 2.6e-3);
    EXPECT_EQ(t1.m_Power.m_Figure, design->P());
    for (const CheckedRating* check : {&t1.m_Voltage, &t1.m_Current, &t1.m_Power}) {
        EXPECT_EQ(check->Check(), RatingCheck::Within);
    }
    EXPECT_EQ(t1.Check(), RatingCheck::Within);
}

// T1 alone, as the ranking sifts designs, checks the very figures against
// the very ratings, with nothing solved.
void ExpectSameTransistorChecks(const AmplifierDesign& design, const TransistorStress& t1)
{
    const TransistorStress alone = TransistorStressOf(design);
    const CheckedRating TransistorStress::*checks[]{&TransistorStress::m_Voltage,
                                                    &TransistorStress::m_Current, &TransistorStress::m_Power};
    for (const auto check : checks) {
        EXPECT_EQ((alone.*check).m_Figure, (t1.*check).m_Figure);
        EXPECT_TRUE((alone.*check).m_Rating == (t1.*check).m_Rating ||
                    (std::isnan((alone.*check).m_Rating) && std::isnan((t1.*check).m_Rating)));
    }
    EXPECT_EQ(alone.Check(), t1.Check());
}

// The same network on a PNP transistor carries the same currents the other
// way: the same magnitudes, every positive terminal on the other side.
TEST(PartStress, PnpMirrorsThePolarityAndKeepsTheMagnitudes)
{
    const auto design = Design(CircuitKind::CommonEmitter, "BC548B", {{InputField::Gain, 20}});
    AmplifierCircuit circuit = DescribeCircuit(*design);
    const StressPoint point{design->Ic(), 9e-6, design->Uce(), design->P()};
    const Expected<PartStresses> npn = StressesOf(circuit, point, {});
    circuit.m_IsPnp = true;
    const Expected<PartStresses> pnp = StressesOf(circuit, point, {});
    ASSERT_TRUE(npn.Ok() && pnp.Ok());
    for (std::size_t i = 0; i < npn->m_Resistors.size(); ++i) {
        EXPECT_EQ(pnp->m_Resistors[i].m_Dissipation, npn->m_Resistors[i].m_Dissipation);
    }
    const char* const mirrored[] = {"in", "out", "0"}; // C1 in-base, C2 collector-out, C3 emitter2-0
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(pnp->m_Capacitors[i].m_Voltage, npn->m_Capacitors[i].m_Voltage);
        EXPECT_EQ(pnp->m_Capacitors[i].m_PositiveNode, mirrored[i]);
    }

    // Real designs of all three circuits: the BC558B (PNP) stage has each
    // capacitor's + where the BC548B (NPN) stage has its -.
    for (const CircuitKind kind :
         {CircuitKind::CommonEmitter, CircuitKind::CommonBase, CircuitKind::CommonCollector}) {
        const PartStresses n = StressesOfDesign(*Design(kind, "BC548B"));
        const PartStresses p = StressesOfDesign(*Design(kind, "BC558B"));
        ASSERT_EQ(n.m_Capacitors.size(), p.m_Capacitors.size());
        const AmplifierCircuit circuit = DescribeCircuit(*Design(kind, "BC548B"));
        for (std::size_t i = 0; i < n.m_Capacitors.size(); ++i) {
            const CircuitPart* part = FindPart(circuit, n.m_Capacitors[i].m_Name);
            ASSERT_NE(part, nullptr);
            const std::string& plus = n.m_Capacitors[i].m_PositiveNode;
            EXPECT_EQ(p.m_Capacitors[i].m_PositiveNode, plus == part->m_NodeA ? part->m_NodeB : part->m_NodeA)
                << CircuitTitle(kind) << " " << part->m_Name;
            EXPECT_NEAR(p.m_Capacitors[i].m_Voltage, n.m_Capacitors[i].m_Voltage,
                        0.1 * n.m_Capacitors[i].m_Voltage)
                << CircuitTitle(kind) << " " << part->m_Name;
        }
        EXPECT_EQ(p.m_Transistor.m_Voltage.m_Figure, 12.0);
    }
}

// norvane-cli design ce --supply 90 --gain 20: BC548 is rated VCEO 30 V
// (data sheet; sources go as low as 20 V) and Ptot 500 mW (300 mW). The
// design puts 90 V across it when cut off and dissipates 920 mW; Ic =
// 20.3 mA stays below 100 mA. R3 then dissipates (20.32 mA)^2 * 2 k =
// 0.826 W: a 2 W part, and every capacitor a 100 V one.
TEST(PartStress, NinetyVoltsExceedBc548VceoAndPtot)
{
    const auto design = Design(CircuitKind::CommonEmitter, "BC548B",
                               {{InputField::SupplyVoltage, 90}, {InputField::Gain, 20}});
    const PartStresses s = StressesOfDesign(*design);
    const TransistorStress& t1 = s.m_Transistor;
    EXPECT_EQ(t1.m_Voltage.m_Figure, 90.0);
    EXPECT_LE(t1.m_Voltage.m_Rating, 30.0);
    EXPECT_EQ(t1.m_Voltage.Check(), RatingCheck::Exceeded);
    EXPECT_NEAR(t1.m_Power.m_Figure, 0.920, 0.001);
    EXPECT_EQ(t1.m_Power.Check(), RatingCheck::Exceeded);
    EXPECT_EQ(t1.m_Current.Check(), RatingCheck::Within);
    EXPECT_EQ(t1.Check(), RatingCheck::Exceeded);
    ExpectSameTransistorChecks(*design, t1);

    const ResistorStress& r3 = s.m_Resistors.at(2);
    EXPECT_EQ(r3.m_Name, "R3");
    EXPECT_NEAR(r3.m_Dissipation, 0.826, 0.001);
    EXPECT_EQ(r3.m_Rating, 2.0);
    EXPECT_EQ(s.m_Capacitors.at(0).m_WorkingVoltage, 100.0);
}

// 18 V with a 120 ohm collector resistor: Ic = 68 mA at Uce = 8.8 V is
// P = 0.60 W, above BC548's 500 mW, while 18 V and 68 mA are within its
// VCEO (30 V, 20 V the lowest source) and IC max (100 mA). A type no
// source rates is checked on nothing.
TEST(PartStress, PtotAloneIsFlaggedAndUnratedTypesAreUnknown)
{
    const TransistorStress t1 = StressesOfDesign(*Design(CircuitKind::CommonEmitter, "BC548B",
                                                         {{InputField::SupplyVoltage, 18},
                                                          {InputField::OutputImpedance, 120},
                                                          {InputField::Gain, 20}}))
                                    .m_Transistor;
    EXPECT_NEAR(t1.m_Power.m_Figure, 0.601, 0.001);
    EXPECT_EQ(t1.m_Power.Check(), RatingCheck::Exceeded);
    EXPECT_EQ(t1.m_Voltage.Check(), RatingCheck::Within);
    EXPECT_EQ(t1.m_Current.Check(), RatingCheck::Within);

    const auto unratedDesign = Design(CircuitKind::CommonEmitter, "1NT251", {{InputField::Gain, 20}});
    const TransistorStress unrated = StressesOfDesign(*unratedDesign).m_Transistor;
    for (const CheckedRating* check : {&unrated.m_Voltage, &unrated.m_Current, &unrated.m_Power}) {
        EXPECT_EQ(check->Check(), RatingCheck::Unknown);
    }
    EXPECT_EQ(unrated.Check(), RatingCheck::Unknown);
    ExpectSameTransistorChecks(*unratedDesign, unrated);

    const auto unusable = Design(CircuitKind::CommonEmitter, "BC548B", {{InputField::SupplyVoltage, 1}});
    const Expected<PartStresses> none = PartStressesOf(*unusable);
    ASSERT_FALSE(none.Ok());
    EXPECT_EQ(none.Message(), "the design cannot be built: " + unusable->Problem());
}

} // namespace
} // namespace norvane
