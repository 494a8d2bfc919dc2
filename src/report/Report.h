#pragma once

// The saved report of a design: one XHTML 1.0 Strict file whose name and
// place the user chooses, and beside it a folder "<name>-Files" that holds
// the schematic of the circuit as "<name>.png".
//
// For "/home/ann/amp1.html" the report name is "amp1", the image folder
// "/home/ann/amp1-Files" and the image file "/home/ann/amp1-Files/amp1.png";
// the report refers to the image by the relative path "amp1-Files/amp1.png".
//
// After the component values every report of a design lists its parts
// (PartsList.h): a table of what to buy, each part with its tolerance, the
// stress at the operating point and the rating, then the line that puts T1
// against its ratings.
//
// A report with a simulation adds the verdict line below the notes and,
// after the operation point, the section "Simulation (ngspice)": the verdict,
// the tuning proposal if there is one, the verification table and the Bode
// plot, a second picture "amp1-bode.svg" in the image folder. After the
// Bode plot follows each robustness analysis that was run: a heading, its
// line, its table and its picture ("amp1-tolerance.svg",
// "amp1-temperature.svg", "amp1-distortion.svg", "amp1-noise.svg"), or
// for one that failed, why. A report without a simulation is the same,
// byte for byte, as before there were simulations, and one without
// robustness analyses as before there were those.
//
// Paths are narrow UTF-8 text with '/' as the separator.

#include "analysis/RobustnessResults.h"
#include "analysis/Verification.h"
#include "common/FileWriter.h"
#include "common/Outcome.h"
#include "common/Version.h"
#include "design/AmplifierDesign.h"
#include "design/DesignResults.h"
#include "present/PartsList.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {

// The simulation section of a report, as text.
struct ReportSimulation {
    std::string m_Verdict; // Verdict::Line()
    std::string m_Tuning;  // "Proposed: C3 1 nF -> 2.2 nF: ..."; empty: none
    std::vector<VerificationRow> m_Rows;
    std::string m_BodeSvg; // the picture; empty: none (not simulated)
    // What the verification simulated beside the design ("no load").
    std::string m_Conditions{};
    // The robustness analyses that were run (tolerances, temperature,
    // distortion, noise); none by default.
    RobustnessResults m_Robustness{};
};

// The section of a verification (and of its tuning proposal, if any).
ReportSimulation ReportSimulationOf(const Verification& verification,
                                    const TuningProposal* proposal = nullptr,
                                    const RobustnessResults* robustness = nullptr);

// What a report carries beyond the requirements, so that Open and
// "design --from" bring back the design as it was saved rather than as
// the requirements alone give it. A report without any of it has no
// section for it and is the same, byte for byte, as before there was one.
struct DesignSetup {
    // Part values put into the design (a tuning proposal applied), in the
    // order applied: AmplifierDesign::AppliedPartValues().
    std::vector<NamedValue> m_Applied;
    // The load, the source resistance and the what-if part values the
    // verification simulated with.
    VerificationOptions m_Conditions;
    // The robustness analyses that were run, with the tolerances' runs and
    // seed.
    AnalysisRequest m_Analyses;

    bool Empty() const { return *this == DesignSetup{}; }
    bool operator==(const DesignSetup&) const = default;
};

// The section of the setup: after the operation point, "<h2>Recipe</h2>"
// and a table of rows as the sections above have them, one per setting:
// "Applied C3" and "What if R1" (one row each, in order), "Load",
// "Source", "Analyses" ("tolerances, temperature, distortion, noise", as
// far as run), "Tolerance runs", "Tolerance seed". Values are written as
// the result shows them ("1.8 nF", "4.7 k") where that text reads back as
// exactly the same number, else in the shortest form that does ("1.2345e-09
// F"), so that what is read back is what was saved.
inline constexpr const char* SetupHeading = "Recipe";
ResultList SetupRows(const DesignSetup& setup);
// A value of the setup as SetupRows writes it; a part whose name begins
// with 'C' is a capacitor ("1.8 nF"), anything else a resistance ("4.7 k").
std::string ExactPartValue(const std::string& part, double value);

// What a report shows besides its name: the circuit title ("Common-Emitter
// circuit") and the three result sections of the design.
struct ReportContent {
    std::string m_CircuitTitle;
    ResultList m_InputData;
    ResultList m_ComponentValues;
    ResultList m_OperationPoint;
    // Notes shown below the heading: that the design cannot be built and
    // why, or what is doubtful about it; none for a sound design.
    std::vector<std::string> m_Notes{};
    // The simulation section; none in a report without simulation.
    std::optional<ReportSimulation> m_Simulation{};
    // The parts list (PartsListTable) and the line below it, in bold when
    // it warns; no section where the table is empty.
    TextTable m_PartsList{};
    std::string m_PartsLine{};
    bool m_PartsWarning = false;
    // What brings the design back as saved; no section when empty.
    DesignSetup m_Setup{};
};

// Who wrote the program: the footer of a report continues "Created using
// Norvane <version>" with ", written by <AuthorName>", the About box shows
// "Written by <AuthorName>".
inline constexpr const char* AuthorName = "the Norvane developers";
// The product web site, linked from the footer of a report.
inline constexpr const char* ProductWebAddress = "https://norvane.org/";

// ---------------------------------------------------------------------------
// Report text

// Text made safe for XHTML character data or a double-quoted attribute:
// & < > " become entity references, every character beyond ASCII becomes a
// numeric character reference, so the result is pure ASCII and fits the
// "iso-8859-1" that the report declares. The text is read as UTF-8; a byte
// that does not start a valid UTF-8 sequence stands for the ISO-8859-1
// character of its value. Control characters other than tab and line feed,
// and the Unicode noncharacters, which XML forbids or discourages, become
// U+FFFD (&#65533;).
std::string EscapeXhtmlText(std::string_view text);
// The same for an attribute value; tab and line feed are written as
// references there too, so that attribute normalisation keeps them.
std::string EscapeXhtmlAttribute(std::string_view text);

// The whole report document. Every inserted text (the name, the circuit
// title, the item names and values) is escaped; lines end in a line feed.
std::string BuildReport(const std::string& reportName, const ReportContent& content);

// ---------------------------------------------------------------------------
// Names and paths

// The file name of the path without its extension: the text after the last
// '/', up to (not including) the last '.' that follows it; a file name
// without '.' is taken whole. "/home/ann/amp1.html" gives "amp1",
// "x.tar.html" gives "x.tar".
std::string ReportNameFromPath(std::string_view path);

// The folder part of the path, up to and including its last '/';
// empty when the path holds no '/'. "/home/ann/amp1.html" gives "/home/ann/".
std::string FolderFromPath(std::string_view path);

// The folder beside the report that holds its image: report folder + name +
// "-Files". A report path without a folder part ("amp1.html") gives a
// relative image folder ("amp1-Files"), never one at the root.
std::string ImageFolderPath(std::string_view reportPath);

// The image file of the report: image folder + "/" + name + ".png".
std::string ImageFilePath(std::string_view reportPath);

// The Bode plot of a report with simulation: image folder + "/" + name +
// "-bode.svg".
std::string BodeImageFilePath(std::string_view reportPath);
// Any picture of the simulation section: image folder + "/" + name + "-" +
// picture + ".svg", picture being "bode" or the name of a robustness
// analysis ("tolerance", "temperature", "distortion", "noise").
std::string PictureFilePath(std::string_view reportPath, std::string_view picture);

// How the report refers to its image: name + "-Files/" + name + ".png",
// relative to the report's folder, as a path. Not a URL; see ImageLink.
std::string ImageReference(const std::string& reportName);

// The image reference as the report's link writes it (before XHTML
// escaping): a relative URL reference (RFC 3986) that leads to the image
// file whatever bytes the name holds. Kept as they are: letters, digits,
// '-', '_', '.', '~', spaces (browsers encode those themselves), the
// characters a path segment allows (! $ & ' ( ) * + , ; = @) and valid UTF-8
// beyond ASCII that is no control character (an IRI, RFC 3987; browsers
// send it as UTF-8). Every other byte is percent-encoded, among them '#',
// '%', '?', ':', '\\', control characters and bytes that are not UTF-8:
// "h#1" gives "h%231-Files/h%231.png".
std::string ImageLink(const std::string& reportName);
// The same for the Bode plot: "h%231-Files/h%231-bode.svg".
std::string BodeImageLink(const std::string& reportName);
// And for any picture of the simulation section (see PictureFilePath):
// "h%231-Files/h%231-noise.svg".
std::string PictureLink(const std::string& reportName, std::string_view picture);

// ---------------------------------------------------------------------------
// Writing
//
// Every file goes through the one writer of common/FileWriter.h: what may be
// replaced, links, permissions and atomicity are as it says. Failures carry
// a plain English message for the user that names the file or folder
// concerned and gives the reason.

// Messages of the failures, each naming the path and giving the reason
// (the system's error text).
std::string ReportWriteFailureMessage(const std::string& reportPath, const std::string& reason);
std::string ImageFolderFailureMessage(const std::string& folderPath, const std::string& reason);
std::string ImageWriteFailureMessage(const std::string& imagePath, const std::string& reason);

// Another report beside reportPath whose pictures share its folder
// ImageFolderPath (amp.html and amp.xhtml both use amp-Files/): the file
// name of the first such report (.html, .xhtml, .htm or .xht, any case)
// other than the report itself, empty when there is none. Writing both
// would give one report the other's pictures, so the second is refused.
std::string ReportSharingPictureFolder(const std::string& reportPath);

// Writes the PNG of a schematic to the image file path, replacing an older
// file completely (and atomically). Failure: a message naming the image file.
[[nodiscard]] Status WriteSchematicPng(std::span<const std::uint8_t> png, const std::string& imagePath);

// Saves a report at reportPath, in this order:
//  1. the report text BuildReport(ReportNameFromPath(reportPath), content),
//     atomically; if that fails, nothing else is written and an earlier
//     report at that path is left untouched;
//  2. the image folder ImageFolderPath(reportPath); an existing folder is
//     reused;
//  3. the schematic image schematicPng to ImageFilePath(reportPath),
//     atomically, and with a simulation its Bode plot to
//     BodeImageFilePath(reportPath) and the pictures of the robustness
//     analyses to PictureFilePath(reportPath, analysis), all together;
//     then the pictures an earlier save wrote there that this report
//     does not link are removed (only files of those names: the folder
//     holds exactly what the report links, plus whatever the user put
//     there).
// A report that would share its picture folder with another one
// (ReportSharingPictureFolder) is refused before anything is written.
// Success only when all three succeeded. A failure in step 2 or 3 leaves
// the new report in place (it is complete, and a further save can supply the
// image) but is reported all the same, naming the folder or the image file:
// the caller should then keep the result marked as unsaved.
[[nodiscard]] Status WriteReport(const std::string& reportPath, const ReportContent& content,
                                 std::span<const std::uint8_t> schematicPng);

// Adds the report, its image folder and its image to a set of writes that
// a command commits together with its other files: all of them are
// written, or none; then, as WriteReport does, the pictures of an earlier
// save the report does not link are removed.
void AddReport(PendingWrites& writes, const std::string& reportPath, const ReportContent& content,
               std::span<const std::uint8_t> schematicPng);

// Writes the built-in picture of a schematic id (136 to 143); an unknown id
// is a failure naming the file.
[[nodiscard]] Status WriteSchematicPng(std::uint16_t schematicId, const std::string& imagePath);

// The title, the three sections and the parts list of a computed design.
ReportContent ReportContentOf(const AmplifierDesign& design);
// The same with the simulation section of a verification of the design
// (and of its robustness analyses, if any).
ReportContent ReportContentOf(const AmplifierDesign& design, const Verification& verification,
                              const TuningProposal* proposal = nullptr,
                              const RobustnessResults* robustness = nullptr);

// Adds the report of a design with the picture of its schematic.
void AddReport(PendingWrites& writes, const std::string& reportPath, const AmplifierDesign& design);

// Saves the report of a design with the picture of its schematic.
[[nodiscard]] Status WriteReport(const std::string& reportPath, const AmplifierDesign& design);

} // namespace norvane
