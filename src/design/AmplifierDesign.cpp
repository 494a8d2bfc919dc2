#include "design/AmplifierDesign.h"

#include "format/EngineeringFormat.h"
#include "transistors/TransistorModel.h"
#include "transistors/TransistorTable.h"

#include <cmath>

namespace norvane {

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
    case SchematicIds::CommonBaseNpn:
    case SchematicIds::CommonBasePnp:
        return CircuitKind::CommonBase;
    case SchematicIds::CommonCollectorNpn:
    case SchematicIds::CommonCollectorPnp:
        return CircuitKind::CommonCollector;
    case SchematicIds::CommonEmitterNpn:
    case SchematicIds::CommonEmitterPnp:
    case SchematicIds::CommonEmitterNpnWithoutBypass:
    case SchematicIds::CommonEmitterPnpWithoutBypass:
        return CircuitKind::CommonEmitter;
    default:
        return CircuitKind::None;
    }
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
    if (!IsUsable()) {
        item.SetText(DesignProblemItemName, "not usable: " + m_Problem);
        list.push_back(item);
    }
    return list;
}

ResultItem AmplifierDesign::SeriesItem(int seriesIndex)
{
    ResultItem item;
    item.SetText("Standard series", SeriesLabel(SeriesCounts.at(seriesIndex)));
    return item;
}

ResultList AmplifierDesign::ComponentSection(double supplyVoltage, int transistorIndex) const
{
    ResultList list;
    ResultItem item;
    item.SetQuantity("UB", supplyVoltage, "V");
    list.push_back(item);
    item.SetText("T1", GetTransistorRecord(transistorIndex).name);
    list.push_back(item);
    for (const auto& [name, value] : ComponentNumbers()) {
        if (name[0] == 'C') {
            item.SetQuantity(name, value, "F");
        } else {
            item.SetNumber(name, value);
        }
        list.push_back(item);
    }
    return list;
}

namespace {

std::string Quantity(double value, const char* unit)
{
    ResultItem item;
    item.SetQuantity("", value, unit);
    return item.value;
}

} // namespace

void AmplifierDesign::CheckModel(const TransistorModel& model, double baseCurrent, double ic,
                                 double uce)
{
    if (!m_Problem.empty()) {
        return;
    }
    switch (model.GetStatus()) {
    case ModelStatus::OutsideLimits:
        if (!(uce >= TransistorModel::LowestVoltage)) {
            m_Problem = "Uce of " + Quantity(uce, "V") + " is below the 1 V the transistor model needs";
        } else {
            m_Problem = "Ic of " + Quantity(ic, "A") + " is below the 1 pA the transistor model needs";
        }
        return;
    case ModelStatus::NotConverged:
        m_Problem = std::string(model.GetRecord().name)
                    + " needs more than 1.5 V at its junction to carry Ic = " + Quantity(ic, "A");
        return;
    case ModelStatus::NoNumber:
        m_Problem = std::string("the model of ") + model.GetRecord().name
                    + " has no sensible solution at Ic = " + Quantity(ic, "A")
                    + ", Uce = " + Quantity(uce, "V");
        return;
    case ModelStatus::Solved:
        break;
    }
    if (!(baseCurrent > 0)) {
        m_Problem = std::string("the leakage of ") + model.GetRecord().name
                    + " exceeds its base current at Ic = " + Quantity(ic, "A");
    }
}

void AmplifierDesign::CheckValuesAreNumbers()
{
    if (!m_Problem.empty()) {
        return;
    }
    bool finite = std::isfinite(m_Ic) && std::isfinite(m_Uce) && std::isfinite(m_P);
    for (const auto& [name, value] : ComponentNumbers()) {
        finite = finite && std::isfinite(value);
    }
    if (!finite) {
        m_Problem = "the component values are out of range";
    }
}

} // namespace norvane
