#include "design/CommonCollectorDesign.h"

#include "DesignTestSupport.h"
#include "format/EngineeringFormat.h"
#include "transistors/TransistorTable.h"

namespace norvane {
namespace {

using testing::ExpectFourDigits;
using testing::ExpectValue;
using testing::Lines;

class CommonCollector : public ::testing::Test {
protected:
    void SetUp() override { UseEnglishNumberFormat(); }
    CommonCollectorDesign design;
    DesignInputs inputs{CircuitKind::CommonCollector};
};

TEST_F(CommonCollector, Defaults)
{
    design.Compute(inputs);
    const CommonCollectorResults& r = design.Results();
    // 5.7 V / 2 mA = 2850 ohms lies exactly halfway between 2.7 k and 3 k.
    ExpectValue(r.m_R3, 3e3, "R3");
    ExpectValue(design.Ic(), 1.9e-3, "Ic");
    ExpectValue(r.m_R1, 91e3, "R1");
    ExpectValue(r.m_R2, 110e3, "R2");
    ExpectValue(r.m_C1, 560e-9, "C1");
    ExpectValue(r.m_C2, 8.2e-6, "C2");
    ExpectFourDigits(design.Uce(), 6.281, "Uce");
    ExpectFourDigits(design.P(), 11.94e-3, "P");
    EXPECT_EQ(design.SchematicId(), 140);
    EXPECT_EQ(Lines(design.GetInputData()), "f_min = 10 Hz\nZ_in = 50 k\nIc = 2 mA\nStandard series = E24\n");
    EXPECT_EQ(Lines(design.GetComponentValues()),
              "UB = 12 V\nT1 = BC548B\nR1 = 91 k\nR2 = 110 k\nR3 = 3 k\nC1 = 560 nF\nC2 = 8.2 uF\n");
    EXPECT_EQ(Lines(design.GetOperationPoint()), "Ic = 1.9 mA\nUce = 6.281 V\nP = 11.94 mW\n");
}

TEST_F(CommonCollector, HighInputImpedanceKeepsTheFirstDivider)
{
    inputs.SetValue(InputField::InputImpedance, 1e6);
    design.Compute(inputs);
    const CommonCollectorResults& r = design.Results();
    ExpectValue(r.m_R1, 470e3, "R1");
    ExpectValue(r.m_R2, 1e6, "R2");
    ExpectValue(r.m_R3, 3e3, "R3");
    ExpectValue(r.m_C1, 100e-9, "C1");
    ExpectValue(r.m_C2, 8.2e-6, "C2");
}

TEST_F(CommonCollector, DefaultsInE12)
{
    inputs.SetSeriesIndex(0);
    design.Compute(inputs);
    const CommonCollectorResults& r = design.Results();
    ExpectValue(r.m_R3, 2.7e3, "R3");
    ExpectFourDigits(design.Ic(), 2.111e-3, "Ic");
    ExpectValue(r.m_R1, 100e3, "R1");
    ExpectValue(r.m_R2, 120e3, "R2");
    ExpectValue(r.m_C1, 470e-9, "C1");
    ExpectValue(r.m_C2, 10e-6, "C2");
}

TEST_F(CommonCollector, Pnp)
{
    inputs.SetTransistorIndex(FindTransistor("BC558B"));
    design.Compute(inputs);
    const CommonCollectorResults& r = design.Results();
    EXPECT_TRUE(design.IsPnp());
    EXPECT_EQ(design.SchematicId(), 141);
    ExpectValue(r.m_R1, 91e3, "R1");
    ExpectValue(r.m_R2, 120e3, "R2");
    ExpectValue(r.m_R3, 3e3, "R3");
    ExpectValue(r.m_C1, 470e-9, "C1");
    ExpectValue(r.m_C2, 8.2e-6, "C2");
}

TEST_F(CommonCollector, SupplyTooLowForTheModel)
{
    inputs.SetValue(InputField::SupplyVoltage, 1.0);
    design.Compute(inputs);
    EXPECT_FALSE(design.IsUsable());
    EXPECT_NE(design.ProblemNote().find("below the 1 V"), std::string::npos);
}

} // namespace
} // namespace norvane
