#pragma once

// What the value of an option may look like. The parser gives an option
// that needs a value whatever argument follows it, even the next option:
// "design ce --report --simulate" would write a report named "--simulate",
// "design ce --gain --json" would design for the gain "--json". These
// checks refuse such values (exit status 2).

#include <string>

namespace CLI {
class Validator;
}

namespace norvane::cli {

// A number or a name: refused when it begins with '-' and is no negative
// number ("-3", "-.5" and "-1e3" pass, "--json" and "-x" do not).
const CLI::Validator& NotAnOption();

// A file name: refused when it begins with '-'; such a file is named
// "./-name".
const CLI::Validator& FileName();

// The value of a quantity whose unit is unit ("ohm", "V", "A", "Hz",
// "dB"): a number as the dialogs read it (digits, "," or "." for the
// decimals, an exponent, one prefix letter after the digits or in place of
// the decimal point: "4k7"), then, if the user likes, the quantity's own
// unit as people write it ("600 Ohm", "4k7ohm", "2 mA", "10 kHz",
// "-10 dB"). The unit is dropped. Anything else after the number is
// refused: the dialogs' rule takes the earliest prefix letter anywhere, so
// "600 Ohm" would be 0.6 ohm (its "m"), "2 Amp" 2 mA, and "0x10" 0. A text
// that does not begin with a number is left as it is, for the checks that
// say what they expect.
CLI::Validator QuantityValue(std::string unit);

// A whole number from 0 to 2^64 - 1 in decimal digits, nothing else. The
// parser alone would take "-1" as 2^64 - 1, clamp a larger number and read
// "" as 0.
const CLI::Validator& UnsignedNumber();

} // namespace norvane::cli
