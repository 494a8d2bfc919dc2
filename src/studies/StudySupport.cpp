#include "studies/StudySupport.h"

#include <algorithm>
#include <cmath>

namespace norvane::robustness {

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

} // namespace

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

Status ScaleCurrentGain(SimulationSession& session, const TransistorRecord& card, double k)
{
    const std::string model = std::string("altermod ") + card.name + " ";
    Status changed = session.Change(model + "bf = " + SpiceNumber(card.BF * k));
    if (changed && card.IS > 0) {
        changed = session.Change(model + "is = " + SpiceNumber(card.IS * k));
    }
    if (changed && WrittenAsMultipleOfIs(card.ISE, card.IS)) {
        changed = session.Change(model + "ise = " + SpiceNumber(card.ISE / card.IS / k));
    }
    if (changed && WrittenAsMultipleOfIs(card.ISC, card.IS)) {
        changed = session.Change(model + "isc = " + SpiceNumber(card.ISC / card.IS / k));
    }
    return changed;
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

} // namespace norvane::robustness
