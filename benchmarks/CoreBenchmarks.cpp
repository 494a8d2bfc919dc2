// Timings of the computations behind every design: one model solve, the
// whole transistor table, one design of each circuit, and every transistor
// in all three circuits.

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "format/EngineeringFormat.h"
#include "transistors/TransistorModel.h"
#include "transistors/TransistorTable.h"

#include <benchmark/benchmark.h>

namespace norvane {
namespace {

void ModelSolveBC548B(benchmark::State& state)
{
    TransistorModel model;
    model.SelectTransistor(FindTransistor("BC548B"));
    for (auto _ : state) {
        model.SetOperatingPoint(1e-3, 5.0);
        benchmark::DoNotOptimize(model.GetBaseEmitterVoltage());
    }
}
BENCHMARK(ModelSolveBC548B);

void ModelSolveWholeTable(benchmark::State& state)
{
    const double ic = state.range(0) * 1e-3;
    const double vce = static_cast<double>(state.range(1));
    for (auto _ : state) {
        for (int t = 0; t < GetTransistorCount(); ++t) {
            TransistorModel model;
            model.SelectTransistor(t);
            model.SetOperatingPoint(ic, vce);
            benchmark::DoNotOptimize(model.GetBaseCurrent());
        }
    }
    state.counters["transistors"] = GetTransistorCount();
}
BENCHMARK(ModelSolveWholeTable)->Args({1, 5})->Args({10, 10})->Unit(benchmark::kMillisecond);

template <typename Design>
void OneDesign(benchmark::State& state)
{
    UseEnglishNumberFormat();
    Design design;
    DesignInputs inputs(design.Kind());
    for (auto _ : state) {
        design.Compute(inputs);
        benchmark::DoNotOptimize(design.P());
    }
}
BENCHMARK(OneDesign<CommonEmitterDesign>)->Name("Design/CommonEmitter");
BENCHMARK(OneDesign<CommonBaseDesign>)->Name("Design/CommonBase");
BENCHMARK(OneDesign<CommonCollectorDesign>)->Name("Design/CommonCollector");

void AllTransistorsThreeCircuits(benchmark::State& state)
{
    UseEnglishNumberFormat();
    for (auto _ : state) {
        for (int t = 0; t < GetTransistorCount(); ++t) {
            CommonEmitterDesign ce;
            DesignInputs inputs(CircuitKind::CommonEmitter);
            inputs.SetTransistorIndex(t);
            ce.Compute(inputs);
            CommonBaseDesign cb;
            DesignInputs cbInputs(CircuitKind::CommonBase);
            cbInputs.SetTransistorIndex(t);
            cb.Compute(cbInputs);
            CommonCollectorDesign cc;
            DesignInputs ccInputs(CircuitKind::CommonCollector);
            ccInputs.SetTransistorIndex(t);
            cc.Compute(ccInputs);
            benchmark::DoNotOptimize(ce.P() + cb.P() + cc.P());
        }
    }
    state.counters["designs"] = 3.0 * GetTransistorCount();
}
BENCHMARK(AllTransistorsThreeCircuits)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace norvane
