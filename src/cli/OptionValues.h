#pragma once

// What the value of an option may look like. The parser gives an option
// that needs a value whatever argument follows it, even the next option:
// "design ce --report --simulate" would write a report named "--simulate",
// "design ce --gain --json" would design for the gain "--json". These
// checks refuse such values (exit status 2).

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

// A whole number from 0 to 2^64 - 1 in decimal digits, nothing else. The
// parser alone would take "-1" as 2^64 - 1, clamp a larger number and read
// "" as 0.
const CLI::Validator& UnsignedNumber();

} // namespace norvane::cli
