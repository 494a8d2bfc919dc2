#pragma once

// The rules the three amplifier designs are built from, each named once
// with the reason it holds. The circuits differ in where their resistors
// sit; the way they share the supply, bias the base and place the corners
// of their capacitors is the same, and is written here.
//
// Each rule keeps the arithmetic of the designs as they have always been
// computed, operation for operation: a reordered sum or a more exact
// constant is another double, and a value that sits on the edge between
// two series values would round to the other one.

#include "design/StandardSeries.h"

#include <algorithm>
#include <numbers>

namespace norvane {

// ------------------------------------------------------------ the supply

// The emitter voltage (common emitter; the common base's R1) is a tenth of
// the supply, at most 1 V. Against it, the spread of U_BE between samples
// and its drift of about -2 mV/K move the collector current little; above
// 1 V it would only take swing from the output.
inline constexpr double EmitterShareOfSupply = 0.1;
inline constexpr double MaxEmitterVoltage = 1.0; // V

inline double EmitterVoltage(double supply)
{
    return std::min(EmitterShareOfSupply * supply, MaxEmitterVoltage);
}

// The resistor the output is taken from (the collector resistor; the
// follower's emitter resistor) drops half of what the supply leaves beside
// the nominal U_BE and the emitter voltage (0 for the follower, whose
// emitter resistor is that resistor). The output can then swing as far
// towards cut-off as towards U_CB = 0, where saturation begins.
inline double OutputResistorVoltage(double supply, double nominalBaseEmitter, double emitterVoltage)
{
    return (supply - nominalBaseEmitter - emitterVoltage) * 0.5;
}

// ------------------------------------------------------------ the base

// The base divider: the upper resistor from the supply, the lower one to
// ground (R1 and R2 of the common emitter and collector, R3 and R4 of the
// common base), in ohms.
struct BaseDivider {
    double m_Upper = 0.0;
    double m_Lower = 0.0;
};

// The upper resistor carries twice the base current: one base current into
// the base, one through the lower resistor. A divider this light loads the
// input little; the emitter resistor's feedback, not a stiff divider,
// holds the operating point.
inline constexpr double DividerCurrentInBaseCurrents = 2.0;

// The divider that holds the base at baseVoltage (in V) while the base
// draws baseCurrent (in A): the lower resistor rounded to the series first,
// the upper one from the current the rounded lower resistor really takes.
BaseDivider DesignBaseDivider(double supply, double baseVoltage, double baseCurrent, StandardSeries series);

// The resistance into the base: the current gain times what the emitter
// sees to ground (its small-signal resistance re and an unbypassed emitter
// resistor), in ohms.
inline double BaseInputResistance(double currentGain, double emitterSide)
{
    return emitterSide * currentGain;
}

// What the base node sees to ground in siemens: the divider in parallel
// with the resistance into the base (for the common emitter and collector,
// the reciprocal of the input impedance).
inline double BaseNodeConductance(const BaseDivider& divider, double baseResistance)
{
    return 1 / divider.m_Upper + 1 / divider.m_Lower + 1 / baseResistance;
}

// Where the divider makes the input impedance higher than the required one
// (in ohms), a lower divider at the same base voltage: in parallel it is
// what the requirement leaves beside the resistance into the base, Rp, and
// from Rp = upper || lower with the base current taken out between them,
// supply / upper = baseVoltage / Rp + baseCurrent.
void LowerForInputImpedance(BaseDivider& divider, double supply, double baseVoltage, double baseCurrent,
                            double requiredImpedance, double baseResistance, StandardSeries series);

// ------------------------------------------------------------ the capacitors

// Each coupling and bypass capacitor makes a first-order high-pass corner.
// N equal corners at fc leave the gain 3 dB down where
// (1 + (fc / f)^2)^N = 2, so the designs put every corner at
// sqrt(2^(1/N) - 1) times the lower cut-off frequency. The factors are the
// ones the designs have always used, written to four places; the exact
// roots (0.50982..., 0.64359...) are other doubles.
inline constexpr double ThreeCornersFactor = 0.5098; // sqrt(cbrt(2) - 1)
inline constexpr double TwoCornersFactor = 0.6436;   // sqrt(sqrt(2) - 1)

// Capacitors are rounded to E12 whatever the resistors' series: they are
// not bought finer, and their corners need no precision.
inline constexpr StandardSeries CapacitorSeries = 12;

// The angular frequency of the capacitors' corners, for a lower cut-off
// frequency in Hz and the factor of the circuit's number of corners.
class CornerFrequency {
public:
    CornerFrequency(double lowerCutoff, double factor)
        : m_Omega(2 * std::numbers::pi * (factor * lowerCutoff))
    {}

    // The capacitor (in F, rounded to CapacitorSeries) whose corner falls
    // here against the conductance it sees, in siemens.
    double Capacitor(double conductance) const;
    // The same against a single resistance in ohms, computed as 1 / (wR)
    // as the output coupling always was; (1 / w) (1 / R) can differ in
    // the last bit.
    double CapacitorAgainst(double resistance) const;

private:
    double m_Omega; // rad/s
};

} // namespace norvane
