#pragma once

// A circuit loaded into ngspice once for a series of analyses, changed
// between them by commands ("alter r1 = 1000", "altermod bc548b bf = 200",
// "option temp = 85"): the way to run hundreds of variants of one circuit
// in the time a few loads would take. The session holds the simulator for
// its lifetime; every other simulation in the process waits for it.
//
// An analysis runs on ngspice's background thread within its own time
// limit and is halted when cancelled says so (asked every few
// milliseconds); a failure says why, in the words SimulateNetlists uses.
// Results are read from the plots of the analyses since the last
// ForgetResults. The circuit and every plot are gone when the session
// ends.

#include "common/Outcome.h"
#include "ngspice/CLocale.h"
#include "ngspice/Simulator.h"

#include <complex>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace norvane {

class SimulationSession {
public:
    // Waits for the simulator; Ready() says whether there is one.
    SimulationSession();
    ~SimulationSession();
    SimulationSession(const SimulationSession&) = delete;
    SimulationSession& operator=(const SimulationSession&) = delete;

    // Fails when there is no simulator (FailureKind::Unavailable) or it is
    // still busy with a run that did not stop.
    [[nodiscard]] const Status& Ready() const { return m_Ready; }

    // Loads a netlist (its own analysis lines are not run); the same
    // netlists SimulateNetlists takes, and the same refusals.
    [[nodiscard]] Status Load(const std::string& netlist);

    // A command that changes the circuit or the options; fails when ngspice
    // reports an error.
    [[nodiscard]] Status Change(const std::string& command);

    // Runs an analysis command ("op", "ac dec 50 1 1e6", "tran 1u 1m",
    // "noise v(out) vin dec 20 20 20k", "dc vin -1 1 0.01"). A time limit
    // of 0 runs it on the caller's thread, without a deadline and without
    // the few milliseconds ngspice's background thread takes to start and
    // stop: for analyses their iteration limits bound (op, with the
    // transient fallback off, ac, dc), hundreds of which run in a row.
    [[nodiscard]] Status Analyse(const std::string& command, double timeLimit = SimulationTimeLimit,
                                 const std::function<bool()>& cancelled = {});

    // A command whose printed text is the result ("fourier 1k v(out)");
    // the text, or the error ngspice reported.
    [[nodiscard]] Expected<std::string> Print(const std::string& command);

    // A vector of the newest plot that has it ("out", "frequency",
    // "inoise_total"), or a device's value ("@q1[ic]"); fails when there is
    // none or it holds something else than finite numbers.
    [[nodiscard]] Expected<std::vector<std::complex<double>>> ReadComplex(const std::string& name) const;
    [[nodiscard]] Expected<std::vector<double>> ReadReal(const std::string& name) const;
    // Its first value.
    [[nodiscard]] Expected<double> ReadValue(const std::string& name) const;

    // Removes the plots of the analyses so far (they hold memory).
    void ForgetResults();

    // Everything ngspice printed in the session, since the last TakeLog.
    const std::string& Log() const { return m_Log; }
    // The log, which starts empty again: a series of thousands of runs
    // would otherwise keep some 300 bytes of it a run.
    std::string TakeLog() { return std::exchange(m_Log, {}); }

private:
    // SPICE2's rule, which ngspice 39 applies at every setup of a circuit:
    // an ISE or ISC above 1e-4 is a multiple of IS, and the current it
    // stands for replaces it. Where that current is itself above 1e-4 A
    // (BUX32: 1.043e-4 A, written as 14.21), the next setup multiplies it
    // by IS once more, and the second analysis of a loaded circuit would
    // run with a leakage ten thousand times smaller. No value survives a
    // second setup, so the written multiple is given again before every
    // analysis after the first ("altermod bux32 ise = 14.21"); an altermod
    // of such a leakage through Change() becomes the one given again.
    void KeepLeakageMultiples(const std::string& command);
    [[nodiscard]] Status RestoreLeakageMultiples();

    std::unique_lock<std::mutex> m_Lock;
    CLocaleScope m_Locale; // taken after the lock, given back before it
    Status m_Ready;
    bool m_Loaded = false;
    bool m_SetUp = false;                        // an analysis ran since the multiples were given
    std::vector<std::string> m_LeakageMultiples; // "altermod <model> ise = <multiple>"
    std::string m_Log;
};

} // namespace norvane
