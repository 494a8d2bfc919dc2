// Designs a user cannot build, or that cannot meet their requirement, keep
// their values and say so, with the numbers shown beside the note.

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "format/EngineeringFormat.h"

#include <gtest/gtest.h>

#include <cmath>

namespace norvane {
namespace {

class Notes : public ::testing::Test {
protected:
    void SetUp() override { UseEnglishNumberFormat(); }
};

// The value the component section shows for a part.
std::string Shown(const AmplifierDesign& design, const std::string& part)
{
    for (const ResultItem& item : design.GetComponentValues()) {
        if (item.name == part) {
            return item.value;
        }
    }
    return "(none)";
}

TEST_F(Notes, GainThatCannotBeReachedSaysWhatTheDesignGives)
{
    CommonEmitterDesign design;
    DesignInputs inputs(CircuitKind::CommonEmitter);
    inputs.SetValue(InputField::Gain, 20);
    design.Compute(inputs);
    EXPECT_TRUE(design.Notes().empty());

    // 60 dB asks for more than R3 / re: R4 drops to 0 and the stage gives
    // what R3 / re gives, about 46 dB at 1.4 mA through 2 k.
    inputs.SetValue(InputField::Gain, 60);
    design.Compute(inputs);
    ASSERT_EQ(design.Notes().size(), 1u);
    EXPECT_EQ(design.Notes()[0],
              "The voltage gain of 60 dB cannot be reached: this design gives about 46.2 dB");
    EXPECT_EQ(Shown(design, "R4"), "0");
    const double re = 0.025693 / design.Ic(); // thermal voltage at 25 degC over Ic, roughly
    EXPECT_NEAR(design.DesignedGainDb(), 20 * std::log10(2000 / re), 0.3);
}

TEST_F(Notes, PartsThatCannotBeBoughtAreNamedWithTheirShownValues)
{
    CommonBaseDesign slow;
    DesignInputs inputs(CircuitKind::CommonBase);
    inputs.SetValue(InputField::LowerCutoff, 1e-3);
    slow.Compute(inputs);
    ASSERT_TRUE(slow.IsUsable());
    ASSERT_FALSE(slow.Notes().empty());
    EXPECT_EQ(slow.Notes()[0],
              "C1 of " + Shown(slow, "C1") + " is above 1 F: no such capacitor can be bought");

    CommonCollectorDesign tiny;
    DesignInputs cc(CircuitKind::CommonCollector);
    cc.SetValue(InputField::CollectorCurrent, 10e-9);
    tiny.Compute(cc);
    ASSERT_TRUE(tiny.IsUsable());
    EXPECT_EQ(tiny.Notes().front(),
              "R3 of " + Shown(tiny, "R3") + " is above 100 Mohm: no such resistor can be bought");

    // The defaults are sound, and an unusable design has only its problem.
    for (CircuitKind kind :
         {CircuitKind::CommonEmitter, CircuitKind::CommonBase, CircuitKind::CommonCollector}) {
        CommonEmitterDesign ce;
        CommonBaseDesign cb;
        CommonCollectorDesign cc2;
        AmplifierDesign& design = kind == CircuitKind::CommonEmitter ? static_cast<AmplifierDesign&>(ce)
                                  : kind == CircuitKind::CommonBase  ? static_cast<AmplifierDesign&>(cb)
                                                                     : cc2;
        design.Compute(DesignInputs(kind));
        EXPECT_TRUE(design.Notes().empty()) << design.Title();
    }
    CommonEmitterDesign low;
    DesignInputs lowInputs(CircuitKind::CommonEmitter);
    lowInputs.SetValue(InputField::SupplyVoltage, 0.8);
    low.Compute(lowInputs);
    EXPECT_FALSE(low.IsUsable());
    EXPECT_EQ(norvane::DesignNotes(low), std::vector<std::string>{low.ProblemNote()});
}

} // namespace
} // namespace norvane
