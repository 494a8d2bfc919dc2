#include "studies/Ranking.h"

#include "circuit/BiasPoint.h"

#include "circuit/DesignTargets.h"
#include "circuit/Netlist.h"
#include "circuit/PartStress.h"
#include "design/CommonEmitterDesign.h"
#include "ngspice/Simulator.h"
#include "studies/Verify.h"
#include "transistors/TransistorModel.h"
#include "transistors/TransistorTable.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>
#include <tuple>

namespace norvane {

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

// Relative error of a value that should equal its target.
double Deviation(double value, double target)
{
    return std::abs(value / target - 1);
}

// Relative error of a value that should stay at or below its limit.
double Excess(double value, double limit)
{
    return std::max(0.0, value / limit - 1);
}

// Linear voltage gain of a gain in dB.
double LinearGain(double db)
{
    return std::pow(10.0, db / 20);
}

// The sum of the relative errors of what the verdict judges, as Ranking.h
// lists them; only the quantities the circuit has a requirement for.
double ScoreOf(const DesignTargets& targets, const SimulationResult& s)
{
    double score = Deviation(s.m_Ic, targets.IcReference());
    if (std::isfinite(targets.m_GainDb)) {
        score += Deviation(LinearGain(s.m_GainDb), LinearGain(targets.m_GainDb));
    }
    if (std::isfinite(targets.m_OutputImpedance)) {
        score += Deviation(s.m_OutputImpedance, targets.m_OutputImpedance);
    }
    if (std::isfinite(targets.m_InputImpedance)) {
        score += Excess(s.m_InputImpedance, targets.m_InputImpedance);
    }
    if (std::isfinite(s.m_LowerCutoff)) {
        score += Excess(s.m_LowerCutoff, targets.m_LowerCutoff);
    }
    return std::isfinite(score) ? score : std::numeric_limits<double>::infinity();
}

// The step in which scores count as equal: whole percent.
double ScoreBand(double score)
{
    return std::round(score * 100);
}

bool Passes(PolarityFilter filter, int index)
{
    switch (filter) {
    case PolarityFilter::Any: return true;
    case PolarityFilter::Npn: return !IsPnpTransistor(index);
    case PolarityFilter::Pnp: return IsPnpTransistor(index);
    }
    return true;
}

struct Candidate {
    int m_Index;
    bool m_RatingUnknown;
    double m_PreScore;
};

// A rating as the order compares it: an unknown one after every known.
double RatingOrder(double rating)
{
    return std::isnan(rating) ? std::numeric_limits<double>::infinity() : rating;
}

} // namespace

double PreScore(const AmplifierDesign& design)
{
    const AmplifierCircuit circuit = DescribeCircuit(design);
    if (!design.IsUsable() || !CheckCircuit(circuit)) {
        return std::numeric_limits<double>::infinity();
    }
    // One secant step: the shift is a few percent at most for a usable
    // design, and a step leaves a fraction of a percent of it.
    double score = Deviation(EstimateBiasCurrent(design, circuit), design.Ic());
    if (!std::isfinite(score)) {
        return std::numeric_limits<double>::infinity();
    }
    // The collector-base capacitance across the output at the top of the
    // band where the verdict reads the mid-band figures.
    const DesignInputs& in = design.Inputs();
    if (in.Has(InputField::OutputImpedance)) {
        constexpr double MidbandCeiling = 100; // x f_min
        const double x = 2 * std::numbers::pi * MidbandCeiling * in.Value(InputField::LowerCutoff) *
                         circuit.m_Transistor.CJC * in.Value(InputField::OutputImpedance);
        score += 1 - 1 / std::sqrt(1 + x * x);
    }
    if (const auto* ce = dynamic_cast<const CommonEmitterDesign*>(&design)) {
        score +=
            Deviation(LinearGain(ce->DesignedGainDb()), LinearGain(design.Inputs().Value(InputField::Gain)));
    }
    return score;
}

Expected<Ranking> Rank(const DesignInputs& inputs, const RankOptions& options, const RankProgress& progress)
{
    if (const Status available = SimulatorAvailable(); !available) {
        return Failure{available.Message()};
    }
    Ranking ranking;
    const int count = GetTransistorCount();
    const int candidatesWanted = std::max(0, options.m_Candidates);
    int total = count + candidatesWanted;
    int done = 0;
    const auto report = [&] { return !progress || progress(done, total); };
    constexpr int ProgressEvery = 64; // designs between reports

    // 1. Design with every type.
    const Clock::time_point designStart = Clock::now();
    const std::unique_ptr<AmplifierDesign> design = MakeDesign(inputs.Kind());
    DesignInputs typed = inputs;
    std::vector<Candidate> candidates;
    for (int t = 0; t < count; ++t, ++done) {
        if (done % ProgressEvery == 0 && !report()) {
            return Failure{RankCancelledMessage};
        }
        if (!Passes(options.m_Polarity, t)) {
            continue;
        }
        ++ranking.m_Designed;
        typed.SetTransistorIndex(t);
        design->Compute(typed);
        if (!design->IsUsable() || !design->Notes().empty()) {
            continue;
        }
        ++ranking.m_Usable;
        const RatingCheck check = TransistorStressOf(*design).Check();
        if (check == RatingCheck::Exceeded) {
            ++ranking.m_OverRating;
            continue;
        }
        candidates.push_back({t, check == RatingCheck::Unknown, PreScore(*design)});
    }
    // 2. The best by their own figures; the table is sorted by name, so
    // the index breaks ties by name.
    std::ranges::sort(candidates, {}, [](const Candidate& c) {
        return std::tie(c.m_RatingUnknown, c.m_PreScore, c.m_Index);
    });
    if (static_cast<int>(candidates.size()) > candidatesWanted) {
        candidates.resize(static_cast<std::size_t>(candidatesWanted));
    }
    total = count + static_cast<int>(candidates.size());
    ranking.m_DesignSeconds = Seconds(designStart);

    const Clock::time_point simulationStart = Clock::now();
    for (const Candidate& candidate : candidates) {
        if (!report()) {
            return Failure{RankCancelledMessage};
        }
        ++done;
        typed.SetTransistorIndex(candidate.m_Index);
        design->Compute(typed);
        const Verification verification = Verify(*design);
        const SimulationResult& s = verification.m_Simulation;
        if (!s.Simulated()) {
            ++ranking.m_NotSimulated;
            continue;
        }
        ++ranking.m_Simulated;
        RankRow row;
        row.m_TransistorIndex = candidate.m_Index;
        row.m_Name = GetTransistorRecord(candidate.m_Index).name;
        row.m_IsPnp = design->IsPnp();
        TransistorModel model;
        model.SelectTransistor(candidate.m_Index);
        model.SetOperatingPoint(design->Ic(), design->Uce());
        row.m_CurrentGain = model.IsValid() ? design->Ic() / model.GetBaseCurrent() : RankRow::NaN;
        row.m_Ic = design->Ic();
        row.m_Uce = design->Uce();
        row.m_Parts = design->ComponentNumbers();
        row.m_GainDb = s.m_GainDb;
        row.m_InputImpedance = s.m_InputImpedance;
        row.m_OutputImpedance = s.m_OutputImpedance;
        row.m_LowerCutoff = s.m_LowerCutoff;
        row.m_SimulatedIc = s.m_Ic;
        row.m_BiasStability = BiasStability(*design);
        row.m_Score = ScoreOf(TargetsOf(*design), s);
        row.m_Meets = verification.m_Verdict.m_Meets;
        const TransistorStress t1 = TransistorStressOf(*design);
        row.m_Vceo = t1.m_Voltage.m_Rating;
        row.m_IcMax = t1.m_Current.m_Rating;
        row.m_Ptot = t1.m_Power.m_Rating;
        row.m_RatingUnknown = t1.Check() == RatingCheck::Unknown;
        ranking.m_Rows.push_back(std::move(row));
    }
    if (!report()) {
        return Failure{RankCancelledMessage};
    }

    // 3. The order.
    std::ranges::sort(ranking.m_Rows, {}, [](const RankRow& r) {
        return std::make_tuple(r.m_RatingUnknown, !r.m_Meets, ScoreBand(r.m_Score), RatingOrder(r.m_Ptot),
                               r.m_BiasStability, r.m_TransistorIndex);
    });
    ranking.m_SimulationSeconds = Seconds(simulationStart);
    return ranking;
}

} // namespace norvane
