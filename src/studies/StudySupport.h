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

// Seconds a transient or a noise sweep may take.
inline constexpr double LongAnalysisLimit = 20.0;

// Measures the circuit loaded into session (written with IOUT at AC 0) as
// SimulateNetlists measures its two netlists: the operating point, the
// sweep with VIN, then the output impedance at the mid-band point with
// VIN off, IOUT on and the load open; the sources and the load are set
// back afterwards.
SimulationResult MeasureLoaded(SimulationSession& session, const AmplifierCircuit& circuit,
                               const SimulationOptions& simulation, const std::function<bool()>& cancelled);

} // namespace norvane::robustness
