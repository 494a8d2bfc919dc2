#include "design/CommonBaseDesign.h"

#include "DesignTestSupport.h"
#include "format/EngineeringFormat.h"
#include "transistors/TransistorTable.h"

namespace norvane {
namespace {

using testing::ExpectFourDigits;
using testing::ExpectValue;
using testing::Lines;

class CommonBase : public ::testing::Test {
protected:
    void SetUp() override { UseEnglishNumberFormat(); }
    CommonBaseDesign design;
    DesignInputs inputs{CircuitKind::CommonBase};
};

TEST_F(CommonBase, Defaults)
{
    EXPECT_EQ(Lines(design.GetInputData()), "f_min = 100 kHz\nZ_out = 2 k\nStandard series = E24\n");
    design.Compute(inputs);
    const CommonBaseResults& r = design.Results();
    ExpectValue(r.m_R1, 390, "R1");
    ExpectValue(r.m_R2, 2e3, "R2");
    ExpectValue(r.m_R3, 620e3, "R3");
    ExpectValue(r.m_R4, 200e3, "R4");
    ExpectValue(r.m_C1, 330e-9, "C1");
    ExpectValue(r.m_C2, 1.5e-9, "C2");
    ExpectValue(r.m_C3, 1e-9, "C3");
    ExpectValue(design.Ic(), 2.6e-3, "Ic");
    ExpectFourDigits(design.Uce(), 5.786, "Uce");
    ExpectFourDigits(design.P(), 15.05e-3, "P");
    EXPECT_EQ(design.SchematicId(), 136);
    EXPECT_EQ(Lines(design.GetComponentValues()),
              "UB = 12 V\nT1 = BC548B\nR1 = 390\nR2 = 2 k\nR3 = 620 k\nR4 = 200 k\n"
              "C1 = 330 nF\nC2 = 1.5 nF\nC3 = 1 nF\n");
    EXPECT_EQ(Lines(design.GetOperationPoint()), "Ic = 2.6 mA\nUce = 5.786 V\nP = 15.05 mW\n");
}

TEST_F(CommonBase, OneKiloOhmAtOneHundredHertzInE12)
{
    inputs.SetValue(InputField::LowerCutoff, 100);
    inputs.SetValue(InputField::OutputImpedance, 1e3);
    inputs.SetSeriesIndex(0);
    design.Compute(inputs);
    const CommonBaseResults& r = design.Results();
    ExpectValue(r.m_R1, 180, "R1");
    ExpectValue(r.m_R2, 1e3, "R2");
    ExpectValue(r.m_R3, 330e3, "R3");
    ExpectValue(r.m_R4, 100e3, "R4");
    ExpectValue(r.m_C1, 680e-6, "C1");
    ExpectValue(r.m_C2, 3.3e-6, "C2");
    ExpectValue(r.m_C3, 2.2e-6, "C3");
    ExpectValue(design.Ic(), 5.2e-3, "Ic");
    ExpectFourDigits(design.Uce(), 5.864, "Uce");
    ExpectFourDigits(design.P(), 30.50e-3, "P");
}

TEST_F(CommonBase, PnpInE96)
{
    inputs.SetTransistorIndex(FindTransistor("BC558B"));
    inputs.SetSeriesIndex(3);
    design.Compute(inputs);
    const CommonBaseResults& r = design.Results();
    EXPECT_TRUE(design.IsPnp());
    EXPECT_EQ(design.SchematicId(), 137);
    ExpectValue(r.m_R1, 383, "R1");
    ExpectValue(r.m_R2, 2e3, "R2");
    ExpectValue(r.m_R3, 487e3, "R3");
    ExpectValue(r.m_R4, 158e3, "R4");
    ExpectValue(r.m_C1, 330e-9, "C1");
    ExpectValue(r.m_C2, 1.5e-9, "C2");
    ExpectValue(r.m_C3, 1.2e-9, "C3");
    ExpectValue(design.Ic(), 2.6e-3, "Ic");
    ExpectFourDigits(design.Uce(), 5.804, "Uce");
    ExpectFourDigits(design.P(), 15.10e-3, "P");
}

TEST_F(CommonBase, SupplyTooLowForTheModel)
{
    inputs.SetValue(InputField::SupplyVoltage, 1.2);
    design.Compute(inputs);
    EXPECT_FALSE(design.IsUsable());
    EXPECT_NE(design.ProblemNote().find("below the 1 V"), std::string::npos);
    EXPECT_EQ(design.GetComponentValues().size(), 9u);
}

} // namespace
} // namespace norvane

namespace norvane {
namespace {

// An applied tuning shows the new value and says what was designed; the
// next calculation is the design again.
TEST(PartValues, AppliedValuesAreNamedAndDroppedByTheNextCalculation)
{
    CommonBaseDesign design;
    const DesignInputs inputs(CircuitKind::CommonBase);
    design.Compute(inputs);
    design.ApplyPartValues({{"C3", 100e-9}, {"R9", 1.0}});
    EXPECT_EQ(design.Results().m_C3, 100e-9);
    EXPECT_EQ(design.Notes(), (std::vector<std::string>{"C3 changed to 100 nF (designed 1 nF)"}));
    EXPECT_EQ(design.GetComponentValues().back().value, "100 nF");
    design.Compute(inputs);
    EXPECT_EQ(design.Results().m_C3, 1e-9);
    EXPECT_TRUE(design.Notes().empty());
}

} // namespace
} // namespace norvane
