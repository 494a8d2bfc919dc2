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

#include "TransistorLibReader.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

// The library's decimal text as a C++ floating literal with the same value.
std::string DoubleLiteral(const std::string& text)
{
    if (text.find_first_of(".eE") == std::string::npos) {
        return text + ".0";
    }
    return text;
}

std::string FileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

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
    out << "// Generated from " << FileNameOf(inputPath) << " by norvane-gen-transistor-table. Do not edit.\n"
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
            out << separator << DoubleLiteral(text);
            separator = ", ";
        }
        out << "}},\n";
    }
    out << "};\n\n} // namespace norvane::generated\n";

    const std::string temporary = outputPath + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
        file << out.str();
        file.close();
        if (!file) {
            std::cerr << temporary << ": error: cannot write\n";
            return 1;
        }
    }
    if (std::rename(temporary.c_str(), outputPath.c_str()) != 0) {
        std::cerr << outputPath << ": error: cannot replace\n";
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
