#pragma once

#include "common/Outcome.h"

#include <ostream>
#include <string>

namespace norvane::cli {

// Exit statuses of norvane-cli.
inline constexpr int ExitOk = 0;
inline constexpr int ExitFailure = 1;  // e.g. a report that cannot be written
inline constexpr int ExitBadInput = 2; // a value out of range, an unknown type, bad usage

// A command's failure with input the command refuses (exit status 2).
inline Failure Refused(std::string message)
{
    return {std::move(message), FailureKind::Refused};
}

// The exit status of a command's outcome: ExitOk, ExitBadInput for a
// refusal of what was given, ExitFailure for anything else.
inline int ExitStatusOf(const Status& outcome)
{
    if (outcome) {
        return ExitOk;
    }
    return outcome.Is(FailureKind::Refused) ? ExitBadInput : ExitFailure;
}

// Parses the arguments, runs the command and returns the exit status.
// errIsTerminal: err is a terminal, which is shown the progress of long
// analyses (ProgressLine.h).
int Run(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool errIsTerminal = false);

} // namespace norvane::cli
