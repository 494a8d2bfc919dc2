#include "circuit/BiasPoint.h"

#include "design/AmplifierDesign.h"
#include "transistors/TransistorModel.h"
#include "transistors/TransistorTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace norvane {
namespace {

// norvane-cli design ce --gain 20: UB = 12 V, R1 620 k (vcc-base), R2
// 200 k (base-0), R3 2 k (vcc-collector), R4 200 + R5 180 from the emitter
// to ground, BC548B, designed for Ic = 2.6 mA.
std::unique_ptr<AmplifierDesign> WorkedCommonEmitter(const std::vector<NamedValue>& changes = {})
{
    DesignInputs inputs(CircuitKind::CommonEmitter);
    inputs.SetTransistorIndex(FindTransistor("BC548B"));
    inputs.SetValue(InputField::Gain, 20);
    auto design = MakeDesign(CircuitKind::CommonEmitter);
    design->Compute(inputs);
    design->ApplyPartValues(changes);
    return design;
}

// The divider-biased stage by hand, with the base-emitter voltage and the
// current gain beta = Ic / Ib the transistor has at its operating point:
//   Vth = UB R2 / (R1 + R2), Rth = R1 || R2, Re = R4 + R5
//   Vth = Ib Rth + Vbe + (Ic + Ib) Re, Ib = Ic / beta
//   Ic = (Vth - Vbe) / (Rth / (beta + 1) + Re) * beta / (beta + 1)
double TheveninCurrent(const AmplifierCircuit& circuit, double vbe, double beta)
{
    const double r1 = PartValue(circuit, "R1");
    const double r2 = PartValue(circuit, "R2");
    const double vth = circuit.m_SupplyVoltage * r2 / (r1 + r2);
    const double rth = r1 * r2 / (r1 + r2);
    const double re = PartValue(circuit, "R4") + PartValue(circuit, "R5");
    return (vth - vbe) / (rth / (beta + 1) + re) * beta / (beta + 1);
}

struct ModelPoint {
    double m_Ib = 0.0;
    double m_Vbe = 0.0;
    double m_Vce = 0.0; // the network's, which may lie below the model's 1 V
};

// What the model of the circuit's card (its BF times bfFactor) gives at ic,
// at the Vce the network then leaves (held at the model's lowest 1 V).
ModelPoint ModelAt(const AmplifierCircuit& circuit, double ic, double bfFactor)
{
    TransistorRecord record = circuit.m_Transistor;
    record.BF *= bfFactor;
    TransistorModel model;
    model.SelectRecord(record);
    ModelPoint point{0.0, 0.0, circuit.m_SupplyVoltage / 2};
    for (int i = 0; i < 3; ++i) {
        model.SetOperatingPoint(ic, std::max(point.m_Vce, TransistorModel::LowestVoltage));
        EXPECT_TRUE(model.IsValid());
        point.m_Ib = model.GetBaseCurrent();
        point.m_Vbe = model.GetBaseEmitterVoltage();
        const Expected<NodeVoltages> nodes = SolveNodeVoltages(circuit, ic, point.m_Ib);
        EXPECT_TRUE(nodes.Ok());
        if (nodes) {
            point.m_Vce = nodes->At("collector") - nodes->At("emitter");
        }
    }
    return point;
}

// UB = 10 V, R1 47 k, R2 10 k, R3 2.2 k, R4 270 + R5 200, Ic = 2 mA,
// Ib = 10 uA:
//   base      10 V * 10 k / 57 k - 10 uA * (47 k || 10 k)
//             = 1.754386 V - 10 uA * 8245.614    = 1.671930 V
//   collector 10 V - 2 mA * 2.2 k                = 5.6 V
//   emitter   2.01 mA * 470                      = 0.9447 V
//   emitter2  2.01 mA * 200                      = 0.402 V
// A PNP stage has them all mirrored; in and out (behind open capacitors)
// are 0 V.
TEST(BiasPoint, NodeVoltagesOfADividerBiasedStageByHand)
{
    AmplifierCircuit circuit;
    circuit.m_SupplyVoltage = 10;
    circuit.m_Parts = {{"R1", "vcc", "base", 47e3},       {"R2", "base", "0", 10e3},
                       {"R3", "vcc", "collector", 2.2e3}, {"R4", "emitter", "emitter2", 270},
                       {"R5", "emitter2", "0", 200},      {"C1", "in", "base", 1e-6},
                       {"C2", "collector", "out", 10e-6}};
    const std::pair<const char*, double> expected[] = {
        {"base", 1.671930}, {"collector", 5.6}, {"emitter", 0.9447}, {"emitter2", 0.402},
        {"vcc", 10.0},      {"in", 0.0},        {"out", 0.0},        {"0", 0.0}};
    for (const bool pnp : {false, true}) {
        circuit.m_IsPnp = pnp;
        const Expected<NodeVoltages> nodes = SolveNodeVoltages(circuit, 2e-3, 10e-6);
        ASSERT_TRUE(nodes.Ok()) << nodes.Message();
        for (const auto& [node, volts] : expected) {
            EXPECT_NEAR(nodes->At(node), pnp ? -volts : volts, 1e-6) << node << (pnp ? " PNP" : " NPN");
        }
    }
}

TEST(BiasPoint, NetworksWithoutASolutionFail)
{
    AmplifierCircuit circuit;
    circuit.m_SupplyVoltage = 10;
    circuit.m_Parts = {{"R1", "vcc", "base", 47e3},
                       {"R2", "base", "0", 10e3},
                       {"R3", "vcc", "collector", 2.2e3},
                       {"R4", "emitter", "0", 470}};
    ASSERT_TRUE(SolveNodeVoltages(circuit, 2e-3, 10e-6).Ok());

    // A resistor of 0 ohm joins vcc to the base: no finite solution.
    AmplifierCircuit shorted = circuit;
    shorted.m_Parts[0].m_Value = 0;
    // Without R1 and R2 the base floats: its row of the network is empty.
    AmplifierCircuit floating = circuit;
    floating.m_Parts.erase(floating.m_Parts.begin(), floating.m_Parts.begin() + 2);
    for (const AmplifierCircuit* broken : {&shorted, &floating}) {
        const Expected<NodeVoltages> nodes = SolveNodeVoltages(*broken, 2e-3, 10e-6);
        ASSERT_FALSE(nodes.Ok());
        EXPECT_EQ(nodes.Message(), "the resistor network has no DC solution");
    }
}

// The worked stage: Vth = 12 V * 200 k / 820 k = 2.9268 V, Rth = 151.22 k,
// Re = 380. The model's BC548B gives Vbe = 0.657 V and beta = 303.5 at the
// solution, so Ic = 2.2698 V / (151.22 k / 304.5 + 380) * 303.5 / 304.5
// = 2.581 mA, within 1 % of the designed 2.6 mA. With BF halved and doubled
// the current follows beta the same way, a little lower and higher.
TEST(BiasPoint, OperatingPointMeetsTheTheveninFormula)
{
    const auto design = WorkedCommonEmitter();
    const AmplifierCircuit circuit = DescribeCircuit(*design);
    double previous = 0.0;
    for (const double bfFactor : {0.5, 1.0, 2.0}) {
        SCOPED_TRACE(bfFactor);
        const Expected<double> ic = SolveBiasCurrent(*design, bfFactor);
        ASSERT_TRUE(ic.Ok()) << ic.Message();
        const ModelPoint point = ModelAt(circuit, *ic, bfFactor);
        EXPECT_NEAR(*ic, TheveninCurrent(circuit, point.m_Vbe, *ic / point.m_Ib), 1e-6 * *ic);
        EXPECT_GT(*ic, previous);
        previous = *ic;
        if (bfFactor == 1.0) {
            EXPECT_NEAR(*ic, 2.581e-3, 0.001e-3);
            EXPECT_NEAR(*ic, design->Ic(), 0.01 * design->Ic());
        }
    }
}

// R2 of 1 k puts the base at 12 V * 1 k / 621 k = 19 mV at most, while the
// model's BC548B (IS = 2.39e-14 A, NF = 1.008) needs NF UT ln(Ic / IS) =
// 0.216 V already at 0.1 nA: the transistor is cut off and has no operating
// point to find.
TEST(BiasPoint, ACutOffStageHasNoOperatingPoint)
{
    const auto design = WorkedCommonEmitter({{"R2", 1e3}});
    const Expected<double> ic = SolveBiasCurrent(*design, 1.0);
    ASSERT_FALSE(ic.Ok());
    EXPECT_EQ(ic.Message(), "the DC model finds no operating point");
}

// R3 of 100 k cannot pass milliamperes from 12 V: the stage saturates. The
// model knows no saturation and is held at its lowest Vce, 1 V, so the
// solver gives the forward-active current there (beta 281 instead of 303:
// the Early effect), which meets the formula as above; the network's
// voltages at that current put the collector far below the emitter, which
// is how a caller tells. A collector resistor ten times larger changes
// nothing more.
TEST(BiasPoint, ASaturatedStageGetsTheCurrentAtTheLowestVce)
{
    const auto design = WorkedCommonEmitter({{"R3", 100e3}});
    const AmplifierCircuit circuit = DescribeCircuit(*design);
    const Expected<double> ic = SolveBiasCurrent(*design, 1.0);
    ASSERT_TRUE(ic.Ok()) << ic.Message();
    const ModelPoint point = ModelAt(circuit, *ic, 1.0);
    EXPECT_NEAR(*ic, TheveninCurrent(circuit, point.m_Vbe, *ic / point.m_Ib), 1e-6 * *ic);
    EXPECT_LT(point.m_Vce, 0.0);

    const Expected<double> larger = SolveBiasCurrent(*WorkedCommonEmitter({{"R3", 1e6}}), 1.0);
    ASSERT_TRUE(larger.Ok()) << larger.Message();
    EXPECT_NEAR(*larger, *ic, 1e-6 * *ic);
}

} // namespace
} // namespace norvane
