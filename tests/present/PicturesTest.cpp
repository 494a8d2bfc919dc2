// The report's pictures keep their words clear of their lines: no label
// inside a panel, where the curves and marks run, and the labels of one
// row apart from each other.

#include "analysis/RobustnessResults.h"
#include "present/BodePlot.h"
#include "present/RobustnessPlots.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <regex>

namespace norvane {
namespace {

struct Text {
    double m_X;
    double m_Y;
    std::string m_Anchor;
    std::string m_Words;
};

std::vector<Text> Texts(const std::string& svg)
{
    static const std::regex text(
        R"re(<text x="([-0-9.]+)" y="([-0-9.]+)" text-anchor="(\w+)"[^>]*>([^<]*)</text>)re");
    std::vector<Text> texts;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), text); it != std::sregex_iterator(); ++it) {
        texts.push_back({std::stod((*it)[1]), std::stod((*it)[2]), (*it)[3], (*it)[4]});
    }
    return texts;
}

// The frames of the panels: the rectangles drawn with a black outline.
std::vector<std::array<double, 4>> Panels(const std::string& svg)
{
    static const std::regex frame(
        R"re(<rect x="([-0-9.]+)" y="([-0-9.]+)" width="([0-9.]+)" height="([0-9.]+)" fill="none" stroke="#000000")re");
    std::vector<std::array<double, 4>> panels;
    for (auto it = std::sregex_iterator(svg.begin(), svg.end(), frame); it != std::sregex_iterator(); ++it) {
        const double x = std::stod((*it)[1]);
        const double y = std::stod((*it)[2]);
        panels.push_back({x, y, x + std::stod((*it)[3]), y + std::stod((*it)[4])});
    }
    return panels;
}

// Arial's digits are 6.7 units wide at 12 units, a point or a space 3.3:
// tick labels average at least 6 a character. Neighbours keep 4 apart.
constexpr double NarrowestCharacter = 6.0;
constexpr double Gap = 4.0;

void ExpectWordsClearOfLines(const std::string& svg)
{
    const std::vector<Text> texts = Texts(svg);
    const auto panels = Panels(svg);
    ASSERT_FALSE(texts.empty());
    ASSERT_FALSE(panels.empty());
    std::map<double, std::vector<Text>> rows;
    for (const Text& t : texts) {
        for (const auto& [left, top, right, bottom] : panels) {
            EXPECT_FALSE(t.m_X > left && t.m_X < right && t.m_Y > top && t.m_Y < bottom + 1)
                << "\"" << t.m_Words << "\" inside a panel";
        }
        if (t.m_Anchor == "middle") {
            rows[t.m_Y].push_back(t);
        }
    }
    for (auto& [y, row] : rows) {
        std::ranges::sort(row, {}, &Text::m_X);
        for (std::size_t i = 1; i < row.size(); ++i) {
            const double room =
                (row[i - 1].m_Words.size() + row[i].m_Words.size()) / 2.0 * NarrowestCharacter;
            EXPECT_GT(row[i].m_X - row[i - 1].m_X, room + Gap)
                << "\"" << row[i - 1].m_Words << "\" runs into \"" << row[i].m_Words << "\"";
        }
    }
}

TEST(Pictures, WordsStayClearOfLinesAndOfEachOther)
{
    // A high-pass stage of 20 dB, its corner beside f_min: the marks' words
    // used to sit on the curve there.
    SimulationResult result;
    for (double f = 0.01; f <= 1.01e6; f *= std::pow(10.0, 0.05)) {
        const double x = f / 8.0;
        result.m_Bode.push_back({f, 20.0 + 20.0 * std::log10(x / std::sqrt(1.0 + x * x)),
                                 -180.0 + std::atan2(1.0, x) * 180.0 / 3.14159265358979});
    }
    result.m_GainDb = 20.0;
    result.m_MidbandFrequency = 1e3;
    result.m_LowerCutoff = 8.0;
    ExpectWordsClearOfLines(BodeSvg(result, 10.0));

    // Gains near 20 dB against 19..21 dB: their labels are wide ("19.00 dB").
    ToleranceAnalysis tolerances;
    tolerances.m_Runs = 200;
    tolerances.m_Targets.m_GainDb = 20.0;
    tolerances.m_Targets.m_Ic = 2.6e-3;
    tolerances.m_Targets.m_OutputImpedance = 2e3;
    tolerances.m_Targets.m_LowerCutoff = 10.0;
    const std::pair<Distribution ToleranceAnalysis::*, double> nominal[] = {
        {&ToleranceAnalysis::m_Ic, 2.6e-3},           {&ToleranceAnalysis::m_Uce, 5.8},
        {&ToleranceAnalysis::m_GainDb, 19.5},         {&ToleranceAnalysis::m_InputImpedance, 42e3},
        {&ToleranceAnalysis::m_OutputImpedance, 2e3}, {&ToleranceAnalysis::m_LowerCutoff, 8.0}};
    for (const auto& [member, value] : nominal) {
        Distribution& d = tolerances.*member;
        for (int i = 0; i < 200; ++i) {
            d.m_Values.push_back(value * (1.0 + 0.03 * (i % 20 - 10) / 10.0));
        }
        d.m_Median = value;
    }
    ExpectWordsClearOfLines(ToleranceSvg(tolerances));
}

} // namespace
} // namespace norvane
