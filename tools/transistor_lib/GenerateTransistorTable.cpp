// Build step: turns resources/transistors/norvane-bjt.lib into the C++
// header that holds the compiled-in transistor table.
//
//   norvane-gen-transistor-table <norvane-bjt.lib> <output header>
//
// The header defines norvane::generated::TransistorRecords, a constexpr
// array of StoredTransistorRecord (no pointers: see its header) in the
// order of the library (which the reader has checked to be strictly sorted
// by name). Every number is written with the decimal text of the library,
// so the compiler produces exactly the double the library holds. On any
// error in the library the tool prints "<file>:<line>: ..." and exits with
// status 1; the output is then left untouched, so the build stops.

#include "GeneratedHeader.h"
#include "TransistorLibReader.h"

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: " << (argc > 0 ? argv[0] : "generator")
                  << " <norvane-bjt.lib> <output header>\n";
        return 2;
    }
    const std::string inputPath = argv[1];
    const std::string outputPath = argv[2];

    std::ifstream in(inputPath, std::ios::binary);
    if (!in) {
        std::cerr << inputPath << ": error: cannot open\n";
        return 1;
    }
    const auto result = norvane::tools::ReadTransistorLib(in, inputPath);
    if (!result.error.empty()) {
        std::cerr << result.error << "\n" << inputPath << ": error: transistor table not generated\n";
        return 1;
    }

    std::ostringstream out;
    out << "// Generated from " << norvane::tools::FileNameOf(inputPath)
        << " by norvane-gen-transistor-table. Do not edit.\n"
        << "#pragma once\n\n"
        << "#include \"transistors/StoredTransistorRecord.h\"\n\n"
        << "namespace norvane::generated {\n\n"
        << "inline constexpr int TransistorRecordCount = " << result.cards.size() << ";\n\n"
        << "// name, polarity, then the parameters";
    for (const char* name : norvane::tools::LibParameterNames) {
        out << ' ' << name;
    }
    out << "\ninline constexpr StoredTransistorRecord "
           "TransistorRecords[TransistorRecordCount] = {\n";
    for (const auto& card : result.cards) {
        out << "    {\"" << card.name << "\", '" << card.polarity << "', {";
        const char* separator = "";
        for (const auto& text : card.text) {
            out << separator << norvane::tools::DoubleLiteral(text);
            separator = ", ";
        }
        out << "}},\n";
    }
    out << "};\n\n} // namespace norvane::generated\n";

    return norvane::tools::ReplaceFile(outputPath, out.str()) ? 0 : 1;
}
