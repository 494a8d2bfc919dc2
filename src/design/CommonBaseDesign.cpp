#include "design/CommonBaseDesign.h"

#include "design/StandardSeries.h"
#include "transistors/TransistorModel.h"
#include "transistors/TransistorTable.h"

#include <algorithm>
#include <cmath>

namespace norvane {

namespace {

constexpr std::pair<const char*, double CommonBaseResults::*> Parts[]{
    {"R1", &CommonBaseResults::m_R1}, {"R2", &CommonBaseResults::m_R2}, {"R3", &CommonBaseResults::m_R3},
    {"R4", &CommonBaseResults::m_R4}, {"C1", &CommonBaseResults::m_C1}, {"C2", &CommonBaseResults::m_C2},
    {"C3", &CommonBaseResults::m_C3},
};

} // namespace

std::uint16_t CommonBaseDesign::SchematicId() const
{
    return IsPnp() ? schematic_ids::CommonBasePnp : schematic_ids::CommonBaseNpn;
}

void CommonBaseDesign::DoCompute()
{
    const DesignInputs& in = Inputs();

    CommonBaseResults r;
    r.m_IsPnp = IsPnpTransistor(in.TransistorIndex());
    TransistorModel model;
    model.SelectTransistor(in.TransistorIndex());
    const double UB = in.Value(InputField::SupplyVoltage);
    const int n = SeriesCounts.at(in.SeriesIndex());

    double R2 = in.Value(InputField::OutputImpedance);
    RoundToSeries(R2, n);
    double UR1 = 0.1 * UB;
    if (UR1 > 1.0) {
        UR1 = 1.0;
    }
    const double VBE0 = GetNominalBaseEmitterVoltage(in.TransistorIndex());
    const double UR2 = (UB - VBE0 - UR1) * 0.5;
    const double IC = UR2 / R2;
    double R1 = UR1 / IC;
    RoundToSeries(R1, n);
    UR1 = R1 * IC;
    const double UCE = UB - (R1 + R2) * IC;

    model.SetOperatingPoint(IC, UCE);
    model.Recompute();
    const double IB = model.GetBaseCurrent();
    CheckModel(model, IB);
    const double IE = IC + IB;
    const double re = model.GetThermalVoltage() / IE;
    R1 = UR1 / IE;
    RoundToSeries(R1, n);

    double IR3 = 2.0 * IB;
    double IR4 = IR3 - IB;
    const double VBE = model.GetBaseEmitterVoltage();
    const double UR4 = VBE + UR1;
    double R4 = UR4 / IR4;
    RoundToSeries(R4, n);
    IR4 = UR4 / R4;
    IR3 = IR4 + IB;
    double R3 = (UB - UR4) / IR3;
    RoundToSeries(R3, n);
    const double beta = IC / IB;

    const double pi = 4 * std::atan(1.0);
    const double fc = in.Value(InputField::LowerCutoff) * 0.5098;
    const double w = 2 * pi * fc;
    // C3 holds the base at ground for the signal: against R3, R4 and the
    // base-emitter impedance r_pi = beta * re of the transistor.
    double C3 = (1 / w) * (1 / R3 + 1 / R4 + 1 / (beta * re));
    RoundToSeries(C3, 12);
    double C2 = 1 / (w * R2);
    RoundToSeries(C2, 12);
    double C1 = (1 / w) * (1 / R1 + 1 / re);
    RoundToSeries(C1, 12);

    r.m_R1 = R1;
    r.m_R2 = R2;
    r.m_R3 = R3;
    r.m_R4 = R4;
    r.m_C1 = C1;
    r.m_C2 = C2;
    r.m_C3 = C3;
    m_Results = r;
    m_Ic = IC;
    m_Uce = UB - (R1 + R2) * IC;
    m_P = m_Uce * m_Ic + VBE * IB;
}

std::vector<NamedValue> CommonBaseDesign::ComponentNumbers() const
{
    return ListParts<CommonBaseResults>(Parts, m_Results);
}

double* CommonBaseDesign::PartSlot(std::string_view part)
{
    return FindPart<CommonBaseResults>(Parts, m_Results, part);
}

} // namespace norvane
