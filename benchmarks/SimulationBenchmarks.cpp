// Timings of the simulation behind "norvane-cli design ... --simulate":
// both ngspice runs (signal and output impedance, each .op and the
// 401-point sweep) and the measurements, per circuit; the netlist alone.

#include "circuit/Netlist.h"
#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "design/DesignInputs.h"
#include "ngspice/Simulator.h"
#include "studies/Ranking.h"
#include "studies/Robustness.h"
#include "studies/Yield.h"

#include <benchmark/benchmark.h>

namespace norvane {
namespace {

template <typename Design>
void Simulation(benchmark::State& state)
{
    Design design;
    DesignInputs inputs(design.Kind());
    if constexpr (std::is_same_v<Design, CommonEmitterDesign>) {
        inputs.SetValue(InputField::Gain, static_cast<double>(state.range(0)));
    }
    design.Compute(inputs);
    for (auto _ : state) {
        const SimulationResult result = Simulate(design);
        if (!result.Simulated()) {
            state.SkipWithError(result.StatusText().c_str());
            break;
        }
        benchmark::DoNotOptimize(result.m_GainDb);
    }
}
BENCHMARK(Simulation<CommonEmitterDesign>)->Arg(0)->Arg(20)->Unit(benchmark::kMillisecond);
BENCHMARK(Simulation<CommonBaseDesign>)->Unit(benchmark::kMillisecond);
BENCHMARK(Simulation<CommonCollectorDesign>)->Unit(benchmark::kMillisecond);

// The worked common-emitter example: 20 dB, the other requirements at
// their defaults.
CommonEmitterDesign CommonEmitterExample()
{
    CommonEmitterDesign design;
    DesignInputs inputs(CircuitKind::CommonEmitter);
    inputs.SetValue(InputField::Gain, 20);
    design.Compute(inputs);
    return design;
}

// Each robustness analysis of the common-emitter 20 dB example: 0
// tolerances (500 runs), 1 temperature, 2 headroom and distortion, 3 noise.
void Robustness(benchmark::State& state)
{
    const CommonEmitterDesign design = CommonEmitterExample();
    for (auto _ : state) {
        Status done;
        switch (state.range(0)) {
        case 0: done = AnalyseTolerances(design, {}).AsStatus(); break;
        case 1: done = AnalyseTemperature(design, {}).AsStatus(); break;
        case 2: done = AnalyseDistortion(design, {}).AsStatus(); break;
        default: done = AnalyseNoise(design, {}).AsStatus(); break;
        }
        if (!done) {
            state.SkipWithError(done.Message().c_str());
            break;
        }
    }
}
BENCHMARK(Robustness)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The worst case of each circuit's worked example (0 common-emitter 20 dB,
// 1 common-base, 2 common-collector): sensitivities and corners.
void WorstCase(benchmark::State& state)
{
    CommonBaseDesign base;
    base.Compute(DesignInputs(CircuitKind::CommonBase));
    CommonCollectorDesign collector;
    collector.Compute(DesignInputs(CircuitKind::CommonCollector));
    const CommonEmitterDesign emitter = CommonEmitterExample();
    const AmplifierDesign* designs[] = {&emitter, &base, &collector};
    const AmplifierDesign& design = *designs[state.range(0)];
    for (auto _ : state) {
        const Expected<WorstCaseAnalysis> analysis = AnalyseWorstCase(design, {});
        if (!analysis) {
            state.SkipWithError(analysis.Message().c_str());
            break;
        }
        benchmark::DoNotOptimize(analysis->m_Simulations);
    }
}
BENCHMARK(WorstCase)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// The bias proposal of the common-emitter 20 dB example from the yield of
// its verdict: the in-process search, the capacitors tuned again and the
// confirming 500 tolerance runs of ngspice.
void BiasProposal(benchmark::State& state)
{
    const CommonEmitterDesign design = CommonEmitterExample();
    const YieldAnalysis before = AnalyseYield(design, {});
    for (auto _ : state) {
        const std::optional<norvane::BiasProposal> proposal = ProposeBias(design, {}, before);
        if (!proposal) {
            state.SkipWithError("no proposal");
            break;
        }
        benchmark::DoNotOptimize(proposal->m_After.m_Fraction);
    }
}
BENCHMARK(BiasProposal)->Unit(benchmark::kMillisecond);

void NetlistText(benchmark::State& state)
{
    const CommonEmitterDesign design = CommonEmitterExample();
    for (auto _ : state) {
        benchmark::DoNotOptimize(WriteNetlist(design));
    }
}
BENCHMARK(NetlistText);

// The whole table ranked (every design, the candidates simulated), with
// the design and the simulation share of each run.
void RankWholeTable(benchmark::State& state)
{
    DesignInputs inputs(static_cast<CircuitKind>(state.range(0)));
    if (inputs.Kind() == CircuitKind::CommonEmitter) {
        inputs.SetValue(InputField::Gain, 20);
    }
    double design = 0;
    double simulation = 0;
    for (auto _ : state) {
        const Expected<Ranking> ranking = Rank(inputs);
        if (!ranking) {
            state.SkipWithError(ranking.Message().c_str());
            break;
        }
        design += ranking->m_DesignSeconds;
        simulation += ranking->m_SimulationSeconds;
    }
    state.counters["design_ms"] = benchmark::Counter(design * 1000, benchmark::Counter::kAvgIterations);
    state.counters["simulation_ms"] =
        benchmark::Counter(simulation * 1000, benchmark::Counter::kAvgIterations);
}
BENCHMARK(RankWholeTable)
    ->Arg(static_cast<int>(CircuitKind::CommonEmitter))
    ->Arg(static_cast<int>(CircuitKind::CommonBase))
    ->Arg(static_cast<int>(CircuitKind::CommonCollector))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

} // namespace
} // namespace norvane
