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
//    - Gain: H(f) = V(out) / V(in); mid-band, gain in dB and the -3 dB
//      points as FrequencyResponse.h describes them, the mid-band no
//      higher than MidbandLimitFactor x f_min. Behind a source resistance
//      the gain is V(out) / V(source), what the source's own voltage sees.
//    - Input impedance: |V(in) / I(in)| at the mid-band point, I(in) being
//      the current VIN drives into the circuit (-I(VIN) in SPICE's sign).
//      It includes the load, as a source driving the stage would see it.
// 2. The output run: the netlist variant with the input shorted (VIN at
//    AC 0), no load, and 1 A AC driven into out by IOUT; the output
//    impedance is |V(out)| at the mid-band point of the signal run.
//
// ngspice keeps global state: one simulation runs at a time (a mutex
// serialises callers), the library is initialised once per process,
// reading none of the start-up files of the current or the home folder
// (NgspiceLibrary.h), and every run removes its circuit and its plots when
// it is done. Everything ngspice prints is captured into the result's log,
// nothing reaches the console.
//
// A simulation is bounded: both runs together end within
// SimulationTimeLimit of wall time, or the result is "not simulated". An
// operating point that does not converge is never a result: ngspice's last
// resort, a transient run whose end state it would take for the operating
// point, is switched off, and a run that gave up says so.

#include "common/Outcome.h"
#include "design/AmplifierDesign.h"
#include "simulation/FrequencyResponse.h"
#include "simulation/Netlist.h"

#include <complex>
#include <functional>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

namespace norvane {

// Seconds of wall time that one simulation (both runs) may take at most.
inline constexpr double SimulationTimeLimit = 2.0;

// The mid-band figures of a design are read no higher than this multiple
// of its f_min: two decades above the band's lower edge, where the stage
// does what it was designed for, and below the transistor's own roll-off.
inline constexpr double MidbandLimitFactor = 100.0;

struct SimulationOptions {
    // Load at the output in ohms; 0 means none (OpenLoadResistance).
    double m_LoadResistance = 0.0;
    // Resistance of the signal source in ohms; 0 means an ideal source.
    double m_SourceResistance = 0.0;
    int m_PointsPerDecade = DefaultPointsPerDecade;
};

struct SimulationResult {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

    bool m_Simulated = false;
    // There is no simulator: ngspice's library is missing or would not
    // start. m_Problem says which.
    bool m_Unavailable = false;
    // Why there is no result; empty when m_Simulated.
    std::string m_Problem;
    // Everything ngspice printed while it loaded and ran the circuits.
    std::string m_Log;
    // The lines of m_Log that warn of something (none for the netlists of
    // the designs).
    std::vector<std::string> m_Warnings;

    // Operating point, magnitudes (A, V, A); NaN for a circuit without Q1.
    double m_Ic = NaN;
    double m_Uce = NaN;
    double m_Ib = NaN;

    double m_MidbandFrequency = NaN; // Hz
    double m_GainDb = NaN;           // at mid-band
    double m_InputImpedance = NaN;   // ohm, at mid-band
    double m_OutputImpedance = NaN;  // ohm, at mid-band
    double m_LowerCutoff = NaN;      // Hz; NaN when below the sweep
    double m_UpperCutoff = NaN;      // Hz; NaN when above the sweep
    std::vector<BodePoint> m_Bode;   // V(out) / V(in) over the sweep

    // "simulated", "not simulated: <why>", or "simulation unavailable:
    // <why>" when m_Unavailable.
    std::string Status() const
    {
        if (m_Simulated) {
            return "simulated";
        }
        return (m_Unavailable ? "simulation unavailable: " : "not simulated: ") + m_Problem;
    }
};

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

// The vectors of a signal run's sweep.
struct SignalSweep {
    std::vector<double> m_Frequency;
    std::vector<std::complex<double>> m_In;
    std::vector<std::complex<double>> m_Driven; // V(source), or V(in)
    std::vector<std::complex<double>> m_Out;
    std::vector<std::complex<double>> m_SourceCurrent; // I(VIN)
};

// The figures SimulateNetlists reads from the signal run: mid-band,
// gain, -3 dB points, input impedance, and the Bode diagram when withBode,
// into result; the index of the mid-band point, or why there is none
// (vectors that do not match, or no pass band).
[[nodiscard]] Expected<std::size_t> MeasureSweep(const SignalSweep& sweep, double highestMidFrequency,
                                                 bool withBode, SimulationResult& result);

// Loads and starts ngspice unless done before; fails with the reason when
// there is no simulator in this process.
[[nodiscard]] Status SimulatorAvailable();

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
class SimulationSession {
public:
    // Waits for the simulator; Ready() says whether there is one.
    SimulationSession();
    ~SimulationSession();
    SimulationSession(const SimulationSession&) = delete;
    SimulationSession& operator=(const SimulationSession&) = delete;

    // Fails when there is no simulator (m_Unavailable in a result).
    [[nodiscard]] const Status& Ready() const { return m_Ready; }
    bool Unavailable() const { return m_Unavailable; }

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
    // "inoise_total"), or a device's value ("@q1[ic]"); false when there is
    // none or it holds something else than finite numbers.
    [[nodiscard]] bool Read(const std::string& name, std::vector<std::complex<double>>& values) const;
    [[nodiscard]] bool Read(const std::string& name, std::vector<double>& values) const;
    [[nodiscard]] bool Read(const std::string& name, double& value) const;

    // Removes the plots of the analyses so far (they hold memory).
    void ForgetResults();

    // Everything ngspice printed in the session.
    const std::string& Log() const { return m_Log; }

private:
    std::unique_lock<std::mutex> m_Lock;
    Status m_Ready;
    bool m_Unavailable = false;
    bool m_Loaded = false;
    std::string m_Log;
};

} // namespace norvane
