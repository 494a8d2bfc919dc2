#include "design/CommonCollectorDesign.h"

#include "design/StandardSeries.h"
#include "transistors/TransistorModel.h"
#include "transistors/TransistorTable.h"

#include <cmath>

namespace norvane {

CommonCollectorInputs::CommonCollectorInputs()
    : m_TransistorIndex(FindTransistor("BC548B"))
{
}

std::uint16_t CommonCollectorDesign::SchematicId() const
{
    return IsPnp() ? SchematicIds::CommonCollectorPnp : SchematicIds::CommonCollectorNpn;
}

void CommonCollectorDesign::Compute()
{
    const CommonCollectorInputs& in = m_Inputs;
    m_Problem.clear();

    CommonCollectorResults r;
    r.m_IsPnp = IsPnpTransistor(in.m_TransistorIndex);
    TransistorModel model;
    model.SelectTransistor(in.m_TransistorIndex);
    const double UB = in.m_SupplyVoltage;
    const int n = SeriesCounts.at(in.m_SeriesIndex);

    const double VBE0 = GetNominalBaseEmitterVoltage(in.m_TransistorIndex);
    const double UR3 = (UB - VBE0) * 0.5;
    double R3 = UR3 / in.m_CollectorCurrent;
    RoundToSeries(R3, n);
    const double IC = UR3 / R3;
    const double UCE = UB - UR3;

    model.SetOperatingPoint(IC, UCE);
    model.Recompute();
    const double IB = model.GetBaseCurrent();
    CheckModel(model, IB, IC, UCE);
    const double IE = IC + IB;
    const double re = model.GetThermalVoltage() / IE;

    double IR1 = 2.0 * IB;
    double IR2 = IR1 - IB;
    const double VBE = model.GetBaseEmitterVoltage();
    const double UR2 = VBE + UR3;
    double R2 = UR2 / IR2;
    RoundToSeries(R2, n);
    IR2 = UR2 / R2;
    IR1 = IR2 + IB;
    double R1 = (UB - UR2) / IR1;
    RoundToSeries(R1, n);

    const double beta = IC / IB;
    const double Zin = 1 / (1 / R1 + 1 / R2 + 1 / ((R3 + re) * beta));
    if (in.m_InputImpedance < Zin) {
        const double RP = 1 / (1 / in.m_InputImpedance - 1 / ((R3 + re) * beta));
        R1 = UB / (UR2 / RP + IB);
        RoundToSeries(R1, n);
        IR1 = (UB - UR2) / R1;
        IR2 = IR1 - IB;
        R2 = UR2 / IR2;
        RoundToSeries(R2, n);
    }

    const double pi = 4 * std::atan(1.0);
    const double fc = in.m_LowerCutoff * 0.6436;
    const double w = 2 * pi * fc;
    double C1 = (1 / w) * (1 / R1 + 1 / R2 + 1 / ((R3 + re) * beta));
    RoundToSeries(C1, 12);
    double C2 = (1 / w) * (1 / R3 + 1 / ((R1 * R2 / (R1 + R2)) * beta + re));
    RoundToSeries(C2, 12);

    r.m_R1 = R1;
    r.m_R2 = R2;
    r.m_R3 = R3;
    r.m_C1 = C1;
    r.m_C2 = C2;
    m_Results = r;
    m_Ic = IC;
    m_Uce = UB - IE * R3;
    m_P = m_Uce * m_Ic + VBE * IB;
    CheckValuesAreNumbers();
}

ResultList CommonCollectorDesign::GetInputData() const
{
    ResultList list;
    ResultItem item;
    item.SetQuantity("f_min", m_Inputs.m_LowerCutoff, "Hz");
    list.push_back(item);
    item.SetNumber("Z_in", m_Inputs.m_InputImpedance);
    list.push_back(item);
    item.SetQuantity("Ic", m_Inputs.m_CollectorCurrent, "A");
    list.push_back(item);
    list.push_back(SeriesItem(m_Inputs.m_SeriesIndex));
    return list;
}

ResultList CommonCollectorDesign::GetComponentValues() const
{
    return ComponentSection(m_Inputs.m_SupplyVoltage, m_Inputs.m_TransistorIndex);
}

std::vector<NamedValue> CommonCollectorDesign::ComponentNumbers() const
{
    const CommonCollectorResults& r = m_Results;
    return {{"R1", r.m_R1}, {"R2", r.m_R2}, {"R3", r.m_R3}, {"C1", r.m_C1}, {"C2", r.m_C2}};
}

} // namespace norvane
