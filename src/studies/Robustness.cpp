#include "studies/Robustness.h"

#include "studies/RobustnessDetail.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace norvane {

namespace robustness {

Expected<AmplifierCircuit> CircuitFor(const AmplifierDesign& design, const VerificationOptions& verification)
{
    if (!design.IsUsable()) {
        return Failure{"not simulated: the design cannot be built: " + design.Problem()};
    }
    AmplifierCircuit circuit = VerifiedCircuit(design, verification.m_PartValues);
    if (const Status check = CheckCircuit(circuit); !check) {
        return NotSimulated(check);
    }
    return circuit;
}

SimulationOptions SimulationOf(const VerificationOptions& verification)
{
    SimulationOptions simulation;
    simulation.m_LoadResistance = verification.m_LoadResistance;
    simulation.m_SourceResistance = verification.m_SourceResistance;
    return simulation;
}

std::string SessionNetlist(const AmplifierCircuit& circuit, const SimulationOptions& simulation,
                           NetlistOptions netlist)
{
    netlist.m_LoadResistance = simulation.m_LoadResistance;
    netlist.m_SourceResistance = simulation.m_SourceResistance;
    netlist.m_PointsPerDecade = simulation.m_PointsPerDecade;
    return WriteNetlist(circuit, netlist);
}

Failure SessionFailure(const SimulationSession& session)
{
    const Status& ready = session.Ready();
    return Failure{(ready.Is(FailureKind::Unavailable) ? "simulation unavailable: " : "not simulated: ") +
                       ready.Message(),
                   ready.Kind()};
}

Failure NotSimulated(const Status& why)
{
    if (why.Is(FailureKind::Cancelled)) {
        return CancelledFailure();
    }
    return Failure{"not simulated: " + why.Message(), why.Kind()};
}

bool GoOn(const AnalysisProgress& progress, int done, int total)
{
    return !progress || progress(done, total);
}

} // namespace robustness

using namespace robustness;

namespace {

// The AC sweep of a circuit, as the netlist's own .ac line has it.
std::string SweepCommand(const AmplifierCircuit& circuit, const SimulationOptions& simulation)
{
    const int points =
        simulation.m_PointsPerDecade > 0 ? simulation.m_PointsPerDecade : DefaultPointsPerDecade;
    return "ac dec " + std::to_string(points) + " " + SpiceNumber(circuit.m_LowerCutoff / SweepStartDivisor) +
           " " + SpiceNumber(circuit.m_LowerCutoff * SweepEndFactor);
}

bool HasLoad(const SimulationOptions& simulation)
{
    return simulation.m_LoadResistance > 0 && std::isfinite(simulation.m_LoadResistance);
}

// Measures the circuit loaded into session (written with IOUT at AC 0) as
// SimulateNetlists measures its two netlists: the operating point, the
// sweep with VIN, then the output impedance at the mid-band point with
// VIN off, IOUT on and the load open; the sources and the load are set
// back afterwards.
SimulationResult MeasureLoaded(SimulationSession& session, const AmplifierCircuit& circuit,
                               const SimulationOptions& simulation, const std::function<bool()>& cancelled)
{
    SimulationResult result;
    const auto fail = [&](const Status& why) {
        result.m_Outcome = why;
        return result;
    };
    session.ForgetResults();
    if (const Status ran = session.Analyse("op", 0, cancelled); !ran) {
        return fail(ran);
    }
    const bool hasQ1 = circuit.m_Transistor.name != nullptr;
    Expected<double> ic = 0.0, ib = 0.0, vc = 0.0, ve = 0.0;
    if (hasQ1) {
        ic = session.ReadValue("@q1[ic]");
        ib = session.ReadValue("@q1[ib]");
        vc = session.ReadValue(circuit.m_Collector);
        ve = session.ReadValue(circuit.m_Emitter);
        if (!ic || !ib || !vc || !ve) {
            return fail(Failure{"the simulation results are incomplete"});
        }
    }
    if (const Status ran = session.Analyse(SweepCommand(circuit, simulation), 0, cancelled); !ran) {
        return fail(ran);
    }
    Expected<std::vector<double>> frequency = session.ReadReal("frequency");
    Expected<std::vector<std::complex<double>>> in = session.ReadComplex("in");
    Expected<std::vector<std::complex<double>>> out = session.ReadComplex("out");
    Expected<std::vector<std::complex<double>>> driven =
        session.ReadComplex(DrivenNode(simulation.m_SourceResistance));
    Expected<std::vector<std::complex<double>>> current = session.ReadComplex("vin#branch");
    if (!frequency || !in || !out || !driven || !current) {
        return fail(Failure{"the simulation results are no usable numbers"});
    }
    const SignalSweep sweep{std::move(frequency).Value(), std::move(in).Value(), std::move(driven).Value(),
                            std::move(out).Value(), std::move(current).Value()};
    const Expected<SweepFigures> figures =
        MeasureSweep(sweep, MidbandLimitFactor * circuit.m_LowerCutoff, false);
    if (!figures) {
        return fail(figures.AsStatus());
    }
    figures->CopyTo(result);

    const std::string f = SpiceNumber(sweep.m_Frequency[figures->m_MidIndex]);
    Expected<std::vector<std::complex<double>>> zout = Failure{};
    Status measured = session.Change("alter @vin[acmag] = 0");
    if (measured) {
        measured = session.Change("alter @iout[acmag] = 1");
    }
    if (measured && HasLoad(simulation)) {
        measured = session.Change("alter rload = " + SpiceNumber(OpenLoadResistance));
    }
    if (measured) {
        measured = session.Analyse("ac lin 1 " + f + " " + f, 0, cancelled);
    }
    if (measured) {
        zout = session.ReadComplex("out");
        if (!zout) {
            measured = Failure{"output impedance run: the simulation results are incomplete"};
        }
    }
    Status restored = session.Change("alter @vin[acmag] = 1");
    if (restored) {
        restored = session.Change("alter @iout[acmag] = 0");
    }
    if (restored && HasLoad(simulation)) {
        restored = session.Change("alter rload = " + SpiceNumber(simulation.m_LoadResistance));
    }
    if (!measured || !restored) {
        return fail(measured ? restored : measured);
    }

    result.m_Outcome = {};
    if (hasQ1) {
        const double sign = circuit.m_IsPnp ? -1.0 : 1.0;
        result.m_Ic = sign * *ic;
        result.m_Ib = sign * *ib;
        result.m_Uce = sign * (*vc - *ve);
    }
    result.m_OutputImpedance = std::abs(zout->front());
    return result;
}

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
            const std::string model = std::string("altermod ") + card.name + " ";
            changed = session.Change(model + "bf = " + SpiceNumber(card.BF * k));
            if (changed && card.IS > 0) {
                changed = session.Change(model + "is = " + SpiceNumber(card.IS * k));
            }
            // A leakage written as a multiple of IS keeps its current.
            if (changed && WrittenAsMultipleOfIs(card.ISE, card.IS)) {
                changed = session.Change(model + "ise = " + SpiceNumber(card.ISE / card.IS / k));
            }
            if (changed && WrittenAsMultipleOfIs(card.ISC, card.IS)) {
                changed = session.Change(model + "isc = " + SpiceNumber(card.ISC / card.IS / k));
            }
        }
        if (!changed) {
            return NotSimulated(changed);
        }
        const SimulationResult run = MeasureLoaded(session, circuit, simulation, cancelled);
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
    return RunTolerances(*circuit, SimulationOf(verification),
                         ResistorTolerance(12 << design.Inputs().SeriesIndex()), options, judge, progress);
}

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
    return analysis;
}

} // namespace norvane
