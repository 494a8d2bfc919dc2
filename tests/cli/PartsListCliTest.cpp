// The parts list as the command line writes it: the --bom CSV file, the
// "parts" of the JSON and the report's section, run in-process.

#include "cli/CommandLine.h"
#include "report/ReportReader.h"

#include "support/InProcessCli.h"
#include "support/Prerequisites.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace norvane::cli {
namespace {

using norvane::test::CliResult;
using norvane::test::ReadFile;
using norvane::test::RunCli;

using Record = std::vector<std::string>;

// RFC 4180 read independently of the writer: records end in CR LF, fields
// are separated by commas, a field in double quotes may hold commas, line
// breaks and doubled quotes. Fails the test on anything else (a bare LF,
// text after a closing quote, a missing last CR LF).
std::vector<Record> ReadCsv(const std::string& text)
{
    std::vector<Record> records;
    Record record;
    std::string field;
    bool quoted = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                i += 2;
            } else if (c == '"') {
                quoted = false;
                ++i;
                EXPECT_TRUE(i == text.size() || text[i] == ',' || text[i] == '\r')
                    << "after a quote at " << i;
            } else {
                field += c;
                ++i;
            }
        } else if (c == '"' && field.empty()) {
            quoted = true;
            ++i;
        } else if (c == ',') {
            record.push_back(std::move(field));
            field.clear();
            ++i;
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            record.push_back(std::move(field));
            field.clear();
            records.push_back(std::move(record));
            record.clear();
            i += 2;
        } else {
            EXPECT_NE(c, '\n') << "a line feed without CR at " << i;
            EXPECT_NE(c, '"') << "a quote inside an unquoted field at " << i;
            field += c;
            ++i;
        }
    }
    EXPECT_FALSE(quoted);
    EXPECT_TRUE(record.empty() && field.empty()) << "the last record has no CR LF";
    return records;
}

class PartsListCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Folder =
            std::filesystem::temp_directory_path() / ("norvane-parts-cli-" + std::to_string(::getpid()));
        std::filesystem::create_directories(m_Folder);
    }
    void TearDown() override { std::filesystem::remove_all(m_Folder); }
    std::string Path(const char* name) const { return (m_Folder / name).string(); }
    std::filesystem::path m_Folder;
};

// The worked example (its figures are worked out by hand in
// PartStressTest.cpp), the same bytes in a decimal-comma locale.
TEST_F(PartsListCli, BomCsvReadsBackAsTheParts)
{
    const CliResult r = RunCli({"design", "ce", "--gain", "20", "--bom", Path("ce.csv")});
    ASSERT_EQ(r.status, ExitOk) << r.err;
    const std::string csv = ReadFile(Path("ce.csv"));
    const std::vector<Record> records = ReadCsv(csv);
    const std::vector<Record> expected{
        {"Reference", "Value", "Qty", "Tolerance", "Rating", "Description"},
        {"T1", "BC548B", "1", "", "VCEO 20 V, IC max 100 mA, Ptot 300 mW", "NPN transistor, TO-92"},
        {"R1", "620 k", "1", "5 %", "0.125 W", "carbon film resistor"},
        {"R2", "200 k", "1", "5 %", "0.125 W", "carbon film resistor"},
        {"R3", "2 k", "1", "5 %", "0.125 W", "carbon film resistor"},
        {"R4", "200", "1", "5 %", "0.125 W", "carbon film resistor"},
        {"R5", "180", "1", "5 %", "0.125 W", "carbon film resistor"},
        {"C1", "680 nF", "1", "20 %", "16 V", "ceramic C0G or film capacitor"},
        {"C2", "15 uF", "1", "20 %", "16 V", "aluminium electrolytic capacitor, + at collector"},
        {"C3", "330 uF", "1", "20 %", "16 V", "aluminium electrolytic capacitor, + at R4/R5 junction"}};
    EXPECT_EQ(records, expected);

    // E96 parts are 1 % metal film; 90 V asks for 2 W at R3, 100 V
    // capacitors, and T1 says what it exceeds.
    ASSERT_EQ(
        RunCli({"design", "ce", "--gain", "20", "--supply", "90", "--series", "E96", "--bom", Path("90.csv")})
            .status,
        ExitOk);
    const std::vector<Record> high = ReadCsv(ReadFile(Path("90.csv")));
    ASSERT_GE(high.size(), 5u);
    EXPECT_EQ(high[1][5], "NPN transistor, TO-92, exceeds VCEO and Ptot");
    EXPECT_EQ(high[4], (Record{"R3", "2 k", "1", "1 %", "2 W", "metal film resistor"}));
    EXPECT_EQ(high.back()[4], "100 V");

    const std::string saved = std::setlocale(LC_ALL, nullptr);
    const std::string missingLocale = norvane::test::SwitchToDecimalCommaLocale();
    ASSERT_TRUE(missingLocale.empty()) << missingLocale;
    const CliResult de = RunCli({"design", "ce", "--gain", "20", "--bom", Path("de.csv")});
    std::setlocale(LC_ALL, saved.c_str());
    ASSERT_EQ(de.status, ExitOk) << de.err;
    EXPECT_EQ(ReadFile(Path("de.csv")), csv);
}

TEST_F(PartsListCli, JsonCarriesEachPartInSiUnits)
{
    const CliResult r = RunCli({"design", "ce", "--gain", "20", "--json"});
    ASSERT_EQ(r.status, ExitOk) << r.err;
    const auto parts = nlohmann::json::parse(r.out).at("parts");
    ASSERT_EQ(parts.size(), 9u);

    const auto& t1 = parts[0];
    EXPECT_EQ(t1["ref"], "T1");
    EXPECT_EQ(t1["kind"], "transistor");
    EXPECT_TRUE(t1["value"].is_null());
    EXPECT_EQ(t1["text"], "BC548B");
    EXPECT_EQ(t1["voltage"], 12.0);
    EXPECT_NEAR(t1["current"].get<double>(), 2.6e-3, 1e-12);
    EXPECT_NEAR(t1["dissipation"].get<double>(), 15.12e-3, 0.01e-3);
    EXPECT_EQ(t1["rating"]["ic_max"], 0.1);
    EXPECT_EQ(t1["checks"]["vceo"], "within");

    // R3 carries 2.6 mA: (2.6 mA)^2 * 2 k.
    const auto& r3 = parts[3];
    EXPECT_EQ(r3["ref"], "R3");
    EXPECT_EQ(r3["kind"], "resistor");
    EXPECT_EQ(r3["value"], 2000.0);
    EXPECT_EQ(r3["text"], "2 k");
    EXPECT_EQ(r3["tolerance"], 0.05);
    EXPECT_NEAR(r3["dissipation"].get<double>(), 13.52e-3, 1e-9);
    EXPECT_EQ(r3["rating"], 0.125);
    EXPECT_EQ(r3["description"], "carbon film resistor");
    EXPECT_FALSE(r3.contains("voltage"));

    // C2 from the collector (12 V - 2.6 mA * 2 k) to the output.
    const auto& c2 = parts[7];
    EXPECT_EQ(c2["ref"], "C2");
    EXPECT_EQ(c2["kind"], "capacitor");
    EXPECT_NEAR(c2["value"].get<double>(), 15e-6, 1e-15);
    EXPECT_EQ(c2["tolerance"], 0.2);
    EXPECT_NEAR(c2["voltage"].get<double>(), 6.8, 1e-9);
    EXPECT_EQ(c2["rating"], 16.0);
    EXPECT_EQ(c2["positive"], "collector");
    EXPECT_EQ(c2["description"], "aluminium electrolytic capacitor");
    EXPECT_EQ(c2["note"], "+ at collector");
    EXPECT_FALSE(c2.contains("dissipation"));

    const auto high =
        nlohmann::json::parse(RunCli({"design", "ce", "--gain", "20", "--supply", "90", "--json"}).out)
            .at("parts");
    EXPECT_EQ(high[0]["checks"],
              nlohmann::json({{"vceo", "exceeded"}, {"ic_max", "within"}, {"ptot", "exceeded"}}));
    EXPECT_EQ(high[0]["voltage"], 90.0);

    // A design that cannot be built lists its parts without stresses.
    const auto unusable =
        nlohmann::json::parse(RunCli({"design", "ce", "--supply", "1", "--json"}).out).at("parts");
    EXPECT_TRUE(unusable[0]["checks"].is_null());
    EXPECT_TRUE(unusable[1]["dissipation"].is_null());
}

// The section sits between the component values and the operation point,
// keeps the report valid XHTML 1.0 Strict and leaves its recipe readable;
// the report, its image, the CSV and the KiCad schematic are written
// together or not at all.
TEST_F(PartsListCli, ReportSectionIsValidAndFilesComeTogether)
{
    const CliResult r =
        RunCli({"design", "ce", "--gain", "20", "--supply", "90", "--report", Path("amp.html"), "--bom",
                Path("amp.csv"), "--kicad", Path("amp.kicad_sch")});
    ASSERT_EQ(r.status, ExitOk) << r.err;
    EXPECT_TRUE(
        ReadFile(Path("amp.kicad_sch")).starts_with("(kicad_sch (version 20211123) (generator norvane)\n"));
    const std::string report = ReadFile(Path("amp.html"));
    const std::size_t components = report.find("<h2>Component values</h2>");
    const std::size_t parts = report.find("<h2>Parts list</h2>\n<table class=\"m\">\n");
    const std::size_t operation = report.find("<h2>Operation point</h2>");
    EXPECT_LT(components, parts);
    EXPECT_LT(parts, operation);
    EXPECT_NE(report.find(
                  "<p><strong>T1 BC548B: Uce up to 90 V exceeds VCEO 20 V; Ic 20.32 mA within IC max 100 mA; "
                  "P 920.4 mW exceeds Ptot 300 mW at 25 degC</strong></p>"),
              std::string::npos)
        << report;
    EXPECT_FALSE(ReadFile(Path("amp.csv")).empty());
    const Expected<ReportRecipe> recipe = ReadReportFile(Path("amp.html"));
    ASSERT_TRUE(recipe.Ok()) << recipe.Message();
    EXPECT_EQ(recipe->componentValues.size(), 8u);

    const std::string missingCatalog = norvane::test::MissingXhtmlCatalog();
    ASSERT_TRUE(missingCatalog.empty()) << missingCatalog;
    const std::string xmllint = "xmllint --noout --nonet --valid '" + Path("amp.html") + "' 2>/dev/null";
    EXPECT_EQ(std::system(xmllint.c_str()), 0);

    std::filesystem::remove_all(m_Folder);
    std::filesystem::create_directories(m_Folder);
    const CliResult none = RunCli({"design", "ce", "--supply", "1", "--report", Path("amp.html"), "--bom",
                                   Path("amp.csv"), "--kicad", Path("amp.kicad_sch")});
    EXPECT_EQ(none.status, ExitFailure);
    EXPECT_TRUE(none.err.starts_with("No parts list: the design cannot be built: Uce of ")) << none.err;
    EXPECT_NE(none.err.find("\nNo KiCad schematic: the design cannot be built: Uce of "), std::string::npos)
        << none.err;
    EXPECT_TRUE(std::filesystem::is_empty(m_Folder));
}

// Two outputs that lead to one file, through a link or "..", or into the
// report's folder of pictures, are refused before anything is written.
TEST_F(PartsListCli, OutputsThatNameOneFileAreRefused)
{
    {
        std::ofstream(Path("b.csv")) << "old\n";
    }
    std::filesystem::create_symlink(Path("b.csv"), Path("link.csv"));
    std::filesystem::create_directories(m_Folder / "sub");
    const std::vector<std::vector<std::string>> cases{
        {"--bode", Path("b.csv"), "--netlist", Path("b.csv")},
        {"--bom", Path("link.csv"), "--netlist", Path("b.csv")},
        {"--kicad", Path("sub/../b.csv"), "--bom", Path("b.csv")},
        {"--bom", Path("sub/../b.csv"), "--bode", Path("b.csv")},
        {"--report", Path("r.html"), "--netlist", Path("r.html")},
        {"--report", Path("x.html"), "--netlist", Path("x-Files/x.png")}};
    for (const std::vector<std::string>& outputs : cases) {
        std::vector<std::string> arguments{"design", "ce", "--simulate"};
        arguments.insert(arguments.end(), outputs.begin(), outputs.end());
        const CliResult r = RunCli(arguments);
        EXPECT_EQ(r.status, ExitBadInput) << outputs[0] << ' ' << outputs[2];
        EXPECT_NE(r.err.find(outputs[2]), std::string::npos) << r.err;
    }
    std::ifstream kept(Path("b.csv"));
    std::string line;
    std::getline(kept, line);
    EXPECT_EQ(line, "old");
    EXPECT_FALSE(std::filesystem::exists(Path("r.html")));
    EXPECT_FALSE(std::filesystem::exists(m_Folder / "x-Files"));
    // A report beside another of the same name but its ending would take
    // over the other's folder of pictures.
    {
        std::ofstream(Path("amp.html")) << "<html/>\n";
    }
    const CliResult sharing = RunCli({"design", "ce", "--report", Path("amp.xhtml")});
    EXPECT_EQ(sharing.status, ExitBadInput);
    EXPECT_NE(sharing.err.find("with the report amp.html"), std::string::npos) << sharing.err;
    EXPECT_FALSE(std::filesystem::exists(m_Folder / "amp-Files"));
}

} // namespace
} // namespace norvane::cli
