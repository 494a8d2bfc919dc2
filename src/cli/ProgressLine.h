#pragma once

// The progress of a long analysis on a terminal: one line on stderr,
// rewritten in place at most a few times a second, with the time left
// estimated from the pace so far ("Simulating: 1200 of 100000 runs, about
// 2 min 10 s left"), and wiped when the work is done. A tolerance analysis
// of 100,000 runs takes minutes and said nothing until its end.
//
// Only for a person watching: norvane-cli shows it when stderr is a
// terminal and the output is not JSON; a pipe or a file gets nothing.

#include "analysis/RobustnessResults.h"

#include <chrono>
#include <ostream>
#include <string>

namespace norvane::cli {

// "about 2 min 10 s left", "about 40 s left", "less than 1 s left".
std::string TimeLeftText(double seconds);

class ProgressLine {
public:
    using Clock = std::chrono::steady_clock;

    explicit ProgressLine(std::ostream& terminal) : m_Terminal(terminal) {}
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    // The callback the analyses report to; never cancels.
    AnalysisProgress Callback();

    // One report, at a given time (the callback passes now).
    void Update(int done, int total, Clock::time_point now);

private:
    void Wipe();

    std::ostream& m_Terminal;
    int m_Total = -1;
    int m_First = 0; // done when m_Start was taken
    Clock::time_point m_Start;
    Clock::time_point m_Shown;
    bool m_Visible = false;
};

} // namespace norvane::cli
