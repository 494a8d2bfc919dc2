#include "cli/ProgressLine.h"

#include <cmath>

namespace norvane::cli {

namespace {

// A line rewritten more often is only flicker.
constexpr std::chrono::milliseconds RedrawInterval{250};
// Before a second has passed the pace says little.
constexpr std::chrono::seconds FirstEstimate{1};

} // namespace

std::string TimeLeftText(double seconds)
{
    if (!(seconds >= 1.0)) {
        return "less than 1 s left";
    }
    const long whole = std::lround(seconds);
    if (whole < 60) {
        return "about " + std::to_string(whole) + " s left";
    }
    const long minutes = whole / 60;
    if (minutes >= 60) {
        return "about " + std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min left";
    }
    return "about " + std::to_string(minutes) + " min " + std::to_string(whole % 60) + " s left";
}

ProgressLine::~ProgressLine()
{
    Wipe();
}

AnalysisProgress ProgressLine::Callback()
{
    return [this](int done, int total) {
        Update(done, total, Clock::now());
        return true;
    };
}

void ProgressLine::Update(int done, int total, Clock::time_point now)
{
    // Each analysis counts from its own start.
    if (total != m_Total || done < m_First) {
        m_Total = total;
        m_First = done;
        m_Start = now;
        m_Shown = now;
        return;
    }
    if (done >= total) {
        Wipe();
        return;
    }
    if (now - m_Shown < RedrawInterval || now - m_Start < FirstEstimate || done == m_First) {
        return;
    }
    m_Shown = now;
    const double elapsed = std::chrono::duration<double>(now - m_Start).count();
    const double left = elapsed / (done - m_First) * (total - done);
    m_Terminal << "\rSimulating: " << done << " of " << total << " runs, " << TimeLeftText(left) << "\x1b[K"
               << std::flush;
    m_Visible = true;
}

void ProgressLine::Wipe()
{
    if (m_Visible) {
        m_Terminal << "\r\x1b[K" << std::flush;
        m_Visible = false;
    }
}

} // namespace norvane::cli
