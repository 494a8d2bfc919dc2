#include "studies/Tolerances.h"

#include "ngspice/LogRules.h"
#include "studies/StudySupport.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace norvane {

using namespace robustness;

namespace {

bool IsResistor(const CircuitPart& part)
{
    return !part.m_Name.empty() && (part.m_Name.front() == 'R' || part.m_Name.front() == 'r');
}

} // namespace

Expected<ToleranceAnalysis> RunTolerances(const AmplifierCircuit& circuit,
                                          const SimulationOptions& simulation, double resistorTolerance,
                                          const ToleranceOptions& options, const RunJudge& misses,
                                          const AnalysisProgress& progress)
{
    if (options.m_Runs < 1 || options.m_Runs > MaximumToleranceRuns) {
        return Failure{"the number of runs must lie between 1 and " + std::to_string(MaximumToleranceRuns)};
    }
    NetlistOptions netlist;
    netlist.m_OutputSourceOff = true;
    netlist.m_SafeAreaCheck = true;
    const std::string text = SessionNetlist(circuit, simulation, netlist);

    SimulationSession session;
    if (!session.Ready()) {
        return SessionFailure(session);
    }
    if (const Status loaded = session.Load(text); !loaded) {
        return NotSimulated(loaded);
    }

    ToleranceAnalysis analysis;
    analysis.m_ResistorTolerance = resistorTolerance;
    analysis.m_Seed = options.m_Seed;
    std::mt19937_64 random(options.m_Seed);
    const TransistorRecord& card = circuit.m_Transistor;
    const bool hasCard = card.name != nullptr;
    std::vector<double> ic, uce, gain, zin, zout, corner;
    std::map<std::string, int> missed;
    std::vector<SafeAreaExcursion> safeArea;
    int done = 0;
    const auto cancelled = [&] { return !GoOn(progress, done, options.m_Runs); };
    for (; done < options.m_Runs; ++done) {
        if (cancelled()) {
            return CancelledFailure();
        }
        // Every value is drawn in every run, in the order of the parts, so
        // that a seed gives the same circuits whatever happens to a run.
        Status changed;
        for (const CircuitPart& part : circuit.m_Parts) {
            const double value =
                DrawWithin(part.m_Value, IsResistor(part) ? resistorTolerance : CapacitorTolerance, random);
            if (changed) {
                changed = session.Change("alter " + part.m_Name + " = " + SpiceNumber(value));
            }
        }
        // log-uniform in [1/spread, spread]
        const double k = std::exp(std::log(CurrentGainSpread) * (2.0 * DrawWithin(0.5, 1.0, random) - 1.0));
        if (hasCard && changed) {
            changed = ScaleCurrentGain(session, card, k);
        }
        if (!changed) {
            return NotSimulated(changed);
        }
        const SimulationResult run = MeasureLoaded(session, circuit, simulation, cancelled);
        safeArea = ngspice::ReadSafeAreaExcursions(session.TakeLog(), safeArea);
        if (!run.Simulated()) {
            if (run.m_Outcome.Is(FailureKind::Cancelled)) {
                return CancelledFailure();
            }
            continue; // counted as m_Runs - m_Simulated
        }
        ++analysis.m_Simulated;
        const std::vector<std::string> runMisses = misses ? misses(run) : std::vector<std::string>{};
        if (runMisses.empty()) {
            ++analysis.m_Meeting;
        }
        for (const std::string& quantity : runMisses) {
            ++missed[quantity];
        }
        ic.push_back(run.m_Ic);
        uce.push_back(run.m_Uce);
        gain.push_back(run.m_GainDb);
        zin.push_back(run.m_InputImpedance);
        zout.push_back(run.m_OutputImpedance);
        if (std::isfinite(run.m_LowerCutoff)) {
            corner.push_back(run.m_LowerCutoff);
        }
    }
    GoOn(progress, done, options.m_Runs);
    analysis.m_Runs = done;
    analysis.m_Ic = MakeDistribution(std::move(ic));
    analysis.m_Uce = MakeDistribution(std::move(uce));
    analysis.m_GainDb = MakeDistribution(std::move(gain));
    analysis.m_InputImpedance = MakeDistribution(std::move(zin));
    analysis.m_OutputImpedance = MakeDistribution(std::move(zout));
    analysis.m_LowerCutoff = MakeDistribution(std::move(corner));
    analysis.m_Misses.assign(missed.begin(), missed.end());
    std::ranges::stable_sort(analysis.m_Misses, std::greater{}, &std::pair<std::string, int>::second);
    analysis.m_SafeArea = std::move(safeArea);
    return analysis;
}

Expected<ToleranceAnalysis> AnalyseTolerances(const AmplifierDesign& design,
                                              const VerificationOptions& verification,
                                              const ToleranceOptions& options,
                                              const AnalysisProgress& progress)
{
    Expected<AmplifierCircuit> circuit = CircuitFor(design, verification);
    if (!circuit) {
        return Failure{circuit.Message()};
    }
    const auto judge = [&](const SimulationResult& run) {
        const Verification judged = JudgeSimulation(design, verification, run);
        std::vector<std::string> quantities;
        for (const VerdictMiss& miss : judged.m_Verdict.m_Misses) {
            quantities.push_back(miss.m_Quantity);
        }
        return quantities;
    };
    Expected<ToleranceAnalysis> analysis =
        RunTolerances(*circuit, SimulationOf(verification),
                      ResistorTolerance(12 << design.Inputs().SeriesIndex()), options, judge, progress);
    if (analysis) {
        analysis.Value().m_Targets = TargetsOf(design);
    }
    return analysis;
}

} // namespace norvane
