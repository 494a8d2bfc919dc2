// The ranking of the transistor table: the same rows every time, the very
// designs and simulations the design command gives, no design that cannot
// be built, the polarity asked for; the bias solve against ngspice.

#include "studies/Ranking.h"
#include "circuit/BiasPoint.h"
#include "cli/CommandLine.h"
#include "ngspice/Simulator.h"
#include "transistors/TransistorTable.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
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

nlohmann::json DesignJson(const std::string& type)
{
    const std::vector<std::string> args{"norvane-cli",  "design", "ce",         "--gain", "20",
                                        "--transistor", type,     "--simulate", "--json"};
    std::vector<const char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(arg.c_str());
    }
    std::ostringstream out, err;
    EXPECT_EQ(cli::Run(static_cast<int>(argv.size()), argv.data(), out, err), 0) << err.str();
    return nlohmann::json::parse(out.str());
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
    options.m_Candidates = 6;
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
    options.m_Candidates = 4;
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
