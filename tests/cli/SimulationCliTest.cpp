// The simulation options of "norvane-cli design", run in-process.

#include "analysis/FrequencyResponse.h"
#include "circuit/Netlist.h"
#include "cli/CommandLine.h"
#include "cli/ProgressLine.h"
#include "design/CommonEmitterDesign.h"
#include "design/DesignResults.h"
#include "transistors/TransistorTable.h"

#include "support/InProcessCli.h"
#include "support/Prerequisites.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <chrono>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

namespace norvane::cli {
namespace {

using norvane::test::CliResult;
using norvane::test::ReadFile;
using norvane::test::RunCli;

class SimulationCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Folder = std::filesystem::temp_directory_path() / ("norvane-sim-cli-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_Folder);
    }
    void TearDown() override { std::filesystem::remove_all(m_Folder); }
    std::filesystem::path m_Folder;
};

TEST_F(SimulationCli, SimulateAddsTheSimulationBlock)
{
    const CliResult r = RunCli({"design", "ce", "--gain", "20", "--simulate"});
    ASSERT_EQ(r.status, ExitOk) << r.err;
    EXPECT_EQ(r.err, "");
    const std::size_t block = r.out.find("\n\nSimulation (ngspice, no load):\n");
    ASSERT_NE(block, std::string::npos) << r.out;
    EXPECT_EQ(r.out.substr(block + 2), "Simulation (ngspice, no load):\n"
                                       "Ic = 2.579 mA (designed 2.6 mA)\n"
                                       "Uce = 5.858 V (designed 5.812 V)\n"
                                       "Ib = 8.499 uA\n"
                                       "Voltage gain = 19.48 dB (required 20 dB +/- 1 dB)\n"
                                       "Z_in = 42.14 kohm (required at most 50 kohm + 20 %)\n"
                                       "Z_out = 1.992 kohm (required 2 kohm +/- 20 %)\n"
                                       "f_-3dB = 8.034 Hz (required at most 10 Hz)\n"
                                       "Mid-band = 1 kHz\n");
    // The design lines before it are those without --simulate, with the
    // verdict and its yield below the title.
    std::string plain = RunCli({"design", "ce", "--gain", "20"}).out;
    const std::string title = "Transistor amplifier, type: Common-Emitter circuit\n";
    ASSERT_TRUE(plain.starts_with(title));
    plain.insert(title.size(),
                 "Simulation (ngspice, no load): meets the requirements; 49 % of builds with 5 % "
                 "resistors meet (Ic)\n");
    EXPECT_EQ(r.out.substr(0, block + 1), plain);
}

TEST_F(SimulationCli, CircuitsWithoutARequirementShowTheValueAlone)
{
    const CliResult r = RunCli({"design", "cb", "--simulate"});
    ASSERT_EQ(r.status, ExitOk) << r.err;
    EXPECT_NE(r.out.find("\nVoltage gain = 41.90 dB\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nf_-3dB upper = "), std::string::npos) << r.out;
}

TEST_F(SimulationCli, JsonCarriesASimulationObject)
{
    const CliResult r = RunCli({"design", "cc", "--simulate", "--json"});
    ASSERT_EQ(r.status, ExitOk) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    const auto& s = j.at("simulation");
    EXPECT_EQ(s["simulated"], true);
    EXPECT_EQ(s["problem"], "");
    EXPECT_TRUE(s["load"].is_null());
    EXPECT_NEAR(s["ic"].get<double>(), 1.866e-3, 1e-6);
    EXPECT_NEAR(s["gain_db"].get<double>(), 0.0, 0.1);
    for (const char* key : {"uce", "ib", "zin", "zout", "f_3db", "f_mid"}) {
        EXPECT_TRUE(s[key].is_number()) << key;
    }
    EXPECT_NEAR(s["aims"]["ic"].get<double>(), 1.9e-3, 1e-12);
    EXPECT_EQ(s["aims"]["zin"], 50000.0);
    EXPECT_TRUE(s["aims"]["gain_db"].is_null());
    EXPECT_TRUE(s["aims"]["zout"].is_null());
    EXPECT_EQ(s["warnings"].size(), 0u);

    EXPECT_FALSE(nlohmann::json::parse(RunCli({"design", "cc", "--json"}).out).contains("simulation"));
}

TEST_F(SimulationCli, LoadLowersTheGain)
{
    const auto open =
        nlohmann::json::parse(RunCli({"design", "ce", "--gain", "20", "--simulate", "--json"}).out);
    const CliResult r = RunCli({"design", "ce", "--gain", "20", "--simulate", "--json", "--load", "2k"});
    ASSERT_EQ(r.status, ExitOk) << r.err;
    const auto loaded = nlohmann::json::parse(r.out);
    EXPECT_EQ(loaded["simulation"]["load"], 2000.0);
    // 2k against an output impedance of about 2k: about 6 dB less.
    EXPECT_NEAR(open["simulation"]["gain_db"].get<double>() - loaded["simulation"]["gain_db"].get<double>(),
                6.0, 0.1);
    EXPECT_NE(RunCli({"design", "ce", "--simulate", "--load", "4k7"})
                  .out.find("Simulation (ngspice, load 4.7 kohm):"),
              std::string::npos);
}

TEST_F(SimulationCli, NetlistFileIsTheDesignsNetlist)
{
    const auto path = m_Folder / "ce.cir";
    const CliResult r = RunCli({"design", "ce", "--gain", "20", "--load", "4k7", "--netlist", path.string()});
    ASSERT_EQ(r.status, ExitOk) << r.err;
    CommonEmitterDesign design;
    DesignInputs inputs(CircuitKind::CommonEmitter);
    inputs.SetValue(InputField::Gain, 20);
    design.Compute(inputs);
    NetlistOptions options;
    options.m_LoadResistance = 4700;
    EXPECT_EQ(ReadFile(path), WriteNetlist(design, options));
    // Writing a netlist simulates nothing.
    EXPECT_EQ(r.out.find("Simulation"), std::string::npos);
}

TEST_F(SimulationCli, BodeFileHasOneLinePerSweepPoint)
{
    const auto path = m_Folder / "bode.csv";
    const CliResult r = RunCli({"design", "ce", "--gain", "20", "--bode", path.string()});
    ASSERT_EQ(r.status, ExitOk) << r.err;
    std::istringstream csv(ReadFile(path));
    std::string line;
    ASSERT_TRUE(std::getline(csv, line));
    EXPECT_EQ(line, "frequency_hz,magnitude_db,phase_deg");
    int rows = 0;
    double previous = 0.0;
    while (std::getline(csv, line)) {
        double f = 0, db = 0, phase = 0;
        ASSERT_EQ(std::sscanf(line.c_str(), "%lf,%lf,%lf", &f, &db, &phase), 3) << line;
        EXPECT_GT(f, previous);
        previous = f;
        ++rows;
    }
    EXPECT_EQ(rows, 8 * DefaultPointsPerDecade + 1);
    EXPECT_NEAR(previous, 1e6, 1e-3);
}

// The desktop program runs in the user's locale, where printf would write
// "1,5e-06"; the JSON, the Bode table and the model's figures are read by
// programs.
TEST_F(SimulationCli, NumbersDoNotFollowADecimalCommaLocale)
{
    const std::vector<BodePoint> bode{{1.5e-6, -3.25, 45.5}, {2e5, 19.48, -0.125}};
    const std::vector<std::string> design{"design", "cc", "--json"};
    const std::vector<std::string> model{"model", "BC548B", "--ic", "1m", "--vce", "5"};
    const CliResult designC = RunCli(design);
    const CliResult modelC = RunCli(model);

    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const std::string missingLocale = norvane::test::SwitchToDecimalCommaLocale();
    ASSERT_TRUE(missingLocale.empty()) << missingLocale;
    const std::locale savedGlobal = std::locale::global(std::locale("de_DE.UTF-8"));
    ASSERT_EQ(std::string(std::localeconv()->decimal_point), ",");
    const std::string bodeDe = BodeCsv(bode);
    const CliResult designDe = RunCli(design);
    const CliResult modelDe = RunCli(model);
    std::locale::global(savedGlobal);
    std::setlocale(LC_ALL, saved.c_str());

    EXPECT_EQ(bodeDe, "frequency_hz,magnitude_db,phase_deg\n1.5e-06,-3.25,45.5\n200000,19.48,-0.125\n");
    EXPECT_EQ(designDe.out, designC.out);
    EXPECT_NE(designC.out.find("\"ic\": 0.002,"), std::string::npos) << designC.out;
    EXPECT_EQ(modelDe.out, modelC.out);
    EXPECT_NE(modelC.out.find("Vbe = 0.63"), std::string::npos) << modelC.out;
}

TEST_F(SimulationCli, BadLoadIsRefused)
{
    for (const char* load : {"0", "-5", "abc"}) {
        const CliResult r = RunCli({"design", "ce", "--simulate", "--load", load});
        EXPECT_EQ(r.status, ExitBadInput) << load;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "The load must be a resistance above 0 ohms, e.g. 4k7.\n");
    }
}

TEST_F(SimulationCli, DesignThatCannotBeBuiltIsNotSimulated)
{
    CliResult r = RunCli({"design", "ce", "--supply", "1", "--simulate"});
    EXPECT_EQ(r.status, ExitOk) << r.err;
    EXPECT_NE(r.out.find("\n\nSimulation:\nnot simulated: the design cannot be built: "), std::string::npos)
        << r.out;

    const auto j =
        nlohmann::json::parse(RunCli({"design", "ce", "--supply", "1", "--simulate", "--json"}).out);
    EXPECT_EQ(j["simulation"]["simulated"], false);
    EXPECT_TRUE(j["simulation"]["gain_db"].is_null());

    const auto path = m_Folder / "none.csv";
    r = RunCli({"design", "ce", "--supply", "1", "--bode", path.string()});
    EXPECT_EQ(r.status, ExitFailure);
    EXPECT_TRUE(r.err.starts_with("No Bode diagram: not simulated: ")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(path));
}

// The verdict in the JSON: {"meets", "misses": [{"quantity", "required",
// "simulated", "why"}]}; the common-base default misses Z_out.
TEST_F(SimulationCli, JsonCarriesTheVerdict)
{
    const auto j = nlohmann::json::parse(RunCli({"design", "cb", "--simulate", "--json"}).out);
    const auto& verdict = j.at("verdict");
    EXPECT_EQ(verdict.at("meets"), false);
    ASSERT_EQ(verdict.at("misses").size(), 1u) << verdict.dump();
    const auto& miss = verdict["misses"][0];
    EXPECT_EQ(miss.at("quantity"), "Z_out");
    EXPECT_EQ(miss.at("required"), 2000.0);
    EXPECT_NEAR(miss.at("simulated").get<double>(), j["simulation"]["zout"].get<double>(), 1e-9);
    EXPECT_TRUE(miss.at("why").get<std::string>().starts_with("C3 of 1 nF")) << miss.dump();
    EXPECT_FALSE(j.contains("tuned"));

    const auto meets =
        nlohmann::json::parse(RunCli({"design", "ce", "--gain", "20", "--simulate", "--json"}).out);
    EXPECT_EQ(meets["verdict"]["meets"], true);
    EXPECT_TRUE(meets["verdict"]["misses"].empty());
    const auto& yield = meets["verdict"]["yield"];
    EXPECT_EQ(yield["runs"], 500);
    EXPECT_EQ(yield["seed"], 1);
    EXPECT_EQ(yield["meeting"], 245);
    EXPECT_EQ(yield["most_missed"], "Ic");
}

// --tune: "tuned" holds the changes (the capacitor first, then the
// stiffer divider for the yield), the tuned values and their verdict; the
// report and the netlist are those of the tuned design, the report naming
// the change and carrying the Bode plot.
TEST_F(SimulationCli, TuneAppliesTheProposalToTheFiles)
{
    const auto report = m_Folder / "cb.html";
    const auto netlist = m_Folder / "cb.cir";
    const CliResult r = RunCli(
        {"design", "cb", "--tune", "--json", "--report", report.string(), "--netlist", netlist.string()});
    ASSERT_EQ(r.status, ExitOk) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    const auto& tuned = j.at("tuned");
    ASSERT_GE(tuned.at("changes").size(), 2u) << tuned.dump();
    EXPECT_EQ(tuned["changes"][0]["part"], "C3");
    const double c3 = tuned["changes"][0]["proposed"].get<double>();
    for (const auto& change : tuned["changes"]) {
        EXPECT_EQ(tuned.at("values").at(change["part"].get<std::string>()), change["proposed"]) << change;
    }
    EXPECT_EQ(j["values"]["C3"], 1e-9); // the design itself stays as designed
    EXPECT_EQ(tuned.at("verdict").at("meets"), true);
    EXPECT_EQ(j.at("verdict").at("meets"), false);
    EXPECT_LT(tuned["yield_before"]["fraction"].get<double>(),
              tuned["yield_after"]["fraction"].get<double>());

    const std::string text = ReadFile(report);
    EXPECT_NE(text.find("C3 changed to "), std::string::npos);
    EXPECT_NE(
        text.find(
            "<h2>Simulation (ngspice)</h2>\n<p>Simulation (ngspice, no load): meets the requirements; "),
        std::string::npos)
        << text;
    EXPECT_TRUE(std::filesystem::exists(m_Folder / "cb-Files" / "cb-bode.svg"));
    EXPECT_NE(ReadFile(netlist).find("\nC3 base 0 " + SpiceNumber(c3) + "\n"), std::string::npos);
}

// All four analyses on the worked example: each JSON object with its fields
// in SI units, the text with the same lines and figures, and the report
// with the four pictures.
TEST_F(SimulationCli, AnalysesOfTheWorkedExampleAgreeInTextAndJson)
{
    const std::vector<std::string> arguments{
        "design", "ce", "--gain", "20", "--tolerance", "50", "--temperature", "--distortion", "--noise"};
    const CliResult text = RunCli(arguments);
    std::vector<std::string> jsonArguments = arguments;
    const auto report = m_Folder / "ce.html";
    jsonArguments.insert(jsonArguments.end(), {"--json", "--report", report.string()});
    const CliResult r = RunCli(jsonArguments);
    ASSERT_EQ(text.status, ExitOk) << text.err;
    ASSERT_EQ(r.status, ExitOk) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j.at("verdict").at("meets"), true); // the analyses simulate as --simulate does
    const double ic = j.at("simulation").at("ic").get<double>();

    const auto& t = j.at("tolerance");
    EXPECT_EQ(t.at("runs"), 50);
    EXPECT_EQ(t.at("seed"), 1);
    EXPECT_EQ(t.at("resistor_tolerance"), 0.05); // E24 parts
    EXPECT_NEAR(t.at("yield").get<double>(), t.at("meeting").get<double>() / 50, 1e-12);
    for (const char* key : {"ic", "uce", "gain_db", "zin", "zout", "f_3db"}) {
        const auto& d = t.at(key);
        EXPECT_LE(d.at("p1").get<double>(), d.at("median").get<double>()) << key;
        EXPECT_LE(d.at("median").get<double>(), d.at("p99").get<double>()) << key;
        EXPECT_LE(d.at("count").get<int>(), t.at("simulated").get<int>()) << key;
    }
    EXPECT_NEAR(t["ic"]["median"].get<double>(), ic, 0.1 * ic);
    const auto& points = j.at("temperature").at("points");
    ASSERT_EQ(points.size(), 5u);
    EXPECT_EQ(points[0].at("celsius"), -25.0);
    EXPECT_NEAR(points[2].at("ic").get<double>(), ic, 0.01 * ic); // 25 degC: the verification's own
    const auto& distortion = j.at("distortion");
    EXPECT_EQ(distortion.at("harmonics").size(), 9u);
    EXPECT_LE(distortion.at("amplitude").get<double>(), 0.5 + 1e-9);
    EXPECT_LT(distortion.at("thd").get<double>(), 0.05);
    EXPECT_GT(distortion.at("headroom").at("amplitude").get<double>(), 0.5);
    const auto& noise = j.at("noise");
    EXPECT_EQ(noise.at("spot_frequency"), 1000.0); // 10 x f_min is only 100 Hz
    EXPECT_EQ(noise.at("source"), 0.0);
    EXPECT_GT(noise.at("input_density").get<double>(), 0.0);

    // The text: after the simulation block, each object's line, then its table.
    std::size_t previous = text.out.find("\nMid-band = ");
    ASSERT_NE(previous, std::string::npos) << text.out;
    for (const char* key : {"tolerance", "temperature", "distortion", "noise"}) {
        EXPECT_EQ(j.at(key).at("problem"), "") << key;
        const std::size_t at = text.out.find("\n\n" + j[key]["line"].get<std::string>() + "\n");
        EXPECT_LT(previous, at) << key << "\n" << text.out;
        previous = at;
    }
    const std::size_t icRow = text.out.find("\nIc  ", text.out.find("\n\nTolerances ("));
    ResultItem median;
    median.SetQuantity("", t["ic"]["median"].get<double>(), "A");
    EXPECT_NE(text.out.substr(icRow, text.out.find('\n', icRow + 1) - icRow).find(median.value),
              std::string::npos)
        << median.value << "\n"
        << text.out;

    for (const char* name : {"tolerance", "temperature", "distortion", "noise"}) {
        EXPECT_TRUE(std::filesystem::exists(m_Folder / "ce-Files" / ("ce-" + std::string(name) + ".svg")))
            << name;
    }
}

TEST_F(SimulationCli, BadAnalysisOptionsAreRefused)
{
    const std::vector<std::vector<std::string>> cases{{"--tolerance", "0"}, {"--tolerance", "100001"},
                                                      {"--tolerance", "x"}, {"--seed", "3"},
                                                      {"--source", "abc"},  {"--source", "-1"}};
    // A seed is refused where the parser alone would wrap, clamp or take 0.
    for (const char* seed : {"-1", "", "18446744073709551616", "0x10", "1e3"}) {
        const CliResult r = RunCli({"design", "ce", "--tolerance", "1", "--seed", seed});
        EXPECT_EQ(r.status, ExitBadInput) << "--seed " << seed;
        EXPECT_EQ(r.out, "");
    }
    for (const auto& options : cases) {
        std::vector<std::string> arguments{"design", "ce"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const CliResult r = RunCli(arguments);
        EXPECT_EQ(r.status, ExitBadInput) << options[0] << ' ' << options[1];
        EXPECT_EQ(r.out, "");
    }
    // The documented bounds themselves are taken: the default --source 0
    // (an ideal source), the first and last seed, a single run.
    const std::vector<std::vector<std::string>> bounds{
        {"--source", "0"},
        {"--source", "0", "--simulate"},
        {"--tolerance", "1", "--seed", "0"},
        {"--tolerance", "1", "--seed", "18446744073709551615"}};
    for (const auto& options : bounds) {
        std::vector<std::string> arguments{"design", "ce", "--json"};
        arguments.insert(arguments.end(), options.begin(), options.end());
        const CliResult r = RunCli(arguments);
        EXPECT_EQ(r.status, ExitOk) << options[0] << ' ' << options[1] << ": " << r.err;
    }
}

TEST_F(SimulationCli, UnwritableNetlistFails)
{
    const auto path = m_Folder / "no-such-folder" / "x.cir";
    const CliResult r = RunCli({"design", "ce", "--netlist", path.string()});
    EXPECT_EQ(r.status, ExitFailure);
    EXPECT_EQ(r.err, "Cannot write the netlist to " + path.string() + ": No such file or directory.\n");
}

// A long analysis on a terminal: a line rewritten in place with the time
// left from the pace so far, nothing before a second has passed, and wiped
// at the end, so that the result starts on a clean line.
TEST(ProgressLine, EstimatesTheTimeLeftAndWipesItselfAtTheEnd)
{
    std::ostringstream terminal;
    const auto start = ProgressLine::Clock::now();
    {
        ProgressLine line(terminal);
        line.Update(0, 1000, start);
        line.Update(50, 1000, start + std::chrono::milliseconds(500));
        EXPECT_EQ(terminal.str(), "");
        line.Update(100, 1000, start + std::chrono::seconds(2));
        EXPECT_EQ(terminal.str(), "\rSimulating: 100 of 1000 runs, about 18 s left\x1b[K");
        terminal.str("");
        line.Update(1000, 1000, start + std::chrono::seconds(20));
        EXPECT_EQ(terminal.str(), "\r\x1b[K");
    }
    EXPECT_EQ(TimeLeftText(150), "about 2 min 30 s left");
    EXPECT_EQ(TimeLeftText(7300), "about 2 h 1 min left");
    EXPECT_EQ(TimeLeftText(0.4), "less than 1 s left");
}

} // namespace
} // namespace norvane::cli
