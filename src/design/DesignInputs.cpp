#include "design/DesignInputs.h"

#include "transistors/TransistorTable.h"

#include <algorithm>
#include <stdexcept>

namespace norvane {

namespace {

constexpr std::array<FieldInfo, InputFieldCount> Fields{{
    {InputField::Gain, "of gain in dB", "Voltage gain in dB :", -100, 100, "--gain", "gain_db",
     "Voltage gain in dB", "Voltage gain", "dB"},
    {InputField::LowerCutoff, "of lower cut-off frequency", "Lower cut-off frequency in Hz :", 1e-10, 1e10,
     "--fmin", "fmin", "Lower cut-off frequency in Hz", "f_min", "Hz"},
    {InputField::SupplyVoltage, "of supply voltage", "Supply voltage in V :", 0.8, 100, "--supply", "supply",
     "Supply voltage in V", nullptr, "V"},
    {InputField::InputImpedance, "of input impedance", "Input impedance in Ohms :", 0.1, 1e10, "--zin", "zin",
     "Input impedance in ohms", "Z_in", ""},
    {InputField::OutputImpedance, "of output impedance", "Output impedance in Ohms :", 0.1, 1e10, "--zout",
     "zout", "Output impedance in ohms", "Z_out", ""},
    {InputField::CollectorCurrent, "of collector current", "Collector current in A :", 1e-8, 1000, "--ic",
     "ic", "Collector current in A", "Ic", "A"},
}};

using enum InputField;

constexpr CircuitField CommonEmitterFields[]{
    {Gain, 0.0, 8},
    {LowerCutoff, 10.0, 30},
    {SupplyVoltage, 12.0, 52},
    {InputImpedance, 50e3, 74},
    {OutputImpedance, 2e3, 96},
};
constexpr InputField CommonEmitterTests[]{Gain, LowerCutoff, SupplyVoltage, InputImpedance, OutputImpedance};
constexpr InputField CommonEmitterResults[]{Gain, LowerCutoff, InputImpedance, OutputImpedance};

constexpr CircuitField CommonBaseFields[]{
    {SupplyVoltage, 12.0, 8},
    {LowerCutoff, 100e3, 36},
    {OutputImpedance, 2e3, 64},
};
constexpr InputField CommonBaseTests[]{LowerCutoff, SupplyVoltage, OutputImpedance};
constexpr InputField CommonBaseResults[]{LowerCutoff, OutputImpedance};

constexpr CircuitField CommonCollectorFields[]{
    {SupplyVoltage, 12.0, 8},
    {LowerCutoff, 10.0, 31},
    {InputImpedance, 50e3, 54},
    {CollectorCurrent, 2e-3, 77},
};
constexpr InputField CommonCollectorTests[]{LowerCutoff, SupplyVoltage, CollectorCurrent, InputImpedance};
constexpr InputField CommonCollectorResults[]{LowerCutoff, InputImpedance, CollectorCurrent};

constexpr std::array<CircuitInfo, 3> Circuits{{
    {CircuitKind::CommonEmitter, "common-emitter", "ce", "Design a common-emitter amplifier",
     CommonEmitterFields, CommonEmitterTests, CommonEmitterResults},
    {CircuitKind::CommonBase, "common-base", "cb", "Design a common-base amplifier", CommonBaseFields,
     CommonBaseTests, CommonBaseResults},
    {CircuitKind::CommonCollector, "common-collector", "cc",
     "Design a common-collector amplifier (emitter follower)", CommonCollectorFields, CommonCollectorTests,
     CommonCollectorResults},
}};

std::size_t Slot(InputField field)
{
    return static_cast<std::size_t>(field);
}

} // namespace

const FieldInfo& FieldInfoOf(InputField field)
{
    return Fields.at(Slot(field));
}

std::span<const CircuitInfo> AllCircuits()
{
    return Circuits;
}

const CircuitInfo& CircuitInfoOf(CircuitKind kind)
{
    const auto found = std::ranges::find(Circuits, kind, &CircuitInfo::kind);
    if (found == Circuits.end()) {
        throw std::invalid_argument("no circuit of that kind");
    }
    return *found;
}

DesignInputs::DesignInputs(CircuitKind kind)
    : m_Kind(kind), m_TransistorIndex(FindTransistor(DefaultTransistorName))
{
    for (const CircuitField& field : CircuitInfoOf(kind).dialogOrder) {
        m_Values[Slot(field.field)] = field.defaultValue;
    }
}

bool DesignInputs::Has(InputField field) const
{
    return std::ranges::find(CircuitInfoOf(m_Kind).dialogOrder, field, &CircuitField::field) !=
           CircuitInfoOf(m_Kind).dialogOrder.end();
}

double DesignInputs::Value(InputField field) const
{
    return Has(field) ? m_Values[Slot(field)] : 0.0;
}

void DesignInputs::SetValue(InputField field, double value)
{
    if (Has(field)) {
        m_Values[Slot(field)] = value;
    }
}

} // namespace norvane
