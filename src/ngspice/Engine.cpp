#include "ngspice/Engine.h"

#include "circuit/Netlist.h"
#include "ngspice/LogRules.h"
#include "ngspice/NgspiceLibrary.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <condition_variable>

namespace norvane::ngspice {

namespace {

// ngspice is one global simulator per process: one simulation at a time,
// under this lock. Each run happens on ngspice's background thread while
// the caller waits for it with a deadline.
std::mutex g_Mutex;

// Guarded by g_Mutex.
bool g_InitTried = false;
Status g_Init;
NgspiceApi g_Api;
std::string g_InitLog;
// A run that went on after it was told to halt: ngspice takes no other
// command until it is done.
bool g_Busy = false;

// What the callbacks touch; they run on ngspice's background thread (and
// on the caller's thread for the commands it runs itself).
std::mutex g_CallbackMutex;
std::condition_variable g_BackgroundChanged;
bool g_BackgroundDone = true;
// ngspice asked to be unloaded (after a fatal error or a "quit"): it
// cannot be trusted with another circuit in this process.
bool g_Stopped = false;
// Where the callbacks put what ngspice prints; nullptr discards it.
std::string* g_Sink = nullptr;

int OnSendChar(char* text, int /*id*/, void* /*user*/)
{
    const std::lock_guard lock(g_CallbackMutex);
    if (g_Sink == nullptr || text == nullptr) {
        return 0;
    }
    // Every line comes as "stdout ..." or "stderr ..."; the stream says
    // nothing the text does not, so it is dropped.
    std::string_view line(text);
    for (std::string_view prefix : {"stdout ", "stderr "}) {
        if (line.starts_with(prefix)) {
            line.remove_prefix(prefix.size());
            break;
        }
    }
    g_Sink->append(line);
    g_Sink->push_back('\n');
    return 0;
}

int OnSendStat(char* /*status*/, int /*id*/, void* /*user*/)
{
    return 0; // progress percentages: of no use for runs this short
}

int OnControlledExit(int status, NG_BOOL /*immediate*/, NG_BOOL quit, int /*id*/, void* /*user*/)
{
    const std::lock_guard lock(g_CallbackMutex);
    g_Stopped = true;
    if (g_Sink != nullptr) {
        *g_Sink += "ngspice stopped (status " + std::to_string(status) +
                   (quit ? ", quit" : ", after an error") + ")\n";
    }
    return 0;
}

int OnBackground(NG_BOOL notRunning, int /*id*/, void* /*user*/)
{
    {
        const std::lock_guard lock(g_CallbackMutex);
        g_BackgroundDone = notRunning;
    }
    g_BackgroundChanged.notify_all();
    return 0;
}

// How often a run that may be cancelled asks whether it is.
constexpr std::chrono::milliseconds CancelPoll{20};

// The optran command: initial iteration, gmin stepping and source stepping
// on, as by default, but a step of 0 for the transient operating point,
// which switches it off. That fallback ran for a minute and more on
// circuits whose operating point does not converge, and then handed out
// the state at the end of its transient as if it were one.
constexpr const char* OperatingPointAids = "optran 1 1 1 0 10u 0";

} // namespace

std::unique_lock<std::mutex> LockSimulator()
{
    return std::unique_lock(g_Mutex);
}

const std::string& InitLog()
{
    return g_InitLog;
}

bool Stopped()
{
    const std::lock_guard lock(g_CallbackMutex);
    return g_Stopped;
}

SinkGuard::SinkGuard(std::string* log)
{
    const std::lock_guard lock(g_CallbackMutex);
    m_Previous = g_Sink;
    g_Sink = log;
}

SinkGuard::~SinkGuard()
{
    const std::lock_guard lock(g_CallbackMutex);
    g_Sink = m_Previous;
}

namespace {

// ngspice keeps every command it was given as a node of its control chain
// (the structure of .control loops) and frees the chain only when asked
// to, with a null command: about 70 bytes a command, some 6 KB a
// tolerance run, 680 MB over 100,000 runs (ngspice 39). The chain is let
// go after every command that ran to its end; never while the background
// thread may still walk it.
void ForgetCommands()
{
    if (!g_Api.m_Running()) {
        g_Api.m_Command(nullptr);
    }
}

} // namespace

// The API takes a mutable string.
void Command(const std::string& command)
{
    std::string copy = command;
    g_Api.m_Command(copy.data());
    if (!command.starts_with("bg_")) {
        ForgetCommands();
    }
}

// Loads and starts ngspice the first time; later calls give the same
// answer. A failure means there is no simulator in this process.
Status Initialise()
{
    if (!g_InitTried) {
        g_InitTried = true;
        Expected<NgspiceApi> api = OpenNgspice();
        if (!api) {
            g_Init = api.AsStatus();
        } else {
            g_Api = std::move(api).Value();
            const SinkGuard sink(&g_InitLog);
            g_Init = StartNgspice(g_Api, {OnSendChar, OnSendStat, OnControlledExit, OnBackground});
        }
    }
    if (g_Init && Stopped()) {
        return Failure{"ngspice stopped after an earlier error; restart the program to simulate again",
                       FailureKind::Unavailable};
    }
    // Whatever kept it from starting, there is no simulator in this process.
    return g_Init ? g_Init : Status(Failure{g_Init.Message(), FailureKind::Unavailable});
}

RunEnd RunUntil(const std::string& command, Clock::time_point deadline,
                const std::function<bool()>& cancelled)
{
    {
        const std::lock_guard lock(g_CallbackMutex);
        g_BackgroundDone = false;
    }
    Command("bg_" + command);
    std::unique_lock lock(g_CallbackMutex);
    for (;;) {
        const Clock::time_point until = cancelled ? std::min(deadline, Clock::now() + CancelPoll) : deadline;
        if (g_BackgroundChanged.wait_until(lock, until, [] { return g_BackgroundDone; })) {
            lock.unlock();
            ForgetCommands();
            return RunEnd::Finished;
        }
        if (Clock::now() >= deadline) {
            break;
        }
        lock.unlock();
        const bool stop = cancelled();
        lock.lock();
        if (stop) {
            break;
        }
    }
    lock.unlock();
    Command("bg_halt");
    lock.lock();
    if (!g_BackgroundChanged.wait_for(lock, std::chrono::milliseconds(50), [] { return g_BackgroundDone; })) {
        return RunEnd::StillRunning;
    }
    lock.unlock();
    ForgetCommands();
    return RunEnd::Halted;
}

std::string TooLong(double timeLimit)
{
    return "the simulation took longer than " + SpiceNumber(timeLimit) + " s and was stopped";
}

bool Busy()
{
    return g_Busy;
}

void MarkBusy()
{
    g_Busy = true;
}

Status WaitIdle()
{
    if (g_Busy) {
        if (g_Api.m_Running()) {
            return Failure{"ngspice is still busy with an earlier simulation that did not stop"};
        }
        g_Busy = false;
        Clear();
    }
    return {};
}

Status LoadCircuit(const std::string& netlist, std::string& log)
{
    std::vector<std::string> lines = SplitLines(netlist);
    if (const std::string unsafe = UnsafeLine(lines); !unsafe.empty()) {
        return Failure{"the netlist holds \"" + unsafe + "\", which the simulator does not run",
                       FailureKind::Refused};
    }
    std::vector<char*> pointers;
    for (std::string& line : lines) {
        pointers.push_back(line.data());
    }
    pointers.push_back(nullptr);

    const std::size_t logStart = log.size();
    const SinkGuard sink(&log);
    const int loaded = g_Api.m_Circ(pointers.data());
    const std::string error = ErrorText(log.substr(logStart));
    if (loaded != 0 || Stopped() || !error.empty()) {
        Clear();
        return Failure{"ngspice did not take the netlist" + (error.empty() ? std::string() : ": " + error),
                       FailureKind::Refused};
    }
    const SinkGuard quiet(nullptr);
    Command(OperatingPointAids);
    return {};
}

void Clear()
{
    const SinkGuard sink(nullptr);
    Command("remcirc");
    Command("destroy all");
}

std::vector<std::string> Plots()
{
    std::vector<std::string> names;
    char** plots = g_Api.m_AllPlots();
    for (int i = 0; plots != nullptr && plots[i] != nullptr; ++i) {
        names.emplace_back(plots[i]);
    }
    return names;
}

std::string FindPlot(std::string_view kind)
{
    char** plots = g_Api.m_AllPlots();
    for (int i = 0; plots != nullptr && plots[i] != nullptr; ++i) {
        const std::string_view name(plots[i]);
        if (name.size() > kind.size() && name.starts_with(kind) &&
            std::isdigit(static_cast<unsigned char>(name[kind.size()]))) {
            return std::string(name);
        }
    }
    return {};
}

// Copies a vector out of ngspice (ngGet_Vec_Info hands out its own
// storage, which the next call may reuse).
bool ReadVector(const std::string& name, std::vector<std::complex<double>>& values)
{
    std::string copy = name;
    const pvector_info info = g_Api.m_VectorInfo(copy.data());
    values.clear();
    if (info == nullptr || info->v_length < 1) {
        return false;
    }
    values.reserve(static_cast<std::size_t>(info->v_length));
    for (int i = 0; i < info->v_length; ++i) {
        if (info->v_compdata != nullptr) {
            values.emplace_back(info->v_compdata[i].cx_real, info->v_compdata[i].cx_imag);
        } else if (info->v_realdata != nullptr) {
            values.emplace_back(info->v_realdata[i], 0.0);
        } else {
            return false;
        }
    }
    return true;
}

bool ReadNumber(const std::string& name, double& value)
{
    std::vector<std::complex<double>> values;
    if (!ReadVector(name, values)) {
        return false;
    }
    value = values.front().real();
    return std::isfinite(value);
}

} // namespace norvane::ngspice
