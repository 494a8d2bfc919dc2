#include "ngspice/Simulator.h"

#include "ngspice/CLocale.h"
#include "ngspice/Engine.h"
#include "ngspice/LogRules.h"

#include <chrono>
#include <complex>
#include <vector>

namespace norvane {

using namespace ngspice;

namespace {

// What one run gives.
struct RunData {
    std::vector<double> m_Frequency;
    std::vector<std::complex<double>> m_In;
    std::vector<std::complex<double>> m_Driven; // V(source), or a copy of in
    std::vector<std::complex<double>> m_Out;
    std::vector<std::complex<double>> m_SourceCurrent; // I(VIN)
    double m_Ic = 0.0, m_Ib = 0.0, m_Vc = 0.0, m_Ve = 0.0;
};

// Loads netlist, runs its analyses until deadline and reads the results;
// on failure says why. The circuit and its plots are gone afterwards
// (unless ngspice is still busy, see Busy).
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
                MarkBusy();
            } else {
                Clear();
            }
            return Failure{TooLong(SimulationTimeLimit), FailureKind::TimedOut};
        }
        runLog = log.substr(logStart);
    }

    const std::string op = FindPlot("op");
    const std::string ac = FindPlot("ac");
    Status status = JudgeRunLog(runLog, Stopped());
    if (status && (op.empty() || ac.empty())) {
        status = Failure{"the simulation gave no result"};
    }

    std::vector<std::complex<double>> frequency;
    if (status) {
        bool ok = ReadVector(ac + ".frequency", frequency) && ReadVector(ac + ".out", data.m_Out);
        if (ok && readInput) {
            ok = ReadVector(ac + ".in", data.m_In) && ReadVector(ac + ".vin#branch", data.m_SourceCurrent);
            const std::string driven = probe != nullptr ? probe->m_Driven : "in";
            if (driven == "in") {
                data.m_Driven = data.m_In;
            } else {
                ok = ok && ReadVector(ac + "." + driven, data.m_Driven);
            }
        }
        if (ok && probe != nullptr && probe->m_HasTransistor) {
            ok = ReadNumber("@q1[ic]", data.m_Ic) && ReadNumber("@q1[ib]", data.m_Ib) &&
                 ReadNumber(op + "." + probe->m_Collector, data.m_Vc) &&
                 ReadNumber(op + "." + probe->m_Emitter, data.m_Ve);
        }
        if (!ok) {
            status = Failure{"the simulation results are incomplete"};
        }
    }
    data.m_Frequency.clear();
    for (const auto& f : frequency) {
        data.m_Frequency.push_back(f.real());
    }
    Clear();
    return status;
}

SimulationResult NotSimulated(Failure why, std::string log = {})
{
    SimulationResult result;
    result.m_Outcome = std::move(why);
    result.m_Log = std::move(log);
    return result;
}

SimulationResult NotSimulated(const Status& why, std::string log = {})
{
    return NotSimulated(Failure{why.Message(), why.Kind()}, std::move(log));
}

} // namespace

Status SimulatorAvailable()
{
    const auto lock = LockSimulator();
    const CLocaleScope locale;
    return Initialise();
}

SimulationResult SimulateNetlists(const std::string& signalNetlist, const std::string& outputNetlist,
                                  const SimulationProbe& probe)
{
    // The time waited for another simulation (a long analysis may hold the
    // simulator for seconds) is not this one's.
    const auto lock = LockSimulator();
    const CLocaleScope locale;
    if (const Status ready = Initialise(); !ready) {
        return NotSimulated(Failure{ready.Message(), FailureKind::Unavailable}, InitLog());
    }
    const auto deadline =
        Clock::now() +
        std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(SimulationTimeLimit)) -
        HaltWait;
    if (const Status idle = WaitIdle(); !idle) {
        return NotSimulated(idle);
    }

    std::string log;
    RunData signal;
    if (const Status ran = Run(signalNetlist, &probe, true, deadline, signal, log); !ran) {
        return NotSimulated(ran, log);
    }
    RunData output;
    if (!outputNetlist.empty()) {
        log += "* output impedance run\n";
        if (const Status ran = Run(outputNetlist, nullptr, false, deadline, output, log); !ran) {
            return NotSimulated(Failure{"output impedance run: " + ran.Message(), ran.Kind()}, log);
        }
    }

    if ((!outputNetlist.empty() && output.m_Out.size() != signal.m_Frequency.size()) ||
        !AllFinite(output.m_Out)) {
        return NotSimulated(Failure{"the simulation results are no usable numbers"}, log);
    }
    const SignalSweep sweep{std::move(signal.m_Frequency), std::move(signal.m_In), std::move(signal.m_Driven),
                            std::move(signal.m_Out), std::move(signal.m_SourceCurrent)};
    const Expected<SweepFigures> figures = MeasureSweep(sweep, probe.m_HighestMidFrequency, true);
    if (!figures) {
        return NotSimulated(figures.AsStatus(), log);
    }
    SimulationResult result;
    figures->CopyTo(result);
    result.m_Outcome = {};
    result.m_Warnings = LinesWith(log, "warning");
    result.m_Log = std::move(log);
    if (probe.m_HasTransistor) {
        const double sign = probe.m_IsPnp ? -1.0 : 1.0;
        result.m_Ic = sign * signal.m_Ic;
        result.m_Ib = sign * signal.m_Ib;
        result.m_Uce = sign * (signal.m_Vc - signal.m_Ve);
    }
    if (!outputNetlist.empty()) {
        result.m_OutputImpedance = std::abs(output.m_Out[figures->m_MidIndex]); // V(out) per 1 A
    }
    return result;
}

SimulationResult Simulate(const AmplifierDesign& design, const SimulationOptions& options)
{
    if (!design.IsUsable()) {
        return NotSimulated(Failure{"the design cannot be built: " + design.Problem(), FailureKind::Refused});
    }
    return SimulateCircuit(DescribeCircuit(design), options);
}

SimulationResult SimulateCircuit(const AmplifierCircuit& circuit, const SimulationOptions& options)
{
    if (const Status check = CheckCircuit(circuit); !check) {
        return NotSimulated(Failure{check.Message(), FailureKind::Refused});
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

} // namespace norvane
