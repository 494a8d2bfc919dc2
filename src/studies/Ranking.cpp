#include "studies/Ranking.h"

#include "analysis/SmallSignal.h"
#include "circuit/BiasPoint.h"
#include "circuit/DesignTargets.h"
#include "circuit/Netlist.h"
#include "circuit/PartStress.h"
#include "ngspice/Simulator.h"
#include "studies/StudySupport.h"
#include "studies/Verify.h"
#include "transistors/TransistorModel.h"
#include "transistors/TransistorTable.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <queue>
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

// A rating as the order compares it: an unknown one after every known.
double RatingOrder(double rating)
{
    return std::isnan(rating) ? std::numeric_limits<double>::infinity() : rating;
}

// How far the in-process model may lie from ngspice in any figure it gives,
// relative (the gain: the same in dB). Measured on every usable design of
// the table in the worked circuits: 8e-6 (Ic); this is 25 times that.
constexpr double ModelError = 2e-4;
const double ModelErrorDb = 20 * std::log10(1 + ModelError);

// Whether a miss could be a meet within ModelError: the figure lies that
// close to the edge of its requirement (or its rating). An unknown figure
// could be anything.
bool CouldMeet(const VerdictMiss& miss, const DesignTargets& aim)
{
    if (miss.m_Quantity == "VCEO") {
        return false; // the supply against the rating: no model in it
    }
    const double x = miss.m_Simulated;
    if (!std::isfinite(x)) {
        return true;
    }
    const bool rating = miss.m_Quantity == "IC max" || miss.m_Quantity == "Ptot";
    const RequirementBand band = RequirementBandOf(aim, miss.m_Quantity);
    const double reach = miss.m_Quantity == "gain" ? ModelErrorDb : ModelError * std::fabs(x);
    const auto near = [&](double edge) { return std::isfinite(edge) && std::fabs(x - edge) <= reach; };
    return rating ? near(miss.m_Required) : near(band.m_Low) || near(band.m_High);
}

// Where a row goes (3. of Ranking.h), lower first.
using OrderKey = std::tuple<bool, bool, double, double, double, int>;

OrderKey KeyOf(const RankRow& r)
{
    return {r.m_RatingUnknown,     !r.m_Meets,        ScoreBand(r.m_Score),
            RatingOrder(r.m_Ptot), r.m_BiasStability, r.m_TransistorIndex};
}

// What is known of a usable design so far, and so the lowest key its row
// can have: its ratings alone (Ratings: meets, score 0), the model's
// figures (Model), those and its bias stability (Stability).
enum class Known { Ratings, Model, Stability };

struct Candidate {
    OrderKey m_LowestKey;
    Known m_Known = Known::Ratings;

    bool operator>(const Candidate& other) const { return m_LowestKey > other.m_LowestKey; }
};

constexpr double Lowest = -std::numeric_limits<double>::infinity();

// The row of a design from ngspice's simulation of it.
RankRow RowOf(int index, const AmplifierDesign& design, const Verification& verification)
{
    const SimulationResult& s = verification.m_Simulation;
    RankRow row;
    row.m_TransistorIndex = index;
    row.m_Name = GetTransistorRecord(index).name;
    row.m_IsPnp = design.IsPnp();
    TransistorModel model;
    model.SelectTransistor(index);
    model.SetOperatingPoint(design.Ic(), design.Uce());
    row.m_CurrentGain = model.IsValid() ? design.Ic() / model.GetBaseCurrent() : RankRow::NaN;
    row.m_Ic = design.Ic();
    row.m_Uce = design.Uce();
    row.m_Parts = design.ComponentNumbers();
    row.m_GainDb = s.m_GainDb;
    row.m_InputImpedance = s.m_InputImpedance;
    row.m_OutputImpedance = s.m_OutputImpedance;
    row.m_LowerCutoff = s.m_LowerCutoff;
    row.m_SimulatedIc = s.m_Ic;
    row.m_BiasStability = BiasStability(design);
    row.m_Score = ScoreOf(TargetsOf(design), s);
    row.m_Meets = verification.m_Verdict.m_Meets;
    const TransistorStress t1 = TransistorStressOf(design);
    row.m_Vceo = t1.m_Voltage.m_Rating;
    row.m_IcMax = t1.m_Current.m_Rating;
    row.m_Ptot = t1.m_Power.m_Rating;
    row.m_RatingUnknown = t1.Check() == RatingCheck::Unknown;
    return row;
}

// The model's key of a design, made as good as ModelError allows: every
// miss that could be a meet discounted, the score lowered by what the
// errors of its terms could take off it; the bias stability left at its
// lowest. A design the model cannot analyse keeps the key of its ratings.
OrderKey ModelKey(const AmplifierDesign& design, const OrderKey& ratings)
{
    const Expected<SmallSignalCircuit> circuit =
        SmallSignalCircuit::Make(DescribeCircuit(design), robustness::SimulationOf({}));
    const Expected<SimulationResult> model =
        circuit ? circuit->Analyse(false) : Expected<SimulationResult>{Failure{circuit.Message()}};
    if (!model) {
        return ratings;
    }
    const Verification v = JudgeSimulation(design, {}, *model);
    const bool couldMeet = std::ranges::all_of(
        v.m_Verdict.m_Misses, [&](const VerdictMiss& miss) { return CouldMeet(miss, v.m_Targets); });
    // A relative error e of a figure moves each term by at most e (1 +
    // term); five terms at most.
    constexpr int Terms = 5;
    const double score = ScoreOf(v.m_Targets, *model);
    const double lowest = std::max(0.0, score - 2 * ModelError * (Terms + score));
    OrderKey key = ratings;
    std::get<1>(key) = !couldMeet;
    std::get<2>(key) = ScoreBand(lowest);
    return key;
}

} // namespace

Expected<Ranking> Rank(const DesignInputs& inputs, const RankOptions& options, const RankProgress& progress)
{
    if (const Status available = SimulatorAvailable(); !available) {
        return Failure{available.Message()};
    }
    Ranking ranking;
    const int count = GetTransistorCount();
    const auto wanted = static_cast<std::size_t>(std::max(0, options.m_Rows));
    // Steps: a design per type, a model per usable design (counted once the
    // designs are known), a simulation per confirmed row (as many as the
    // rows wanted, at least).
    int total = 2 * count + static_cast<int>(wanted);
    int done = 0;
    const auto report = [&] { return !progress || progress(done, total); };
    constexpr int ProgressEvery = 64; // designs between reports

    // 1. Design with every type.
    const Clock::time_point start = Clock::now();
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
        const TransistorStress t1 = TransistorStressOf(*design);
        if (t1.Check() == RatingCheck::Exceeded) {
            ++ranking.m_OverRating;
            continue;
        }
        candidates.push_back({{t1.Check() == RatingCheck::Unknown, false, Lowest,
                               RatingOrder(t1.m_Power.m_Rating), Lowest, t}});
    }

    // 2. to 4. Best first: the candidate with the lowest key is looked at
    // closer (its model, then its bias stability, then ngspice), until the
    // wanted rows are known: the rows simulated hold the wanted number, and
    // the last of them comes before the lowest key left, which no candidate
    // can go below. A candidate is modelled only where its ratings could
    // place it among the rows wanted.
    std::priority_queue<Candidate, std::vector<Candidate>, std::greater<>> open(std::greater<>{},
                                                                                std::move(candidates));
    total = done + static_cast<int>(open.size()) + static_cast<int>(wanted);
    std::vector<RankRow>& rows = ranking.m_Rows;
    const auto settled = [&] {
        if (wanted == 0 || open.empty()) {
            return true;
        }
        if (rows.size() < wanted) {
            return false;
        }
        const auto last = rows.begin() + static_cast<std::ptrdiff_t>(wanted - 1);
        std::ranges::nth_element(rows, last, {}, KeyOf);
        return KeyOf(*last) < open.top().m_LowestKey;
    };
    double simulationSeconds = 0.0;
    while (!settled()) {
        Candidate next = open.top();
        open.pop();
        total = std::max(total, ++done + 1);
        if (done % ProgressEvery == 0 && !report()) {
            return Failure{RankCancelledMessage};
        }
        const int t = std::get<5>(next.m_LowestKey);
        typed.SetTransistorIndex(t);
        design->Compute(typed);
        switch (next.m_Known) {
        case Known::Ratings:
            ++ranking.m_Modelled;
            open.push({ModelKey(*design, next.m_LowestKey), Known::Model});
            break;
        case Known::Model:
            std::get<4>(next.m_LowestKey) = BiasStability(*design);
            open.push({next.m_LowestKey, Known::Stability});
            break;
        case Known::Stability: {
            const Clock::time_point simulationStart = Clock::now();
            const Verification verification = Verify(*design);
            simulationSeconds += Seconds(simulationStart);
            if (!verification.m_Simulation.Simulated()) {
                ++ranking.m_NotSimulated;
                break;
            }
            ++ranking.m_Simulated;
            rows.push_back(RowOf(t, *design, verification));
            break;
        }
        }
    }
    if (!report()) {
        return Failure{RankCancelledMessage};
    }
    std::ranges::sort(rows, {}, KeyOf);
    if (rows.size() > wanted) {
        rows.resize(wanted);
    }
    ranking.m_SimulationSeconds = simulationSeconds;
    ranking.m_DesignSeconds = Seconds(start) - simulationSeconds;
    return ranking;
}

} // namespace norvane
