#pragma once

// The amplifier of a design computed in-process: its DC operating point and
// its small-signal response, the figures ngspice gives for the netlist of
// Netlist.h, in microseconds instead of milliseconds. Searches that try
// hundreds or thousands of designs (the ranking of the whole table,
// proposals, what-if edits while the user types, yield searches) run on
// this; every verdict the user is shown still comes from ngspice
// (Simulator.h).
//
// The transistor is the Gummel-Poon model exactly as ngspice evaluates it
// (its bjtload and bjtacld), read from the card WriteModelCard writes, so
// with SPICE's defaults for what the card leaves out and its rule that an
// ISE or ISC above 1e-4 is a multiple of IS. The circuit runs at 25 degC
// with TNOM = 25 degC, where no parameter is scaled for temperature.
//
// 1. DC operating point. Capacitors are open, VIN is a short to ground,
//    VCC holds the supply (-UB for a PNP circuit). The unknowns are the
//    circuit's nodes and the transistor's internal nodes b', c', e' (where
//    RB, RC, RE are not 0). Newton's method on them, with SPICE's limiting
//    of the junction voltages from one step to the next; where that does
//    not converge, GMIN stepping and then source stepping, as ngspice falls
//    back. GMIN = 1e-12 S lies across both junctions (and from the
//    substrate node to ground), as in ngspice; it is part of the base
//    current SPICE reports. Ic, Ib and Uce are magnitudes, like
//    SimulationResult's.
// 2. Small-signal model at that point: the conductances and capacitances
//    ngspice's AC analysis stamps (TransistorSmallSignal below).
// 3. AC response of the linear network: every part with its admittance at
//    the frequency, solved by complex nodal analysis. The signal response
//    is the netlist's: VIN drives the node DrivenNode() with 1 V, the load
//    (or OpenLoadResistance) hangs at out; the gain is V(out) / V(driven),
//    the input impedance V(in) / I(VIN). The output impedance is the
//    output variant's: the input shorted, out open, 1 A into out.
//    The complex matrix is factored without pivoting in an order chosen
//    once per circuit (fewest neighbours first, out last), with the few
//    multiply-adds that order needs listed in advance; a sweep reads V(out)
//    from the last pivot without back substitution and solves four
//    frequencies side by side, so that the divisions by the pivots overlap.
//    A pivot that comes out zero falls back to a factorisation with
//    pivoting at that frequency.
//
// What it leaves out, because the netlists never use it: temperatures
// other than 25 degC, the area factor, the substrate diode's saturation
// current (ISS), quasi-saturation (RCO), noise.
//
// Measured (SmallSignalBenchmarks.cpp, release build) against ngspice 39 on
// every usable design of the table in the three worked circuits (10,922):
// the gain at mid-band within 3e-6 dB (median 6e-12 dB), every point of
// the Bode diagram within 1e-5 dB, Z_in and Z_out within 3e-7, Ic within
// 8e-6. What is left is ngspice's convergence (reltol 1e-6; under the
// simulator's operating point aids, "optran 1 1 1 ...", its run stops some
// power types' Ic short of the point its own "op" finds) and three types
// with an RC of about a micro-ohm (KC509, KT306B, KT306G), whose node any
// LU factorisation eliminates at a loss of nine digits. A 401-point sweep
// takes about 33 us of CPU, preparing a circuit 16 us, the whole of
// Analyse 75 to 110 us (a third of it FindPassBand and MakeBode): 30 to 60
// times less wall time than ngspice's two runs beside it. A BiasSolver
// solve: about 2 us.

#include "analysis/FrequencyResponse.h"
#include "analysis/Measurement.h"
#include "circuit/Netlist.h"
#include "common/Outcome.h"
#include "transistors/TransistorTable.h"

#include <complex>
#include <cstddef>
#include <limits>
#include <memory>
#include <span>
#include <vector>

namespace norvane {

// The operating point as the simulator reports it (SimulationResult's
// m_Ic, m_Ib, m_Uce): magnitudes (A, A, V).
struct BiasPoint {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    double m_Ic = NaN;  // collector current
    double m_Ib = NaN;  // base current
    double m_Uce = NaN; // collector node to emitter node of the circuit
};

// The transistor linearised at its operating point: what ngspice's AC
// analysis stamps. The intrinsic transistor sits between the internal
// nodes b', c', e'; rbb, RE and RC lead to the terminals.
struct TransistorSmallSignal {
    double m_Gm = 0.0;  // S, c'-e' current by Vb'e' (Early and high injection included)
    double m_Gpi = 0.0; // S, b'-e': IS/BF diode, ISE leakage diode, GMIN
    double m_Gmu = 0.0; // S, b'-c': IS/BR diode, ISC leakage diode, GMIN
    double m_Go = 0.0;  // S, c'-e': the Early voltages and high injection
    double m_Rbb = 0.0; // ohm, base resistance at the bias (RBM..RB, IRB)
    double m_Re = 0.0;  // ohm
    double m_Rc = 0.0;  // ohm
    // F, b'-e': depletion CJE at the bias (above FC x VJE the linear
    // continuation) plus the diffusion capacitance TF gm, with TF raised by
    // XTF, VTF and ITF as the charge model has it.
    double m_Cpi = 0.0;
    // F, from b'-c' voltage to b'-e' charge (the transit time's dependence
    // on Vbc through VTF and the Early effect); 0 without TF.
    double m_CpiVbc = 0.0;
    double m_Cmu = 0.0; // F, b'-c': XCJC x CJC at the bias, plus TR x dIbc/dVbc
    double m_Cbx = 0.0; // F, external base to c': (1 - XCJC) x CJC at the bias
    double m_Cjs = 0.0; // F, CJS from c' (NPN) or b' (PNP) to ground
    // s, PTF as the delay of the transconductance: gm e^(-j w delay).
    double m_ExcessPhaseDelay = 0.0;
};

struct OperatingPoint {
    BiasPoint m_Bias;
    // The internal junction voltages, positive when forward biased (a PNP
    // transistor's are turned round), V.
    double m_Vbe = 0.0;
    double m_Vbc = 0.0;
    TransistorSmallSignal m_SmallSignal;
};

// The response at one frequency.
struct FrequencyPoint {
    std::complex<double> m_Gain;            // V(out) / V(driven)
    std::complex<double> m_InputImpedance;  // V(in) / I(VIN), ohm
    std::complex<double> m_OutputImpedance; // V(out) per 1 A, input shorted, ohm
};

// The frequencies of the netlist's ".ac dec pointsPerDecade f_min/1000
// f_min*1e5" as ngspice steps them, in Hz.
std::vector<double> SweepFrequencies(double lowerCutoff, int pointsPerDecade = DefaultPointsPerDecade);

// A circuit prepared once: operating point, small-signal model and the
// factorisation order of its AC matrices; then evaluated at any frequency.
// Its const functions may run on several threads at once.
class SmallSignalCircuit {
public:
    // The options as SimulateCircuit takes them: load, source resistance,
    // points per decade. Fails, with the reason, where SimulateCircuit
    // would not simulate: values that are no positive finite numbers, a
    // node without a DC path, an operating point that does not converge.
    [[nodiscard]] static Expected<SmallSignalCircuit> Make(const AmplifierCircuit& circuit,
                                                           const SimulationOptions& options = {});

    SmallSignalCircuit(SmallSignalCircuit&&) noexcept;
    SmallSignalCircuit& operator=(SmallSignalCircuit&&) noexcept;
    ~SmallSignalCircuit();

    // Of Q1; a circuit without Q1 has NaN in m_Bias and zeros else.
    const OperatingPoint& Operating() const;

    // Gain, input and output impedance at frequency (Hz).
    FrequencyPoint At(double frequency) const;

    // The gain V(out) / V(driven) alone at every frequency (Hz), into gain
    // (as long as frequency): the fast path of a sweep.
    void Gains(std::span<const double> frequency, std::span<std::complex<double>> gain) const;

    // What SimulateCircuit gives, from the model: the sweep of the netlist
    // and the figures read from it as SimulateNetlists reads them (the
    // mid-band no higher than MidbandLimitFactor x f_min, -3 dB points, Z_in
    // and Z_out at the mid-band point, the Bode diagram unless withBode is
    // false), the operating point. the outcome is a success (the figures are
    // there), m_Log is empty: what the user is shown as a verdict still
    // comes from ngspice. Fails when the response has no pass band.
    [[nodiscard]] Expected<SimulationResult> Analyse(bool withBode = true) const;

private:
    struct Impl;
    explicit SmallSignalCircuit(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_Impl;
};

// SmallSignalCircuit::Make, then Analyse: in the place of SimulateCircuit.
[[nodiscard]] Expected<SimulationResult> AnalyseSmallSignal(const AmplifierCircuit& circuit,
                                                            const SimulationOptions& options = {});

// The DC operating point of a circuit again and again with other part
// values and another transistor sample: the inner loop of a yield search.
// The tolerance runs (Robustness.h) scale BF and IS of the card by one
// factor k and keep the leakage currents ISE, ISC; so does Solve. Every
// solve starts from the nominal operating point, so a result does not
// depend on the solves before it. A few microseconds each.
class BiasSolver {
public:
    // Fails as SmallSignalCircuit::Make does; a circuit without Q1 fails.
    [[nodiscard]] static Expected<BiasSolver> Make(const AmplifierCircuit& circuit);

    BiasSolver(BiasSolver&&) noexcept;
    BiasSolver& operator=(BiasSolver&&) noexcept;
    ~BiasSolver();

    // The operating point of the nominal circuit.
    const BiasPoint& Nominal() const;

    // partValues: one value (ohm or farad) per part of the circuit, in the
    // order of its m_Parts (capacitors are open at DC and not read);
    // currentGainFactor: k, BF and IS times k.
    [[nodiscard]] Expected<BiasPoint> Solve(std::span<const double> partValues,
                                            double currentGainFactor = 1.0) const;

private:
    struct Impl;
    explicit BiasSolver(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_Impl;
};

} // namespace norvane
