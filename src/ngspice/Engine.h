#pragma once

// ngspice's one instance in the process, for the simulator and the session
// (Simulator.cpp, Session.cpp) and nothing else: the library's functions,
// the callbacks that collect what it prints, runs on its background thread
// with a deadline, and reading its vectors.
//
// ngspice keeps global state, so one caller at a time: everything here is
// called with the lock of LockSimulator() held, and with the process in
// the C locale (CLocale.h), which the lock's holder takes right after it.

#include "common/Outcome.h"

#include <chrono>
#include <complex>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace norvane::ngspice {

using Clock = std::chrono::steady_clock;

// ngspice's bg_halt waits up to a second (100 polls of 10 ms) for its
// thread to stop; the runs get the time limit less that second.
inline constexpr std::chrono::milliseconds HaltWait{1000};

// The simulator's lock: one simulation at a time in the process.
std::unique_lock<std::mutex> LockSimulator();

// Loads and starts ngspice the first time; later calls give the same
// answer. A failure means there is no simulator in this process.
[[nodiscard]] Status Initialise();
// What ngspice printed while it started.
const std::string& InitLog();

// Whether ngspice asked to be unloaded (after a fatal error or a "quit"):
// it cannot be trusted with another circuit in this process.
bool Stopped();

// Points the callbacks at a log (or nowhere, nullptr) for as long as it
// lives.
class SinkGuard {
public:
    explicit SinkGuard(std::string* log);
    ~SinkGuard();
    SinkGuard(const SinkGuard&) = delete;
    SinkGuard& operator=(const SinkGuard&) = delete;

private:
    std::string* m_Previous = nullptr;
};

// Runs an ngspice command on the caller's thread.
void Command(const std::string& command);

enum class RunEnd { Finished, Halted, StillRunning };

// Runs command on ngspice's background thread and waits for it until
// deadline, or until cancelled says so; then halts it.
RunEnd RunUntil(const std::string& command, Clock::time_point deadline,
                const std::function<bool()>& cancelled = {});

// The message of a run that ran out of time.
std::string TooLong(double timeLimit);

// A run that went on after it was told to halt: ngspice takes no other
// command until it is done. MarkBusy records one.
bool Busy();
void MarkBusy();

// Whether ngspice can take a circuit, after a run that did not stop when
// it was told to.
[[nodiscard]] Status WaitIdle();

// Loads netlist as ngspice's current circuit, with the operating point
// aids set (see OperatingPointAids); on failure nothing stays loaded. A
// netlist with a line that would run commands or read files is refused.
[[nodiscard]] Status LoadCircuit(const std::string& netlist, std::string& log);

// Removes the circuit and the plots of a run; what ngspice says about it
// is of no interest.
void Clear();

// The names of every plot, newest first ("ac2", "op1", "const").
std::vector<std::string> Plots();

// The name of the plot whose name is kind followed by digits ("op1",
// "ac2"); empty when there is none.
std::string FindPlot(std::string_view kind);

// Copies a vector out of ngspice ("ac1.out", or a device's "@q1[ic]");
// false when there is none.
bool ReadVector(const std::string& name, std::vector<std::complex<double>>& values);

// The first value of a vector as a real number; false when there is none
// or it is no finite number.
bool ReadNumber(const std::string& name, double& value);

} // namespace norvane::ngspice
