#include "simulation/Simulator.h"

#include <ngspice/sharedspice.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <complex>
#include <mutex>
#include <sstream>

namespace norvane {

namespace {

// ngspice is one global simulator per process: every access to it happens
// under this lock, on the caller's thread (the background thread of
// ngspice is never used).
std::mutex g_Mutex;

// State below is guarded by g_Mutex. The callbacks run synchronously on
// the thread that called into ngspice, which holds the lock.
bool g_InitTried = false;
bool g_InitOk = false;
std::string g_InitLog;
// ngspice asked to be unloaded (after a fatal error or a "quit"): it
// cannot be trusted with another circuit in this process.
bool g_Stopped = false;
// Where the callbacks put what ngspice prints; nullptr discards it.
std::string* g_Sink = nullptr;

int OnSendChar(char* text, int /*id*/, void* /*user*/)
{
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
    return 0;  // progress percentages: of no use for runs this short
}

int OnControlledExit(int status, NG_BOOL /*immediate*/, NG_BOOL quit, int /*id*/, void* /*user*/)
{
    g_Stopped = true;
    if (g_Sink != nullptr) {
        *g_Sink += "ngspice stopped (status " + std::to_string(status) + (quit ? ", quit" : ", after an error")
                   + ")\n";
    }
    return 0;
}

// Points the callbacks at a log for as long as it lives.
class SinkGuard {
public:
    explicit SinkGuard(std::string& log) : m_Previous(g_Sink) { g_Sink = &log; }
    ~SinkGuard() { g_Sink = m_Previous; }
    SinkGuard(const SinkGuard&) = delete;
    SinkGuard& operator=(const SinkGuard&) = delete;

private:
    std::string* m_Previous;
};

// Runs an ngspice command; the API takes a mutable string.
void Command(const std::string& command)
{
    std::string copy = command;
    ngSpice_Command(copy.data());
}

bool Initialise(std::string& problem)
{
    if (!g_InitTried) {
        g_InitTried = true;
        const SinkGuard sink(g_InitLog);
        // No data callbacks: the vectors are read after each run, and a
        // per-point callback would only cost time.
        const int rc = ngSpice_Init(OnSendChar, OnSendStat, OnControlledExit, nullptr, nullptr, nullptr, nullptr);
        g_InitOk = rc == 0 && !g_Stopped;
    }
    if (!g_InitOk) {
        problem = "ngspice could not be initialised";
        return false;
    }
    if (g_Stopped) {
        problem = "ngspice stopped after an earlier error; restart the program to simulate again";
        return false;
    }
    return true;
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
    char** plots = ngSpice_AllPlots();
    for (int i = 0; plots != nullptr && plots[i] != nullptr; ++i) {
        const std::string_view name(plots[i]);
        if (name.size() > kind.size() && name.starts_with(kind)
            && std::isdigit(static_cast<unsigned char>(name[kind.size()]))) {
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
    const pvector_info info = ngGet_Vec_Info(copy.data());
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
    std::string* sink = g_Sink;
    g_Sink = nullptr;
    Command("remcirc");
    Command("destroy all");
    g_Sink = sink;
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

// What one run gives.
struct RunData {
    std::vector<double> frequency;
    std::vector<std::complex<double>> in;
    std::vector<std::complex<double>> out;
    std::vector<std::complex<double>> sourceCurrent;  // I(VIN)
    double ic = 0.0, ib = 0.0, vc = 0.0, ve = 0.0;
};

// Loads netlist, runs its analyses and reads the results; on failure says
// why in problem. The circuit and its plots are gone afterwards.
bool Run(const std::string& netlist, const SimulationProbe* probe, bool readInput, RunData& data, std::string& log,
         std::string& problem)
{
    std::vector<std::string> lines = SplitLines(netlist);
    std::vector<char*> pointers;
    for (std::string& line : lines) {
        pointers.push_back(line.data());
    }
    pointers.push_back(nullptr);

    const std::size_t logStart = log.size();
    const SinkGuard sink(log);
    const int loaded = ngSpice_Circ(pointers.data());
    std::string error = ErrorText(log.substr(logStart));
    if (loaded != 0 || g_Stopped || !error.empty()) {
        problem = "ngspice did not take the netlist" + (error.empty() ? std::string() : ": " + error);
        Clear();
        return false;
    }

    Command("run");
    const std::string runLog = log.substr(logStart);
    error = ErrorText(runLog);
    const std::string op = FindPlot("op");
    const std::string ac = FindPlot("ac");
    // A singular matrix means a node without a DC path: whatever ngspice
    // then settles on (it tries gmin and source stepping, and finally a
    // transient) is not the circuit's operating point.
    const auto singular = LinesWith(runLog, "singular matrix");
    bool ok = error.empty() && singular.empty() && !g_Stopped && !op.empty() && !ac.empty();
    if (!ok) {
        if (!error.empty()) {
            problem = "ngspice: " + error;
        } else if (!singular.empty()) {
            problem = "ngspice: " + singular.front().substr(singular.front().find("singular"));
        } else if (g_Stopped) {
            problem = "ngspice stopped";
        } else {
            problem = "the simulation gave no result";
        }
    }

    std::vector<std::complex<double>> frequency;
    if (ok) {
        ok = ReadVector(ac + ".frequency", frequency) && ReadVector(ac + ".out", data.out);
        if (ok && readInput) {
            ok = ReadVector(ac + ".in", data.in) && ReadVector(ac + ".vin#branch", data.sourceCurrent);
        }
        if (ok && probe != nullptr && probe->m_HasTransistor) {
            ok = ReadNumber("@q1[ic]", data.ic) && ReadNumber("@q1[ib]", data.ib)
                 && ReadNumber(op + "." + probe->m_Collector, data.vc)
                 && ReadNumber(op + "." + probe->m_Emitter, data.ve);
        }
        if (!ok) {
            problem = "the simulation results are incomplete";
        }
    }
    data.frequency.clear();
    for (const auto& f : frequency) {
        data.frequency.push_back(f.real());
    }
    Clear();
    return ok;
}

bool AllFinite(const std::vector<std::complex<double>>& values)
{
    return std::all_of(values.begin(), values.end(),
                       [](const std::complex<double>& v) { return std::isfinite(v.real()) && std::isfinite(v.imag()); });
}

SimulationResult NotSimulated(std::string why, std::string log = {})
{
    SimulationResult result;
    result.m_Problem = std::move(why);
    result.m_Log = std::move(log);
    return result;
}

} // namespace

std::string SimulationResult::Status() const
{
    return m_Simulated ? "simulated" : "not simulated: " + m_Problem;
}

bool SimulatorAvailable(std::string* problem)
{
    std::lock_guard lock(g_Mutex);
    std::string why;
    const bool ok = Initialise(why);
    if (problem != nullptr) {
        *problem = why;
    }
    return ok;
}

SimulationResult SimulateNetlists(const std::string& signalNetlist, const std::string& outputNetlist,
                                  const SimulationProbe& probe)
{
    std::lock_guard lock(g_Mutex);
    std::string problem;
    if (!Initialise(problem)) {
        return NotSimulated(problem, g_InitLog);
    }

    std::string log;
    RunData signal;
    if (!Run(signalNetlist, &probe, true, signal, log, problem)) {
        return NotSimulated(problem, log);
    }
    RunData output;
    if (!outputNetlist.empty()) {
        log += "* output impedance run\n";
        if (!Run(outputNetlist, nullptr, false, output, log, problem)) {
            return NotSimulated("output impedance run: " + problem, log);
        }
    }

    const std::size_t n = signal.frequency.size();
    if (n < 2 || signal.in.size() != n || signal.out.size() != n || signal.sourceCurrent.size() != n
        || (!outputNetlist.empty() && output.out.size() != n) || !AllFinite(signal.in) || !AllFinite(signal.out)
        || !AllFinite(signal.sourceCurrent) || !AllFinite(output.out)) {
        return NotSimulated("the simulation results are no usable numbers", log);
    }

    std::vector<std::complex<double>> gain(n);
    for (std::size_t i = 0; i < n; ++i) {
        gain[i] = signal.out[i] / signal.in[i];
    }
    const PassBand band = FindPassBand(signal.frequency, gain);
    if (std::isnan(band.m_MidGainDb)) {
        return NotSimulated("the simulated response has no pass band (no signal at the output)", log);
    }

    SimulationResult result;
    result.m_Simulated = true;
    result.m_Warnings = LinesWith(log, "warning");
    result.m_Log = std::move(log);
    if (probe.m_HasTransistor) {
        const double sign = probe.m_IsPnp ? -1.0 : 1.0;
        result.m_Ic = sign * signal.ic;
        result.m_Ib = sign * signal.ib;
        result.m_Uce = sign * (signal.vc - signal.ve);
    }
    const std::size_t mid = band.m_MidIndex;
    result.m_MidbandFrequency = band.m_MidFrequency;
    result.m_GainDb = band.m_MidGainDb;
    result.m_LowerCutoff = band.m_LowerCutoff;
    result.m_UpperCutoff = band.m_UpperCutoff;
    // The current into the circuit is the one VIN drives out of its +
    // terminal: -I(VIN).
    result.m_InputImpedance = std::abs(signal.in[mid] / -signal.sourceCurrent[mid]);
    if (!outputNetlist.empty()) {
        result.m_OutputImpedance = std::abs(output.out[mid]);  // V(out) per 1 A
    }
    result.m_Bode = MakeBode(signal.frequency, gain, mid);
    return result;
}

SimulationResult Simulate(const AmplifierDesign& design, const SimulationOptions& options)
{
    if (!design.IsUsable()) {
        return NotSimulated("the design cannot be built: " + design.Problem());
    }
    const AmplifierCircuit circuit = DescribeCircuit(design);
    const std::string check = CheckCircuit(circuit);
    if (!check.empty()) {
        return NotSimulated(check);
    }
    NetlistOptions netlistOptions;
    netlistOptions.m_LoadResistance = options.m_LoadResistance;
    netlistOptions.m_PointsPerDecade = options.m_PointsPerDecade;
    const std::string signal = WriteNetlist(circuit, netlistOptions);
    netlistOptions.m_DriveOutput = true;
    const std::string output = WriteNetlist(circuit, netlistOptions);

    SimulationProbe probe;
    probe.m_IsPnp = circuit.m_IsPnp;
    probe.m_Collector = circuit.m_Collector;
    probe.m_Emitter = circuit.m_Emitter;
    return SimulateNetlists(signal, output, probe);
}

} // namespace norvane
