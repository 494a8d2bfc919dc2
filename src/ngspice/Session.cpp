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
        m_Unavailable = true;
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
    return {};
}

Status SimulationSession::Analyse(const std::string& command, double timeLimit,
                                  const std::function<bool()>& cancelled)
{
    if (!m_Loaded || Busy()) {
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
        MarkBusy();
    }
    if (end != RunEnd::Finished) {
        return Failure{cancelled && cancelled() ? std::string("cancelled") : TooLong(timeLimit)};
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

bool SimulationSession::Read(const std::string& name, std::vector<std::complex<double>>& values) const
{
    values.clear();
    if (!m_Loaded || Busy()) {
        return false;
    }
    bool found = false;
    for (const std::string& plot : Plots()) {
        if (found) {
            break;
        }
        if (plot != "const") {
            found = ReadVector(plot + "." + name, values);
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
    if (m_Loaded && !Busy()) {
        const SinkGuard sink(nullptr);
        Command("destroy all");
    }
}

} // namespace norvane
