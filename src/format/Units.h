#pragma once

// Quantities as every output of the program writes them (the command
// line, the report and its pictures, the verdict, the window): the
// engineering number of EngineeringFormat.h with its prefix letter joined
// to the unit ("2.6 mA", "7.15 Hz", "12 V"), a blank between a bare number
// and its unit. Resistances are written as the result lines show them,
// without a unit ("1.475 k"), except in a sentence ("1.475 kohm").

#include <string>
#include <string_view>

namespace norvane {

// "2.6 mA"; with no unit the bare engineering number ("42.13 k").
std::string Quantity(double value, std::string_view unit);
// The same, "-" where there is no figure (NaN or infinite).
std::string QuantityOrDash(double value, std::string_view unit);

std::string Amperes(double value); // "2.579 mA"
std::string Volts(double value);   // "5.833 V"
std::string Hertz(double value);   // "66.5 kHz"
std::string Ohms(double value);    // "1.475 k"
// A resistance in a sentence: "1.475 kohm".
std::string OhmsInWords(double value);

// A gain or level with two decimals: "19.48 dB", "-0.12 dB" (prefix letters
// would read "-118.9 mdB").
std::string Decibels(double db);

} // namespace norvane
