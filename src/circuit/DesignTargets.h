#pragma once

// What a design aimed at, for setting the simulated values beside it: the
// designed operating point and the requirements the user gave. A circuit
// that takes no requirement for a quantity leaves it NaN (the common-base
// circuit has no gain and no input impedance requirement, the
// common-collector circuit no gain and no output impedance requirement).

#include "design/AmplifierDesign.h"

#include <cmath>
#include <limits>

namespace norvane {

struct DesignTargets {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

    double m_Ic = NaN;     // A, designed
    double m_Uce = NaN;    // V, designed
    double m_GainDb = NaN; // dB, required
    // Required input impedance. The designs treat it as an upper limit:
    // they lower the divider only when the stage would be higher.
    double m_InputImpedance = NaN;  // ohm
    double m_OutputImpedance = NaN; // ohm, required
    double m_LowerCutoff = NaN;     // Hz, required f_min
    // A, the Ic the user asked for (the common-collector circuit takes it
    // as a requirement); NaN where the design computes its own.
    double m_RequiredIc = NaN;

    // What the simulated Ic is judged against: the Ic asked for, else the
    // designed one.
    double IcReference() const { return std::isnan(m_RequiredIc) ? m_Ic : m_RequiredIc; }
};

DesignTargets TargetsOf(const AmplifierDesign& design);

} // namespace norvane
