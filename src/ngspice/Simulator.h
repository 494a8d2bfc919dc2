#pragma once

// Simulation of a designed amplifier with ngspice, through its shared
// library, on the netlist of Netlist.h (the same Gummel-Poon card that the
// design used). The library is loaded when the first simulation is asked
// for (NgspiceLibrary.h); a program that never simulates never loads it,
// and one without it installed works all the same and says so where a
// simulation was asked for.
//
// Two runs per design, each an .op followed by the .ac sweep:
// 1. The signal run: VIN drives in with 1 V AC, the load (if any) hangs
//    at out.
//    - Operating point: Ic and Ib are the terminal currents of Q1
//      (@q1[ic], @q1[ib]), Uce = V(collector node) - V(emitter node); all
//      three as magnitudes, like the design reports them for PNP types too.
//    - Gain, mid-band, -3 dB points and input impedance: the measurement
//      of the sweep that Measurement.h describes.
// 2. The output run: the netlist variant with the input shorted (VIN at
//    AC 0), no load, and 1 A AC driven into out by IOUT; the output
//    impedance is |V(out)| at the mid-band point of the signal run.
//
// ngspice keeps global state: one simulation runs at a time (a lock
// serialises callers, Engine.h), the library is initialised once per
// process, reading none of the start-up files of the current or the home
// folder (NgspiceLibrary.h), every call into it happens in the C locale
// (CLocale.h), and every run removes its circuit and its plots when it is
// done. Everything ngspice prints is captured into the result's log,
// nothing reaches the console.
//
// A simulation is bounded: both runs together end within
// SimulationTimeLimit of wall time, or the result is "not simulated". An
// operating point that does not converge is never a result: ngspice's last
// resort, a transient run whose end state it would take for the operating
// point, is switched off, and a run that gave up says so.

#include "analysis/Measurement.h"
#include "circuit/Netlist.h"
#include "common/Outcome.h"
#include "design/AmplifierDesign.h"

#include <limits>
#include <string>

namespace norvane {

// Seconds of wall time that one simulation (both runs) may take at most.
inline constexpr double SimulationTimeLimit = 2.0;

// Simulates a computed design. A design that cannot be built, values that
// are no finite positive numbers, an ngspice error or a circuit that does
// not converge give m_Simulated false and the reason in m_Problem.
[[nodiscard]] SimulationResult Simulate(const AmplifierDesign& design, const SimulationOptions& options = {});

// The same for a circuit described (and perhaps edited) by the caller.
[[nodiscard]] SimulationResult SimulateCircuit(const AmplifierCircuit& circuit,
                                               const SimulationOptions& options = {});

// What to read besides the AC vectors.
struct SimulationProbe {
    bool m_HasTransistor = true; // a Q1 whose operating point is wanted
    bool m_IsPnp = false;
    std::string m_Collector = "collector";
    std::string m_Emitter = "emitter";
    // The node whose voltage the gain is taken against: in, or source
    // behind a source resistance (Netlist.h).
    std::string m_Driven = "in";
    // The highest mid-band frequency in Hz (FindPassBand); infinity: none.
    double m_HighestMidFrequency = std::numeric_limits<double>::infinity();
};

// The measurement of any circuit that follows the netlist conventions
// (nodes in and out, source VIN at in, one .op and one .ac): signalNetlist
// for the gain and input impedance, outputNetlist (input shorted, 1 A AC
// into out) for the output impedance; an empty outputNetlist skips that
// measurement. A netlist with a .control block or one that includes other
// files is refused.
[[nodiscard]] SimulationResult SimulateNetlists(const std::string& signalNetlist,
                                                const std::string& outputNetlist,
                                                const SimulationProbe& probe);

// Loads and starts ngspice unless done before; fails with the reason when
// there is no simulator in this process.
[[nodiscard]] Status SimulatorAvailable();

} // namespace norvane
