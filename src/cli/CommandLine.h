#pragma once

#include <ostream>

namespace norvane::cli {

// Exit statuses of norvane-cli.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailure = 1;  // e.g. a report that cannot be written
inline constexpr int ExitBadInput = 2; // a value out of range, an unknown type, bad usage

// Parses the arguments, runs the command and returns the exit status.
int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

} // namespace norvane::cli
