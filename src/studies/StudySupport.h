#pragma once

// What the robustness analyses share (Tolerances.cpp, Temperature.cpp,
// Distortion.cpp, Noise.cpp); not for other callers.

#include "ngspice/Session.h"
#include "studies/Robustness.h"

#include <complex>
#include <string>
#include <vector>

namespace norvane::robustness {

// The circuit Verify simulates for design with the verification's edits,
// or why it cannot be simulated.
[[nodiscard]] Expected<AmplifierCircuit> CircuitFor(const AmplifierDesign& design,
                                                    const VerificationOptions& verification);

SimulationOptions SimulationOf(const VerificationOptions& verification);

// The netlist of circuit for a session: the load and source of simulation.
std::string SessionNetlist(const AmplifierCircuit& circuit, const SimulationOptions& simulation,
                           NetlistOptions netlist = {});

// The failure of an analysis whose session could not start: its reason,
// worded as a simulation's status ("simulation unavailable: ...").
Failure SessionFailure(const SimulationSession& session);

// The failure of an analysis whose simulation failed: "not simulated:
// <why>", of the same kind; a cancel stays a cancel.
Failure NotSimulated(const Status& why);
template <class T>
Failure NotSimulated(const Expected<T>& why)
{
    return NotSimulated(why.AsStatus());
}

// Scales BF and IS of the card loaded into session by k, as the tolerance
// runs draw the transistor's spread (RobustnessResults.h); a leakage ISE
// or ISC written as a multiple of IS keeps its current.
Status ScaleCurrentGain(SimulationSession& session, const TransistorRecord& card, double k);

// A progress that is asked between steps: false when the caller cancels.
bool GoOn(const AnalysisProgress& progress, int done, int total);

// Seconds the distortion transient may take: its time points bound its
// work (TransientPointBudget in Distortion.cpp, 1.2 s at most over the
// extreme designs on a busy 2-core machine); the clock is only the last
// resort, set above SimulationTimeLimit so that a machine busy with other
// work does not turn a transient that fits its budget into "not
// simulated". It was 20 s, the only bound, and a transient whose time
// steps collapsed ran for all of it.
inline constexpr double LongAnalysisLimit = 5.0;

// Measures the circuit loaded into session (written with IOUT at AC 0) as
// SimulateNetlists measures its two netlists: the operating point, the
// sweep with VIN, then the output impedance at the mid-band point with
// VIN off, IOUT on and the load open; the sources and the load are set
// back afterwards.
SimulationResult MeasureLoaded(SimulationSession& session, const AmplifierCircuit& circuit,
                               const SimulationOptions& simulation, const std::function<bool()>& cancelled);

} // namespace norvane::robustness
