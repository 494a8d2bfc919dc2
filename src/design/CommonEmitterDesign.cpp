#include "design/CommonEmitterDesign.h"

#include "design/StandardSeries.h"
#include "transistors/TransistorModel.h"
#include "transistors/TransistorTable.h"

#include <algorithm>
#include <cmath>

namespace norvane {

namespace {

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
    TransistorModel model;
    model.SelectTransistor(t);

    double R3 = in.Value(InputField::OutputImpedance);
    RoundToSeries(R3, n);
    double UE = 0.1 * UB;
    if (UE > 1.0) {
        UE = 1.0;
    }
    const double UBE0 = GetNominalBaseEmitterVoltage(t);
    const double URC = (UB - UBE0 - UE) * 0.5;
    double Ic = URC / R3;
    double RE = R3 * UE / URC;
    double Uce = UB - (RE + R3) * Ic;
    const double A = std::pow(10, in.Value(InputField::Gain) * 0.05);
    if (URC / UE > A) {
        RE = R3 / A;
        UE = RE / (RE + R3) * (UB - UBE0) * 0.5;
        Ic = UE / RE;
        Uce = UB - (RE + R3) * Ic;
    }

    model.SetOperatingPoint(Ic, Uce);
    model.Recompute();
    const double IB = model.GetBaseCurrent();
    CheckModel(model, IB);
    const double IE = Ic + IB;
    const double re = model.GetThermalVoltage() / IE;
    RE = UE / IE;

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

    const double UBE = model.GetBaseEmitterVoltage();
    const double UBB = UBE + UE;
    double I1 = 2.0 * IB;
    double I2 = I1 - IB;
    double R2 = UBB / I2;
    RoundToSeries(R2, n);
    I2 = UBB / R2;
    I1 = I2 + IB;
    double R1 = (UB - UBB) / I1;
    RoundToSeries(R1, n);

    const double B = Ic / IB;
    const double RT = (R4 + re) * B;
    const double Zin = 1 / (1 / R1 + 1 / R2 + 1 / RT);
    if (in.Value(InputField::InputImpedance) < Zin) {
        const double Rp = 1 / (1 / in.Value(InputField::InputImpedance) - 1 / RT);
        R1 = UB / (UBB / Rp + IB);
        RoundToSeries(R1, n);
        I1 = (UB - UBB) / R1;
        I2 = I1 - IB;
        R2 = UBB / I2;
        RoundToSeries(R2, n);
    }

    const double pi = 4 * std::atan(1.0);
    const double fc = 0.5098 * in.Value(InputField::LowerCutoff);
    const double w = 2 * pi * fc;
    double C1 = (1 / w) * (1 / R1 + 1 / R2 + 1 / RT);
    RoundToSeries(C1, 12);
    double C2 = 1 / (w * R3);
    RoundToSeries(C2, 12);
    double C3 = 0;
    if (R5 > 0) {
        C3 = (1 / w) * (1 / R5 + 1 / (R4 + re));
        RoundToSeries(C3, 12);
    }

    r.m_R1 = R1;
    r.m_R2 = R2;
    r.m_R3 = R3;
    r.m_R4 = R4;
    r.m_R5 = R5;
    r.m_C1 = C1;
    r.m_C2 = C2;
    r.m_C3 = C3;
    m_Results = r;
    m_DesignedGainDb = 20 * std::log10(R3 / (R4 + re));
    m_Ic = Ic;
    m_Uce = UB - (R3 + R4 + R5) * m_Ic;
    m_P = m_Uce * m_Ic + UBE * IB;
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
