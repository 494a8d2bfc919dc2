#pragma once

// The result of a design as three sections of labelled text lines (input
// data, component values, operation point), already formatted for display.
// The view and the report print these lines; they never see a number.

#include <array>
#include <string>
#include <vector>

namespace norvane {

// name and value stay plain: every room reads them, down to the CLI's
// text and JSON and the report reader.
// NOLINTBEGIN(readability-identifier-naming)
struct ResultItem {
    std::string name;
    std::string value;

    // name = value formatted in engineering notation with the unit joined:
    // one blank between a figure and the unit, the prefix letter glued to
    // the unit ("12 V", "2.2 mA", "470 nF", "infiniteF").
    void SetQuantity(const std::string& itemName, double number, const std::string& unit);
    // name = value formatted in engineering notation, nothing appended.
    void SetNumber(const std::string& itemName, double number);
    // name = text, verbatim.
    void SetText(const std::string& itemName, const std::string& text);

    bool operator==(const ResultItem&) const = default;
};
// NOLINTEND(readability-identifier-naming)

// Items in the order the design appended them; handed out by value.
using ResultList = std::vector<ResultItem>;

// Series counts by the dialogs' series index 0 to 3.
inline constexpr std::array<int, 4> SeriesCounts{12, 24, 48, 96};

// "E12", "E24", "E48" or "E96" for a series count.
std::string SeriesLabel(int seriesCount);

} // namespace norvane
