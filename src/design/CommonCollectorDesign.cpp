#include "design/CommonCollectorDesign.h"

#include "design/DesignRules.h"
#include "design/StandardSeries.h"
#include "transistors/TransistorTable.h"

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
    const double UB = in.Value(InputField::SupplyVoltage);
    const int n = SeriesCounts.at(in.SeriesIndex());

    const double VBE0 = GetNominalBaseEmitterVoltage(in.TransistorIndex());
    const double UR3 = OutputResistorVoltage(UB, VBE0, 0.0);
    double R3 = UR3 / in.Value(InputField::CollectorCurrent);
    RoundToSeries(R3, n);
    const double IC = UR3 / R3;
    const double UCE = UB - UR3;

    const BiasPoint bias = SolveBias(IC, UCE);
    const double re = bias.m_Re;

    const double UR2 = bias.m_BaseEmitter + UR3;
    BaseDivider divider = DesignBaseDivider(UB, UR2, bias.m_BaseCurrent, n);
    const double beta = bias.m_CurrentGain;
    const double rBase = BaseInputResistance(beta, R3 + re);
    LowerForInputImpedance(divider, UB, UR2, bias.m_BaseCurrent, in.Value(InputField::InputImpedance), rBase,
                           n);
    const double R1 = divider.m_Upper;
    const double R2 = divider.m_Lower;

    const CornerFrequency corner(in.Value(InputField::LowerCutoff), TwoCornersFactor);
    r.m_R1 = R1;
    r.m_R2 = R2;
    r.m_R3 = R3;
    r.m_C1 = corner.Capacitor(BaseNodeConductance(divider, rBase));
    r.m_C2 = corner.Capacitor(1 / R3 + 1 / ((R1 * R2 / (R1 + R2)) * beta + re));
    m_Results = r;
    SetOperationPoint(IC, UB - bias.m_EmitterCurrent * R3, bias);
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
