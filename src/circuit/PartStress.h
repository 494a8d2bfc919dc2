#pragma once

// What each part of a designed amplifier has to withstand, and what to buy
// it as. The figures are those of the design's own DC operating point (its
// Ic, Uce and P) at 25 degC; the node voltages are those of its resistor
// network carrying that Ic and the base current the transistor's DC model
// gives there (SolveNodeVoltages, the capacitors open, in and out at 0 V).
// A small signal adds little to any of them.
//
// T1, each figure against its absolute maximum rating (TransistorRatings.h):
//   - the largest collector-emitter voltage it can see: the supply. With
//     no collector current (the stage cut off, or at power-up before the
//     capacitors have charged) nothing drops across the resistors and the
//     whole supply stands across the transistor. Against VCEO.
//   - the operating Ic. Against IC max.
//   - the dissipation P = Uce * Ic + Ube * Ib, the design's own P (the
//     base's share is a few tenths of a percent). Against Ptot, which the
//     data sheets state at 25 degC ambient; a warmer transistor may
//     dissipate less.
//   A figure above its rating exceeds it, one at or below it is within;
//   where no source states the rating the check is unknown.
//
// Resistors: the dissipation V^2 / R at the operating point, and the
// smallest standard rating of at least twice that (ResistorPowerMargin): a
// resistor at half its rating stays cool enough to keep its value.
//
// Capacitors: the DC voltage across it and the node at the higher
// potential (the positive terminal), named as the netlist names it
// ("base"). The working voltage is the smallest standard one at or above
// the supply, whatever the DC voltage across it at the operating point:
// a coupling capacitor at the collector has the whole supply across it
// whenever the stage is cut off, and one rating for all is what a builder
// keeps in the drawer. From 1 uF a capacitor is usually an aluminium
// electrolytic, which is polarised: mounted the wrong way round it leaks
// and fails. Below, ceramic (C0G) or film, which has no polarity.

#include "circuit/Netlist.h"
#include "common/Outcome.h"
#include "design/AmplifierDesign.h"
#include "transistors/TransistorRatings.h"

#include <array>
#include <limits>
#include <string>
#include <vector>

namespace norvane {

// The standard power ratings of through-hole resistors, W.
inline constexpr std::array<double, 7> ResistorPowerRatings{0.125, 0.25, 0.5, 1, 2, 3, 5};
// A resistor is bought for at least this many times its dissipation.
inline constexpr double ResistorPowerMargin = 2.0;
// The usual working voltages of capacitors, V.
inline constexpr std::array<double, 10> CapacitorWorkingVoltages{6.3, 10, 16, 25, 35, 50, 63, 100, 160, 250};
// From this capacitance (F) the usual part is an electrolytic.
inline constexpr double ElectrolyticFrom = 1e-6;

enum class RatingCheck { Within, Exceeded, Unknown };

// One figure of T1 beside its rating.
struct CheckedRating {
    double m_Figure = std::numeric_limits<double>::quiet_NaN(); // V, A or W
    double m_Rating = UnknownRating;                            // the same unit; NaN: unknown
    RatingCheck Check() const;
};

struct TransistorStress {
    CheckedRating m_Voltage; // V: the largest Uce (the supply) against VCEO
    CheckedRating m_Current; // A: the operating Ic against IC max
    CheckedRating m_Power;   // W: P against Ptot at 25 degC
    double m_Uce = 0.0;      // V, at the operating point
    TransistorRatings m_Ratings;

    // The three checks together: Exceeded when any figure exceeds its
    // rating, else Unknown when any rating is unknown, else Within.
    RatingCheck Check() const;
};

struct ResistorStress {
    std::string m_Name;
    double m_Resistance = 0.0;  // ohm
    double m_Voltage = 0.0;     // V across it, magnitude
    double m_Dissipation = 0.0; // W
    double m_Rating = 0.0;      // W; NaN when no standard rating is enough
};

enum class Dielectric { CeramicOrFilm, Electrolytic };

struct CapacitorStress {
    std::string m_Name;
    double m_Capacitance = 0.0; // F
    double m_Voltage = 0.0;     // V across it, magnitude
    // The node of its terminal at the higher potential ("base"); empty
    // when there is no DC voltage across it.
    std::string m_PositiveNode;
    double m_WorkingVoltage = 0.0; // V; NaN when no standard one is enough
    Dielectric m_Dielectric = Dielectric::CeramicOrFilm;

    bool IsPolarised() const { return m_Dielectric == Dielectric::Electrolytic; }
};

// In the order of the circuit's parts.
struct PartStresses {
    TransistorStress m_Transistor;
    std::vector<ResistorStress> m_Resistors;
    std::vector<CapacitorStress> m_Capacitors;
};

// The smallest standard power rating of at least ResistorPowerMargin times
// the dissipation (W); NaN when none is.
double ResistorPowerRating(double dissipation);
// The smallest standard working voltage at or above the supply (V); NaN
// when none is.
double CapacitorWorkingVoltage(double supply);
Dielectric UsualDielectric(double capacitance);

// The transistor's DC operating point as a design computed it.
struct StressPoint {
    double m_Ic = 0.0;    // A
    double m_Ib = 0.0;    // A
    double m_Uce = 0.0;   // V
    double m_Power = 0.0; // W
};

// The stresses of a circuit at an operating point, T1 against ratings;
// fails where the resistor network has no DC solution.
[[nodiscard]] Expected<PartStresses> StressesOf(const AmplifierCircuit& circuit, const StressPoint& point,
                                                const TransistorRatings& ratings);

// The stresses of a design at its operating point, with its transistor's
// ratings; fails for a design that cannot be built, saying why.
[[nodiscard]] Expected<PartStresses> PartStressesOf(const AmplifierDesign& design);

// T1 alone, as PartStressesOf checks it, for a usable design: the supply,
// the design's Ic and P against its transistor's ratings. Nothing is
// solved, so it suits sifting many designs (the ranking).
TransistorStress TransistorStressOf(const AmplifierDesign& design);

} // namespace norvane
