// The in-process model of SmallSignal.h against ngspice: its timings beside
// a simulation of the same circuit, and its agreement with ngspice over the
// whole transistor table.
//
// LibraryAgreement designs every card of the table in the three worked
// circuits (common emitter 20 dB, common base and common collector at their
// defaults), simulates each usable design with ngspice as the verification
// does and compares the figures. It prints the distribution of the
// differences, the ten designs that differ most relative to what a search
// needs (0.1 dB of gain, 2 % of an impedance), and those with the largest
// Ic and Bode differences, each with the reason it finds: the design
// simulated again with ngspice converged as far as it goes, or (for a card
// with a series resistance of micro-ohms) both sides with that resistance
// at 0; the first that takes the difference away is named. Run it alone:
//   build/bench/benchmarks/norvane_smallsignal_benchmarks --benchmark_filter=LibraryAgreement

#include "analysis/SmallSignal.h"
#include "circuit/Netlist.h"
#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "ngspice/Session.h"
#include "ngspice/Simulator.h"
#include "transistors/TransistorTable.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace norvane {
namespace {

enum class Circuit { CommonEmitter, CommonBase, CommonCollector };
constexpr std::array<Circuit, 3> Circuits = {Circuit::CommonEmitter, Circuit::CommonBase,
                                             Circuit::CommonCollector};
constexpr std::array<const char*, 3> CircuitNames = {"CE", "CB", "CC"};
// The gain of the common-emitter worked example.
constexpr double WorkedGainDb = 20.0;

// The worked design of a circuit with transistor t (its other inputs at
// their defaults).
std::unique_ptr<AmplifierDesign> Worked(Circuit circuit, int t)
{
    std::unique_ptr<AmplifierDesign> design;
    switch (circuit) {
    case Circuit::CommonEmitter: design = std::make_unique<CommonEmitterDesign>(); break;
    case Circuit::CommonBase: design = std::make_unique<CommonBaseDesign>(); break;
    case Circuit::CommonCollector: design = std::make_unique<CommonCollectorDesign>(); break;
    }
    DesignInputs inputs(design->Kind());
    if (circuit == Circuit::CommonEmitter) {
        inputs.SetValue(InputField::Gain, WorkedGainDb);
    }
    inputs.SetTransistorIndex(t);
    design->Compute(inputs);
    return design;
}

AmplifierCircuit WorkedCircuit(Circuit circuit)
{
    return DescribeCircuit(*Worked(circuit, FindTransistor(DefaultTransistorName)));
}

// ---- Timings ---------------------------------------------------------------

// One sweep of the worked common-emitter circuit: the gain at the 401
// frequencies of the verification's sweep, the circuit prepared before.
void Sweep(benchmark::State& state)
{
    const AmplifierCircuit circuit = WorkedCircuit(Circuit::CommonEmitter);
    const Expected<SmallSignalCircuit> prepared = SmallSignalCircuit::Make(circuit);
    if (!prepared) {
        state.SkipWithError(prepared.Message().c_str());
        return;
    }
    const std::vector<double> frequency = SweepFrequencies(circuit.m_LowerCutoff);
    std::vector<std::complex<double>> gain(frequency.size());
    for (auto _ : state) {
        prepared->Gains(frequency, gain);
        benchmark::DoNotOptimize(gain.data());
    }
    state.counters["points"] = static_cast<double>(frequency.size());
}
BENCHMARK(Sweep)->Name("SmallSignal/Sweep401")->Unit(benchmark::kMicrosecond);

// Preparing a circuit: the card read from its text, the operating point,
// the small-signal model, the elimination orders of both AC runs.
void Make(benchmark::State& state)
{
    const AmplifierCircuit circuit = WorkedCircuit(Circuit::CommonEmitter);
    for (auto _ : state) {
        const Expected<SmallSignalCircuit> prepared = SmallSignalCircuit::Make(circuit);
        if (!prepared) {
            state.SkipWithError(prepared.Message().c_str());
            break;
        }
        benchmark::DoNotOptimize(prepared->Operating().m_Bias.m_Ic);
    }
}
BENCHMARK(Make)->Name("SmallSignal/Make")->Unit(benchmark::kMicrosecond);

// Everything a caller of AnalyseSmallSignal waits for: the card read, the
// operating point, the small-signal model, the sweep, the pass band, Z_in
// and Z_out, the Bode diagram; beside ngspice's two runs of the same circuit.
void Analyse(benchmark::State& state)
{
    const AmplifierCircuit circuit = WorkedCircuit(Circuits[static_cast<std::size_t>(state.range(0))]);
    for (auto _ : state) {
        const Expected<SimulationResult> result = AnalyseSmallSignal(circuit);
        if (!result) {
            state.SkipWithError(result.Message().c_str());
            break;
        }
        benchmark::DoNotOptimize(result->m_GainDb);
    }
    state.SetLabel(CircuitNames[static_cast<std::size_t>(state.range(0))]);
}
BENCHMARK(Analyse)->Name("SmallSignal/Analyse")->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

void Simulate(benchmark::State& state)
{
    const AmplifierCircuit circuit = WorkedCircuit(Circuits[static_cast<std::size_t>(state.range(0))]);
    for (auto _ : state) {
        const SimulationResult result = SimulateCircuit(circuit);
        if (!result.Simulated()) {
            state.SkipWithError(result.StatusText().c_str());
            break;
        }
        benchmark::DoNotOptimize(result.m_GainDb);
    }
    state.SetLabel(CircuitNames[static_cast<std::size_t>(state.range(0))]);
}
BENCHMARK(Simulate)->Name("Ngspice/Simulate")->DenseRange(0, 2)->Unit(benchmark::kMicrosecond);

// The inner loop of a yield search: the worked common-emitter circuit's
// operating point with its resistors drawn within 5 % and BF, IS scaled by
// k from [1/1.5, 1.5], as the tolerance runs draw them (1,000 draws made
// before, solved in turn).
void BiasSolve(benchmark::State& state)
{
    const AmplifierCircuit circuit = WorkedCircuit(Circuit::CommonEmitter);
    const Expected<BiasSolver> solver = BiasSolver::Make(circuit);
    if (!solver) {
        state.SkipWithError(solver.Message().c_str());
        return;
    }
    constexpr int Draws = 1000;
    std::mt19937_64 random(1);
    std::uniform_real_distribution<double> spread(-1.0, 1.0);
    std::vector<std::vector<double>> values(Draws);
    std::vector<double> factors(Draws);
    for (int d = 0; d < Draws; ++d) {
        for (const CircuitPart& part : circuit.m_Parts) {
            values[static_cast<std::size_t>(d)].push_back(part.m_Value * (1 + 0.05 * spread(random)));
        }
        factors[static_cast<std::size_t>(d)] = std::pow(1.5, spread(random));
    }
    std::size_t d = 0;
    for (auto _ : state) {
        const Expected<BiasPoint> bias = solver->Solve(values[d], factors[d]);
        if (!bias) {
            state.SkipWithError(bias.Message().c_str());
            break;
        }
        benchmark::DoNotOptimize(bias->m_Ic);
        d = (d + 1) % Draws;
    }
}
BENCHMARK(BiasSolve)->Name("BiasSolver/Solve")->Unit(benchmark::kMicrosecond);

// ---- Agreement over the table ----------------------------------------------

struct Difference {
    double gainDb = 0.0; // |model - ngspice|, dB at mid-band
    double input = 0.0;  // relative, Z_in
    double output = 0.0; // relative, Z_out
    double ic = 0.0;     // relative
    double bodeDb = 0.0; // the largest over the sweep, dB
    double Score() const { return std::max({gainDb / 0.1, input / 0.02, output / 0.02}); }
};

double Relative(double model, double reference)
{
    return std::fabs(model / reference - 1);
}

Difference Compare(const SimulationResult& model, const SimulationResult& sim)
{
    Difference d;
    d.gainDb = std::fabs(model.m_GainDb - sim.m_GainDb);
    d.input = Relative(model.m_InputImpedance, sim.m_InputImpedance);
    d.output = Relative(model.m_OutputImpedance, sim.m_OutputImpedance);
    d.ic = Relative(model.m_Ic, sim.m_Ic);
    for (std::size_t i = 0; i < model.m_Bode.size() && i < sim.m_Bode.size(); ++i) {
        d.bodeDb = std::max(d.bodeDb, std::fabs(model.m_Bode[i].m_MagnitudeDb - sim.m_Bode[i].m_MagnitudeDb));
    }
    return d;
}

// The options line the netlists carry, and the one for running ngspice to
// the end of its precision.
constexpr const char* NetlistTolerances = "reltol=1e-06 abstol=1e-12 vntol=1e-06";
constexpr const char* TightTolerances = "reltol=1e-10 abstol=1e-18 vntol=1e-10";

std::string WithTightTolerances(std::string netlist)
{
    const std::string from = NetlistTolerances;
    const std::size_t at = netlist.find(from);
    if (at != std::string::npos) {
        netlist.replace(at, from.size(), TightTolerances);
    }
    return netlist;
}

// The figures of SimulateCircuit with ngspice converged as far as it goes:
// the operating point of an interactive "op" (the netlists' "run", under
// the operating point aids the simulator sets, "optran 1 1 1 ...", stops
// short of it on some power types) and reltol, vntol 1e-10.
SimulationResult Reconverged(const AmplifierCircuit& circuit)
{
    SimulationResult result;
    const std::string sweep = "ac dec " + std::to_string(DefaultPointsPerDecade) + " " +
                              SpiceNumber(circuit.m_LowerCutoff / SweepStartDivisor) + " " +
                              SpiceNumber(circuit.m_LowerCutoff * SweepEndFactor);
    NetlistOptions options;
    SignalSweep signal;
    double ic = 0.0;
    {
        SimulationSession session;
        if (!session.Ready() || !session.Load(WithTightTolerances(WriteNetlist(circuit, options))) ||
            !session.Analyse("op", 0)) {
            return result;
        }
        const Expected<double> current = session.ReadValue("@q1[ic]");
        if (!current || !session.Analyse(sweep, 0)) {
            return result;
        }
        const Expected<std::vector<double>> frequency = session.ReadReal("frequency");
        const Expected<std::vector<std::complex<double>>> out = session.ReadComplex("out");
        const Expected<std::vector<std::complex<double>>> in = session.ReadComplex("in");
        const Expected<std::vector<std::complex<double>>> branch = session.ReadComplex("vin#branch");
        if (!frequency || !out || !in || !branch) {
            return result;
        }
        ic = *current;
        signal = {*frequency, *in, *in, *out, *branch};
    }
    const Expected<SweepFigures> figures =
        MeasureSweep(signal, MidbandLimitFactor * circuit.m_LowerCutoff, true);
    if (!figures) {
        return result;
    }
    figures->CopyTo(result);
    options.m_DriveOutput = true;
    SimulationSession session;
    if (!session.Load(WithTightTolerances(WriteNetlist(circuit, options))) || !session.Analyse(sweep, 0)) {
        return result;
    }
    const Expected<std::vector<std::complex<double>>> output = session.ReadComplex("out");
    if (!output || output->size() <= figures->m_MidIndex) {
        return result;
    }
    result.m_Outcome = {};
    result.m_Ic = circuit.m_IsPnp ? -ic : ic;
    result.m_OutputImpedance = std::abs((*output)[figures->m_MidIndex]);
    return result;
}

// Below this a series resistance of the card (RB, RC, RE) is a conductance
// of more than a kilosiemens beside the circuit's millisiemens: eliminating
// its node in any LU factorisation, ngspice's and the model's, cancels six
// digits and more.
constexpr double TinyResistance = 1e-3; // ohm

bool Tiny(double r)
{
    return r > 0 && r < TinyResistance;
}

// Whether a difference went away: a tenth of what it was, or down to the
// noise of the arithmetic. The small-signal figures (gain, Bode, Z) and Ic
// apart, as their reasons may differ.
constexpr double Noise = 1e-9; // dB, or relative
bool AtNoise(double difference)
{
    return difference <= Noise;
}
bool Gone(double before, double after)
{
    return after <= before / 10 || AtNoise(after);
}
bool SmallSignalGone(const Difference& before, const Difference& after)
{
    return Gone(before.gainDb, after.gainDb) && Gone(before.bodeDb, after.bodeDb) &&
           Gone(std::max(before.input, before.output), std::max(after.input, after.output));
}
bool IcGone(const Difference& before, const Difference& after)
{
    return Gone(before.ic, after.ic);
}

// Why a design differs: first ngspice converged as far as it goes, then
// (for a card with a series resistance of micro-ohms) both sides with that
// resistance at 0; for the small-signal figures and for Ic, the first that
// takes the difference away is the reason.
std::string Why(const Difference& before, const SimulationResult& model, const AmplifierCircuit& circuit)
{
    std::string text;
    char line[400];
    const char* convergence = "ngspice's convergence: its reltol 1e-6 of the node voltages";
    const char* startAndConvergence =
        "ngspice's convergence: its run under the simulator's \"optran 1 1 1\" stops short of the point its "
        "\"op\" finds, and reltol 1e-6";
    std::string smallSignal = AtNoise(std::max({before.gainDb, before.bodeDb, before.input, before.output}))
                                  ? "at the arithmetic's noise"
                                  : "";
    std::string ic = AtNoise(before.ic) ? "at the arithmetic's noise" : "";

    const SimulationResult tight = Reconverged(circuit);
    if (tight.Simulated()) {
        const Difference d = Compare(model, tight);
        std::snprintf(line, sizeof line,
                      "ngspice converged further: gain %.2g dB, Z %.2g, Ic %.2g, Bode %.2g dB", d.gainDb,
                      std::max(d.input, d.output), d.ic, d.bodeDb);
        text += line;
        if (smallSignal.empty() && SmallSignalGone(before, d)) {
            smallSignal = convergence;
        }
        if (ic.empty() && IcGone(before, d)) {
            ic = startAndConvergence;
        }
    } else {
        text += "ngspice did not run converged further";
    }

    AmplifierCircuit plain = circuit;
    TransistorRecord& card = plain.m_Transistor;
    double tiny = 1.0;
    for (double* r : {&card.RB, &card.RC, &card.RE}) {
        if (Tiny(*r)) {
            tiny = std::min(tiny, *r);
            *r = 0.0;
        }
    }
    card.RBM = std::min(card.RBM, card.RB);
    if (tiny < 1.0 && (smallSignal.empty() || ic.empty())) {
        const SimulationResult sim = SimulateCircuit(plain);
        const Expected<SimulationResult> again = AnalyseSmallSignal(plain);
        if (sim.Simulated() && again) {
            const Difference d = Compare(*again, sim);
            std::snprintf(line, sizeof line,
                          "; with the card's %.2g ohm at 0: gain %.2g dB, Z %.2g, Bode %.2g dB", tiny,
                          d.gainDb, std::max(d.input, d.output), d.bodeDb);
            text += line;
            std::snprintf(
                line, sizeof line,
                "a series resistance of %.2g ohm, whose node any LU (ngspice's too) eliminates at a loss "
                "of about %.0f digits",
                tiny, std::log10(1e3 / tiny));
            if (smallSignal.empty() && SmallSignalGone(before, d)) {
                smallSignal = line;
            }
            if (ic.empty() && IcGone(before, d)) {
                ic = line;
            }
        }
    }
    const std::string unexplained = "not explained: look at the model";
    return text + "\n   -> gain, Z: " + (smallSignal.empty() ? unexplained : smallSignal) +
           "\n   -> Ic: " + (ic.empty() ? unexplained : ic);
}

struct Row {
    int transistor = 0;
    Circuit circuit = Circuit::CommonEmitter;
    Difference difference;
};

void PrintDistribution(const char* name, std::vector<double> values, const char* unit)
{
    std::sort(values.begin(), values.end());
    const auto at = [&](double p) {
        return values[std::min(values.size() - 1,
                               static_cast<std::size_t>(p * static_cast<double>(values.size())))];
    };
    std::printf("  %-22s %9.2g %9.2g %9.2g %9.2g %9.2g  %s\n", name, at(0.5), at(0.9), at(0.99), at(0.999),
                values.back(), unit);
}

void PrintWhy(const Row& row, const char* heading)
{
    const AmplifierCircuit circuit = DescribeCircuit(*Worked(row.circuit, row.transistor));
    const Expected<SimulationResult> model = AnalyseSmallSignal(circuit);
    const Difference& d = row.difference;
    std::printf("%s %-10s %s: gain %.2g dB, Z_in %.2g, Z_out %.2g, Ic %.2g, Bode %.2g dB\n   %s\n", heading,
                GetTransistorRecord(row.transistor).name, CircuitNames[static_cast<std::size_t>(row.circuit)],
                d.gainDb, d.input, d.output, d.ic, d.bodeDb, Why(d, *model, circuit).c_str());
}

void LibraryAgreement(benchmark::State& state)
{
    std::vector<Row> rows;
    std::vector<std::string> skipped;
    for (auto _ : state) {
        rows.clear();
        for (int t = 0; t < GetTransistorCount(); ++t) {
            for (const Circuit c : Circuits) {
                const auto design = Worked(c, t);
                if (!design->IsUsable()) {
                    continue; // neither side has anything to compare
                }
                const AmplifierCircuit circuit = DescribeCircuit(*design);
                const SimulationResult sim = SimulateCircuit(circuit);
                const Expected<SimulationResult> model = AnalyseSmallSignal(circuit);
                if (!sim.Simulated() || !model) {
                    skipped.push_back(std::string(GetTransistorRecord(t).name) + " " +
                                      CircuitNames[static_cast<std::size_t>(c)] + ": ngspice " +
                                      sim.StatusText() + ", model " + (model ? "analysed" : model.Message()));
                    continue;
                }
                rows.push_back({t, c, Compare(*model, sim)});
            }
        }
    }
    std::printf("\nThe model against ngspice: %zu designs of %d cards x 3 circuits; %zu not compared\n",
                rows.size(), GetTransistorCount(), skipped.size());
    for (const std::string& line : skipped) {
        std::printf("  %s\n", line.c_str());
    }
    if (rows.empty()) {
        return;
    }
    std::printf("  %-22s %9s %9s %9s %9s %9s\n", "difference", "median", "90 %", "99 %", "99.9 %", "largest");
    const auto column = [&](double Difference::*field) {
        std::vector<double> values;
        for (const Row& row : rows) {
            values.push_back(row.difference.*field);
        }
        return values;
    };
    PrintDistribution("gain at mid-band", column(&Difference::gainDb), "dB");
    PrintDistribution("Z_in", column(&Difference::input), "relative");
    PrintDistribution("Z_out", column(&Difference::output), "relative");
    PrintDistribution("Ic", column(&Difference::ic), "relative");
    PrintDistribution("Bode, any point", column(&Difference::bodeDb), "dB");

    std::sort(rows.begin(), rows.end(),
              [](const Row& a, const Row& b) { return a.difference.Score() > b.difference.Score(); });
    std::printf("\nThe ten that differ most (gain / 0.1 dB, Z / 2 %%), and why:\n");
    for (std::size_t k = 0; k < std::min<std::size_t>(10, rows.size()); ++k) {
        PrintWhy(rows[k], std::to_string(k + 1).c_str());
    }
    // The largest differences of Ic and over the whole sweep, which the ten
    // above need not hold.
    const auto largest = [&](double Difference::*field) {
        return *std::max_element(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
            return a.difference.*field < b.difference.*field;
        });
    };
    PrintWhy(largest(&Difference::ic), "largest Ic:");
    PrintWhy(largest(&Difference::bodeDb), "largest Bode:");
    state.counters["designs"] = static_cast<double>(rows.size());
}
BENCHMARK(LibraryAgreement)->Name("SmallSignal/LibraryAgreement")->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
} // namespace norvane
