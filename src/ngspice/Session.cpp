#include "ngspice/Session.h"

#include "analysis/Measurement.h"
#include "ngspice/Engine.h"
#include "ngspice/LogRules.h"

#include <chrono>

namespace norvane {

using namespace ngspice;

SimulationSession::SimulationSession() : m_Lock(LockSimulator())
{
    m_Ready = Initialise();
    if (!m_Ready) {
        m_Log = InitLog();
    } else {
        m_Ready = WaitIdle();
    }
}

SimulationSession::~SimulationSession()
{
    if (m_Loaded && !Busy()) {
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
    m_SetUp = false;
    m_LeakageMultiples.clear();
    for (const LeakageMultiple& leakage : FindLeakageMultiples(netlist)) {
        KeepLeakageMultiples("altermod " + leakage.m_Model + " " + leakage.m_Parameter + " = " +
                             leakage.m_Value);
    }
    return {};
}

void SimulationSession::KeepLeakageMultiples(const std::string& command)
{
    for (const LeakageMultiple& leakage : FindLeakageMultiple(command)) {
        const std::string target = "altermod " + leakage.m_Model + " " + leakage.m_Parameter + " ";
        std::erase_if(m_LeakageMultiples, [&](const std::string& kept) { return kept.starts_with(target); });
        m_LeakageMultiples.push_back(target + "= " + leakage.m_Value);
    }
}

Status SimulationSession::RestoreLeakageMultiples()
{
    if (m_SetUp) {
        for (const std::string& command : m_LeakageMultiples) {
            if (const Status restored = Change(command); !restored) {
                return restored;
            }
        }
    }
    m_SetUp = true;
    return {};
}

Status SimulationSession::Change(const std::string& command)
{
    if (!m_Loaded || Busy()) {
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
    KeepLeakageMultiples(command);
    return {};
}

Status SimulationSession::Analyse(const std::string& command, double timeLimit,
                                  const std::function<bool()>& cancelled)
{
    if (!m_Loaded || Busy()) {
        return Failure{"no circuit is loaded"};
    }
    if (const Status restored = RestoreLeakageMultiples(); !restored) {
        return restored;
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
        MarkBusy();
    }
    if (end != RunEnd::Finished) {
        if (cancelled && cancelled()) {
            return Failure{"cancelled", FailureKind::Cancelled};
        }
        return Failure{TooLong(timeLimit), FailureKind::TimedOut};
    }
    return JudgeRunLog(m_Log.substr(logStart), Stopped());
}

Expected<std::string> SimulationSession::Print(const std::string& command)
{
    const std::size_t logStart = m_Log.size();
    if (const Status changed = Change(command); !changed) {
        return Failure{changed.Message()};
    }
    return m_Log.substr(logStart);
}

Expected<std::vector<std::complex<double>>> SimulationSession::ReadComplex(const std::string& name) const
{
    if (!m_Loaded || Busy()) {
        return Failure{"no circuit is loaded"};
    }
    std::vector<std::complex<double>> values;
    bool found = false;
    for (const std::string& plot : Plots()) {
        if (plot != "const" && ReadVector(plot + "." + name, values)) {
            found = true;
            break;
        }
    }
    // A device's present value, when no plot saved it.
    if (!found && name.starts_with("@")) {
        found = ReadVector(name, values);
    }
    if (!found || !AllFinite(values)) {
        return Failure{"the simulation gave no usable " + name};
    }
    return values;
}

Expected<std::vector<double>> SimulationSession::ReadReal(const std::string& name) const
{
    const Expected<std::vector<std::complex<double>>> complex = ReadComplex(name);
    if (!complex) {
        return Failure{complex.Message()};
    }
    std::vector<double> values;
    values.reserve(complex->size());
    for (const auto& value : *complex) {
        values.push_back(value.real());
    }
    return values;
}

Expected<double> SimulationSession::ReadValue(const std::string& name) const
{
    const Expected<std::vector<std::complex<double>>> values = ReadComplex(name);
    if (!values) {
        return Failure{values.Message()};
    }
    return values->front().real();
}

void SimulationSession::ForgetResults()
{
    if (m_Loaded && !Busy()) {
        const SinkGuard sink(nullptr);
        Command("destroy all");
    }
}

} // namespace norvane
