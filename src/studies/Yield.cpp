#include "studies/Yield.h"

#include "analysis/SmallSignal.h"
#include "analysis/Statistics.h"
#include "circuit/DesignTargets.h"
#include "design/StandardSeries.h"
#include "studies/StudySupport.h"
#include "studies/Verify.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace norvane {

using namespace robustness;

namespace {

// What an estimate must reach before ngspice is asked: the model agrees
// with ngspice to 1e-5, but a run near the edge of a tolerance may still
// fall either way.
constexpr double EstimateMargin = 0.01;
// How far down the search takes the bottom resistor: three decades.
constexpr double LowestBottomShare = 1e-3;
// The nominal Uce a proposal keeps at least, of the design's: a higher
// emitter voltage steadies Ic but takes headroom.
constexpr double LowestUceShare = 0.8;
// How far the emitter resistor may rise: three times the designed one.
constexpr double EmitterRise = 3.0;
// The candidates judged in full in-process (some 40 ms each, 500 runs of
// the whole model) before the best of them is taken.
constexpr int FullEstimates = 4;

bool IsResistor(const CircuitPart& part)
{
    return !part.m_Name.empty() && (part.m_Name.front() == 'R' || part.m_Name.front() == 'r');
}

// The parts that set the bias: the base divider, top (to the supply) and
// bottom (to ground), and the emitter resistor (bypassed in a
// common-emitter stage; a common-base stage's R1 is its input, a
// follower's R3 its load: there the nominal verdict guards what they do).
// A common-emitter stage's gain resistor, R4 (its gain is R3 over R4 and
// the emitter's own resistance), comes with them.
struct BiasParts {
    const char* m_Top;
    const char* m_Bottom;
    const char* m_Emitter;
    const char* m_Gain = nullptr;
};

BiasParts BiasPartsOf(CircuitKind kind)
{
    switch (kind) {
    case CircuitKind::CommonBase: return {"R3", "R4", "R1"};
    case CircuitKind::CommonCollector: return {"R1", "R2", "R3"};
    case CircuitKind::CommonEmitter:
    case CircuitKind::None: break;
    }
    return {"R1", "R2", "R5", "R4"};
}

// The values of the series from 10 ohm to 10 Mohm, ascending.
std::vector<double> SeriesValues(StandardSeries series)
{
    std::vector<double> values;
    const std::span<const int> mantissas = SeriesTable(series);
    for (int decade = 1; decade <= 7; ++decade) {
        for (std::size_t i = 0; i + 1 < mantissas.size(); ++i) {
            values.push_back(mantissas[i] * std::pow(10.0, decade - 2));
        }
    }
    return values;
}

struct Candidate {
    double m_Top = 0.0;
    double m_Bottom = 0.0;
    double m_Emitter = 0.0;
    double m_Estimate = 0.0;       // the share of builds that meet
    double m_InputImpedance = 0.0; // in-process, nominal
};

VerificationOptions WithBias(const VerificationOptions& options, const BiasParts& names, const Candidate& c,
                             const AmplifierCircuit& circuit)
{
    VerificationOptions with = options;
    const std::pair<const char*, double> set[] = {
        {names.m_Top, c.m_Top},
        {names.m_Bottom, c.m_Bottom},
        {names.m_Emitter, c.m_Emitter},
        {names.m_Gain, names.m_Gain ? PartValue(circuit, names.m_Gain) : 0.0}};
    for (const auto& part : set) {
        if (part.first == nullptr) {
            continue;
        }
        std::erase_if(with.m_PartValues, [&](const NamedValue& given) { return given.first == part.first; });
        with.m_PartValues.emplace_back(part.first, part.second);
    }
    return with;
}

// The draws of the tolerance runs (RunTolerances): per run one factor per
// part, then the transistor's k.
struct Draws {
    std::vector<double> m_Factors; // run x part
    std::vector<double> m_CurrentGain;
};

Draws DrawLikeTheRuns(const AmplifierCircuit& circuit, double resistorTolerance, int runs, std::uint64_t seed)
{
    Draws draws;
    std::mt19937_64 random(seed);
    for (int run = 0; run < runs; ++run) {
        for (const CircuitPart& part : circuit.m_Parts) {
            draws.m_Factors.push_back(
                DrawWithin(1.0, IsResistor(part) ? resistorTolerance : CapacitorTolerance, random));
        }
        draws.m_CurrentGain.push_back(
            std::exp(std::log(CurrentGainSpread) * (2.0 * DrawWithin(0.5, 1.0, random) - 1.0)));
    }
    return draws;
}

// The circuit with the gain resistor (names.m_Gain) the series has on
// either side of the designed one, or the designed one, whichever puts the
// nominal gain (in-process) nearest the target: the middle of the
// tolerance leaves the most room for the parts' spread (the worked
// common-emitter example: R4 200 ohm gives 19.48 dB, 180 ohm 20.42 dB).
// The circuit as it is where there is no gain to centre; nullopt where
// the model cannot analyse it.
std::optional<AmplifierCircuit> WithCentredGain(const AmplifierCircuit& designed, const BiasParts& names,
                                                double targetDb, StandardSeries series,
                                                const SimulationOptions& simulation)
{
    const auto gainOf = [&](const AmplifierCircuit& c) {
        const Expected<SmallSignalCircuit> model = SmallSignalCircuit::Make(c, simulation);
        const Expected<SimulationResult> r =
            model ? model->Analyse(false) : Expected<SimulationResult>{Failure{model.Message()}};
        return r ? r->m_GainDb : SimulationResult::NaN;
    };
    if (!std::isfinite(targetDb) || names.m_Gain == nullptr) {
        return designed;
    }
    AmplifierCircuit best = designed;
    double bestError = std::fabs(gainOf(designed) - targetDb);
    if (!std::isfinite(bestError)) {
        return std::nullopt;
    }
    const std::vector<double> ladder = SeriesValues(series);
    const double value = PartValue(designed, names.m_Gain);
    const auto above = std::ranges::upper_bound(ladder, value * (1 + 1e-9));
    const auto below = std::ranges::lower_bound(ladder, value * (1 - 1e-9));
    for (const auto step : {below == ladder.begin() ? ladder.end() : below - 1, above}) {
        if (step == ladder.end()) {
            continue;
        }
        AmplifierCircuit tried = designed;
        std::ranges::find(tried.m_Parts, names.m_Gain, &CircuitPart::m_Name)->m_Value = *step;
        if (const double error = std::fabs(gainOf(tried) - targetDb); error < bestError) {
            best = std::move(tried);
            bestError = error;
        }
    }
    return best;
}

struct NominalCheck {
    bool m_Simulated = false;
    std::vector<std::string> m_Misses;
    double m_InputImpedance = 0.0;
};

} // namespace

YieldAnalysis AnalyseYield(const AmplifierDesign& design, const VerificationOptions& options,
                           const AnalysisProgress& progress)
{
    YieldAnalysis result;
    BuildYield& y = result.m_Yield;
    y.m_Seed = DefaultToleranceSeed;
    y.m_ResistorTolerance = ResistorTolerance(12 << design.Inputs().SeriesIndex());
    const Expected<ToleranceAnalysis> analysis =
        AnalyseTolerances(design, options, {DefaultToleranceRuns, DefaultToleranceSeed}, progress);
    if (!analysis) {
        y.m_Problem = analysis.Message();
        return result;
    }
    y.m_Fraction = analysis->Yield();
    y.m_Runs = analysis->m_Runs;
    y.m_Meeting = analysis->m_Meeting;
    if (!analysis->m_Misses.empty()) {
        y.m_MostMissed = analysis->m_Misses.front().first;
    }
    for (const auto& [quantity, runs] : analysis->m_Misses) {
        if (quantity == "Ic") {
            result.m_IcMisses = runs;
        }
    }
    return result;
}

std::optional<BiasProposal> ProposeBias(const AmplifierDesign& design, const VerificationOptions& options,
                                        const YieldAnalysis& before, const AnalysisProgress& progress)
{
    const BuildYield& was = before.m_Yield;
    if (!(was.m_Fraction < YieldTarget) || before.m_IcMisses == 0 || was.m_Runs < 1) {
        return std::nullopt;
    }
    const Expected<AmplifierCircuit> designedCircuit = CircuitFor(design, options);
    if (!designedCircuit) {
        return std::nullopt;
    }
    const BiasParts names = BiasPartsOf(design.Kind());
    const StandardSeries series = SeriesCounts.at(design.Inputs().SeriesIndex());
    const SimulationOptions simulation = SimulationOf(options);
    const std::optional<AmplifierCircuit> circuit =
        WithCentredGain(*designedCircuit, names, TargetsOf(design).m_GainDb, series, simulation);
    if (!circuit) {
        return std::nullopt;
    }
    const auto& parts = circuit->m_Parts;
    const auto indexOf = [&](const char* name) {
        return static_cast<std::size_t>(std::ranges::find(parts, name, &CircuitPart::m_Name) - parts.begin());
    };
    const std::size_t count = parts.size();
    const std::size_t index[3] = {indexOf(names.m_Top), indexOf(names.m_Bottom), indexOf(names.m_Emitter)};
    Expected<BiasSolver> solver = BiasSolver::Make(*circuit);
    if (index[0] == count || index[1] == count || index[2] == count || !solver) {
        return std::nullopt;
    }
    const auto runs = static_cast<std::size_t>(was.m_Runs);
    const Draws draws = DrawLikeTheRuns(*circuit, was.m_ResistorTolerance, was.m_Runs, was.m_Seed);
    const DesignTargets aim = TargetsOf(design);
    const double reference = aim.IcReference();
    const double lowestUce = LowestUceShare * solver->Nominal().m_Uce;

    // The part values of run (none: nominal) with the bias parts of c.
    std::vector<double> values(count);
    const auto setValues = [&](const Candidate& c, const std::optional<std::size_t> run) {
        const double* factors = run ? &draws.m_Factors[*run * count] : nullptr;
        for (std::size_t p = 0; p < count; ++p) {
            const double value = p == index[0]   ? c.m_Top
                                 : p == index[1] ? c.m_Bottom
                                 : p == index[2] ? c.m_Emitter
                                                 : parts[p].m_Value;
            values[p] = value * (factors != nullptr ? factors[p] : 1.0);
        }
    };
    const auto nominalBias = [&](const Candidate& c) {
        setValues(c, std::nullopt);
        const Expected<BiasPoint> bias = solver->Solve(values);
        return bias ? *bias : BiasPoint{};
    };
    // Runs a candidate may lose and still be taken: once past them, the
    // rest of its runs need not be counted.
    const auto allowed =
        static_cast<std::size_t>((1.0 - YieldTarget - EstimateMargin) * static_cast<double>(runs));
    // The share of the runs whose Ic lies within the tolerance (counted
    // until more than allowed are lost).
    const auto icShare = [&](const Candidate& c, std::size_t allowedLost) {
        std::size_t lost = 0;
        for (std::size_t run = 0; run < runs && lost <= allowedLost; ++run) {
            setValues(c, run);
            const Expected<BiasPoint> bias = solver->Solve(values, draws.m_CurrentGain[run]);
            lost += bias && std::fabs(bias->m_Ic - reference) <= CurrentTolerance * reference ? 0 : 1;
        }
        return 1.0 - static_cast<double>(lost) / static_cast<double>(runs);
    };
    // The quantities the verdict misses in-process with the values set,
    // f_-3dB aside: the capacitors are tuned again for the divider chosen.
    const auto judge = [&](const Candidate& c, double currentGain, NominalCheck& check) {
        AmplifierCircuit drawn = *circuit;
        for (std::size_t p = 0; p < count; ++p) {
            drawn.m_Parts[p].m_Value = values[p];
        }
        drawn.m_Transistor.BF *= currentGain;
        drawn.m_Transistor.IS *= currentGain;
        check = {};
        const Expected<SmallSignalCircuit> model = SmallSignalCircuit::Make(drawn, simulation);
        if (!model) {
            return;
        }
        const Expected<SimulationResult> r = model->Analyse(false);
        if (!r) {
            return;
        }
        check.m_Simulated = true;
        check.m_InputImpedance = r->m_InputImpedance;
        for (const VerdictMiss& miss :
             JudgeSimulation(design, WithBias(options, names, c, *circuit), *r).m_Verdict.m_Misses) {
            if (miss.m_Quantity != "f_-3dB") {
                check.m_Misses.push_back(miss.m_Quantity);
            }
        }
    };
    // The share of the runs that meet every requirement, in-process
    // (counted until it can neither reach the target nor beat toBeat).
    const auto fullShare = [&](const Candidate& c, double toBeat) {
        const std::size_t limit =
            std::max(allowed, static_cast<std::size_t>((1.0 - toBeat) * static_cast<double>(runs)));
        std::size_t lost = 0;
        NominalCheck check;
        for (std::size_t run = 0; run < runs && lost <= limit; ++run) {
            setValues(c, run);
            judge(c, draws.m_CurrentGain[run], check);
            lost += check.m_Simulated && check.m_Misses.empty() ? 0 : 1;
        }
        return 1.0 - static_cast<double>(lost) / static_cast<double>(runs);
    };

    // Every other bottom resistor of the series down three decades, the
    // emitter resistor from the designed one up to EmitterRise x, every
    // other value; the top on either side of the one that centres Ic (Ic
    // falls as the top rises).
    const std::vector<double> ladder = SeriesValues(series);
    const Candidate designedParts{parts[index[0]].m_Value, parts[index[1]].m_Value, parts[index[2]].m_Value};
    NominalCheck designed;
    setValues(designedParts, std::nullopt);
    judge(designedParts, 1.0, designed);
    const auto atOrBelow = [&](double value) {
        return static_cast<std::size_t>(std::ranges::upper_bound(ladder, value * (1 + 1e-9)) -
                                        ladder.begin());
    };
    std::vector<Candidate> candidates;
    const std::size_t bottomEnd = atOrBelow(designedParts.m_Bottom);
    const std::size_t emitterStart = atOrBelow(designedParts.m_Emitter);
    for (std::size_t b = bottomEnd; b-- > 0 && ladder[b] >= designedParts.m_Bottom * LowestBottomShare;
         b -= b > 0 ? 1 : 0) {
        for (std::size_t e = emitterStart > 0 ? emitterStart - 1 : 0;
             e < ladder.size() && ladder[e] <= designedParts.m_Emitter * EmitterRise; e += 2) {
            Candidate c{0.0, ladder[b], ladder[e]};
            const auto first = std::ranges::partition_point(ladder, [&](double high) {
                c.m_Top = high;
                return !(nominalBias(c).m_Ic <= reference);
            });
            const auto centre = static_cast<std::size_t>(first - ladder.begin());
            for (std::size_t t = centre > 0 ? centre - 1 : 0; t <= centre && t < ladder.size(); ++t) {
                c.m_Top = ladder[t];
                // A divider that draws more current than the stage itself
                // is no bias network an engineer would build.
                const double dividerCurrent = circuit->m_SupplyVoltage / (c.m_Top + c.m_Bottom);
                if (!(nominalBias(c).m_Uce >= lowestUce) || dividerCurrent > reference) {
                    continue;
                }
                c.m_Estimate = icShare(c, allowed);
                // The nominal verdict may not add a miss (a smaller
                // divider lowers Z_in, and a higher emitter voltage the
                // headroom).
                NominalCheck check;
                setValues(c, std::nullopt);
                judge(c, 1.0, check);
                const bool addsNoMiss =
                    check.m_Simulated &&
                    std::ranges::all_of(check.m_Misses, [&](const std::string& quantity) {
                        return std::ranges::find(designed.m_Misses, quantity) != designed.m_Misses.end();
                    });
                if (addsNoMiss) {
                    c.m_InputImpedance = check.m_InputImpedance;
                    candidates.push_back(c);
                }
            }
        }
        if (progress && !progress(0, 1)) {
            return std::nullopt;
        }
    }
    // The highest Z_in first among those whose Ic alone allows the target;
    // the first whose builds meet everything in-process is confirmed.
    // Where Ic alone allows it to none, those whose Ic meets in the most
    // builds are judged (counted in full now), the highest Z_in first.
    // Z_in within 1 % counts as equal; then the larger divider, which
    // draws less current (a common-base stage's divider does not load its
    // input at all).
    const auto cost = [](const Candidate& c) {
        return std::make_pair(std::round(std::log(c.m_InputImpedance) / std::log(1.01)), c.m_Bottom);
    };
    std::ranges::sort(candidates, std::greater{}, cost);
    if (std::ranges::none_of(
            candidates, [](const Candidate& c) { return c.m_Estimate >= YieldTarget + EstimateMargin; })) {
        for (Candidate& c : candidates) {
            c.m_Estimate = icShare(c, runs);
        }
        std::ranges::stable_sort(candidates, std::greater{},
                                 [](const Candidate& c) { return std::round(100 * c.m_Estimate); });
        if (candidates.size() > FullEstimates) {
            candidates.resize(FullEstimates);
        }
        for (Candidate& c : candidates) {
            c.m_Estimate = 1.0; // judged below whatever Ic alone gave
        }
    }
    std::optional<Candidate> chosen;
    Candidate best{};
    int judged = 0;
    for (Candidate& candidate : candidates) {
        if (candidate.m_Estimate < YieldTarget + EstimateMargin || judged == FullEstimates) {
            continue;
        }
        ++judged;
        candidate.m_Estimate = fullShare(candidate, best.m_Estimate);
        if (candidate.m_Estimate >= YieldTarget + EstimateMargin) {
            chosen = candidate;
            break;
        }
        if (candidate.m_Estimate > best.m_Estimate) {
            best = candidate;
        }
    }
    if (!chosen && best.m_Top > 0) {
        chosen = best;
    }
    if (!chosen) {
        return std::nullopt;
    }

    // The capacitors again for the new bias (C1 against the lower Z_in),
    // with their margin; then ngspice's runs of the whole.
    VerificationOptions with = WithBias(options, names, *chosen, *circuit);
    BiasProposal proposal;
    for (const char* name : {names.m_Top, names.m_Bottom, names.m_Emitter, names.m_Gain}) {
        if (name == nullptr) {
            continue;
        }
        const double designed = PartValue(*designedCircuit, name);
        const double proposed = PartValue(VerifiedCircuit(design, with.m_PartValues), name);
        // The designed value need not be the series' value to the last bit.
        if (std::fabs(proposed - designed) > 1e-6 * proposed) {
            proposal.m_Changes.push_back({name, designed, proposed});
        }
    }
    if (!Verify(design, with).m_Verdict.m_Meets) {
        if (const std::optional<TuningProposal> capacitors = ProposeTuning(design, with)) {
            for (const PartChange& change : capacitors->m_Changes) {
                proposal.m_Changes.push_back(
                    {change.m_Part, PartValue(*designedCircuit, change.m_Part), change.m_Proposed});
                with.m_PartValues.emplace_back(change.m_Part, change.m_Proposed);
            }
        }
    }
    const YieldAnalysis after = AnalyseYield(design, with, progress);
    if (!after.m_Yield.m_Problem.empty() || !(after.m_Yield.m_Fraction > was.m_Fraction)) {
        return std::nullopt; // cancelled, ngspice gone, or no better
    }
    proposal.m_Before = was;
    proposal.m_After = after.m_Yield;
    proposal.m_InputImpedanceBefore = Verify(design, options).m_Simulation.m_InputImpedance;
    proposal.m_InputImpedanceAfter = Verify(design, with).m_Simulation.m_InputImpedance;
    proposal.m_ReachesTarget = after.m_Yield.m_Fraction >= YieldTarget;
    proposal.m_Series = series;
    return proposal;
}

} // namespace norvane
