#pragma once

// Reads a saved report back: the circuit (the "Circuit" line), the
// requirements (the "Input data" lines and "UB"), the transistor type
// ("T1") and the series, so that the design can be computed again; its
// setup ("Recipe": the part values applied, the verification's load,
// source and what-if values, the analyses run), so that it is brought back
// as it was saved; and the three sections as the file shows them, so that
// the new result can be compared with the old one. A report written
// before there was a setup has none, and reads as it always did.
//
// The reader takes untrusted bytes: anything that is not a report as
// BuildReport writes it (a foreign file, a cut file, a value that is no
// number or out of its range, an unknown type) is a failure with a message,
// never a crash or a guess.

#include "common/Outcome.h"
#include "design/AmplifierDesign.h"
#include "design/DesignInputs.h"
#include "design/DesignResults.h"
#include "report/Report.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

// Plain field names for now: the command line's "design --from" reads
// them, and takes the m_ names together with its own option structs.
// NOLINTBEGIN(readability-identifier-naming)
struct ReportRecipe {
    DesignInputs inputs;
    // The sections as the file shows them, without the "Circuit" line.
    ResultList inputData;
    ResultList componentValues;
    ResultList operationPoint;
    // What the report carries beyond the requirements; empty in a report
    // without the section.
    DesignSetup setup{};
};
// NOLINTEND(readability-identifier-naming)

// Reports are a few kilobytes; a larger file is not one of them.
inline constexpr std::size_t MaxReportBytes = 1 << 20;

// The recipe in a report's text; the failure says what is wrong with it
// ("it is not a Norvane report", ...), without naming a file.
[[nodiscard]] Expected<ReportRecipe> ParseReport(std::string_view text);

// The recipe in the report file at path (a regular file); the failure names
// the file: "Cannot open \"<path>\": <why>".
[[nodiscard]] Expected<ReportRecipe> ReadReportFile(const std::string& path);

// The design of a report as it was saved: computed from its requirements,
// with the part values its setup applied.
std::unique_ptr<AmplifierDesign> DesignFromReport(const ReportRecipe& recipe);

// The lines where a design computed from a report differs from what the
// file shows: "R1 (180 k in the file, 200 k now)"; empty when all agree.
std::vector<std::string> DifferencesFromReport(const ReportRecipe& recipe, const AmplifierDesign& design);

// What the desktop program and design --from say of them: "Computed again
// from the requirements in amp.html, this result differs from the file in
// R1 (180 k in the file, 200 k now), ..."; empty when there are none.
std::string DifferenceNote(std::string_view fileName, const std::vector<std::string>& differences);

} // namespace norvane
