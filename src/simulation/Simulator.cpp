#include "simulation/Simulator.h"

#include "simulation/NgspiceLibrary.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <complex>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <sstream>

namespace norvane {

namespace {

using Clock = std::chrono::steady_clock;

// ngspice's bg_halt waits up to a second (100 polls of 10 ms) for its
// thread to stop; the runs get the time limit less that second.
constexpr std::chrono::milliseconds HaltWait{1000};

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

bool Stopped()
{
    const std::lock_guard lock(g_CallbackMutex);
    return g_Stopped;
}

// Points the callbacks at a log (or nowhere) for as long as it lives.
class SinkGuard {
public:
    explicit SinkGuard(std::string* log)
    {
        const std::lock_guard lock(g_CallbackMutex);
        m_Previous = g_Sink;
        g_Sink = log;
    }
    ~SinkGuard()
    {
        const std::lock_guard lock(g_CallbackMutex);
        g_Sink = m_Previous;
    }
    SinkGuard(const SinkGuard&) = delete;
    SinkGuard& operator=(const SinkGuard&) = delete;

private:
    std::string* m_Previous = nullptr;
};

// Runs an ngspice command on the caller's thread; the API takes a mutable
// string.
void Command(const std::string& command)
{
    std::string copy = command;
    g_Api.command(copy.data());
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
        return Failure{"ngspice stopped after an earlier error; restart the program to simulate again"};
    }
    return g_Init;
}

enum class RunEnd { Finished, Halted, StillRunning };

// How often a run that may be cancelled asks whether it is.
constexpr std::chrono::milliseconds CancelPoll{20};

// Runs command on ngspice's background thread and waits for it until
// deadline, or until cancelled says so; then halts it.
RunEnd RunUntil(const std::string& command, Clock::time_point deadline,
                const std::function<bool()>& cancelled = {})
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
    return g_BackgroundChanged.wait_for(lock, std::chrono::milliseconds(50), [] { return g_BackgroundDone; })
               ? RunEnd::Halted
               : RunEnd::StillRunning;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

// The lines of a log that contain word (any case).
std::vector<std::string> LinesWith(const std::string& log, std::string_view word)
{
    std::vector<std::string> found;
    std::istringstream stream(log);
    std::string line;
    while (std::getline(stream, line)) {
        if (Lower(line).find(word) != std::string::npos) {
            found.push_back(line);
        }
    }
    return found;
}

// What went wrong, from the first line of log that reports an error. A
// line that ends in ':' announces its detail on the next lines ("Error on
// line 6 or its substitute:" / the line / the reason), which are added.
std::string ErrorText(const std::string& log)
{
    std::vector<std::string> lines;
    std::istringstream stream(log);
    std::string line;
    while (std::getline(stream, line)) {
        lines.push_back(line);
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (Lower(lines[i]).find("error") == std::string::npos) {
            continue;
        }
        std::string text = lines[i];
        if (text.starts_with("Error: ")) {
            text.erase(0, 7);
        }
        if (!text.empty() && text.back() == ':') {
            for (std::size_t k = i + 1; k < lines.size() && k <= i + 2; ++k) {
                text += " " + lines[k];
            }
        }
        return text;
    }
    return {};
}

// The name of the plot whose name is kind followed by digits ("op1",
// "ac2"); empty when there is none.
std::string FindPlot(std::string_view kind)
{
    char** plots = g_Api.allPlots();
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
    const pvector_info info = g_Api.vectorInfo(copy.data());
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

// Removes the circuit and the plots of a run; what ngspice says about it
// is of no interest.
void Clear()
{
    const SinkGuard sink(nullptr);
    Command("remcirc");
    Command("destroy all");
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

// Lines that would make ngspice run commands or read other files: a
// netlist here is a circuit and its analyses, nothing more.
std::string UnsafeLine(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        const std::string word = Lower(line.substr(0, line.find_first_of(" \t")));
        if (word == ".control" || word == ".include" || word == ".inc" || word == ".lib") {
            return line;
        }
    }
    return {};
}

// What ngspice prints when an analysis gave up, although it reports no
// error: the operating point that gmin and source stepping did not find
// ("Too many iterations without convergence", "run simulation(s)
// aborted"), or one found only by a transient run (which the runs switch
// off, see Run), or a transient that could not step on.
constexpr std::array<std::string_view, 4> GaveUpMarks = {"without convergence", "aborted", "transient op",
                                                         "timestep too small"};

// The optran command: initial iteration, gmin stepping and source stepping
// on, as by default, but a step of 0 for the transient operating point,
// which switches it off. That fallback ran for a minute and more on
// circuits whose operating point does not converge, and then handed out
// the state at the end of its transient as if it were one.
constexpr const char* OperatingPointAids = "optran 1 1 1 0 10u 0";

// Whether what ngspice printed during a run tells of a failure, and which.
Status JudgeRunLog(const std::string& runLog)
{
    const std::string error = ErrorText(runLog);
    // A singular matrix means a node without a DC path: whatever ngspice
    // then settles on (it tries gmin and source stepping) is not the
    // circuit's operating point.
    const auto singular = LinesWith(runLog, "singular matrix");
    std::vector<std::string> gaveUp;
    for (std::string_view mark : GaveUpMarks) {
        if (gaveUp.empty()) {
            gaveUp = LinesWith(runLog, mark);
        }
    }
    if (!error.empty()) {
        return Failure{"ngspice: " + error};
    }
    if (!singular.empty()) {
        return Failure{"ngspice: " + singular.front().substr(singular.front().find("singular"))};
    }
    if (!gaveUp.empty()) {
        std::string line = gaveUp.front();
        if (const std::size_t colon = line.find(": ");
            line.starts_with("doAnalyses") && colon != std::string::npos) {
            line.erase(0, colon + 2);
        }
        return Failure{"ngspice: " + line};
    }
    if (Stopped()) {
        return Failure{"ngspice stopped"};
    }
    return {};
}

// The message of a run that ran out of time.
std::string TooLong(double timeLimit)
{
    return "the simulation took longer than " + SpiceNumber(timeLimit) + " s and was stopped";
}

// What one run gives.
struct RunData {
    std::vector<double> frequency;
    std::vector<std::complex<double>> in;
    std::vector<std::complex<double>> driven; // V(source), or a copy of in
    std::vector<std::complex<double>> out;
    std::vector<std::complex<double>> sourceCurrent; // I(VIN)
    double ic = 0.0, ib = 0.0, vc = 0.0, ve = 0.0;
};

// Loads netlist, runs its analyses until deadline and reads the results;
// on failure says why. The circuit and its plots are gone afterwards
// (unless ngspice is still busy, see g_Busy).
// Loads netlist as ngspice's current circuit, with the operating point
// aids set; on failure nothing stays loaded.
Status LoadCircuit(const std::string& netlist, std::string& log)
{
    std::vector<std::string> lines = SplitLines(netlist);
    if (const std::string unsafe = UnsafeLine(lines); !unsafe.empty()) {
        return Failure{"the netlist holds \"" + unsafe + "\", which the simulator does not run"};
    }
    std::vector<char*> pointers;
    for (std::string& line : lines) {
        pointers.push_back(line.data());
    }
    pointers.push_back(nullptr);

    const std::size_t logStart = log.size();
    const SinkGuard sink(&log);
    const int loaded = g_Api.circ(pointers.data());
    const std::string error = ErrorText(log.substr(logStart));
    if (loaded != 0 || Stopped() || !error.empty()) {
        Clear();
        return Failure{"ngspice did not take the netlist" + (error.empty() ? std::string() : ": " + error)};
    }
    const SinkGuard quiet(nullptr);
    Command(OperatingPointAids);
    return {};
}

Status Run(const std::string& netlist, const SimulationProbe* probe, bool readInput,
           Clock::time_point deadline, RunData& data, std::string& log)
{
    if (const Status loaded = LoadCircuit(netlist, log); !loaded) {
        return loaded;
    }
    const std::size_t logStart = log.size();
    std::string runLog;
    {
        const SinkGuard sink(&log);
        const RunEnd end = RunUntil("run", deadline);
        if (end != RunEnd::Finished) {
            if (end == RunEnd::StillRunning) {
                g_Busy = true;
            } else {
                Clear();
            }
            return Failure{TooLong(SimulationTimeLimit)};
        }
        runLog = log.substr(logStart);
    }

    const std::string op = FindPlot("op");
    const std::string ac = FindPlot("ac");
    Status status = JudgeRunLog(runLog);
    if (status && (op.empty() || ac.empty())) {
        status = Failure{"the simulation gave no result"};
    }

    std::vector<std::complex<double>> frequency;
    if (status) {
        bool ok = ReadVector(ac + ".frequency", frequency) && ReadVector(ac + ".out", data.out);
        if (ok && readInput) {
            ok = ReadVector(ac + ".in", data.in) && ReadVector(ac + ".vin#branch", data.sourceCurrent);
            const std::string driven = probe != nullptr ? probe->m_Driven : "in";
            if (driven == "in") {
                data.driven = data.in;
            } else {
                ok = ok && ReadVector(ac + "." + driven, data.driven);
            }
        }
        if (ok && probe != nullptr && probe->m_HasTransistor) {
            ok = ReadNumber("@q1[ic]", data.ic) && ReadNumber("@q1[ib]", data.ib) &&
                 ReadNumber(op + "." + probe->m_Collector, data.vc) &&
                 ReadNumber(op + "." + probe->m_Emitter, data.ve);
        }
        if (!ok) {
            status = Failure{"the simulation results are incomplete"};
        }
    }
    data.frequency.clear();
    for (const auto& f : frequency) {
        data.frequency.push_back(f.real());
    }
    Clear();
    return status;
}

// Under g_Mutex: whether ngspice can take a circuit, after a run that did
// not stop when it was told to.
Status WaitIdle()
{
    if (g_Busy) {
        if (g_Api.running()) {
            return Failure{"ngspice is still busy with an earlier simulation that did not stop"};
        }
        g_Busy = false;
        Clear();
    }
    return {};
}

bool AllFinite(const std::vector<std::complex<double>>& values)
{
    return std::all_of(values.begin(), values.end(), [](const std::complex<double>& v) {
        return std::isfinite(v.real()) && std::isfinite(v.imag());
    });
}

SimulationResult NotSimulated(std::string why, std::string log = {})
{
    SimulationResult result;
    result.m_Problem = std::move(why);
    result.m_Log = std::move(log);
    return result;
}

} // namespace

Status SimulatorAvailable()
{
    const std::lock_guard lock(g_Mutex);
    return Initialise();
}

SimulationResult SimulateNetlists(const std::string& signalNetlist, const std::string& outputNetlist,
                                  const SimulationProbe& probe)
{
    // The time waited for another simulation (a long analysis may hold the
    // simulator for seconds) is not this one's.
    const std::lock_guard lock(g_Mutex);
    if (const Status ready = Initialise(); !ready) {
        SimulationResult result = NotSimulated(ready.Message(), g_InitLog);
        result.m_Unavailable = true;
        return result;
    }
    const auto deadline =
        Clock::now() +
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(SimulationTimeLimit)) -
        HaltWait;
    if (const Status idle = WaitIdle(); !idle) {
        return NotSimulated(idle.Message());
    }

    std::string log;
    RunData signal;
    if (const Status ran = Run(signalNetlist, &probe, true, deadline, signal, log); !ran) {
        return NotSimulated(ran.Message(), log);
    }
    RunData output;
    if (!outputNetlist.empty()) {
        log += "* output impedance run\n";
        if (const Status ran = Run(outputNetlist, nullptr, false, deadline, output, log); !ran) {
            return NotSimulated("output impedance run: " + ran.Message(), log);
        }
    }

    if ((!outputNetlist.empty() && output.out.size() != signal.frequency.size()) || !AllFinite(output.out)) {
        return NotSimulated("the simulation results are no usable numbers", log);
    }
    const SignalSweep sweep{std::move(signal.frequency), std::move(signal.in), std::move(signal.driven),
                            std::move(signal.out), std::move(signal.sourceCurrent)};
    SimulationResult result;
    const Expected<std::size_t> mid = MeasureSweep(sweep, probe.m_HighestMidFrequency, true, result);
    if (!mid) {
        return NotSimulated(mid.Message(), log);
    }
    result.m_Simulated = true;
    result.m_Warnings = LinesWith(log, "warning");
    result.m_Log = std::move(log);
    if (probe.m_HasTransistor) {
        const double sign = probe.m_IsPnp ? -1.0 : 1.0;
        result.m_Ic = sign * signal.ic;
        result.m_Ib = sign * signal.ib;
        result.m_Uce = sign * (signal.vc - signal.ve);
    }
    if (!outputNetlist.empty()) {
        result.m_OutputImpedance = std::abs(output.out[*mid]); // V(out) per 1 A
    }
    return result;
}

Expected<std::size_t> MeasureSweep(const SignalSweep& sweep, double highestMidFrequency, bool withBode,
                                   SimulationResult& result)
{
    const std::size_t n = sweep.m_Frequency.size();
    if (n < 2 || sweep.m_In.size() != n || sweep.m_Driven.size() != n || sweep.m_Out.size() != n ||
        sweep.m_SourceCurrent.size() != n || !AllFinite(sweep.m_In) || !AllFinite(sweep.m_Out) ||
        !AllFinite(sweep.m_Driven) || !AllFinite(sweep.m_SourceCurrent)) {
        return Failure{"the simulation results are no usable numbers"};
    }
    std::vector<std::complex<double>> gain(n);
    for (std::size_t i = 0; i < n; ++i) {
        gain[i] = sweep.m_Out[i] / sweep.m_Driven[i];
    }
    const PassBand band = FindPassBand(sweep.m_Frequency, gain, highestMidFrequency);
    if (std::isnan(band.m_MidGainDb)) {
        return Failure{"the simulated response has no pass band (no signal at the output)"};
    }
    const std::size_t mid = band.m_MidIndex;
    result.m_MidbandFrequency = band.m_MidFrequency;
    result.m_GainDb = band.m_MidGainDb;
    result.m_LowerCutoff = band.m_LowerCutoff;
    result.m_UpperCutoff = band.m_UpperCutoff;
    // The current into the circuit is the one VIN drives out of its +
    // terminal: -I(VIN).
    result.m_InputImpedance = std::abs(sweep.m_In[mid] / -sweep.m_SourceCurrent[mid]);
    if (withBode) {
        result.m_Bode = MakeBode(sweep.m_Frequency, gain, mid);
    }
    return mid;
}

SimulationResult Simulate(const AmplifierDesign& design, const SimulationOptions& options)
{
    if (!design.IsUsable()) {
        return NotSimulated("the design cannot be built: " + design.Problem());
    }
    return SimulateCircuit(DescribeCircuit(design), options);
}

SimulationResult SimulateCircuit(const AmplifierCircuit& circuit, const SimulationOptions& options)
{
    if (const Status check = CheckCircuit(circuit); !check) {
        return NotSimulated(check.Message());
    }
    NetlistOptions netlistOptions;
    netlistOptions.m_LoadResistance = options.m_LoadResistance;
    netlistOptions.m_SourceResistance = options.m_SourceResistance;
    netlistOptions.m_PointsPerDecade = options.m_PointsPerDecade;
    const std::string signal = WriteNetlist(circuit, netlistOptions);
    netlistOptions.m_DriveOutput = true;
    const std::string output = WriteNetlist(circuit, netlistOptions);

    SimulationProbe probe;
    probe.m_IsPnp = circuit.m_IsPnp;
    probe.m_Collector = circuit.m_Collector;
    probe.m_Emitter = circuit.m_Emitter;
    probe.m_Driven = DrivenNode(options.m_SourceResistance);
    probe.m_HighestMidFrequency = MidbandLimitFactor * circuit.m_LowerCutoff;
    return SimulateNetlists(signal, output, probe);
}

SimulationSession::SimulationSession() : m_Lock(g_Mutex)
{
    m_Ready = Initialise();
    if (!m_Ready) {
        m_Unavailable = true;
        m_Log = g_InitLog;
    } else {
        m_Ready = WaitIdle();
    }
}

SimulationSession::~SimulationSession()
{
    if (m_Loaded && !g_Busy) {
        Clear();
    }
}

Status SimulationSession::Load(const std::string& netlist)
{
    if (!m_Ready) {
        return m_Ready;
    }
    if (m_Loaded) {
        Clear();
        m_Loaded = false;
    }
    if (const Status loaded = LoadCircuit(netlist, m_Log); !loaded) {
        return loaded;
    }
    m_Loaded = true;
    return {};
}

Status SimulationSession::Change(const std::string& command)
{
    if (!m_Loaded || g_Busy) {
        return Failure{"no circuit is loaded"};
    }
    const std::size_t logStart = m_Log.size();
    {
        const SinkGuard sink(&m_Log);
        Command(command);
    }
    const std::string error = ErrorText(m_Log.substr(logStart));
    if (!error.empty() || Stopped()) {
        return Failure{"ngspice: " + (error.empty() ? std::string("stopped") : error)};
    }
    return {};
}

Status SimulationSession::Analyse(const std::string& command, double timeLimit,
                                  const std::function<bool()>& cancelled)
{
    if (!m_Loaded || g_Busy) {
        return Failure{"no circuit is loaded"};
    }
    const auto deadline =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeLimit));
    const std::size_t logStart = m_Log.size();
    RunEnd end = RunEnd::Finished;
    {
        const SinkGuard sink(&m_Log);
        if (timeLimit <= 0) {
            Command(command);
        } else {
            end = RunUntil(command, deadline, cancelled);
        }
    }
    if (end == RunEnd::StillRunning) {
        g_Busy = true;
    }
    if (end != RunEnd::Finished) {
        return Failure{cancelled && cancelled() ? std::string("cancelled") : TooLong(timeLimit)};
    }
    return JudgeRunLog(m_Log.substr(logStart));
}

Expected<std::string> SimulationSession::Print(const std::string& command)
{
    const std::size_t logStart = m_Log.size();
    if (const Status changed = Change(command); !changed) {
        return Failure{changed.Message()};
    }
    return m_Log.substr(logStart);
}

bool SimulationSession::Read(const std::string& name, std::vector<std::complex<double>>& values) const
{
    values.clear();
    if (!m_Loaded || g_Busy) {
        return false;
    }
    bool found = false;
    char** plots = g_Api.allPlots();
    for (int i = 0; !found && plots != nullptr && plots[i] != nullptr; ++i) {
        if (std::string_view(plots[i]) != "const") {
            found = ReadVector(std::string(plots[i]) + "." + name, values);
        }
    }
    // A device's present value, when no plot saved it.
    if (!found && name.starts_with("@")) {
        found = ReadVector(name, values);
    }
    return found && AllFinite(values);
}

bool SimulationSession::Read(const std::string& name, std::vector<double>& values) const
{
    std::vector<std::complex<double>> complex;
    values.clear();
    if (!Read(name, complex)) {
        return false;
    }
    for (const auto& value : complex) {
        values.push_back(value.real());
    }
    return true;
}

bool SimulationSession::Read(const std::string& name, double& value) const
{
    std::vector<std::complex<double>> values;
    if (!Read(name, values)) {
        return false;
    }
    value = values.front().real();
    return true;
}

void SimulationSession::ForgetResults()
{
    if (m_Loaded && !g_Busy) {
        const SinkGuard sink(nullptr);
        Command("destroy all");
    }
}

} // namespace norvane
