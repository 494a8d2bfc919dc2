#pragma once

// Reader of Norvane's own transistor library (resources/transistors/
// norvane-bjt.lib), the normalised SPICE file the importer writes:
//
//   * comment
//   .model NAME NPN(
//   + AF=1 BF=294.3 ... (all 39 parameters, record order, once each)
//   + ... XTI=3)
//
// Only this strict form is accepted: plain decimal numbers (no SPICE scale
// suffixes), every parameter exactly once and in record order, names of
// 5 to 10 characters from A-Z 0-9 '-' '_', sorted strictly ascending by
// byte-wise comparison. Anything else is an error that names the line.

#include <array>
#include <iosfwd>
#include <string>
#include <vector>

namespace norvane::tools {

inline constexpr int LibParameterCount = 39;

// SPICE names of the parameters, in record order.
extern const std::array<const char*, LibParameterCount> LibParameterNames;

struct LibCard {
    std::string name;
    char polarity = 'N'; // 'N' or 'P'
    int line = 0;        // line of the .model statement
    // The decimal text of each parameter as written, and its value.
    std::array<std::string, LibParameterCount> text;
    std::array<double, LibParameterCount> value{};
};

struct LibReadResult {
    std::vector<LibCard> cards;
    // Empty on success, otherwise "<file>:<line>: <what is wrong>".
    std::string error;
};

// Reads the whole library. On the first error, stops and reports it.
LibReadResult ReadTransistorLib(std::istream& in, const std::string& fileName);

} // namespace norvane::tools
