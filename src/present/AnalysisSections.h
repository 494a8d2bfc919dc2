#pragma once

// The analyses that were run, each as a section of the CLI's text and the
// report: heading, line, table and picture, or why it failed.

#include "analysis/RobustnessResults.h"
#include "present/RobustnessText.h"

#include <string>
#include <vector>

namespace norvane {

// The analyses' names, in the order they run and are shown.
inline constexpr const char* AnalysisNames[] = {"tolerance", "temperature", "distortion", "noise"};

// One analysis that was run, as the CLI and the report show it.
struct AnalysisText {
    std::string m_Name;    // "tolerance", "temperature", "distortion", "noise", "worst_case"
    std::string m_Heading; // "Tolerances", "Temperature", "Clipping and distortion", "Noise", "Worst case"
    // Empty when it ran; else why not ("simulation unavailable: ...").
    std::string m_Problem;
    std::string m_Line; // the analysis' line above; empty when it failed
    TextTable m_Table;  // its table; empty when it failed
    // Its picture (RobustnessPlots.h) when asked for; empty when not, when
    // it failed, or when there is nothing to draw.
    std::string m_Svg;
};

// The analyses that were run, in the order above, with their pictures when
// withPictures.
std::vector<AnalysisText> AnalysesAsText(const RobustnessResults& results, bool withPictures = false);

} // namespace norvane
