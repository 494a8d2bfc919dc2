#include "design/CommonBaseDesign.h"

#include "design/DesignRules.h"
#include "design/StandardSeries.h"
#include "transistors/TransistorTable.h"

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
    const double UB = in.Value(InputField::SupplyVoltage);
    const int n = SeriesCounts.at(in.SeriesIndex());

    double R2 = in.Value(InputField::OutputImpedance);
    RoundToSeries(R2, n);
    double UR1 = EmitterVoltage(UB);
    const double VBE0 = GetNominalBaseEmitterVoltage(in.TransistorIndex());
    const double UR2 = OutputResistorVoltage(UB, VBE0, UR1);
    const double IC = UR2 / R2;
    double R1 = UR1 / IC;
    RoundToSeries(R1, n);
    UR1 = R1 * IC;
    const double UCE = UB - (R1 + R2) * IC;

    const BiasPoint bias = SolveBias(IC, UCE);
    const double re = bias.m_Re;
    R1 = UR1 / bias.m_EmitterCurrent;
    RoundToSeries(R1, n);

    const double UR4 = bias.m_BaseEmitter + UR1;
    const BaseDivider divider = DesignBaseDivider(UB, UR4, bias.m_BaseCurrent, n);

    const CornerFrequency corner(in.Value(InputField::LowerCutoff), ThreeCornersFactor);
    r.m_R1 = R1;
    r.m_R2 = R2;
    r.m_R3 = divider.m_Upper;
    r.m_R4 = divider.m_Lower;
    // C1 couples the input to the emitter, against R1 and re.
    r.m_C1 = corner.Capacitor(1 / R1 + 1 / re);
    r.m_C2 = corner.CapacitorAgainst(R2);
    // C3 holds the base at ground for the signal: against R3, R4 and the
    // base-emitter impedance r_pi = beta * re of the transistor.
    r.m_C3 = corner.Capacitor(BaseNodeConductance(divider, BaseInputResistance(bias.m_CurrentGain, re)));
    m_Results = r;
    SetOperationPoint(IC, UB - (R1 + R2) * IC, bias);
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
