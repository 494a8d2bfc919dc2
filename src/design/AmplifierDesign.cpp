#include "design/AmplifierDesign.h"

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "format/EngineeringFormat.h"
#include "format/Units.h"
#include "transistors/TransistorModel.h"
#include "transistors/TransistorTable.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace norvane {

std::unique_ptr<AmplifierDesign> MakeDesign(CircuitKind kind)
{
    switch (kind) {
    case CircuitKind::CommonEmitter: return std::make_unique<CommonEmitterDesign>();
    case CircuitKind::CommonBase: return std::make_unique<CommonBaseDesign>();
    case CircuitKind::CommonCollector:
    case CircuitKind::None: break;
    }
    return std::make_unique<CommonCollectorDesign>();
}

const char* CircuitTitle(CircuitKind kind)
{
    switch (kind) {
    case CircuitKind::CommonBase: return "Common-Base circuit";
    case CircuitKind::CommonEmitter: return "Common-Emitter circuit";
    case CircuitKind::CommonCollector: return "Common-Collector circuit";
    case CircuitKind::None: break;
    }
    return "";
}

CircuitKind CircuitKindOfSchematic(std::uint16_t schematicId)
{
    switch (schematicId) {
    case schematic_ids::CommonBaseNpn:
    case schematic_ids::CommonBasePnp: return CircuitKind::CommonBase;
    case schematic_ids::CommonCollectorNpn:
    case schematic_ids::CommonCollectorPnp: return CircuitKind::CommonCollector;
    case schematic_ids::CommonEmitterNpn:
    case schematic_ids::CommonEmitterPnp:
    case schematic_ids::CommonEmitterNpnWithoutBypass:
    case schematic_ids::CommonEmitterPnpWithoutBypass: return CircuitKind::CommonEmitter;
    default: return CircuitKind::None;
    }
}

void AmplifierDesign::Compute(const DesignInputs& inputs)
{
    if (inputs.Kind() != Kind()) {
        throw std::invalid_argument("inputs of another circuit");
    }
    m_Inputs = inputs;
    m_ModelFault = ModelFault::None;
    m_ModelName.clear();
    m_Problem.clear();
    m_Notes.clear();
    m_Applied.clear();
    m_ChangeNotes.clear();
    DoCompute();
    WriteProblem();
    WriteNotes();
}

void AmplifierDesign::ApplyPartValues(const std::vector<NamedValue>& values)
{
    for (const auto& [part, value] : values) {
        const std::vector<NamedValue> before = ComponentNumbers();
        // Only the parts the design lists: a common emitter without R5 has
        // no C3 to set.
        const auto designed = std::ranges::find(before, part, &NamedValue::first);
        double* slot = designed == before.end() ? nullptr : PartSlot(part);
        if (slot == nullptr) {
            continue;
        }
        *slot = value;
        m_Applied.emplace_back(part, value);
        m_ChangeNotes.push_back(part + " changed to " + PartValueText(part, value) + " (designed " +
                                PartValueText(part, designed->second) + ")");
        m_Notes.push_back(m_ChangeNotes.back());
    }
}

ResultList AmplifierDesign::GetInputData() const
{
    ResultList list;
    ResultItem item;
    for (const InputField field : CircuitInfoOf(Kind()).resultOrder) {
        const FieldInfo& info = FieldInfoOf(field);
        if (*info.unit) {
            item.SetQuantity(info.resultName, m_Inputs.Value(field), info.unit);
        } else {
            item.SetNumber(info.resultName, m_Inputs.Value(field));
        }
        list.push_back(item);
    }
    item.SetText("Standard series", SeriesLabel(SeriesCounts.at(m_Inputs.SeriesIndex())));
    list.push_back(item);
    return list;
}

ResultList AmplifierDesign::GetComponentValues() const
{
    ResultList list;
    ResultItem item;
    item.SetQuantity("UB", m_Inputs.Value(InputField::SupplyVoltage), "V");
    list.push_back(item);
    item.SetText("T1", GetTransistorRecord(m_Inputs.TransistorIndex()).name);
    list.push_back(item);
    for (const auto& [name, value] : ComponentNumbers()) {
        list.push_back(PartItem(name, value));
    }
    return list;
}

ResultItem PartItem(const std::string& name, double value)
{
    ResultItem item;
    if (name[0] == 'C') {
        item.SetQuantity(name, value, "F");
    } else {
        item.SetNumber(name, value);
    }
    return item;
}

std::string PartValueText(const std::string& name, double value)
{
    return name[0] == 'C' ? PartItem(name, value).value : Ohms(value);
}

ResultList AmplifierDesign::GetOperationPoint() const
{
    ResultList list;
    ResultItem item;
    item.SetQuantity("Ic", m_Ic, "A");
    list.push_back(item);
    item.SetQuantity("Uce", m_Uce, "V");
    list.push_back(item);
    item.SetQuantity("P", m_P, "W");
    list.push_back(item);
    return list;
}

std::string AmplifierDesign::ProblemNote() const
{
    return IsUsable() ? std::string() : "This design is not usable: " + m_Problem;
}

std::vector<std::string> DesignNotes(const AmplifierDesign& design)
{
    if (!design.IsUsable()) {
        return {design.ProblemNote()};
    }
    return design.Notes();
}

namespace {

// What can be bought: resistors from 1 ohm to 100 Mohm, capacitors up to
// 1 F.
constexpr double SmallestResistor = 1.0;  // ohm
constexpr double LargestResistor = 100e6; // ohm
constexpr double LargestCapacitor = 1.0;  // F

} // namespace

AmplifierDesign::BiasPoint AmplifierDesign::SolveBias(double ic, double uce)
{
    TransistorModel model;
    model.SelectTransistor(m_Inputs.TransistorIndex());
    model.SetOperatingPoint(ic, uce);
    BiasPoint bias{};
    bias.m_BaseCurrent = model.GetBaseCurrent();
    CheckModel(model, bias.m_BaseCurrent);
    bias.m_EmitterCurrent = ic + bias.m_BaseCurrent;
    bias.m_Re = model.GetThermalVoltage() / bias.m_EmitterCurrent;
    bias.m_BaseEmitter = model.GetBaseEmitterVoltage();
    bias.m_CurrentGain = ic / bias.m_BaseCurrent;
    return bias;
}

void AmplifierDesign::SetOperationPoint(double ic, double uce, const BiasPoint& bias)
{
    m_Ic = ic;
    m_Uce = uce;
    m_P = uce * ic + bias.m_BaseEmitter * bias.m_BaseCurrent;
}

// Records what the model said of its operating point, for the problem note
// that Compute() writes with the operation point it shows.
void AmplifierDesign::CheckModel(const TransistorModel& model, double baseCurrent)
{
    if (m_ModelFault != ModelFault::None) {
        return;
    }
    m_ModelName = model.GetRecord().name;
    switch (model.GetStatus()) {
    case ModelStatus::OutsideLimits:
        m_ModelFault = model.GetCollectorEmitterVoltage() >= TransistorModel::LowestVoltage
                           ? ModelFault::IcTooLow
                           : ModelFault::UceTooLow;
        return;
    case ModelStatus::NotConverged: m_ModelFault = ModelFault::NotConverged; return;
    case ModelStatus::NoNumber: m_ModelFault = ModelFault::NoNumber; return;
    case ModelStatus::Solved: break;
    }
    if (!(baseCurrent > 0)) {
        m_ModelFault = ModelFault::Leakage;
    }
}

// The problem speaks of the operation point as the result shows it, which
// the rounding of the resistors may have moved a little from the point the
// model was asked about.
void AmplifierDesign::WriteProblem()
{
    const std::string ic = Quantity(m_Ic, "A");
    const std::string uce = Quantity(m_Uce, "V");
    switch (m_ModelFault) {
    case ModelFault::UceTooLow:
        m_Problem = m_Uce < TransistorModel::LowestVoltage
                        ? "Uce of " + uce + " is below the 1 V the transistor model needs"
                        : "Uce of " + uce + " comes too close to the 1 V the transistor model needs";
        return;
    case ModelFault::IcTooLow:
        m_Problem = "Ic of " + ic + " is below the 1 pA the transistor model needs";
        return;
    case ModelFault::NotConverged:
        m_Problem = m_ModelName + " needs more than 1.5 V at its junction to carry Ic = " + ic;
        return;
    case ModelFault::NoNumber:
        m_Problem =
            "the model of " + m_ModelName + " has no sensible solution at Ic = " + ic + ", Uce = " + uce;
        return;
    case ModelFault::Leakage:
        m_Problem = "the leakage of " + m_ModelName + " exceeds its base current at Ic = " + ic;
        return;
    case ModelFault::None: break;
    }
    bool finite = std::isfinite(m_Ic) && std::isfinite(m_Uce) && std::isfinite(m_P);
    for (const auto& [name, value] : ComponentNumbers()) {
        finite = finite && std::isfinite(value);
    }
    if (!finite) {
        m_Problem = "the component values are out of range";
    }
}

void AmplifierDesign::WriteNotes()
{
    if (!IsUsable()) {
        return;
    }
    AddCircuitNotes(m_Notes);
    for (const auto& [name, value] : ComponentNumbers()) {
        const std::string shown = PartItem(name, value).value;
        if (name[0] == 'C') {
            if (!(value > 0)) {
                m_Notes.push_back(name + " of " + shown + ": the circuit needs a capacitor here");
            } else if (value > LargestCapacitor) {
                m_Notes.push_back(name + " of " + shown + " is above 1 F: no such capacitor can be bought");
            }
        } else if (value == 0 && MayBeZero(name)) {
            continue;
        } else if (value < SmallestResistor) {
            m_Notes.push_back(name + " of " + shown + " is below 1 ohm: no such resistor can be bought");
        } else if (value > LargestResistor) {
            m_Notes.push_back(name + " of " + shown + " is above 100 Mohm: no such resistor can be bought");
        }
    }
}

} // namespace norvane
