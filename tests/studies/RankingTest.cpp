// The ranking of the transistor table: the same rows every time, the very
// designs and simulations the design command gives, no design that cannot
// be built, the polarity asked for, no known rating exceeded, the rows a
// whole-table ngspice run gives; the bias solve against ngspice.

#include "studies/Ranking.h"
#include "circuit/BiasPoint.h"
#include "circuit/PartStress.h"
#include "cli/CommandLine.h"
#include "ngspice/Simulator.h"
#include "transistors/TransistorRatings.h"
#include "transistors/TransistorTable.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace norvane {
namespace {

DesignInputs CommonEmitter20dB()
{
    DesignInputs inputs(CircuitKind::CommonEmitter);
    inputs.SetValue(InputField::Gain, 20);
    return inputs;
}

Ranking RankOrSkip(const DesignInputs& inputs, const RankOptions& options)
{
    const Expected<Ranking> ranking = Rank(inputs, options);
    EXPECT_TRUE(ranking) << ranking.Message();
    return ranking ? *ranking : Ranking{};
}

nlohmann::json CliJson(const std::vector<std::string>& args)
{
    std::vector<const char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run(static_cast<int>(argv.size()), argv.data(), out, err), 0) << err.str();
    return nlohmann::json::parse(out.str());
}

nlohmann::json DesignJson(const std::string& type)
{
    return CliJson(
        {"norvane-cli", "design", "ce", "--gain", "20", "--transistor", type, "--simulate", "--json"});
}

class RankingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const Status available = SimulatorAvailable(); !available) {
            FAIL() << available.Message() << ": install Debian's libngspice0 (bash scripts/install-deps.sh)";
        }
    }
};

// Twice the same rows; each row's design and simulation are those of
// "norvane-cli design ce --gain 20 --transistor <type> --simulate".
TEST_F(RankingTest, DeterministicAndTheOrdinaryDesign)
{
    RankOptions options;
    options.m_Rows = 6;
    const Ranking first = RankOrSkip(CommonEmitter20dB(), options);
    const Ranking second = RankOrSkip(CommonEmitter20dB(), options);
    ASSERT_EQ(first.m_Rows.size(), 6u);
    ASSERT_EQ(second.m_Rows.size(), first.m_Rows.size());
    for (std::size_t i = 0; i < first.m_Rows.size(); ++i) {
        const RankRow& a = first.m_Rows[i];
        const RankRow& b = second.m_Rows[i];
        EXPECT_EQ(a.m_Name, b.m_Name);
        EXPECT_EQ(a.m_Score, b.m_Score);
        EXPECT_EQ(a.m_BiasStability, b.m_BiasStability);
        if (i > 0) {
            EXPECT_GE(!a.m_Meets, !first.m_Rows[i - 1].m_Meets) << "those that meet come first";
        }

        const nlohmann::json design = DesignJson(a.m_Name);
        EXPECT_TRUE(design["usable"].get<bool>());
        EXPECT_TRUE(design["notes"].empty());
        for (const auto& [part, value] : a.m_Parts) {
            EXPECT_EQ(design["values"][part].get<double>(), value) << a.m_Name << ' ' << part;
        }
        EXPECT_EQ(design["values"]["Ic"].get<double>(), a.m_Ic);
        const nlohmann::json& sim = design["simulation"];
        EXPECT_EQ(sim["gain_db"].get<double>(), a.m_GainDb) << a.m_Name;
        EXPECT_EQ(sim["zin"].get<double>(), a.m_InputImpedance);
        EXPECT_EQ(sim["zout"].get<double>(), a.m_OutputImpedance);
        EXPECT_EQ(sim["f_3db"].get<double>(), a.m_LowerCutoff);
        EXPECT_EQ(sim["ic"].get<double>(), a.m_SimulatedIc);

        // The score from the row's own figures, as Ranking.h defines it.
        const DesignInputs asked = CommonEmitter20dB();
        const double gainError = std::pow(10.0, (a.m_GainDb - asked.Value(InputField::Gain)) / 20) - 1;
        const double zinExcess = a.m_InputImpedance / asked.Value(InputField::InputImpedance) - 1;
        const double cornerExcess =
            std::isfinite(a.m_LowerCutoff) ? a.m_LowerCutoff / asked.Value(InputField::LowerCutoff) - 1 : 0.0;
        const double expected =
            std::fabs(a.m_SimulatedIc / a.m_Ic - 1) + std::fabs(gainError) +
            std::fabs(a.m_OutputImpedance / asked.Value(InputField::OutputImpedance) - 1) +
            std::max(0.0, zinExcess) + std::max(0.0, cornerExcess);
        EXPECT_NEAR(a.m_Score, expected, 1e-9 * expected) << a.m_Name;
    }
}

// Designed through the ordinary path, the NPN types of the common-emitter
// 20 dB requirements include some whose design is not usable or carries a
// note: the ranking counts exactly the others as usable, lists none of
// those, and only NPN types.
TEST_F(RankingTest, NoUnusableDesignAndThePolarityAsked)
{
    const std::unique_ptr<AmplifierDesign> design = MakeDesign(CircuitKind::CommonEmitter);
    DesignInputs inputs = CommonEmitter20dB();
    std::vector<std::string> dropped;
    int usable = 0;
    for (int t = 0; t < GetTransistorCount(); ++t) {
        if (!IsPnpTransistor(t)) {
            inputs.SetTransistorIndex(t);
            design->Compute(inputs);
            if (design->IsUsable() && design->Notes().empty()) {
                ++usable;
            } else {
                dropped.emplace_back(GetTransistorRecord(t).name);
            }
        }
    }
    ASSERT_FALSE(dropped.empty());

    RankOptions options;
    options.m_Rows = 4;
    options.m_Polarity = PolarityFilter::Npn;
    const Ranking ranking = RankOrSkip(CommonEmitter20dB(), options);
    EXPECT_EQ(ranking.m_Usable, usable);
    ASSERT_EQ(ranking.m_Rows.size(), 4u);
    for (const RankRow& row : ranking.m_Rows) {
        EXPECT_FALSE(IsPnpTransistor(row.m_TransistorIndex)) << row.m_Name;
        EXPECT_FALSE(row.m_IsPnp);
        EXPECT_EQ(std::ranges::count(dropped, row.m_Name), 0) << row.m_Name;
    }
}

// On 90 V most of the table would break down. No row exceeds a rating its
// type is known to have (checked through the parts list's own path), the
// designs over one are counted, and the JSON rows carry the type's
// ratings. A type with a rating unknown comes after every fully rated one;
// among rows of one verdict and score band the lower Ptot comes first.
TEST_F(RankingTest, KnownRatingsAreNeverExceeded)
{
    constexpr double Supply = 90;
    const nlohmann::json ranking =
        CliJson({"norvane-cli", "rank", "ce", "--supply", "90", "--gain", "20", "--top", "60", "--json"});
    EXPECT_GT(ranking["over_rating"].get<int>(), 0);
    const nlohmann::json& rows = ranking["rows"];
    ASSERT_GT(rows.size(), 20u);

    DesignInputs inputs = CommonEmitter20dB();
    inputs.SetValue(InputField::SupplyVoltage, Supply);
    const std::unique_ptr<AmplifierDesign> design = MakeDesign(CircuitKind::CommonEmitter);
    const auto rating = [](const nlohmann::json& value) {
        return value.is_null() ? std::numeric_limits<double>::quiet_NaN() : value.get<double>();
    };
    int known = 0;
    int unknown = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const nlohmann::json& row = rows[i];
        const std::string name = row["transistor"];
        const int index = FindTransistor(name);
        const TransistorRatings ratings = GetTransistorRatings(index);
        EXPECT_TRUE(row["vceo"].is_null() || row["vceo"].get<double>() >= Supply) << name;
        EXPECT_EQ(std::isnan(ratings.m_Vceo), row["vceo"].is_null()) << name;
        EXPECT_TRUE(std::isnan(ratings.m_Vceo) || rating(row["vceo"]) == ratings.m_Vceo) << name;
        EXPECT_TRUE(std::isnan(ratings.m_IcMax) || rating(row["ic_max"]) == ratings.m_IcMax) << name;
        EXPECT_TRUE(std::isnan(ratings.m_Ptot) || rating(row["ptot"]) == ratings.m_Ptot) << name;

        inputs.SetTransistorIndex(index);
        design->Compute(inputs);
        const Expected<PartStresses> stresses = PartStressesOf(*design);
        ASSERT_TRUE(stresses) << name << ": " << stresses.Message();
        const RatingCheck check = stresses->m_Transistor.Check();
        EXPECT_NE(check, RatingCheck::Exceeded) << name;
        EXPECT_EQ(row["rating_unknown"].get<bool>(), check == RatingCheck::Unknown) << name;

        if (row["rating_unknown"].get<bool>()) {
            ++unknown;
        } else {
            ++known;
            EXPECT_EQ(unknown, 0) << name << ": a fully rated type after one that is not";
        }
        if (i > 0) {
            const nlohmann::json& before = rows[i - 1];
            const auto band = [](const nlohmann::json& r) {
                return std::round(r["score"].get<double>() * 100);
            };
            if (before["rating_unknown"] == row["rating_unknown"] && before["meets"] == row["meets"] &&
                band(before) == band(row) && !row["ptot"].is_null()) {
                EXPECT_LE(rating(before["ptot"]), rating(row["ptot"])) << name;
            }
        }
    }
    EXPECT_GT(known, 0);
    EXPECT_GT(unknown, 0);
}

// The rows the model's order lets ngspice settle are the first rows of a
// ranking in which ngspice simulated every usable design of the table
// (3,633 simulations, about 16 s in a release build).
TEST_F(RankingTest, WholeTableRowsAreTheSettledRows)
{
    RankOptions settledRows;
    settledRows.m_Rows = 20;
    RankOptions everyDesign;
    everyDesign.m_Rows = GetTransistorCount();
    const Ranking settled = RankOrSkip(CommonEmitter20dB(), settledRows);
    const Ranking whole = RankOrSkip(CommonEmitter20dB(), everyDesign);
    EXPECT_EQ(whole.m_Simulated + whole.m_NotSimulated, whole.m_Usable - whole.m_OverRating);
    EXPECT_LT(settled.m_Simulated, 2 * settledRows.m_Rows);
    ASSERT_EQ(settled.m_Rows.size(), 20u);
    ASSERT_GE(whole.m_Rows.size(), 20u);
    for (std::size_t i = 0; i < settled.m_Rows.size(); ++i) {
        EXPECT_EQ(settled.m_Rows[i].m_Name, whole.m_Rows[i].m_Name) << "row " << i + 1;
        EXPECT_EQ(settled.m_Rows[i].m_Score, whole.m_Rows[i].m_Score) << "row " << i + 1;
        EXPECT_EQ(settled.m_Rows[i].m_Meets, whole.m_Rows[i].m_Meets) << "row " << i + 1;
    }
}

// The DC operating point of the bias solve is ngspice's, and a larger BF
// draws more collector current through the same divider.
TEST_F(RankingTest, BiasCurrentAsNgspiceFindsIt)
{
    DesignInputs inputs = CommonEmitter20dB();
    inputs.SetTransistorIndex(FindTransistor("BC548B"));
    const std::unique_ptr<AmplifierDesign> design = MakeDesign(CircuitKind::CommonEmitter);
    design->Compute(inputs);
    const SimulationResult simulated = Simulate(*design);
    ASSERT_TRUE(simulated.Simulated()) << simulated.StatusText();
    const Expected<double> ic = SolveBiasCurrent(*design, 1.0);
    ASSERT_TRUE(ic) << ic.Message();
    EXPECT_NEAR(*ic / simulated.m_Ic, 1.0, 1e-3);
    const Expected<double> halved = SolveBiasCurrent(*design, 0.5);
    const Expected<double> doubled = SolveBiasCurrent(*design, 2.0);
    ASSERT_TRUE(halved && doubled);
    EXPECT_LT(*halved, *ic);
    EXPECT_GT(*doubled, *ic);
    EXPECT_DOUBLE_EQ(BiasStability(*design), (*doubled - *halved) / *ic);
}

} // namespace
} // namespace norvane
