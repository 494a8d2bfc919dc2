#include "cli/TablePrint.h"

#include <algorithm>

namespace norvane::cli {

void PrintTable(std::ostream& out, const std::vector<std::vector<std::string>>& rows,
                const std::vector<bool>& leftAligned)
{
    std::vector<std::size_t> width;
    for (const auto& row : rows) {
        width.resize(std::max(width.size(), row.size()), 0);
        for (std::size_t c = 0; c < row.size(); ++c) {
            width[c] = std::max(width[c], row[c].size());
        }
    }
    for (const auto& row : rows) {
        std::string text;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string pad(width[c] - row[c].size(), ' ');
            const bool left = c < leftAligned.size() && leftAligned[c];
            text += (c == 0 ? "" : "  ") + (left ? row[c] + pad : pad + row[c]);
        }
        text.erase(text.find_last_not_of(' ') + 1);
        out << text << '\n';
    }
}

} // namespace norvane::cli
