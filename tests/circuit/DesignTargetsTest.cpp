#include "circuit/DesignTargets.h"

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"

#include <gtest/gtest.h>

#include <cmath>

namespace norvane {
namespace {

TEST(DesignTargets, CommonEmitterAimsAtEverything)
{
    CommonEmitterDesign design;
    DesignInputs inputs(CircuitKind::CommonEmitter);
    inputs.SetValue(InputField::Gain, 20);
    design.Compute(inputs);
    const DesignTargets aim = TargetsOf(design);
    EXPECT_EQ(aim.m_Ic, design.Ic());
    EXPECT_EQ(aim.m_Uce, design.Uce());
    EXPECT_EQ(aim.m_GainDb, 20.0);
    EXPECT_EQ(aim.m_InputImpedance, 50e3);
    EXPECT_EQ(aim.m_OutputImpedance, 2e3);
    EXPECT_EQ(aim.m_LowerCutoff, 10.0);
}

TEST(DesignTargets, CommonBaseTakesNoGainAndNoInputImpedance)
{
    CommonBaseDesign design;
    DesignInputs inputs(CircuitKind::CommonBase);
    design.Compute(inputs);
    const DesignTargets aim = TargetsOf(design);
    EXPECT_EQ(aim.m_Ic, design.Ic());
    EXPECT_TRUE(std::isnan(aim.m_GainDb));
    EXPECT_TRUE(std::isnan(aim.m_InputImpedance));
    EXPECT_EQ(aim.m_OutputImpedance, 2e3);
    EXPECT_EQ(aim.m_LowerCutoff, 100e3);
}

TEST(DesignTargets, CommonCollectorTakesNoGainAndNoOutputImpedance)
{
    CommonCollectorDesign design;
    DesignInputs inputs(CircuitKind::CommonCollector);
    design.Compute(inputs);
    const DesignTargets aim = TargetsOf(design);
    EXPECT_EQ(aim.m_Uce, design.Uce());
    EXPECT_TRUE(std::isnan(aim.m_GainDb));
    EXPECT_EQ(aim.m_InputImpedance, 50e3);
    EXPECT_TRUE(std::isnan(aim.m_OutputImpedance));
    EXPECT_EQ(aim.m_LowerCutoff, 10.0);
}

} // namespace
} // namespace norvane
