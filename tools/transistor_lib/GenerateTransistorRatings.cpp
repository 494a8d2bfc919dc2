// Build step: turns resources/transistors/norvane-ratings.tsv into the C++
// header that holds the compiled-in ratings, one record per rated type,
// keyed by the type's index in the library.
//
//   norvane-gen-transistor-ratings <norvane-bjt.lib> <norvane-ratings.tsv> <output header>
//
// The library is read for its names only: a rated type it lacks, an
// unsorted or malformed line, or a figure that is not the lowest value seen
// makes the tool print "<file>:<line>: ..." and exit with status 1 without
// touching the output, so the build stops.

#include "GeneratedHeader.h"
#include "TransistorLibReader.h"
#include "TransistorRatingsReader.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using norvane::tools::DoubleLiteral;
using norvane::tools::StringLiteral;

constexpr const char* FieldEnumerators[3] = {"RatingField::Vceo", "RatingField::IcMax", "RatingField::Ptot"};

std::string FigureLiteral(const std::string& text)
{
    return text.empty() ? "UnknownRating" : DoubleLiteral(text);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::cerr << "usage: " << (argc > 0 ? argv[0] : "generator")
                  << " <norvane-bjt.lib> <norvane-ratings.tsv> <output header>\n";
        return 2;
    }
    const std::string libraryPath = argv[1];
    const std::string ratingsPath = argv[2];
    const std::string outputPath = argv[3];

    std::ifstream library(libraryPath, std::ios::binary);
    if (!library) {
        std::cerr << libraryPath << ": error: cannot open\n";
        return 1;
    }
    const auto cards = norvane::tools::ReadTransistorLib(library, libraryPath);
    if (!cards.error.empty()) {
        std::cerr << cards.error << "\n" << outputPath << ": error: ratings not generated\n";
        return 1;
    }
    std::vector<std::string> names;
    for (const auto& card : cards.cards) {
        names.push_back(card.name);
    }

    std::ifstream in(ratingsPath, std::ios::binary);
    if (!in) {
        std::cerr << ratingsPath << ": error: cannot open\n";
        return 1;
    }
    const auto ratings = norvane::tools::ReadTransistorRatings(in, ratingsPath, names);
    if (!ratings.error.empty()) {
        std::cerr << ratings.error << "\n" << ratingsPath << ": error: ratings not generated\n";
        return 1;
    }

    std::ostringstream out;
    out << "// Generated from " << norvane::tools::FileNameOf(ratingsPath)
        << " by norvane-gen-transistor-ratings. Do not edit.\n"
        << "#pragma once\n\n"
        << "#include \"transistors/TransistorRatings.h\"\n\n"
        << "#include <array>\n\n"
        << "namespace norvane::generated {\n\n";

    out << "inline constexpr std::array<TransistorRatingSource, " << ratings.sources.size()
        << "> RatingSources = {{\n";
    for (const auto& source : ratings.sources) {
        out << "    {" << StringLiteral(source.id) << ", " << StringLiteral(source.description) << "},\n";
    }
    out << "}};\n\n";

    std::size_t seenCount = 0;
    for (const auto& line : ratings.lines) {
        seenCount += line.seen.size();
    }
    out << "inline constexpr std::array<RatingSeen, " << seenCount << "> RatingSeenValues = {{\n";
    for (const auto& line : ratings.lines) {
        for (const auto& seen : line.seen) {
            out << "    {" << FieldEnumerators[seen.field] << ", " << DoubleLiteral(seen.value) << ", "
                << StringLiteral(seen.sources) << "}, // " << line.name << "\n";
        }
    }
    out << "}};\n\n";

    out << "// library index, VCEO, IC max, Ptot, package, their sources, first and\n"
        << "// number of values seen\n"
        << "inline constexpr std::array<TransistorRatingsRecord, " << ratings.lines.size()
        << "> RatingsRecords = {{\n";
    std::size_t firstSeen = 0;
    for (const auto& line : ratings.lines) {
        out << "    {" << line.libraryIndex;
        for (const auto& figure : line.figures) {
            out << ", " << FigureLiteral(figure);
        }
        out << ", " << StringLiteral(line.package);
        for (const auto& sources : line.sources) {
            out << ", " << StringLiteral(sources);
        }
        out << ", " << firstSeen << ", " << line.seen.size() << "}, // " << line.name << "\n";
        firstSeen += line.seen.size();
    }
    out << "}};\n\n} // namespace norvane::generated\n";

    return norvane::tools::ReplaceFile(outputPath, out.str()) ? 0 : 1;
}
