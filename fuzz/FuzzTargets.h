#pragma once

// What each fuzz target does with one input. The libFuzzer programs
// (fuzz/<target>Fuzzer.cpp, built by the `fuzz` preset) call these, and so
// does the corpus test of the normal test suite (tests/fuzz/), which feeds
// every committed corpus file through them: a crash found once stays
// checked in every build, with or without clang.
//
// A target returns normally for every input it is meant to survive; a bug
// shows as a crash, a sanitizer report or a failed invariant (abort).

#include <cstddef>
#include <cstdint>
#include <span>

namespace norvane::fuzz {

using Bytes = std::span<const std::uint8_t>;

// ParseEngineering and ReadEngineering on the bytes as text; the two agree
// wherever ReadEngineering finds a number, and the value of a number read
// is formatted again.
void FuzzEngineering(Bytes data);

// ParseReport on the bytes as a report's text; a recipe read is designed
// again and compared with the file, as `design --from` does.
void FuzzReportReader(Bytes data);

// The transistor library reader on the bytes as a library file.
void FuzzTransistorLibReader(Bytes data);

// The command line: the bytes split at NUL into arguments after
// "norvane-cli", run by norvane::cli::Run with its output discarded. Run
// PrepareCommandLineScratch() once first: it moves the process into a
// fresh scratch folder holding a report "r.html" for --from. An argument
// holding '/' is skipped (no file outside the folder is ever named), and so
// is one that asks for a simulation ("--simulate", "--bode", "--tune",
// the robustness analyses, the "rank" command): those take from
// milliseconds to seconds a run and have their own tests. After a design
// that succeeded, every --report, --netlist and --bom file it named must
// hold its own kind of content (two outputs naming one file clash).
void PrepareCommandLineScratch();
void FuzzCommandLine(Bytes data);

} // namespace norvane::fuzz
