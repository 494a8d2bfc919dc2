#include "design/InputChecks.h"

#include "format/EngineeringFormat.h"
#include "transistors/TransistorTable.h"

#include <cmath>
#include <optional>

namespace norvane {

std::string RangeMessage(const char* label, double min, double max)
{
    return std::string("The given value ") + label + "\n\nis out of the allowed range ["
           + FormatEngineering(min) + " .. " + FormatEngineering(max) + "]";
}

std::string NotANumberMessage(const char* label)
{
    return std::string("The given value ") + label + "\n\nis not a number";
}

InputCheck CheckField(InputField field, std::string_view text, double& value, std::string& message)
{
    const FieldInfo& info = FieldInfoOf(field);
    const std::optional<double> read = ReadEngineering(text);
    if (!read) {
        value = 0;
        message = NotANumberMessage(info.rangeLabel);
        return InputCheck::NotANumber;
    }
    value = *read;
    if (std::isnan(value) || info.min > value || value > info.max) {
        message = RangeMessage(info.rangeLabel, info.min, info.max);
        return InputCheck::OutOfRange;
    }
    message.clear();
    return InputCheck::Accepted;
}

InputCheckOutcome CheckInputs(const DesignInputs& base,
                              const std::function<std::string(InputField)>& fieldText,
                              const std::string& transistorText)
{
    InputCheckOutcome outcome{.message = {}, .inputs = base};
    for (const InputField field : CircuitInfoOf(base.Kind()).testOrder) {
        double value = 0;
        outcome.result = CheckField(field, fieldText(field), value, outcome.message);
        if (!outcome.Accepted()) {
            outcome.failedField = field;
            outcome.inputs = base;
            return outcome;
        }
        outcome.inputs.SetValue(field, value);
    }
    const int index = FindTransistor(std::string_view(transistorText));
    if (index < 0) {
        outcome.result = InputCheck::UnknownTransistor;
        outcome.message = UnknownTransistorMessage;
        outcome.inputs = base;
        return outcome;
    }
    outcome.inputs.SetTransistorIndex(index);
    return outcome;
}

} // namespace norvane
