// Runs the real norvane-cli binary and checks what it prints and returns.

#include "support/ShellCommand.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using CliResult = norvane::test::CommandResult;
using norvane::test::ShellQuote;

// Runs norvane-cli in folder (if given), its output going to stdoutTo (if
// given) instead of into the result.
CliResult RunCli(const std::vector<std::string>& arguments, const std::filesystem::path& folder = {},
                 const std::string& stdoutTo = {})
{
    std::string command = folder.empty() ? std::string() : "cd " + ShellQuote(folder.string()) + " && ";
    command += ShellQuote(NORVANE_CLI_PATH);
    for (const std::string& argument : arguments) {
        command += ' ' + ShellQuote(argument);
    }
    if (!stdoutTo.empty()) {
        command += " >" + ShellQuote(stdoutTo);
    }
    return norvane::test::RunShellCommand(command);
}

TEST(Cli, DesignPrintsTheLinesOfTheMainWindow)
{
    const CliResult r = RunCli({"design", "common-emitter"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "Transistor amplifier, type: Common-Emitter circuit\n\n"
                     "Input data:\n"
                     "Voltage gain = 0 dB\nf_min = 10 Hz\nZ_in = 50 k\nZ_out = 2 k\nStandard series = E24\n\n"
                     "Result:\n"
                     "UB = 12 V\nT1 = BC548B\nR1 = 180 k\nR2 = 82 k\nR3 = 2 k\nR4 = 2 k\n"
                     "C1 = 560 nF\nC2 = 15 uF\n\n"
                     "Operation point:\n"
                     "Ic = 1.425 mA\nUce = 6.3 V\nP = 8.98 mW\n");
    // The short names are the same commands.
    EXPECT_EQ(RunCli({"design", "ce"}).out, r.out);
}

TEST(Cli, DesignOptionsAreReadLikeTheDialogFields)
{
    const CliResult r =
        RunCli({"design", "cb", "--fmin", "100", "--zout", "1k", "--supply", "12 V", "--series", "E12"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("R1 = 180\nR2 = 1 k\nR3 = 330 k\nR4 = 100 k\nC1 = 680 uF\nC2 = 3.3 uF\n"
                         "C3 = 2.2 uF\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Standard series = E12"), std::string::npos);
}

// A value may carry its quantity's own unit after the prefix; anything else
// after the number is refused, where the dialogs' rule would take the "m"
// of "Ohm" as milli or read "0x10" as 0.
TEST(Cli, ValuesCarryTheirOwnUnitAndNothingElse)
{
    for (const auto& [zout, expected] : {std::pair{"600 Ohm", 600.0}, std::pair{"4k7ohm", 4700.0},
                                         std::pair{"2.2 kOhms", 2200.0}, std::pair{"1k", 1000.0}}) {
        const CliResult r = RunCli({"design", "ce", "--zout", zout, "--json"});
        ASSERT_EQ(r.status, 0) << zout << ": " << r.err;
        EXPECT_EQ(nlohmann::json::parse(r.out)["inputs"]["zout"], expected) << zout;
    }
    EXPECT_EQ(
        nlohmann::json::parse(RunCli({"design", "ce", "--fmin", "1 kHz", "--json"}).out)["inputs"]["fmin"],
        1000.0);
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"design", "ce", "--zout", "0x10"},
                                                {"design", "ce", "--zout", "600 Ohmx"},
                                                {"design", "cc", "--ic", "2 Amp"},
                                                {"design", "ce", "--load", "600 Ohm", "--source", "1 V"},
                                                {"model", "BC548B", "--ic", "2 mA", "--vce", "5 A"}}) {
        const CliResult r = RunCli(bad);
        EXPECT_EQ(r.status, 2) << bad[2] << ' ' << bad[3];
        EXPECT_EQ(r.out, "");
    }
}

TEST(Cli, DesignJson)
{
    const CliResult r = RunCli({"design", "cc", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["circuit"], "common-collector");
    EXPECT_EQ(j["title"], "Common-Collector circuit");
    EXPECT_EQ(j["schematic_id"], 140);
    EXPECT_EQ(j["input_data"][2]["name"], "Ic");
    EXPECT_EQ(j["input_data"][2]["value"], "2 mA");
    EXPECT_EQ(j["component_values"][2]["value"], "91 k");
    EXPECT_EQ(j["operation_point"][0]["value"], "1.9 mA");
    EXPECT_NEAR(j["values"]["R1"].get<double>(), 91e3, 1e-6);
    EXPECT_NEAR(j["values"]["C2"].get<double>(), 8.2e-6, 1e-15);
    EXPECT_NEAR(j["values"]["Ic"].get<double>(), 1.9e-3, 1e-12);
    EXPECT_FALSE(j["values"].contains("R4"));
    EXPECT_EQ(j["inputs"]["ic"], 0.002);
    EXPECT_EQ(j["inputs"]["zin"], 50000);
    EXPECT_EQ(j["inputs"]["transistor"], "BC548B");
    EXPECT_EQ(j["inputs"]["series"], 24);
    EXPECT_EQ(j["usable"], true);

    const auto ce = nlohmann::json::parse(RunCli({"design", "ce", "--gain", "20", "--json"}).out);
    EXPECT_EQ(ce["schematic_id"], 138);
    for (const char* name : {"R1", "R2", "R3", "R4", "R5", "C1", "C2", "C3", "Ic", "Uce", "P"}) {
        EXPECT_TRUE(ce["values"][name].is_number()) << name;
    }
}

TEST(Cli, FirstFailingCheckIsReportedWithTheDialogMessage)
{
    // Frequency is tested before the supply, as in the dialog.
    CliResult r = RunCli({"design", "cb", "--supply", "0", "--fmin", "0"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "The given value of lower cut-off frequency\n\nis out of the allowed range [100 p .. 10 G]\n");

    r = RunCli({"design", "cb", "--supply", "0.5"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "The given value of supply voltage\n\nis out of the allowed range [800 m .. 100]\n");

    r = RunCli({"design", "ce", "--transistor", "bc548b"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Unknown transistor type.\n\nPlease select other type!\n");

    r = RunCli({"design", "ce", "--series", "E6"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--series"), std::string::npos);

    r = RunCli({"design", "cc", "--gain", "3"}); // no such requirement for this circuit
    EXPECT_EQ(r.status, 2);
    r = RunCli({"design"});
    EXPECT_EQ(r.status, 2);
}

TEST(Cli, UnusableDesignSaysWhyAndPrintsNoNan)
{
    const CliResult r = RunCli({"design", "ce", "--supply", "1", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.find("nan"), std::string::npos);
    const auto j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["usable"], false);
    EXPECT_NE(j["problem"].get<std::string>().find("1 V"), std::string::npos);
    EXPECT_EQ(j["operation_point"].size(), 3u);

    const CliResult text = RunCli({"design", "ce", "--supply", "1"});
    EXPECT_EQ(text.out.rfind("Transistor amplifier, type: Common-Emitter circuit\n"
                             "This design is not usable: Uce of ",
                             0),
              0u)
        << text.out;
}

std::string ReadFile(const std::filesystem::path& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The report of each circuit's default design is the checked golden file,
// and its schematic is the built-in picture of the design's variant.
TEST(Cli, ReportOfEachCircuitMatchesItsGoldenFile)
{
    const auto folder =
        std::filesystem::temp_directory_path() / ("norvane-cli-report-" + std::to_string(::getpid()));
    std::filesystem::create_directories(folder);
    const struct {
        const char* circuit;
        const char* golden;
        const char* picture;
    } cases[] = {
        {"ce", "common-emitter-defaults.html", "schematic-142.png"},
        {"cb", "common-base-defaults.html", "schematic-136.png"},
        {"cc", "common-collector-defaults.html", "schematic-140.png"},
    };
    for (const auto& c : cases) {
        const auto report = folder / "amp1.html";
        const CliResult r = RunCli({"design", c.circuit, "--report", report.string()});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(ReadFile(report), ReadFile(std::filesystem::path(NORVANE_GOLDEN_DIR) / c.golden))
            << c.circuit;
        EXPECT_EQ(ReadFile(folder / "amp1-Files" / "amp1.png"),
                  ReadFile(std::filesystem::path(NORVANE_IMAGES_DIR) / c.picture))
            << c.circuit;
    }
    std::filesystem::remove_all(folder);
}

TEST(Cli, ReportThatCannotBeWrittenFailsWithStatusOne)
{
    const auto blocker =
        std::filesystem::temp_directory_path() / ("norvane-cli-blocker-" + std::to_string(::getpid()));
    std::ofstream(blocker) << "a file, not a folder";
    const std::string path = (blocker / "amp.html").string();
    const CliResult r = RunCli({"design", "ce", "--report", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(path), std::string::npos) << r.err;
    std::filesystem::remove(blocker);
}

TEST(Cli, TransistorCommands)
{
    CliResult r = RunCli({"transistors"});
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("BC548B NPN\n"), std::string::npos);
    EXPECT_NE(r.out.find("BC558B PNP\n"), std::string::npos);
    const auto list = nlohmann::json::parse(RunCli({"transistors", "--json"}).out);
    ASSERT_TRUE(list.is_array());
    EXPECT_GE(list.size(), 4u);
    EXPECT_TRUE(list[0].contains("name"));
    EXPECT_TRUE(list[0]["polarity"] == "NPN" || list[0]["polarity"] == "PNP");

    const auto record = nlohmann::json::parse(RunCli({"transistor", "2N3904", "--json"}).out);
    EXPECT_EQ(record["polarity"], "NPN");
    EXPECT_EQ(record["parameters"].size(), 39u);
    EXPECT_EQ(record["parameters"]["BF"].get<double>(), 416.4);
    EXPECT_EQ(record["parameters"]["IRB"].get<double>(), 1.7e308);
    EXPECT_EQ(record["parameters"]["TR"].get<double>(), 2.395e-07);

    // The ratings as the table states them (the lowest value of any source;
    // BC548B counts its family's), null where no source states one.
    const auto rated = nlohmann::json::parse(RunCli({"transistor", "BC548B", "--json"}).out)["ratings"];
    EXPECT_EQ(rated["vceo"].get<double>(), 20.0);
    EXPECT_EQ(rated["ic_max"].get<double>(), 0.1);
    EXPECT_EQ(rated["ptot"].get<double>(), 0.3);
    EXPECT_EQ(rated["package"], "TO-92");
    EXPECT_EQ(rated["source"]["vceo"], "intusoft(BC548)");
    EXPECT_EQ(rated["source"]["ptot"], "ctt-profiles(BC548)");
    const auto partly = nlohmann::json::parse(RunCli({"transistor", "2N2102", "--json"}).out)["ratings"];
    EXPECT_EQ(partly["vceo"].get<double>(), 65.0);
    EXPECT_TRUE(partly["ptot"].is_null());
    EXPECT_TRUE(partly["source"]["ptot"].is_null());
    const auto unrated = nlohmann::json::parse(RunCli({"transistor", "1NT251", "--json"}).out)["ratings"];
    for (const char* key : {"vceo", "ic_max", "ptot", "package"}) {
        EXPECT_TRUE(unrated[key].is_null()) << key;
        EXPECT_TRUE(unrated["source"][key].is_null()) << key;
    }
    // The list carries the same.
    const auto bc548b =
        std::find_if(list.begin(), list.end(), [](const auto& entry) { return entry["name"] == "BC548B"; });
    ASSERT_NE(bc548b, list.end());
    EXPECT_EQ((*bc548b)["ratings"], rated);

    r = RunCli({"transistor", "NOPE"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Unknown transistor type."), std::string::npos);
}

TEST(Cli, ModelCommandGivesFullPrecision)
{
    const auto j =
        nlohmann::json::parse(RunCli({"model", "BC548B", "--ic", "1m", "--vce", "5", "--json"}).out);
    EXPECT_NEAR(j["vbe"].get<double>(), 0.632448, 5e-7);
    EXPECT_NEAR(j["ib"].get<double>(), 3.30624e-6, 5e-12);
    EXPECT_EQ(j["valid"], true);

    const auto outside =
        nlohmann::json::parse(RunCli({"model", "BC548B", "--ic", "1m", "--vce", "0.99", "--json"}).out);
    // No solution there: no figures (the zeros the model holds were printed).
    EXPECT_EQ(outside["valid"], false);
    EXPECT_TRUE(outside["vbe"].is_null());
    EXPECT_TRUE(outside["ib"].is_null());
    EXPECT_EQ(RunCli({"model", "BC548B", "--ic", "1m"}).status, 2);
}

// --top names its range in words a user reads; --polarity takes NPN as the
// output writes it.
TEST(Cli, RankOptionsAsTheOutputWritesThem)
{
    const CliResult none = RunCli({"rank", "ce", "--top", "0"});
    EXPECT_EQ(none.status, 2);
    EXPECT_NE(none.err.find("not in range 1 to 100000"), std::string::npos) << none.err;
    const CliResult npn = RunCli({"rank", "ce", "--polarity", "NPN", "--top", "1", "--json"});
    ASSERT_EQ(npn.status, 0) << npn.err;
    EXPECT_EQ(nlohmann::json::parse(npn.out)["rows"][0]["polarity"], "NPN");
}

// A fresh folder to run the program in, removed afterwards.
class CliFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Folder =
            std::filesystem::temp_directory_path() / ("norvane-cli-files-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_Folder);
    }
    void TearDown() override { std::filesystem::remove_all(m_Folder); }
    std::set<std::string> Entries() const
    {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(m_Folder)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }
    std::filesystem::path m_Folder;
};

// R3 of this design is infinite: its netlist would hold "R3 vcc base inf".
// A saved report is a recipe: design --from gives the same design, its
// circuit taken from the report unless one is named, options beside it
// overriding its requirements.
TEST_F(CliFiles, ReportsAreRecipes)
{
    const std::vector<std::vector<std::string>> examples{
        {"ce"},
        {"ce", "--gain", "20"},
        {"ce", "--gain", "20", "--zin", "5k"},
        {"cb"},
        {"cb", "--fmin", "100", "--zout", "1k", "--series", "E12"},
        {"cb", "--transistor", "BC558B", "--series", "E96"},
        {"cc"},
        {"cc", "--zin", "1M"},
        {"cc", "--series", "E12"},
        {"cc", "--transistor", "BC558B"}};
    for (const std::vector<std::string>& example : examples) {
        std::vector<std::string> design{"design"};
        design.insert(design.end(), example.begin(), example.end());
        const CliResult first = RunCli(design, m_Folder);
        design.insert(design.end(), {"--report", "r.html"});
        ASSERT_EQ(RunCli(design, m_Folder).status, 0);
        const CliResult again = RunCli({"design", "--from", "r.html"}, m_Folder);
        EXPECT_EQ(again.status, 0) << again.err;
        EXPECT_EQ(again.out, first.out) << example[0];
        EXPECT_EQ(RunCli({"design", example[0], "--from", "r.html"}, m_Folder).out, first.out);
    }
    // The last report is a common-collector one.
    const CliResult gain = RunCli({"design", "--from", "r.html", "--ic", "5m"}, m_Folder);
    EXPECT_NE(gain.out.find("Ic = 5 mA"), std::string::npos) << gain.out;
    EXPECT_EQ(RunCli({"design", "--from", "r.html", "--gain", "3"}, m_Folder).status, 2);
    EXPECT_EQ(RunCli({"design", "ce", "--from", "r.html"}, m_Folder).status, 2);
    std::ofstream(m_Folder / "foreign.html") << "<html/>";
    const CliResult foreign = RunCli({"design", "--from", "foreign.html"}, m_Folder);
    EXPECT_EQ(foreign.status, 2);
    EXPECT_EQ(foreign.err, "Cannot open \"foreign.html\": it is not a Norvane report\n");
    EXPECT_EQ(RunCli({"design"}, m_Folder).status, 2);

    // A report whose values no longer follow from its requirements: the
    // difference is said on stderr and in the JSON's notes.
    RunCli({"design", "ce", "--report", "c.html"}, m_Folder);
    std::stringstream edited;
    edited << std::ifstream(m_Folder / "c.html").rdbuf();
    std::string text = edited.str();
    text.replace(text.find("<td>R1 :</td><td>"), 17, "<td>R1 :</td><td>1");
    std::ofstream(m_Folder / "c.html") << text;
    const CliResult differs = RunCli({"design", "--from", "c.html", "--json"}, m_Folder);
    EXPECT_EQ(differs.status, 0);
    EXPECT_TRUE(differs.err.starts_with("Computed again from the requirements in c.html, this result differs "
                                        "from the file in R1 ("))
        << differs.err;
    EXPECT_EQ(nlohmann::json::parse(differs.out)["notes"].back(),
              differs.err.substr(0, differs.err.size() - 1));
}

TEST(Cli, TextThatIsNoNumberAndDoubtfulDesignsAreSaidSo)
{
    const CliResult abc = RunCli({"design", "ce", "--gain", "abc"});
    EXPECT_EQ(abc.status, 2);
    EXPECT_EQ(abc.err, "The given value of gain in dB\n\nis not a number\n");
    EXPECT_EQ(abc.out, "");

    const CliResult high = RunCli({"design", "ce", "--gain", "60", "--json"});
    ASSERT_EQ(high.status, 0) << high.err;
    const auto json = nlohmann::json::parse(high.out);
    EXPECT_EQ(json["notes"], nlohmann::json::array({"The voltage gain of 60 dB cannot be reached: this "
                                                    "design gives about 46.2 dB"}));
    EXPECT_EQ(nlohmann::json::parse(RunCli({"design", "ce", "--json"}).out)["notes"],
              nlohmann::json::array());
    const CliResult text = RunCli({"design", "ce", "--gain", "60"});
    EXPECT_EQ(
        text.out.rfind("Transistor amplifier, type: Common-Emitter circuit\nThe voltage gain of 60 dB", 0),
        0u);
}

TEST_F(CliFiles, UnusableDesignGetsNoNetlist)
{
    const CliResult r = RunCli({"design", "cb", "--supply", "0.8", "--netlist", "n.cir"}, m_Folder);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(r.err.starts_with("No netlist: the design cannot be built: Uce of ")) << r.err;
    EXPECT_TRUE(Entries().empty());
}

// One output that cannot be written: none is written, none is replaced.
TEST_F(CliFiles, OneFailingOutputWritesNoneOfThem)
{
    std::ofstream(m_Folder / "part.cir") << "old netlist";
    const CliResult r = RunCli(
        {"design", "ce", "--netlist", "part.cir", "--bode", "part.csv", "--report", "/nonexistent/r.html"},
        m_Folder);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("/nonexistent/r.html"), std::string::npos) << r.err;
    EXPECT_EQ(Entries(), (std::set<std::string>{"part.cir"}));
    EXPECT_EQ(ReadFile(m_Folder / "part.cir"), "old netlist");

    ASSERT_EQ(RunCli({"design", "ce", "--netlist", "part.cir", "--report", "r.html"}, m_Folder).status, 0);
    EXPECT_EQ(Entries(), (std::set<std::string>{"part.cir", "r.html", "r-Files"}));
    EXPECT_EQ(ReadFile(m_Folder / "part.cir").rfind("* Norvane Common-Emitter circuit", 0), 0u);
}

// A FIFO is refused without being opened: without a reader an open would
// wait for one. (The reader here only keeps a wrong program from hanging.)
TEST_F(CliFiles, FifoIsRefusedWithoutWaiting)
{
    ASSERT_EQ(::mkfifo((m_Folder / "pipe").c_str(), 0644), 0);
    const int reader = ::open((m_Folder / "pipe").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    for (const char* option : {"--netlist", "--report"}) {
        const CliResult r = RunCli({"design", "ce", option, "pipe"}, m_Folder);
        EXPECT_EQ(r.status, 1) << option;
        EXPECT_NE(r.err.find("Not a regular file"), std::string::npos) << r.err;
    }
    ::close(reader);
    EXPECT_TRUE(std::filesystem::is_fifo(m_Folder / "pipe"));
    EXPECT_EQ(Entries(), (std::set<std::string>{"pipe"}));
}

// Short outputs and long ones (rank, transistors: more than a stream's
// buffer, whose failed write was long past at the end) name the reason.
TEST_F(CliFiles, OutputThatCannotBeWrittenFails)
{
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"design", "ce"}, std::vector<std::string>{"design", "ce", "--json"},
          std::vector<std::string>{"rank", "ce", "--gain", "20", "--top", "100"},
          std::vector<std::string>{"transistors"}, std::vector<std::string>{"transistors", "--json"}}) {
        const CliResult r = RunCli(arguments, {}, "/dev/full");
        EXPECT_EQ(r.status, 1) << arguments[0];
        EXPECT_EQ(r.err, "Cannot write the output: No space left on device.\n") << arguments[0];
    }
}

// A browser reads "h#1-Files/h#1.png" as the file "h".
TEST_F(CliFiles, ReportLinksItsImageWhateverItsName)
{
    ASSERT_EQ(RunCli({"design", "ce", "--report", "h#1.html"}, m_Folder).status, 0);
    EXPECT_NE(ReadFile(m_Folder / "h#1.html").find("<img src=\"h%231-Files/h%231.png\""), std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(m_Folder / "h#1-Files" / "h#1.png"));
}

TEST_F(CliFiles, OptionIsNoValueOfTheOptionBeforeIt)
{
    for (const std::vector<std::string>& arguments :
         std::vector<std::vector<std::string>>{{"design", "ce", "--report", "--simulate"},
                                               {"design", "ce", "--gain", "--json"},
                                               {"design", "ce", "--netlist", "-n.cir"},
                                               {"design", "cc", "--ic", "--json"},
                                               {"model", "BC548B", "--ic", "--vce", "5"}}) {
        const CliResult r = RunCli(arguments, m_Folder);
        EXPECT_EQ(r.status, 2) << arguments[2];
        EXPECT_EQ(r.out, "");
    }
    EXPECT_TRUE(Entries().empty());
    // Negative numbers are values, and "./-n.cir" names the file "-n.cir".
    EXPECT_EQ(RunCli({"design", "ce", "--gain", "-3", "--netlist", "./-n.cir"}, m_Folder).status, 0);
    EXPECT_EQ(Entries(), (std::set<std::string>{"-n.cir"}));
}

TEST(Cli, ModelChecksItsInputsAsDesignDoes)
{
    CliResult r = RunCli({"model", "BC548B", "--ic", "xyz", "--vce", "5"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "The given value of collector current\n\nis not a number\n");
    for (const char* vce : {"1e400", "-1", "abc"}) {
        r = RunCli({"model", "BC548B", "--ic", "1m", "--vce", vce});
        EXPECT_EQ(r.status, 2) << vce;
        EXPECT_EQ(r.out, "");
    }
    r = RunCli({"model", "NOPE", "--ic", "1m", "--vce", "5"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "Unknown transistor type.\n\nPlease select other type!\n");
    // Leakage outweighs the forward base current here: no valid operating point.
    const auto j =
        nlohmann::json::parse(RunCli({"model", "2N3716", "--ic", "10n", "--vce", "100", "--json"}).out);
    EXPECT_LT(j["ib"].get<double>(), 0.0);
    EXPECT_EQ(j["valid"], false);
    EXPECT_EQ(j["status"], "the base current is not positive");
}

TEST(Cli, VersionAndHelp)
{
    EXPECT_EQ(RunCli({"--version"}).out, "norvane-cli 1.0.4\n");
    for (const auto& arguments : std::vector<std::vector<std::string>>{{"--help"},
                                                                       {"design", "--help"},
                                                                       {"design", "ce", "--help"},
                                                                       {"transistors", "--help"},
                                                                       {"transistor", "--help"},
                                                                       {"model", "--help"}}) {
        const CliResult r = RunCli(arguments);
        EXPECT_EQ(r.status, 0);
        EXPECT_NE(r.out.find("Usage:"), std::string::npos) << arguments.front();
    }
    EXPECT_NE(RunCli({"design", "cc", "--help"}).out.find("--ic"), std::string::npos);
}

} // namespace
