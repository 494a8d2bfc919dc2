#pragma once

// Tables of text on the terminal, for "rank" and the robustness analyses.

#include <ostream>
#include <string>
#include <vector>

namespace norvane::cli {

// Prints the rows in columns two blanks apart, each as wide as its widest
// cell, left-aligned where leftAligned says so (a column beyond its end is
// right-aligned), without blanks at the ends of the lines.
void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows,
                const std::vector<bool>& leftAligned);

} // namespace norvane::cli
