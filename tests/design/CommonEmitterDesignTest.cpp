#include "design/CommonEmitterDesign.h"

#include "DesignTestSupport.h"
#include "format/EngineeringFormat.h"
#include "transistors/TransistorTable.h"

namespace norvane {
namespace {

using testing::ExpectFourDigits;
using testing::ExpectValue;
using testing::Lines;

class CommonEmitter : public ::testing::Test {
protected:
    void SetUp() override { UseEnglishNumberFormat(); }
    CommonEmitterDesign design;
    DesignInputs inputs{CircuitKind::CommonEmitter};
};

TEST_F(CommonEmitter, BeforeTheFirstCalculation)
{
    EXPECT_EQ(design.Inputs().TransistorIndex(), FindTransistor("BC548B"));
    EXPECT_EQ(Lines(design.GetInputData()),
              "Voltage gain = 0 dB\nf_min = 10 Hz\nZ_in = 50 k\nZ_out = 2 k\nStandard series = E24\n");
    EXPECT_EQ(Lines(design.GetComponentValues()),
              "UB = 12 V\nT1 = BC548B\nR1 = 0\nR2 = 0\nR3 = 0\nR4 = 0\nC1 = 0 F\nC2 = 0 F\n");
    EXPECT_EQ(Lines(design.GetOperationPoint()), "Ic = 0 A\nUce = 0 V\nP = 0 W\n");
}

TEST_F(CommonEmitter, Defaults)
{
    design.Compute(inputs);
    const CommonEmitterResults& r = design.Results();
    ExpectValue(r.m_R1, 180e3, "R1");
    ExpectValue(r.m_R2, 82e3, "R2");
    ExpectValue(r.m_R3, 2e3, "R3");
    ExpectValue(r.m_R4, 2e3, "R4");
    EXPECT_EQ(r.m_R5, 0.0);
    ExpectValue(r.m_C1, 560e-9, "C1");
    ExpectValue(r.m_C2, 15e-6, "C2");
    EXPECT_EQ(r.m_C3, 0.0);
    ExpectValue(design.Ic(), 1.425e-3, "Ic");
    ExpectValue(design.Uce(), 6.3, "Uce");
    ExpectFourDigits(design.P(), 8.980e-3, "P");
    EXPECT_TRUE(design.IsWithoutBypass());
    EXPECT_FALSE(design.IsPnp());
    EXPECT_TRUE(design.IsUsable());
    EXPECT_EQ(design.SchematicId(), 142);
    EXPECT_EQ(Lines(design.GetComponentValues()),
              "UB = 12 V\nT1 = BC548B\nR1 = 180 k\nR2 = 82 k\nR3 = 2 k\nR4 = 2 k\n"
              "C1 = 560 nF\nC2 = 15 uF\n");
    EXPECT_EQ(Lines(design.GetOperationPoint()), "Ic = 1.425 mA\nUce = 6.3 V\nP = 8.98 mW\n");
}

TEST_F(CommonEmitter, TwentyDecibels)
{
    inputs.SetValue(InputField::Gain, 20);
    design.Compute(inputs);
    const CommonEmitterResults& r = design.Results();
    ExpectValue(r.m_R1, 620e3, "R1");
    ExpectValue(r.m_R2, 200e3, "R2");
    ExpectValue(r.m_R3, 2e3, "R3");
    ExpectValue(r.m_R4, 200, "R4");
    ExpectValue(r.m_R5, 180, "R5");
    ExpectValue(r.m_C1, 680e-9, "C1");
    ExpectValue(r.m_C2, 15e-6, "C2");
    ExpectValue(r.m_C3, 330e-6, "C3");
    ExpectValue(design.Ic(), 2.6e-3, "Ic");
    ExpectValue(design.Uce(), 5.812, "Uce");
    ExpectFourDigits(design.P(), 15.12e-3, "P");
    EXPECT_EQ(design.SchematicId(), 138);
    EXPECT_EQ(design.GetComponentValues().size(), 10u);

    // A lower input impedance than the natural 44.78 k lowers the divider only.
    inputs.SetValue(InputField::InputImpedance, 5e3);
    design.Compute(inputs);
    ExpectValue(r.m_R1, 39e3, "R1");
    ExpectValue(r.m_R2, 6.2e3, "R2");
    ExpectValue(r.m_C1, 6.8e-6, "C1");
    ExpectValue(r.m_R4, 200, "R4");
    ExpectValue(r.m_R5, 180, "R5");
    ExpectValue(r.m_C3, 330e-6, "C3");
    ExpectValue(design.Uce(), 5.812, "Uce");
}

TEST_F(CommonEmitter, EmitterVoltageIsClampedToOneVolt)
{
    // At 20 V and 20 dB, UE = 1 V: Ic = (20 - 0.6 - 1) / 2 / 2 k = 4.6 mA.
    inputs.SetValue(InputField::Gain, 20);
    inputs.SetValue(InputField::SupplyVoltage, 20);
    design.Compute(inputs);
    ExpectValue(design.Ic(), 4.6e-3, "Ic");
    // At 5 V, UE = 0.5 V: Ic = (5 - 0.6 - 0.5) / 2 / 2 k = 0.975 mA.
    inputs.SetValue(InputField::SupplyVoltage, 5);
    design.Compute(inputs);
    ExpectValue(design.Ic(), 0.975e-3, "Ic");
}

TEST_F(CommonEmitter, UnreachableGainDropsR4)
{
    inputs.SetValue(InputField::Gain, 60); // 1000 > R3 / re
    design.Compute(inputs);
    EXPECT_EQ(design.Results().m_R4, 0.0);
    EXPECT_GT(design.Results().m_R5, 0.0);
    EXPECT_FALSE(design.IsWithoutBypass());
}

TEST_F(CommonEmitter, CapacitorsStayE12WithE96Resistors)
{
    inputs.SetValue(InputField::Gain, 20);
    inputs.SetSeriesIndex(3);
    design.Compute(inputs);
    const auto e12 = {1.0, 1.2, 1.5, 1.8, 2.2, 2.7, 3.3, 3.9, 4.7, 5.6, 6.8, 8.2};
    for (const double c : {design.Results().m_C1, design.Results().m_C2, design.Results().m_C3}) {
        const double mantissa = c / std::pow(10.0, std::floor(std::log10(c) + 1e-9));
        bool found = false;
        for (const double m : e12) {
            found = found || std::fabs(mantissa - m) < 1e-9;
        }
        EXPECT_TRUE(found) << c;
    }
    EXPECT_EQ(design.GetInputData().back().value, "E96");
}

TEST_F(CommonEmitter, PnpTransistorSelectsTheMirroredSchematic)
{
    inputs.SetTransistorIndex(FindTransistor("BC558B"));
    design.Compute(inputs);
    EXPECT_TRUE(design.IsPnp());
    EXPECT_EQ(design.SchematicId(), 143);
    inputs.SetValue(InputField::Gain, 20);
    design.Compute(inputs);
    EXPECT_EQ(design.SchematicId(), 139);
}

// Below about 1.5 V the operating point leaves the model's limits; the
// calculation ends and the result says why instead of showing garbage.
TEST_F(CommonEmitter, SupplyTooLowForTheModel)
{
    inputs.SetValue(InputField::SupplyVoltage, 0.8);
    design.Compute(inputs);
    EXPECT_FALSE(design.IsUsable());
    const ResultList point = design.GetOperationPoint();
    EXPECT_EQ(point.size(), 3u);
    EXPECT_EQ(design.ProblemNote(),
              "This design is not usable: Uce of 659 mV is below the 1 V the transistor "
              "model needs");
    // The note speaks of the operation point that is shown beside it.
    EXPECT_EQ(point[1].value, "659 mV");
    for (const ResultList& list : {design.GetInputData(), design.GetComponentValues(), point}) {
        for (const ResultItem& item : list) {
            EXPECT_EQ(item.value.find("nan"), std::string::npos) << item.name;
        }
    }
    // A later good calculation clears the note.
    inputs.SetValue(InputField::SupplyVoltage, 12);
    design.Compute(inputs);
    EXPECT_TRUE(design.IsUsable());
    EXPECT_EQ(design.ProblemNote(), "");
}

} // namespace
} // namespace norvane
