#pragma once

// The requirements of a design, described once for the whole program.
//
// Every requirement field (gain, lower cut-off frequency, ...) is written
// here once: its range and the message label of the range check, its label
// in the input dialog, its command-line option and JSON key, and how the
// result's "Input data" section shows it. Each circuit then says which
// fields it asks for, in which order the dialog shows them, in which order
// they are tested, and its defaults. The dialogs, norvane-cli, the report
// reader and the tests all read this description; none of them lists the
// fields of a circuit again.
//
// DesignInputs is the value that travels: a dialog edits a copy and hands
// it over on OK, a design keeps the inputs of its last calculation.

#include "design/CircuitKind.h"

#include <array>
#include <cstddef>
#include <span>

namespace norvane {

enum class InputField {
    Gain,
    LowerCutoff,
    SupplyVoltage,
    InputImpedance,
    OutputImpedance,
    CollectorCurrent,
};
inline constexpr std::size_t InputFieldCount = 6;

// What a requirement field is, the same in every circuit that asks for it.
// The descriptions below keep plain field names for now: the command line
// builds its options from them field by field and renames them together
// with its own option structs.
// NOLINTBEGIN(readability-identifier-naming)
struct FieldInfo {
    InputField field;
    const char* rangeLabel;  // as the range message names it: "of supply voltage"
    const char* dialogLabel; // "Supply voltage in V :"
    double min;              // the range, both ends allowed, in SI units (dB for the gain)
    double max;
    const char* option;  // "--supply"
    const char* jsonKey; // in the JSON "inputs" object
    const char* help;    // the option's help text
    // The line of the "Input data" section ("Voltage gain", "f_min", ...)
    // and the unit joined to its number ("" for a plain number); null for
    // a field that shows elsewhere (the supply voltage is "UB" among the
    // component values).
    const char* resultName;
    const char* unit;
};
// NOLINTEND(readability-identifier-naming)

const FieldInfo& FieldInfoOf(InputField field);

// A field of one circuit: its default and where its edit field stands in
// the dialog (top, in dialog units).
// Plain field names, as FieldInfo's.
// NOLINTBEGIN(readability-identifier-naming)
struct CircuitField {
    InputField field;
    double defaultValue;
    int dialogTop;
};
// NOLINTEND(readability-identifier-naming)

// Plain field names, as FieldInfo's.
// NOLINTBEGIN(readability-identifier-naming)
struct CircuitInfo {
    CircuitKind kind;
    const char* command;                       // "common-emitter"
    const char* alias;                         // "ce"
    const char* description;                   // the command's help
    std::span<const CircuitField> dialogOrder; // top to bottom
    std::span<const InputField> testOrder;     // the order of the range checks
    std::span<const InputField> resultOrder;   // the lines of "Input data"
};
// NOLINTEND(readability-identifier-naming)

// The three circuits, in the order of the "New Amplifier" menu's commands
// on the command line: common-emitter, common-base, common-collector.
std::span<const CircuitInfo> AllCircuits();
// kind must not be None.
const CircuitInfo& CircuitInfoOf(CircuitKind kind);

// The series index of the default series (E24) and the default type.
inline constexpr int DefaultSeriesIndex = 1;
inline constexpr const char* DefaultTransistorName = "BC548B";

class DesignInputs {
public:
    // The defaults of the circuit (kind must not be None): the dialog's
    // first values, BC548B and E24.
    explicit DesignInputs(CircuitKind kind);

    CircuitKind Kind() const { return m_Kind; }
    // True when the circuit asks for the field.
    bool Has(InputField field) const;
    // A field the circuit does not ask for reads 0 and ignores writes.
    double Value(InputField field) const;
    void SetValue(InputField field, double value);

    // Index into the transistor table.
    int TransistorIndex() const { return m_TransistorIndex; }
    void SetTransistorIndex(int index) { m_TransistorIndex = index; }
    // 0 E12, 1 E24, 2 E48, 3 E96.
    int SeriesIndex() const { return m_SeriesIndex; }
    void SetSeriesIndex(int index) { m_SeriesIndex = index; }

    bool operator==(const DesignInputs&) const = default;

private:
    CircuitKind m_Kind;
    std::array<double, InputFieldCount> m_Values{};
    int m_TransistorIndex;
    int m_SeriesIndex = DefaultSeriesIndex;
};

} // namespace norvane
