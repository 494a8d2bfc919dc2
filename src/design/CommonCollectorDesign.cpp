#include "design/CommonCollectorDesign.h"

#include "design/StandardSeries.h"
#include "transistors/TransistorModel.h"
#include "transistors/TransistorTable.h"

#include <algorithm>
#include <cmath>

namespace norvane {

namespace {

constexpr std::pair<const char*, double CommonCollectorResults::*> Parts[]{
    {"R1", &CommonCollectorResults::m_R1}, {"R2", &CommonCollectorResults::m_R2},
    {"R3", &CommonCollectorResults::m_R3}, {"C1", &CommonCollectorResults::m_C1},
    {"C2", &CommonCollectorResults::m_C2},
};

} // namespace

std::uint16_t CommonCollectorDesign::SchematicId() const
{
    return IsPnp() ? schematic_ids::CommonCollectorPnp : schematic_ids::CommonCollectorNpn;
}

void CommonCollectorDesign::DoCompute()
{
    const DesignInputs& in = Inputs();

    CommonCollectorResults r;
    r.m_IsPnp = IsPnpTransistor(in.TransistorIndex());
    TransistorModel model;
    model.SelectTransistor(in.TransistorIndex());
    const double UB = in.Value(InputField::SupplyVoltage);
    const int n = SeriesCounts.at(in.SeriesIndex());

    const double VBE0 = GetNominalBaseEmitterVoltage(in.TransistorIndex());
    const double UR3 = (UB - VBE0) * 0.5;
    double R3 = UR3 / in.Value(InputField::CollectorCurrent);
    RoundToSeries(R3, n);
    const double IC = UR3 / R3;
    const double UCE = UB - UR3;

    model.SetOperatingPoint(IC, UCE);
    model.Recompute();
    const double IB = model.GetBaseCurrent();
    CheckModel(model, IB);
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
    if (in.Value(InputField::InputImpedance) < Zin) {
        const double RP = 1 / (1 / in.Value(InputField::InputImpedance) - 1 / ((R3 + re) * beta));
        R1 = UB / (UR2 / RP + IB);
        RoundToSeries(R1, n);
        IR1 = (UB - UR2) / R1;
        IR2 = IR1 - IB;
        R2 = UR2 / IR2;
        RoundToSeries(R2, n);
    }

    const double pi = 4 * std::atan(1.0);
    const double fc = in.Value(InputField::LowerCutoff) * 0.6436;
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
}

std::vector<NamedValue> CommonCollectorDesign::ComponentNumbers() const
{
    return ListParts<CommonCollectorResults>(Parts, m_Results);
}

double* CommonCollectorDesign::PartSlot(std::string_view part)
{
    return FindPart<CommonCollectorResults>(Parts, m_Results, part);
}

} // namespace norvane
