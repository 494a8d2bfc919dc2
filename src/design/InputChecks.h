#pragma once

// The checks of the requirement dialogs, shared by the desktop program and
// norvane-cli: every numeric field of the circuit (DesignInputs.h) is read
// with ParseEngineering and tested against its range, in the circuit's test
// order; the first failure is reported with its message; then the
// transistor type is looked up by its exact name.

#include "design/DesignInputs.h"

#include <functional>
#include <string>
#include <string_view>

namespace norvane {

inline constexpr const char* InputErrorCaption = "Input Error";
inline constexpr const char* UnknownTransistorMessage =
    "Unknown transistor type.\n\nPlease select other type!";

// "The given value <label>\n\nis out of the allowed range [<min> .. <max>]".
std::string RangeMessage(const char* label, double min, double max);
// "The given value <label>\n\nis not a number".
std::string NotANumberMessage(const char* label);

enum class InputCheck { Accepted, NotANumber, OutOfRange, UnknownTransistor };

// Plain field names for now: the command line reads the outcome field by
// field, and takes the m_ names together with its own option structs.
// NOLINTBEGIN(readability-identifier-naming)
struct InputCheckOutcome {
    InputCheck result = InputCheck::Accepted;
    InputField failedField = InputField::Gain; // with NotANumber and OutOfRange
    std::string message{};                     // empty when accepted
    // The checked requirements (when accepted): the fields read from the
    // texts, the type found; the series as the caller gave it.
    DesignInputs inputs;

    bool Accepted() const { return result == InputCheck::Accepted; }
};
// NOLINTEND(readability-identifier-naming)

// One field's text checked against the field's range.
struct FieldCheck {
    InputCheck m_Result = InputCheck::Accepted;
    double m_Value = 0.0;    // what was read (0 for a blank text)
    std::string m_Message{}; // empty when accepted
};
[[nodiscard]] FieldCheck CheckField(InputField field, std::string_view text);

// Runs the checks of a circuit's dialog over the texts of its fields, in
// the circuit's test order, stopping at the first failure. base gives the
// circuit and the series, which the checks keep as they are.
[[nodiscard]] InputCheckOutcome CheckInputs(const DesignInputs& base,
                                            const std::function<std::string(InputField)>& fieldText,
                                            const std::string& transistorText);

} // namespace norvane
