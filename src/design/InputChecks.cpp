#include "design/InputChecks.h"

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "format/EngineeringFormat.h"
#include "transistors/TransistorTable.h"

#include <array>
#include <cmath>

namespace norvane {

namespace {

constexpr FieldRange Gain{InputField::Gain, "of gain in dB", -100, 100};
constexpr FieldRange LowerCutoff{InputField::LowerCutoff, "of lower cut-off frequency", 1e-10, 1e10};
constexpr FieldRange Supply{InputField::SupplyVoltage, "of supply voltage", 0.8, 100};
constexpr FieldRange InputImpedance{InputField::InputImpedance, "of input impedance", 0.1, 1e10};
constexpr FieldRange OutputImpedance{InputField::OutputImpedance, "of output impedance", 0.1, 1e10};
constexpr FieldRange CollectorCurrent{InputField::CollectorCurrent, "of collector current", 1e-8, 1000};

constexpr std::array<FieldRange, 5> CommonEmitterOrder{Gain, LowerCutoff, Supply, InputImpedance,
                                                       OutputImpedance};
constexpr std::array<FieldRange, 3> CommonBaseOrder{LowerCutoff, Supply, OutputImpedance};
constexpr std::array<FieldRange, 4> CommonCollectorOrder{LowerCutoff, Supply, CollectorCurrent,
                                                         InputImpedance};

} // namespace

std::span<const FieldRange> RangeCheckOrder(CircuitKind kind)
{
    switch (kind) {
    case CircuitKind::CommonEmitter: return CommonEmitterOrder;
    case CircuitKind::CommonBase: return CommonBaseOrder;
    case CircuitKind::CommonCollector: return CommonCollectorOrder;
    case CircuitKind::None: break;
    }
    return {};
}

std::string RangeMessage(const char* label, double min, double max)
{
    return std::string("The given value ") + label + "\n\nis out of the allowed range ["
           + FormatEngineering(min) + " .. " + FormatEngineering(max) + "]";
}

bool CheckRange(std::string_view text, double& value, double min, double max)
{
    value = ParseEngineering(text);
    return !std::isnan(value) && !(min > value || value > max);
}

InputCheckOutcome CheckInputs(CircuitKind kind,
                              const std::function<std::string(InputField)>& fieldText,
                              const std::string& transistorText)
{
    InputCheckOutcome outcome;
    for (const FieldRange& range : RangeCheckOrder(kind)) {
        double value = 0;
        if (!CheckRange(fieldText(range.field), value, range.min, range.max)) {
            outcome.result = InputCheckOutcome::Result::OutOfRange;
            outcome.failedField = range.field;
            outcome.message = RangeMessage(range.label, range.min, range.max);
            outcome.values.clear();
            return outcome;
        }
        outcome.values[range.field] = value;
    }
    const int index = FindTransistor(std::string_view(transistorText));
    if (index < 0) {
        outcome.result = InputCheckOutcome::Result::UnknownTransistor;
        outcome.message = UnknownTransistorMessage;
        outcome.values.clear();
        return outcome;
    }
    outcome.transistorIndex = index;
    return outcome;
}

void ApplyInputs(const InputCheckOutcome& outcome, CommonEmitterInputs& inputs)
{
    inputs.m_GainDb = outcome.values.at(InputField::Gain);
    inputs.m_LowerCutoff = outcome.values.at(InputField::LowerCutoff);
    inputs.m_SupplyVoltage = outcome.values.at(InputField::SupplyVoltage);
    inputs.m_InputImpedance = outcome.values.at(InputField::InputImpedance);
    inputs.m_OutputImpedance = outcome.values.at(InputField::OutputImpedance);
    inputs.m_TransistorIndex = outcome.transistorIndex;
}

void ApplyInputs(const InputCheckOutcome& outcome, CommonBaseInputs& inputs)
{
    inputs.m_LowerCutoff = outcome.values.at(InputField::LowerCutoff);
    inputs.m_SupplyVoltage = outcome.values.at(InputField::SupplyVoltage);
    inputs.m_OutputImpedance = outcome.values.at(InputField::OutputImpedance);
    inputs.m_TransistorIndex = outcome.transistorIndex;
}

void ApplyInputs(const InputCheckOutcome& outcome, CommonCollectorInputs& inputs)
{
    inputs.m_LowerCutoff = outcome.values.at(InputField::LowerCutoff);
    inputs.m_SupplyVoltage = outcome.values.at(InputField::SupplyVoltage);
    inputs.m_InputImpedance = outcome.values.at(InputField::InputImpedance);
    inputs.m_CollectorCurrent = outcome.values.at(InputField::CollectorCurrent);
    inputs.m_TransistorIndex = outcome.transistorIndex;
}

} // namespace norvane
