// Reading a saved report back: the requirements it names give the design
// again, and anything that is not such a report is refused with a reason.

#include "report/ReportReader.h"

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "format/EngineeringFormat.h"
#include "report/Report.h"
#include "transistors/TransistorTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>

namespace norvane {
namespace {

std::string ReportOf(const AmplifierDesign& design)
{
    return BuildReport("amp", ReportContentOf(design));
}

// Save, open, save again: the same bytes, and the same inputs.
void ExpectRoundTrip(const DesignInputs& inputs)
{
    auto design = MakeDesign(inputs.Kind());
    design->Compute(inputs);
    const std::string saved = ReportOf(*design);
    const Expected<ReportRecipe> recipe = ParseReport(saved);
    ASSERT_TRUE(recipe.Ok()) << recipe.Message() << "\n" << saved;
    EXPECT_EQ(recipe->inputs, inputs) << saved;
    auto again = MakeDesign(inputs.Kind());
    again->Compute(recipe->inputs);
    EXPECT_TRUE(DifferencesFromReport(*recipe, *again).empty());
    EXPECT_EQ(ReportOf(*again), saved);
}

// A value as the dialog holds it after an opening: four digits.
double AsShown(double value)
{
    return ParseEngineering(FormatEngineering(value));
}

class ReportReader : public ::testing::Test {
protected:
    void SetUp() override { UseEnglishNumberFormat(); }
};

TEST_F(ReportReader, WorkedExamplesAndSeededRandomDesignsRoundTrip)
{
    for (const CircuitKind kind :
         {CircuitKind::CommonEmitter, CircuitKind::CommonBase, CircuitKind::CommonCollector}) {
        ExpectRoundTrip(DesignInputs(kind));
    }
    DesignInputs ce20(CircuitKind::CommonEmitter);
    ce20.SetValue(InputField::Gain, 20);
    ExpectRoundTrip(ce20);
    ce20.SetValue(InputField::InputImpedance, 5e3);
    ExpectRoundTrip(ce20);
    DesignInputs cb(CircuitKind::CommonBase);
    cb.SetValue(InputField::LowerCutoff, 100);
    cb.SetValue(InputField::OutputImpedance, 1e3);
    cb.SetSeriesIndex(0);
    ExpectRoundTrip(cb);
    DesignInputs cc(CircuitKind::CommonCollector);
    cc.SetTransistorIndex(FindTransistor("BC558B"));
    cc.SetValue(InputField::InputImpedance, 1e6);
    ExpectRoundTrip(cc);

    std::mt19937 random(20261208);
    const auto logUniform = [&](double low, double high) {
        return AsShown(low * std::pow(high / low, std::uniform_real_distribution<>(0, 1)(random)));
    };
    for (const CircuitKind kind :
         {CircuitKind::CommonEmitter, CircuitKind::CommonBase, CircuitKind::CommonCollector}) {
        for (int i = 0; i < 100; ++i) {
            DesignInputs inputs(kind);
            inputs.SetValue(InputField::Gain, AsShown(std::uniform_real_distribution<>(-10, 50)(random)));
            inputs.SetValue(InputField::LowerCutoff, logUniform(0.1, 1e6));
            inputs.SetValue(InputField::SupplyVoltage, logUniform(1, 60));
            inputs.SetValue(InputField::InputImpedance, logUniform(100, 1e7));
            inputs.SetValue(InputField::OutputImpedance, logUniform(10, 1e6));
            inputs.SetValue(InputField::CollectorCurrent, logUniform(1e-5, 0.5));
            inputs.SetTransistorIndex(std::uniform_int_distribution<>(0, GetTransistorCount() - 1)(random));
            inputs.SetSeriesIndex(std::uniform_int_distribution<>(0, 3)(random));
            ExpectRoundTrip(inputs);
            if (HasFailure()) {
                return;
            }
        }
    }
}

TEST_F(ReportReader, ValuesThatNoLongerFollowFromTheRequirementsAreNamed)
{
    CommonEmitterDesign design;
    design.Compute(DesignInputs(CircuitKind::CommonEmitter));
    std::string saved = ReportOf(design);
    saved.replace(saved.find("<td>180 k</td>"), 14, "<td>150 k</td>");
    const Expected<ReportRecipe> recipe = ParseReport(saved);
    ASSERT_TRUE(recipe.Ok()) << recipe.Message();
    EXPECT_EQ(DifferencesFromReport(*recipe, design),
              (std::vector<std::string>{"R1 (150 k in the file, 180 k now)"}));
}

TEST_F(ReportReader, WhatIsNoReportIsRefusedWithItsReason)
{
    CommonBaseDesign design;
    design.Compute(DesignInputs(CircuitKind::CommonBase));
    const std::string saved = ReportOf(design);
    const auto refused = [](const std::string& text) {
        const Expected<ReportRecipe> recipe = ParseReport(text);
        return recipe.Ok() ? std::string("accepted") : recipe.Message();
    };
    const auto edited = [&](const std::string& from, const std::string& to) {
        std::string text = saved;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    EXPECT_EQ(refused(""), "it is not a Norvane report");
    EXPECT_EQ(refused("<html/>"), "it is not a Norvane report");
    EXPECT_EQ(refused(saved.substr(0, saved.size() / 2)), "it is not a Norvane report");
    // Cut where every section it needs still reads: after the last
    // heading, or just before the closing tag.
    const std::size_t lastHeading = saved.find("<h2>Operation point</h2>");
    ASSERT_NE(lastHeading, std::string::npos);
    EXPECT_EQ(refused(saved.substr(0, saved.find("</table>", lastHeading))), "it is not a Norvane report");
    EXPECT_EQ(refused(saved.substr(0, saved.rfind("</html>"))), "it is not a Norvane report");
    EXPECT_EQ(refused(saved + "\n\n"), "accepted");
    EXPECT_EQ(refused(edited("<td>BC548B</td>", "<td>XY123</td>")),
              "its transistor type \"XY123\" is not in the built-in library");
    EXPECT_EQ(refused(edited("<td>100 kHz</td>", "<td>fast</td>")),
              "its value of lower cut-off frequency, \"fast\", is not one Norvane accepts");
    EXPECT_EQ(refused(edited("<td>100 kHz</td>", "<td>100 GHz</td>")),
              "its value of lower cut-off frequency, \"100 GHz\", is not one Norvane accepts");
    EXPECT_EQ(refused(edited("<td>E24</td>", "<td>E6</td>")),
              "its standard series \"E6\" is none of E12, E24, E48 and E96");
    EXPECT_EQ(refused(edited("Common-Base circuit", "Common-Drain circuit")),
              "it names no circuit Norvane designs (\"Common-Drain circuit\")");
    EXPECT_EQ(refused(edited("<td>12 V</td>", "<td>12 &bogus; V</td>")), "it is not a Norvane report");
    // Every character reference that names no character XML allows, or is
    // no reference; the ones the writer uses read back.
    for (const char* reference :
         {"&#0;", "&#x0;", "&#1;", "&#x1F;", "&#xD800;", "&#xDFFF;", "&#xFFFE;", "&#xFFFF;", "&#x110000;",
          "&#4294967297;", "&#-32;", "&#X20;", "&#x;", "&#;", "&#32", "&#x2G;", "&# 32;", "&amp"}) {
        EXPECT_EQ(refused(edited("<td>12 V</td>", std::string("<td>12") + reference + "V</td>")),
                  "it is not a Norvane report")
            << reference;
    }
    for (const char* reference : {"&#32;", "&#x20;", "&#x00020;"}) {
        EXPECT_EQ(refused(edited("<td>12 V</td>", std::string("<td>12") + reference + "V</td>")), "accepted")
            << reference;
    }
}

TEST_F(ReportReader, FilesAreReadOnlyWhenTheyAreRegularAndSmall)
{
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("norvane-reader-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const auto message = [](const fs::path& path) { return ReadReportFile(path.string()).Message(); };
    EXPECT_NE(message(folder / "missing.html").find("missing.html\": No such file"), std::string::npos);
    EXPECT_EQ(message(folder), "Cannot open \"" + folder.string() + "\": it is a folder");
    EXPECT_EQ(message("/dev/zero"), "Cannot open \"/dev/zero\": it is not a Norvane report");
    {
        std::ofstream big(folder / "big.html");
        big << std::string(MaxReportBytes + 1, 'x');
    }
    EXPECT_EQ(message(folder / "big.html"),
              "Cannot open \"" + (folder / "big.html").string() + "\": it is not a Norvane report");
    fs::remove_all(folder);
}

} // namespace
} // namespace norvane
