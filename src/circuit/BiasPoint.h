#pragma once

// The DC operating point of a designed circuit, solved with the DC model
// of its transistor (TransistorModel) rather than a simulator: its
// resistors as designed, the capacitors open, 25 degC.
//
// The bias stability is (Ic(2 BF) - Ic(BF / 2)) / Ic(BF): how far the
// collector current moves when the transistor's forward current gain BF
// is halved and doubled, relative to the current with the card's own BF.
// Each Ic is the operating point so solved on the card with that BF. A
// divider that carries many times the base current gives a small figure;
// the designs' divider, which carries twice the base current, gives a
// large one.

#include "circuit/Netlist.h"
#include "common/Outcome.h"
#include "design/AmplifierDesign.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace norvane {

// The DC voltage of each node of a circuit against ground, signed as the
// circuit has it (a PNP circuit's rail at -UB), in V.
class NodeVoltages {
public:
    explicit NodeVoltages(std::vector<std::pair<std::string, double>> voltages)
        : m_Voltages(std::move(voltages))
    {}
    // The voltage at node. A node on no resistor (in, out) is 0 V: the
    // signal source drives in at DC 0 and the load holds out at ground,
    // each behind an open capacitor.
    double At(std::string_view node) const;

private:
    std::vector<std::pair<std::string, double>> m_Voltages;
};

// The node voltages of the circuit's resistor network, the capacitors
// open, with the transistor drawing ic (A) into its collector and ib (A)
// into its base and driving their sum out of its emitter (the magnitudes,
// for either polarity); fails where the network has no solution (a
// resistor of 0 or no number).
[[nodiscard]] Expected<NodeVoltages> SolveNodeVoltages(const AmplifierCircuit& circuit, double ic, double ib);

// The collector current of the design's DC operating point with the
// card's BF times bfFactor, as the bias stability describes it; fails
// where the model has no solution.
[[nodiscard]] Expected<double> SolveBiasCurrent(const AmplifierDesign& design, double bfFactor);

// The bias stability as described above; infinite where a current cannot
// be solved.
double BiasStability(const AmplifierDesign& design);

} // namespace norvane
