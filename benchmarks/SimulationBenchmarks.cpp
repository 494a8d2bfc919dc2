// Timings of the simulation behind "norvane-cli design ... --simulate":
// both ngspice runs (signal and output impedance, each .op and the
// 401-point sweep) and the measurements, per circuit; the netlist alone.

#include "circuit/Netlist.h"
#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "ngspice/Simulator.h"
#include "studies/Ranking.h"
#include "studies/Robustness.h"

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
        if (!result.m_Simulated) {
            state.SkipWithError(result.Status().c_str());
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
