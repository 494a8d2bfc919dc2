#include "design/InputChecks.h"

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "format/EngineeringFormat.h"
#include "transistors/TransistorTable.h"

#include <gtest/gtest.h>

#include <map>

namespace norvane {
namespace {

class InputChecks : public ::testing::Test {
protected:
    void SetUp() override { UseEnglishNumberFormat(); }

    // Field texts as a dialog shows its defaults, with overrides.
    static InputCheckOutcome Check(CircuitKind kind, std::map<InputField, std::string> texts,
                                   const std::string& type = "BC548B")
    {
        const std::map<InputField, std::string> defaults{{InputField::Gain, "0"},
                                                         {InputField::LowerCutoff, "10"},
                                                         {InputField::SupplyVoltage, "12"},
                                                         {InputField::InputImpedance, "50 k"},
                                                         {InputField::OutputImpedance, "2 k"},
                                                         {InputField::CollectorCurrent, "2 m"}};
        return CheckInputs(
            DesignInputs(kind),
            [&](InputField field) {
                const auto given = texts.find(field);
                return given != texts.end() ? given->second : defaults.at(field);
            },
            type);
    }
};

TEST_F(InputChecks, RangeMessagesShowTheBoundsInEngineeringForm)
{
    EXPECT_EQ(RangeMessage("of supply voltage", 0.8, 100),
              "The given value of supply voltage\n\nis out of the allowed range [800 m .. 100]");
    const std::map<InputField, std::string> bounds{
        {InputField::Gain, "[-100 .. 100]"},
        {InputField::LowerCutoff, "[100 p .. 10 G]"},
        {InputField::SupplyVoltage, "[800 m .. 100]"},
        {InputField::InputImpedance, "[100 m .. 10 G]"},
        {InputField::OutputImpedance, "[100 m .. 10 G]"},
        {InputField::CollectorCurrent, "[10 n .. 1 k]"},
    };
    for (const CircuitKind kind :
         {CircuitKind::CommonEmitter, CircuitKind::CommonBase, CircuitKind::CommonCollector}) {
        for (const InputField field : CircuitInfoOf(kind).testOrder) {
            const FieldInfo& info = FieldInfoOf(field);
            const std::string message = RangeMessage(info.rangeLabel, info.min, info.max);
            EXPECT_NE(message.find(bounds.at(field)), std::string::npos) << message;
        }
    }
}

TEST_F(InputChecks, TestOrderPerCircuit)
{
    auto fields = [](CircuitKind kind) {
        const auto order = CircuitInfoOf(kind).testOrder;
        return std::vector<InputField>(order.begin(), order.end());
    };
    using F = InputField;
    EXPECT_EQ(fields(CircuitKind::CommonEmitter), (std::vector{F::Gain, F::LowerCutoff, F::SupplyVoltage,
                                                               F::InputImpedance, F::OutputImpedance}));
    EXPECT_EQ(fields(CircuitKind::CommonBase),
              (std::vector{F::LowerCutoff, F::SupplyVoltage, F::OutputImpedance}));
    EXPECT_EQ(fields(CircuitKind::CommonCollector),
              (std::vector{F::LowerCutoff, F::SupplyVoltage, F::CollectorCurrent, F::InputImpedance}));

    // Frequency is tested before the supply although the supply is the top row.
    const auto both =
        Check(CircuitKind::CommonBase, {{InputField::SupplyVoltage, "0"}, {InputField::LowerCutoff, "0"}});
    EXPECT_EQ(both.failedField, InputField::LowerCutoff);
    // The collector current before the input impedance.
    const auto cc = Check(CircuitKind::CommonCollector,
                          {{InputField::InputImpedance, "0"}, {InputField::CollectorCurrent, "0"}});
    EXPECT_EQ(cc.failedField, InputField::CollectorCurrent);
    EXPECT_EQ(cc.message,
              "The given value of collector current\n\nis out of the allowed range [10 n .. 1 k]");
}

TEST_F(InputChecks, BoundsAreInclusiveAndEmptyFieldsReadAsZero)
{
    for (const char* supply : {"0.8", "800m", "100", "12 V"}) {
        EXPECT_TRUE(Check(CircuitKind::CommonBase, {{InputField::SupplyVoltage, supply}}).Accepted())
            << supply;
    }
    for (const char* supply : {"100.1", "0.5", "", "  "}) {
        const auto outcome = Check(CircuitKind::CommonBase, {{InputField::SupplyVoltage, supply}});
        EXPECT_EQ(outcome.failedField, InputField::SupplyVoltage) << supply;
        EXPECT_EQ(outcome.result, InputCheck::OutOfRange);
    }
    EXPECT_TRUE(Check(CircuitKind::CommonEmitter, {{InputField::Gain, ""}}).Accepted());
    EXPECT_TRUE(Check(CircuitKind::CommonEmitter, {{InputField::Gain, "-100"}}).Accepted());
    EXPECT_TRUE(Check(CircuitKind::CommonEmitter, {{InputField::Gain, "100"}}).Accepted());
    EXPECT_FALSE(Check(CircuitKind::CommonEmitter, {{InputField::Gain, "1e400"}}).Accepted());
    for (const InputField field :
         {InputField::LowerCutoff, InputField::InputImpedance, InputField::CollectorCurrent}) {
        EXPECT_FALSE(Check(CircuitKind::CommonCollector, {{field, ""}}).Accepted());
    }
}

TEST_F(InputChecks, TransistorTypeMustMatchExactly)
{
    for (const std::string& type :
         std::vector<std::string>{"bc548b", "BC548B ", "", " BC548B", std::string("BC548B\0X", 8)}) {
        const auto outcome = Check(CircuitKind::CommonEmitter, {}, type);
        EXPECT_EQ(outcome.result, InputCheck::UnknownTransistor) << type;
        EXPECT_EQ(outcome.message, "Unknown transistor type.\n\nPlease select other type!");
    }
    // A range failure is reported before the type.
    EXPECT_EQ(Check(CircuitKind::CommonEmitter, {{InputField::SupplyVoltage, "0"}}, "nope").result,
              InputCheck::OutOfRange);
    const auto accepted = Check(CircuitKind::CommonEmitter, {}, "2N3904");
    ASSERT_TRUE(accepted.Accepted());
    EXPECT_EQ(accepted.inputs.TransistorIndex(), FindTransistor("2N3904"));
}

// Text that is no number was once read as 0 and designed without a word;
// what the parser reads as a number keeps its meaning.
TEST_F(InputChecks, TextThatIsNoNumberIsRefusedAsSuch)
{
    for (const char* gain : {"abc", "nan", "inf", "-", "m", " x12", "."}) {
        const auto outcome = Check(CircuitKind::CommonEmitter, {{InputField::Gain, gain}});
        EXPECT_EQ(outcome.result, InputCheck::NotANumber) << gain;
        EXPECT_EQ(outcome.failedField, InputField::Gain);
        EXPECT_EQ(outcome.message, "The given value of gain in dB\n\nis not a number");
    }
    // The first failing field in test order is reported, whatever its kind.
    EXPECT_EQ(
        Check(CircuitKind::CommonEmitter, {{InputField::Gain, "200"}, {InputField::LowerCutoff, "x"}}).result,
        InputCheck::OutOfRange);
    for (const char* gain : {" 12", "1m", "k05", "12dB", "12\t", "+3"}) {
        EXPECT_TRUE(Check(CircuitKind::CommonEmitter, {{InputField::Gain, gain}}).Accepted()) << gain;
    }
}

TEST_F(InputChecks, AcceptedValuesReachTheDesignInputs)
{
    const auto outcome = Check(CircuitKind::CommonEmitter,
                               {{InputField::Gain, "20"},
                                {InputField::InputImpedance, "4k7"},
                                {InputField::OutputImpedance, "1,5k"}},
                               "BC558B");
    ASSERT_TRUE(outcome.Accepted());
    const DesignInputs& ce = outcome.inputs;
    EXPECT_EQ(ce.Value(InputField::Gain), 20);
    EXPECT_EQ(ce.Value(InputField::InputImpedance), 4700);
    EXPECT_EQ(ce.Value(InputField::OutputImpedance), 1500);
    EXPECT_EQ(ce.TransistorIndex(), FindTransistor("BC558B"));

    const auto cc = Check(CircuitKind::CommonCollector, {{InputField::CollectorCurrent, "2mA"}});
    ASSERT_TRUE(cc.Accepted());
    EXPECT_EQ(cc.inputs.Value(InputField::CollectorCurrent), 0.002);

    const auto cb = Check(CircuitKind::CommonBase, {{InputField::LowerCutoff, "100k"}});
    ASSERT_TRUE(cb.Accepted());
    EXPECT_EQ(cb.inputs.Value(InputField::LowerCutoff), 1e5);
    // A field the circuit does not ask for stays out of its inputs.
    EXPECT_FALSE(cb.inputs.Has(InputField::Gain));
}

} // namespace
} // namespace norvane
