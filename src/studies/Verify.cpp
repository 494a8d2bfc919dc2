#include "studies/Verify.h"

#include "ngspice/Simulator.h"

#include "analysis/RobustnessResults.h"
#include "analysis/SmallSignal.h"
#include "design/StandardSeries.h"
#include "studies/StudySupport.h"

#include <algorithm>
#include <cmath>

namespace norvane {

namespace {

// The E12 steps the tuning climbs at most above a designed capacitor: four
// decades. A capacitor that needs more is no fix but another design.
constexpr std::size_t TuningSteps = 48;

// The capacitor values the tuning climbs through: the designed value, then
// the E12 values above it, up to TuningSteps of them (and no more than 1 F).
std::vector<double> Ladder(double designed)
{
    std::vector<double> ladder{designed};
    const std::span<const int> mantissas = SeriesTable(12); // 100 ... 820, 1000
    for (int decade = static_cast<int>(std::floor(std::log10(designed))); decade <= 0; ++decade) {
        for (std::size_t i = 0; i + 1 < mantissas.size(); ++i) {
            const double value = mantissas[i] * std::pow(10.0, decade - 2);
            if (value > designed * (1 + 1e-9) && value <= 1.0 && ladder.size() <= TuningSteps) {
                ladder.push_back(value);
            }
        }
    }
    return ladder;
}

// A capacitor as the worst part of its kind may come: CapacitorTolerance
// below its value.
double LowEdge(double capacitance)
{
    return capacitance * (1.0 - CapacitorTolerance);
}

// The options with these part values in place of any given for the same
// parts.
VerificationOptions WithValues(const VerificationOptions& options, const std::vector<NamedValue>& values)
{
    VerificationOptions with = options;
    for (const NamedValue& value : values) {
        std::erase_if(with.m_PartValues, [&](const NamedValue& given) { return given.first == value.first; });
        with.m_PartValues.push_back(value);
    }
    return with;
}

// The smallest index in [low, high] for which works holds, given that it
// holds at high and that it holds at every index above one where it does.
template <typename Works>
std::size_t LowestWorking(std::size_t low, std::size_t high, Works works)
{
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        if (works(mid)) {
            high = mid;
        } else {
            low = mid + 1;
        }
    }
    return high;
}

} // namespace

Verification Verify(const AmplifierDesign& design, const VerificationOptions& options)
{
    SimulationOptions simulation;
    simulation.m_LoadResistance = options.m_LoadResistance;
    simulation.m_SourceResistance = options.m_SourceResistance;
    return JudgeSimulation(design, options,
                           design.IsUsable()
                               ? SimulateCircuit(VerifiedCircuit(design, options.m_PartValues), simulation)
                               : Simulate(design, simulation));
}

std::optional<TuningProposal> ProposeTuning(const AmplifierDesign& design, const VerificationOptions& options)
{
    const Verification start = Verify(design, options);
    if (!start.m_Simulation.Simulated() || start.m_Verdict.m_Meets) {
        return std::nullopt;
    }
    const AmplifierCircuit circuit = VerifiedCircuit(design, options.m_PartValues);
    // Which capacitors answer for which miss.
    std::vector<std::string> mended;
    std::vector<std::string> capacitors;
    // The gain and Z_out only where the verdict found a capacitor the cause.
    const auto take = [&](const std::string& quantity, std::initializer_list<const char*> parts,
                          bool causeNeeded = false) {
        const auto miss = std::ranges::find(start.m_Verdict.m_Misses, quantity, &VerdictMiss::m_Quantity);
        if (miss == start.m_Verdict.m_Misses.end() || (causeNeeded && miss->m_Why.empty())) {
            return;
        }
        mended.push_back(quantity);
        for (const char* part : parts) {
            if (FindPart(circuit, part) != nullptr &&
                std::ranges::find(capacitors, part) == capacitors.end()) {
                capacitors.emplace_back(part);
            }
        }
    };
    const CircuitKind kind = design.Kind();
    if (kind == CircuitKind::CommonEmitter) {
        take("gain", {"C1"}, true);
    }
    if (kind == CircuitKind::CommonBase) {
        take("Z_out", {"C3"}, true);
    }
    take("f_-3dB", {"C1", "C2", "C3"});
    if (capacitors.empty()) {
        return std::nullopt;
    }

    std::vector<std::vector<double>> ladders;
    for (const std::string& name : capacitors) {
        ladders.push_back(Ladder(PartValue(circuit, name)));
    }
    // A tuned circuit mends the misses it is for and adds none, with every
    // capacitor it changes at the low edge of its tolerance (see
    // ProposeTuning); a capacitor left as designed stays as designed.
    // The search asks the in-process model (analysis/SmallSignal.h), which
    // gives ngspice's figures to 1e-5, and ngspice where the model cannot
    // analyse the circuit; ngspice confirms the values found (below).
    const auto verifyAt = [&](const std::vector<std::size_t>& at, bool byNgspice = false) {
        std::vector<NamedValue> values;
        for (std::size_t k = 0; k < capacitors.size(); ++k) {
            const std::size_t step = std::min(at[k], ladders[k].size() - 1);
            values.emplace_back(capacitors[k], step == 0 ? ladders[k][0] : LowEdge(ladders[k][step]));
        }
        const VerificationOptions tried = WithValues(options, values);
        if (!byNgspice) {
            const Expected<SmallSignalCircuit> model = SmallSignalCircuit::Make(
                VerifiedCircuit(design, tried.m_PartValues), robustness::SimulationOf(tried));
            if (Expected<SimulationResult> r =
                    model ? model->Analyse(false) : Expected<SimulationResult>{Failure{model.Message()}};
                r) {
                return JudgeSimulation(design, tried, *r);
            }
        }
        return Verify(design, tried);
    };
    const auto mends = [&](const Verification& v) {
        if (!v.m_Simulation.Simulated()) {
            return false;
        }
        for (const VerdictMiss& miss : v.m_Verdict.m_Misses) {
            if (std::ranges::find(mended, miss.m_Quantity) != mended.end() ||
                !start.m_Verdict.Misses(miss.m_Quantity)) {
                return false;
            }
        }
        return true;
    };
    // The capacitors still to raise go to step; the others stay designed.
    std::vector<bool> raised(capacitors.size(), true);
    const auto uniform = [&](std::size_t step) {
        std::vector<std::size_t> at(capacitors.size(), 0);
        for (std::size_t k = 0; k < capacitors.size(); ++k) {
            at[k] = raised[k] ? step : 0;
        }
        return at;
    };

    const std::size_t top = TuningSteps;
    if (!mends(verifyAt(uniform(top)))) {
        return std::nullopt;
    }
    // A capacitor the others do without stays as designed: raised along
    // with them, C1 of a common-base stage would take a share of the corner
    // that C3 then has to make up for with a larger value still.
    for (std::size_t k = 0; k < capacitors.size() && capacitors.size() > 1; ++k) {
        raised[k] = false;
        if (!mends(verifyAt(uniform(top)))) {
            raised[k] = true;
        }
    }
    // The rest up the ladder together, then each one down alone.
    std::vector<std::size_t> steps =
        uniform(LowestWorking(1, top, [&](std::size_t step) { return mends(verifyAt(uniform(step))); }));
    for (std::size_t k = 0; k < capacitors.size(); ++k) {
        if (!raised[k]) {
            continue;
        }
        steps[k] = LowestWorking(0, steps[k], [&](std::size_t step) {
            std::vector<std::size_t> at = steps;
            at[k] = step;
            return mends(verifyAt(at));
        });
    }

    // Where ngspice finds a value at the edge of a requirement the model
    // just met, every capacitor raised goes one step further.
    while (!mends(verifyAt(steps, true))) {
        bool stepped = false;
        for (std::size_t k = 0; k < capacitors.size(); ++k) {
            if (raised[k] && steps[k] < top) {
                ++steps[k];
                stepped = true;
            }
        }
        if (!stepped) {
            return std::nullopt;
        }
    }

    TuningProposal proposal;
    proposal.m_Mended = mended;
    for (std::size_t k = 0; k < capacitors.size(); ++k) {
        const std::size_t step = std::min(steps[k], ladders[k].size() - 1);
        if (step > 0) {
            proposal.m_Changes.push_back({capacitors[k], ladders[k].front(), ladders[k][step]});
        }
    }
    proposal.m_Verification = Verify(design, WithValues(options, proposal.PartValues()));
    return proposal;
}

} // namespace norvane
