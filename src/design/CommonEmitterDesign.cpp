#include "design/CommonEmitterDesign.h"

#include "design/DesignRules.h"
#include "design/StandardSeries.h"
#include "transistors/TransistorTable.h"

#include <algorithm>
#include <cmath>

namespace norvane {

namespace {

// A gain in dB as a voltage ratio and back. The ratio is 10^(dB * 0.05),
// as the designs have always computed it (dB / 20 is not always the same
// double).
double VoltageRatio(double db)
{
    return std::pow(10, db * 0.05);
}

double Decibels(double voltageRatio)
{
    return 20 * std::log10(voltageRatio);
}

constexpr std::pair<const char*, double CommonEmitterResults::*> Parts[]{
    {"R1", &CommonEmitterResults::m_R1}, {"R2", &CommonEmitterResults::m_R2},
    {"R3", &CommonEmitterResults::m_R3}, {"R4", &CommonEmitterResults::m_R4},
    {"R5", &CommonEmitterResults::m_R5}, {"C1", &CommonEmitterResults::m_C1},
    {"C2", &CommonEmitterResults::m_C2}, {"C3", &CommonEmitterResults::m_C3},
};

} // namespace

std::uint16_t CommonEmitterDesign::SchematicId() const
{
    if (IsPnp()) {
        return IsWithoutBypass() ? schematic_ids::CommonEmitterPnpWithoutBypass
                                 : schematic_ids::CommonEmitterPnp;
    }
    return IsWithoutBypass() ? schematic_ids::CommonEmitterNpnWithoutBypass : schematic_ids::CommonEmitterNpn;
}

void CommonEmitterDesign::DoCompute()
{
    const DesignInputs& in = Inputs();
    const double UB = in.Value(InputField::SupplyVoltage);
    const int t = in.TransistorIndex();
    const int n = SeriesCounts.at(in.SeriesIndex());

    CommonEmitterResults r;
    r.m_IsPnp = IsPnpTransistor(t);

    double R3 = in.Value(InputField::OutputImpedance);
    RoundToSeries(R3, n);
    double UE = EmitterVoltage(UB);
    const double UBE0 = GetNominalBaseEmitterVoltage(t);
    const double URC = OutputResistorVoltage(UB, UBE0, UE);
    double Ic = URC / R3;
    double RE = R3 * UE / URC;
    double Uce = UB - (RE + R3) * Ic;
    const double A = VoltageRatio(in.Value(InputField::Gain));
    if (URC / UE > A) {
        // The gain asks for more emitter resistance than the supply rule
        // gives: RE = R3 / A, and R3 and RE in series take the output
        // resistor's share of the supply between them.
        RE = R3 / A;
        UE = RE / (RE + R3) * OutputResistorVoltage(UB, UBE0, 0.0);
        Ic = UE / RE;
        Uce = UB - (RE + R3) * Ic;
    }

    const BiasPoint bias = SolveBias(Ic, Uce);
    const double IB = bias.m_BaseCurrent;
    const double re = bias.m_Re;
    RE = UE / bias.m_EmitterCurrent;

    // R4 sets the gain with re; R5, bypassed by C3, takes the rest of RE.
    double R4 = R3 / A - re;
    if (R3 / re < A) {
        R4 = 0;
    } else {
        RoundToSeries(R4, n);
    }
    double R5 = RE - R4;
    if (R5 < 0) {
        R5 = 0;
    } else {
        RoundToSeries(R5, n);
    }

    const double UBB = bias.m_BaseEmitter + UE;
    BaseDivider divider = DesignBaseDivider(UB, UBB, IB, n);
    const double RT = BaseInputResistance(bias.m_CurrentGain, R4 + re);
    LowerForInputImpedance(divider, UB, UBB, IB, in.Value(InputField::InputImpedance), RT, n);

    const CornerFrequency corner(in.Value(InputField::LowerCutoff), ThreeCornersFactor);
    r.m_R1 = divider.m_Upper;
    r.m_R2 = divider.m_Lower;
    r.m_R3 = R3;
    r.m_R4 = R4;
    r.m_R5 = R5;
    r.m_C1 = corner.Capacitor(BaseNodeConductance(divider, RT));
    r.m_C2 = corner.CapacitorAgainst(R3);
    r.m_C3 = R5 > 0 ? corner.Capacitor(1 / R5 + 1 / (R4 + re)) : 0;
    m_Results = r;
    m_DesignedGainDb = Decibels(R3 / (R4 + re));
    SetOperationPoint(Ic, UB - (R3 + R4 + R5) * Ic, bias);
}

void CommonEmitterDesign::AddCircuitNotes(std::vector<std::string>& notes) const
{
    // Within 1 dB the design meets its gain; rounding to the series alone
    // moves it by a few tenths.
    constexpr double ToleranceDb = 1.0;
    const double wanted = Inputs().Value(InputField::Gain);
    if (m_DesignedGainDb < wanted - ToleranceDb) {
        ResultItem wantedText;
        wantedText.SetQuantity("", wanted, "dB");
        ResultItem reached;
        reached.SetQuantity("", std::round(m_DesignedGainDb * 10) / 10, "dB");
        notes.push_back("The voltage gain of " + wantedText.value +
                        " cannot be reached: this design gives about " + reached.value);
    }
}

std::vector<NamedValue> CommonEmitterDesign::ComponentNumbers() const
{
    std::vector<NamedValue> parts = ListParts<CommonEmitterResults>(Parts, m_Results);
    if (IsWithoutBypass()) {
        std::erase_if(parts, [](const NamedValue& part) { return part.first == "R5" || part.first == "C3"; });
    }
    return parts;
}

double* CommonEmitterDesign::PartSlot(std::string_view part)
{
    return FindPart<CommonEmitterResults>(Parts, m_Results, part);
}

} // namespace norvane
