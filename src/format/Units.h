#pragma once

// Quantities as every output of the program writes them (the command
// line, the report and its pictures, the verdict, the window): the
// engineering number of EngineeringFormat.h with its prefix letter joined
// to the unit ("2.6 mA", "7.15 Hz", "12 V"), a blank between a bare number
// and its unit; a resistance in "ohm" ("1.475 kohm", "600 ohm"). Only the
// result lines of the design keep their resistances bare ("R1 = 620 k",
// PartItem in AmplifierDesign.h).

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
std::string Ohms(double value);    // "1.475 kohm"

// A gain or level with two decimals: "19.48 dB", "-0.12 dB" (prefix letters
// would read "-118.9 mdB").
std::string Decibels(double db);

} // namespace norvane
