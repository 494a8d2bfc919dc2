#pragma once

// What the robustness analyses share (Robustness.cpp, SignalAnalyses.cpp);
// not for other callers.

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

// A progress that is asked between steps: false when the caller cancels.
bool GoOn(const AnalysisProgress& progress, int done, int total);

} // namespace norvane::robustness
