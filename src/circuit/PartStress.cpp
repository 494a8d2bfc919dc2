#include "circuit/PartStress.h"

#include "circuit/BiasPoint.h"
#include "transistors/TransistorModel.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace norvane {

namespace {

// The first standard value at or above need; NaN when there is none (or
// need is no number).
double FirstAtLeast(std::span<const double> values, double need)
{
    const auto found = std::ranges::lower_bound(values, need);
    return found == values.end() || std::isnan(need) ? std::numeric_limits<double>::quiet_NaN() : *found;
}

// Below this a voltage across a capacitor is none: what is left of the
// solver's rounding where both terminals sit at the same potential.
constexpr double NoVoltage = 1e-9; // V

// T1's figures against its ratings: the whole supply against VCEO, the
// operating Ic and P against IC max and Ptot.
TransistorStress CheckTransistor(double supply, const StressPoint& point, const TransistorRatings& ratings)
{
    TransistorStress t1;
    t1.m_Voltage = {supply, ratings.m_Vceo};
    t1.m_Current = {point.m_Ic, ratings.m_IcMax};
    t1.m_Power = {point.m_Power, ratings.m_Ptot};
    t1.m_Uce = point.m_Uce;
    t1.m_Ratings = ratings;
    return t1;
}

} // namespace

RatingCheck CheckedRating::Check() const
{
    if (std::isnan(m_Rating) || std::isnan(m_Figure)) {
        return RatingCheck::Unknown;
    }
    return m_Figure > m_Rating ? RatingCheck::Exceeded : RatingCheck::Within;
}

RatingCheck TransistorStress::Check() const
{
    const RatingCheck checks[]{m_Voltage.Check(), m_Current.Check(), m_Power.Check()};
    if (std::ranges::find(checks, RatingCheck::Exceeded) != std::end(checks)) {
        return RatingCheck::Exceeded;
    }
    if (std::ranges::find(checks, RatingCheck::Unknown) != std::end(checks)) {
        return RatingCheck::Unknown;
    }
    return RatingCheck::Within;
}

double ResistorPowerRating(double dissipation)
{
    return FirstAtLeast(ResistorPowerRatings, ResistorPowerMargin * dissipation);
}

double CapacitorWorkingVoltage(double supply)
{
    return FirstAtLeast(CapacitorWorkingVoltages, supply);
}

Dielectric UsualDielectric(double capacitance)
{
    return capacitance >= ElectrolyticFrom ? Dielectric::Electrolytic : Dielectric::CeramicOrFilm;
}

Expected<PartStresses> StressesOf(const AmplifierCircuit& circuit, const StressPoint& point,
                                  const TransistorRatings& ratings)
{
    const Expected<NodeVoltages> nodes = SolveNodeVoltages(circuit, point.m_Ic, point.m_Ib);
    if (!nodes) {
        return Failure{nodes.Message()};
    }
    PartStresses stresses;
    stresses.m_Transistor = CheckTransistor(circuit.m_SupplyVoltage, point, ratings);

    for (const CircuitPart& part : circuit.m_Parts) {
        const double across = nodes->At(part.m_NodeA) - nodes->At(part.m_NodeB);
        if (part.m_Name.starts_with('R')) {
            const double dissipation = across * across / part.m_Value;
            stresses.m_Resistors.push_back(
                {part.m_Name, part.m_Value, std::abs(across), dissipation, ResistorPowerRating(dissipation)});
        } else {
            std::string positive;
            if (std::abs(across) > NoVoltage) {
                positive = across > 0 ? part.m_NodeA : part.m_NodeB;
            }
            stresses.m_Capacitors.push_back({part.m_Name, part.m_Value, std::abs(across), std::move(positive),
                                             CapacitorWorkingVoltage(circuit.m_SupplyVoltage),
                                             UsualDielectric(part.m_Value)});
        }
    }
    return stresses;
}

Expected<PartStresses> PartStressesOf(const AmplifierDesign& design)
{
    if (!design.IsUsable()) {
        return Failure{"the design cannot be built: " + design.Problem()};
    }
    const int transistor = design.Inputs().TransistorIndex();
    TransistorModel model;
    model.SelectTransistor(transistor);
    model.SetOperatingPoint(design.Ic(), design.Uce());
    const double ib = model.GetBaseCurrent();
    if (!model.IsValid()) {
        return Failure{"the transistor model has no base current at the operating point"};
    }
    return StressesOf(DescribeCircuit(design), {design.Ic(), ib, design.Uce(), design.P()},
                      GetTransistorRatings(transistor));
}

TransistorStress TransistorStressOf(const AmplifierDesign& design)
{
    const int transistor = design.Inputs().TransistorIndex();
    return CheckTransistor(design.Inputs().Value(InputField::SupplyVoltage),
                           {design.Ic(), 0.0, design.Uce(), design.P()}, GetTransistorRatings(transistor));
}

} // namespace norvane
