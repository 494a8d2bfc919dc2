// The in-process model of SmallSignal.h against ngspice: its timings beside
// a simulation of the same circuit, and its agreement with ngspice over the
// whole transistor table.
//
// LibraryAgreement designs every card of the table in the three worked
// circuits (common emitter 20 dB, common base and common collector at their
// defaults), simulates each usable design with ngspice as the verification
// does and compares the figures. It prints the distribution of the
// differences and the ten designs that differ most, relative to what the
// search needs (0.1 dB of gain, 2 % of an impedance), each with the reason:
// the design is simulated again with ngspice converged as far as it goes
// (a plain Newton start instead of the netlists' GMIN-stepping start, then
// reltol and vntol 1e-10 as well), and the line says which of the two took
// the difference away. Run it alone:
//   build/bench/benchmarks/norvane_smallsignal_benchmarks --benchmark_filter=LibraryAgreement

#include "circuit/SmallSignal.h"
#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "simulation/Netlist.h"
#include "simulation/Simulator.h"
#include "transistors/TransistorTable.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cmath>
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
        if (!result.m_Simulated) {
            state.SkipWithError(result.Status().c_str());
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
// The netlists' operating point aids (Simulator.cpp) with the plain Newton
// iteration first (the netlists skip it and start with GMIN stepping).
constexpr const char* PlainNewtonFirst = "optran 0 1 1 0 10u 0";

std::string WithTolerances(std::string netlist, const char* tolerances)
{
    const std::string from = NetlistTolerances;
    const std::size_t at = netlist.find(from);
    if (at != std::string::npos) {
        netlist.replace(at, from.size(), tolerances);
    }
    return netlist;
}

// One run of a netlist in a session with the plain Newton start; the sweep
// vectors of the signal run, or V(out) of the output run.
bool RunConverged(const std::string& netlist, bool signal, SignalSweep& sweep, double& ic)
{
    SimulationSession session;
    if (!session.Ready() || !session.Load(netlist) || !session.Change(PlainNewtonFirst) ||
        !session.Analyse("run", 0)) {
        return false;
    }
    if (!signal) {
        return session.Read("out", sweep.m_Out);
    }
    if (!session.Read("frequency", sweep.m_Frequency) || !session.Read("out", sweep.m_Out) ||
        !session.Read("in", sweep.m_In) || !session.Read("vin#branch", sweep.m_SourceCurrent) ||
        !session.Read("@q1[ic]", ic)) {
        return false;
    }
    sweep.m_Driven = sweep.m_In;
    return true;
}

// The figures of SimulateCircuit with ngspice converged further.
SimulationResult Reconverged(const AmplifierCircuit& circuit, const char* tolerances)
{
    SimulationResult result;
    NetlistOptions options;
    SignalSweep sweep;
    double ic = 0.0;
    if (!RunConverged(WithTolerances(WriteNetlist(circuit, options), tolerances), true, sweep, ic)) {
        return result;
    }
    const Expected<std::size_t> mid =
        MeasureSweep(sweep, MidbandLimitFactor * circuit.m_LowerCutoff, true, result);
    options.m_DriveOutput = true;
    SignalSweep output;
    if (!mid ||
        !RunConverged(WithTolerances(WriteNetlist(circuit, options), tolerances), false, output, ic) ||
        output.m_Out.size() <= *mid) {
        return result;
    }
    result.m_Simulated = true;
    result.m_Ic = circuit.m_IsPnp ? -ic : ic;
    result.m_OutputImpedance = std::abs(output.m_Out[*mid]);
    return result;
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

std::string Why(const Difference& before, const SimulationResult& model, const AmplifierCircuit& circuit)
{
    const SimulationResult plain = Reconverged(circuit, NetlistTolerances);
    const SimulationResult tight = Reconverged(circuit, TightTolerances);
    if (!plain.m_Simulated || !tight.m_Simulated) {
        return "ngspice did not simulate it converged further";
    }
    const Difference a = Compare(model, plain);
    const Difference b = Compare(model, tight);
    char text[400];
    std::snprintf(
        text, sizeof text,
        "plain Newton start: gain %.2g dB, Ic %.2g; and reltol 1e-10: gain %.2g dB, Z %.2g, Ic %.2g -> %s",
        a.gainDb, a.ic, b.gainDb, std::max(b.input, b.output), b.ic,
        b.Score() < before.Score() / 10 && b.ic <= std::max(before.ic / 10, 1e-9)
            ? "ngspice's convergence: the netlists' GMIN-stepping start and reltol 1e-6 leave its operating "
              "point that far from the solution"
            : "not ngspice's convergence: look at the model");
    return text;
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
                if (!sim.m_Simulated || !model) {
                    skipped.push_back(std::string(GetTransistorRecord(t).name) + " " +
                                      CircuitNames[static_cast<std::size_t>(c)] + ": ngspice " +
                                      sim.Status() + ", model " + (model ? "analysed" : model.Message()));
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
        const Row& row = rows[k];
        const AmplifierCircuit circuit = DescribeCircuit(*Worked(row.circuit, row.transistor));
        const Expected<SimulationResult> model = AnalyseSmallSignal(circuit);
        const Difference& d = row.difference;
        std::printf("%2zu %-10s %s gain %.2g dB, Z_in %.2g, Z_out %.2g, Ic %.2g\n   %s\n", k + 1,
                    GetTransistorRecord(row.transistor).name,
                    CircuitNames[static_cast<std::size_t>(row.circuit)], d.gainDb, d.input, d.output, d.ic,
                    Why(d, *model, circuit).c_str());
    }
    std::sort(rows.begin(), rows.end(),
              [](const Row& a, const Row& b) { return a.difference.ic > b.difference.ic; });
    const Row& worstIc = rows.front();
    const AmplifierCircuit circuit = DescribeCircuit(*Worked(worstIc.circuit, worstIc.transistor));
    std::printf("The largest Ic difference: %s %s, Ic %.2g\n   %s\n",
                GetTransistorRecord(worstIc.transistor).name,
                CircuitNames[static_cast<std::size_t>(worstIc.circuit)], worstIc.difference.ic,
                Why(worstIc.difference, *AnalyseSmallSignal(circuit), circuit).c_str());
    state.counters["designs"] = static_cast<double>(rows.size());
}
BENCHMARK(LibraryAgreement)->Name("SmallSignal/LibraryAgreement")->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
} // namespace norvane
