#include "studies/Temperature.h"

#include "ngspice/LogRules.h"
#include "studies/StudySupport.h"

namespace norvane {

using namespace robustness;

Expected<TemperatureAnalysis> AnalyseTemperature(const AmplifierDesign& design,
                                                 const VerificationOptions& verification,
                                                 const AnalysisProgress& progress)
{
    Expected<AmplifierCircuit> circuit = CircuitFor(design, verification);
    if (!circuit) {
        return Failure{circuit.Message()};
    }
    const SimulationOptions simulation = SimulationOf(verification);
    NetlistOptions netlist;
    netlist.m_OutputSourceOff = true;
    netlist.m_SafeAreaCheck = true;
    SimulationSession session;
    if (!session.Ready()) {
        return SessionFailure(session);
    }
    if (const Status loaded = session.Load(SessionNetlist(*circuit, simulation, netlist)); !loaded) {
        return NotSimulated(loaded);
    }
    const int total = static_cast<int>(AnalysisTemperatures.size());
    int done = 0;
    const auto cancelled = [&] { return !GoOn(progress, done, total); };

    TemperatureAnalysis analysis;
    for (const double celsius : AnalysisTemperatures) {
        if (cancelled()) {
            return CancelledFailure();
        }
        if (const Status set = session.Change("option temp = " + SpiceNumber(celsius)); !set) {
            return NotSimulated(set);
        }
        const SimulationResult run = MeasureLoaded(session, *circuit, simulation, cancelled);
        if (run.m_Outcome.Is(FailureKind::Cancelled)) {
            return CancelledFailure();
        }
        analysis.m_Points.push_back({celsius, run.m_Ic, run.m_Uce, run.m_GainDb});
        if (celsius == 25.0) {
            if (!run.Simulated()) {
                return NotSimulated(run.m_Outcome);
            }
            analysis.m_MidbandFrequency = run.m_MidbandFrequency;
        }
        ++done;
    }
    GoOn(progress, done, total);
    analysis.m_SafeArea = ngspice::ReadSafeAreaExcursions(session.Log());
    return analysis;
}

} // namespace norvane
