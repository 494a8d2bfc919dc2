#include "design/InputChecks.h"

#include "format/EngineeringFormat.h"
#include "transistors/TransistorTable.h"

#include <cmath>
#include <optional>

namespace norvane {

std::string RangeMessage(const char* label, double min, double max)
{
    return std::string("The given value ") + label + "\n\nis out of the allowed range [" +
           FormatEngineering(min) + " .. " + FormatEngineering(max) + "]";
}

std::string NotANumberMessage(const char* label)
{
    return std::string("The given value ") + label + "\n\nis not a number";
}

FieldCheck CheckField(InputField field, std::string_view text)
{
    const FieldInfo& info = FieldInfoOf(field);
    const std::optional<double> read = ReadEngineering(text);
    if (!read) {
        return {InputCheck::NotANumber, 0.0, NotANumberMessage(info.rangeLabel)};
    }
    if (std::isnan(*read) || info.min > *read || *read > info.max) {
        return {InputCheck::OutOfRange, *read, RangeMessage(info.rangeLabel, info.min, info.max)};
    }
    return {InputCheck::Accepted, *read};
}

InputCheckOutcome CheckInputs(const DesignInputs& base,
                              const std::function<std::string(InputField)>& fieldText,
                              const std::string& transistorText)
{
    InputCheckOutcome outcome{.message = {}, .inputs = base};
    for (const InputField field : CircuitInfoOf(base.Kind()).testOrder) {
        FieldCheck check = CheckField(field, fieldText(field));
        if (check.m_Result != InputCheck::Accepted) {
            outcome.result = check.m_Result;
            outcome.failedField = field;
            outcome.message = std::move(check.m_Message);
            outcome.inputs = base;
            return outcome;
        }
        outcome.inputs.SetValue(field, check.m_Value);
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
