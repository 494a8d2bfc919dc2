#pragma once

// The checks of the requirement dialogs, shared by the desktop program and
// norvane-cli: every numeric field is parsed with ParseEngineering and
// tested against a fixed range in a fixed order per circuit; the first
// failure is reported with its message; then the transistor type is looked
// up by its exact name.

#include "design/AmplifierDesign.h"

#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>

namespace norvane {

struct CommonBaseInputs;
struct CommonCollectorInputs;
struct CommonEmitterInputs;

enum class InputField {
    Gain,
    LowerCutoff,
    SupplyVoltage,
    InputImpedance,
    OutputImpedance,
    CollectorCurrent,
};

struct FieldRange {
    InputField field;
    const char* label;  // as the range message names it: "of supply voltage"
    double min;
    double max;
};

// The numeric fields of a circuit's dialog in the order in which they are
// tested (not always the order on screen).
std::span<const FieldRange> RangeCheckOrder(CircuitKind kind);

inline constexpr const char* InputErrorCaption = "Input Error";
inline constexpr const char* UnknownTransistorMessage =
    "Unknown transistor type.\n\nPlease select other type!";

// "The given value <label>\n\nis out of the allowed range [<min> .. <max>]".
std::string RangeMessage(const char* label, double min, double max);

// Parses text into value and tests min <= value <= max. A value that is not
// a number fails.
bool CheckRange(std::string_view text, double& value, double min, double max);

struct InputCheckOutcome {
    enum class Result { Accepted, OutOfRange, UnknownTransistor };
    Result result = Result::Accepted;
    InputField failedField = InputField::Gain;  // with OutOfRange
    std::string message;                        // empty when accepted
    std::map<InputField, double> values;        // all fields, when accepted
    int transistorIndex = -1;                   // when accepted

    bool Accepted() const { return result == Result::Accepted; }
};

// Runs the checks of a circuit's dialog over the texts of its fields, in
// the dialog's order, stopping at the first failure.
InputCheckOutcome CheckInputs(CircuitKind kind,
                              const std::function<std::string(InputField)>& fieldText,
                              const std::string& transistorText);

// Stores accepted values into the inputs of a design.
void ApplyInputs(const InputCheckOutcome& outcome, CommonEmitterInputs& inputs);
void ApplyInputs(const InputCheckOutcome& outcome, CommonBaseInputs& inputs);
void ApplyInputs(const InputCheckOutcome& outcome, CommonCollectorInputs& inputs);

} // namespace norvane
