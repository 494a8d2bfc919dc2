#include "report/Report.h"

#include "format/EngineeringFormat.h"
#include "present/AnalysisSections.h"
#include "present/BodePlot.h"
#include "report/SchematicImages.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <utility>

namespace norvane {
namespace {

// ---------------------------------------------------------------------------
// Escaping

constexpr char32_t ReplacementCharacter = 0xFFFD;

// The character at text[i] and the number of bytes it takes. A valid UTF-8
// sequence (shortest form, no surrogates, at most U+10FFFF) is decoded;
// any other byte stands for the ISO-8859-1 character of its value.
std::pair<char32_t, std::size_t> NextCharacter(std::string_view text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::pair<char32_t, std::size_t> single{lead, 1};
    if (lead < 0x80)
        return single;

    std::size_t length = 0;
    char32_t code = 0;
    unsigned char low = 0x80; // range of the second byte
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
        if (lead == 0xE0)
            low = 0xA0; // no overlong forms
        else if (lead == 0xED)
            high = 0x9F; // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
        if (lead == 0xF0)
            low = 0x90; // no overlong forms
        else if (lead == 0xF4)
            high = 0x8F; // nothing beyond U+10FFFF
    } else {
        return single;
    }
    if (text.size() - i < length)
        return single;
    for (std::size_t k = 1; k < length; ++k) {
        const auto byte = static_cast<unsigned char>(text[i + k]);
        if (byte < low || byte > high)
            return single;
        low = 0x80;
        high = 0xBF;
        code = (code << 6) | (byte & 0x3F);
    }
    return {code, length};
}

// Control characters and noncharacters: XML forbids most of them and
// discourages the rest, and browsers treat them as errors.
bool IsUnwelcome(char32_t c)
{
    if (c < 0x20)
        return c != U'\t' && c != U'\n';
    return (c >= 0x7F && c <= 0x9F) || (c >= 0xFDD0 && c <= 0xFDEF) || (c & 0xFFFE) == 0xFFFE;
}

// Bytes a link keeps as they are (see ImageLink); the rest of ASCII is
// percent-encoded.
bool KeptInLink(char c)
{
    const auto u = static_cast<unsigned char>(c);
    if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9'))
        return true;
    return std::string_view("-_.~ !$&'()*+,;=@").find(c) != std::string_view::npos;
}

std::string PercentEncoded(std::string_view text)
{
    constexpr char Hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto [c, length] = NextCharacter(text, i);
        const bool wholeCharacter = c >= 0x80 && length > 1 && !IsUnwelcome(c);
        for (std::size_t k = i; k < i + length; ++k) {
            const auto byte = static_cast<unsigned char>(text[k]);
            if (wholeCharacter || (byte < 0x80 && KeptInLink(text[k]))) {
                out += text[k];
            } else {
                out += '%';
                out += Hex[byte >> 4];
                out += Hex[byte & 0x0F];
            }
        }
        i += length;
    }
    return out;
}

std::string Escape(std::string_view text, bool inAttribute)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto [c, length] = NextCharacter(text, i);
        i += length;
        if (IsUnwelcome(c))
            c = ReplacementCharacter;
        switch (c) {
        case U'&': out += "&amp;"; break;
        case U'<': out += "&lt;"; break;
        case U'>': out += "&gt;"; break;
        case U'"': out += "&quot;"; break;
        default:
            if (c < 0x80 && !(inAttribute && (c == U'\t' || c == U'\n'))) {
                out += static_cast<char>(c);
            } else {
                out += "&#";
                out += std::to_string(static_cast<std::uint32_t>(c));
                out += ';';
            }
        }
    }
    return out;
}

// ---------------------------------------------------------------------------
// Report text

std::string FileNameOf(std::string_view path)
{
    const auto slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

void AppendRows(std::string& out, const ResultList& items)
{
    for (const ResultItem& item : items) {
        out += "<tr><td>";
        out += EscapeXhtmlText(item.name);
        out += " :</td><td>";
        out += EscapeXhtmlText(item.value);
        out += "</td></tr>\n";
    }
}

// A table of the simulation section. Each row opens with a header cell:
// the reader takes "<tr><td>" rows for the name-value rows of the sections
// above.
void AppendTable(std::string& out, const std::vector<std::vector<std::string>>& rows)
{
    out += "<table class=\"m\">\n";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        out += "<tr>";
        for (std::size_t c = 0; c < rows[r].size(); ++c) {
            const char* cell = r == 0 || c == 0 ? "th" : "td";
            out += std::string("<") + cell + ">" + EscapeXhtmlText(rows[r][c]) + "</" + cell + ">";
        }
        out += "</tr>\n";
    }
    out += "</table>\n";
}

std::string StaleRemovalFailureMessage(const std::string& picture, const std::string& reason)
{
    return "The report was written, but a picture of an earlier save, which it no longer shows, could "
           "not be removed from \"" +
           picture + "\":\n" + reason;
}

// Each robustness analysis that was run: its heading, its line, its table
// and its picture, or why it did not run.
void AppendRobustness(std::string& out, const std::string& reportName, const RobustnessResults& results,
                      const std::string& verified)
{
    // Analyses run in the verification window with a load, a source or
    // edited parts say so where the verification above did not.
    if (!results.Empty() && !results.m_Conditions.empty() && results.m_Conditions != verified) {
        out +=
            "<p>The analyses below were simulated with: " + EscapeXhtmlText(results.m_Conditions) + "</p>\n";
    }
    for (const AnalysisText& analysis : AnalysesAsText(results, true)) {
        out += "<h3>" + EscapeXhtmlText(analysis.m_Heading) + "</h3>\n";
        if (!analysis.m_Problem.empty()) {
            out += "<p>No result: " + EscapeXhtmlText(analysis.m_Problem) + "</p>\n";
            continue;
        }
        out += "<p>" + EscapeXhtmlText(analysis.m_Line) + "</p>\n";
        AppendTable(out, analysis.m_Table);
        if (analysis.m_Svg.empty()) {
            continue;
        }
        out += "<p><img src=\"" + EscapeXhtmlAttribute(PictureLink(reportName, analysis.m_Name)) +
               "\" alt=\"" + EscapeXhtmlAttribute(analysis.m_Heading) + "\" /></p>\n";
    }
}

// The simulation section: verdict, proposal, table, Bode plot, and the
// robustness analyses that were run.
void AppendSimulation(std::string& out, const std::string& reportName, const ReportSimulation& simulation)
{
    out += "<h2>Simulation (ngspice)</h2>\n";
    out += "<p>" + EscapeXhtmlText(simulation.m_Verdict) + "</p>\n";
    if (!simulation.m_Tuning.empty()) {
        out += "<p>" + EscapeXhtmlText(simulation.m_Tuning) + "</p>\n";
    }
    std::vector<std::vector<std::string>> rows{
        {"Quantity", "Requirement", "Designed", "Simulated", "Verdict"}};
    for (const VerificationRow& row : simulation.m_Rows) {
        rows.push_back({row.m_Quantity, row.m_Required, row.m_Designed, row.m_Simulated, row.m_Verdict});
    }
    AppendTable(out, rows);
    if (!simulation.m_BodeSvg.empty()) {
        out += "<p><img src=\"" + EscapeXhtmlAttribute(BodeImageLink(reportName)) +
               "\" alt=\"Bode plot\" /></p>\n";
    }
    AppendRobustness(out, reportName, simulation.m_Robustness, simulation.m_Conditions);
    out += "\n";
}

constexpr const char* BodePicture = "bode";

// A picture of the simulation section: where it goes, the document, and
// what it is for the messages ("Bode plot").
struct SimulationPicture {
    std::string m_Path;
    std::string m_Svg;
    std::string m_What;
};

// The Bode plot and the picture of each robustness analysis, as far as
// the section has them.
std::vector<SimulationPicture> SimulationPictures(const std::string& reportPath, const ReportContent& content)
{
    std::vector<SimulationPicture> pictures;
    if (!content.m_Simulation) {
        return pictures;
    }
    if (!content.m_Simulation->m_BodeSvg.empty()) {
        pictures.push_back(
            {PictureFilePath(reportPath, BodePicture), content.m_Simulation->m_BodeSvg, "Bode plot"});
    }
    for (AnalysisText& analysis : AnalysesAsText(content.m_Simulation->m_Robustness, true)) {
        if (!analysis.m_Svg.empty()) {
            pictures.push_back({PictureFilePath(reportPath, analysis.m_Name), std::move(analysis.m_Svg),
                                analysis.m_Name + " plot"});
        }
    }
    return pictures;
}

// A setting's value as the result shows it where that reads back exactly,
// else the shortest text that does; unit "F" for a capacitor, none for a
// resistance.
std::string SetupValue(double value, const char* unit)
{
    const std::string shown = FormatEngineering(value);
    if (ReadEngineering(shown) == value) {
        return shown + unit;
    }
    std::array<char, 32> digits{};
    const auto end = std::to_chars(digits.data(), digits.data() + digits.size(), value).ptr;
    return std::string(digits.data(), end) + (*unit ? " " : "") + unit;
}

// The pictures an earlier save may have left in the image folder that this
// one does not write: every name the simulation section can give a
// picture, less those of pictures. Nothing else in the folder is touched.
std::vector<std::string> StalePictures(const std::string& reportPath,
                                       const std::vector<SimulationPicture>& pictures)
{
    std::vector<std::string> stale;
    const auto add = [&](std::string_view picture) {
        std::string path = PictureFilePath(reportPath, picture);
        if (std::ranges::find(pictures, path, &SimulationPicture::m_Path) == pictures.end()) {
            stale.push_back(std::move(path));
        }
    };
    add(BodePicture);
    for (const char* analysis : AnalysisNames) {
        add(analysis);
    }
    return stale;
}

} // namespace

std::string ExactPartValue(const std::string& part, double value)
{
    return SetupValue(value, part.starts_with('C') ? "F" : "");
}

ResultList SetupRows(const DesignSetup& setup)
{
    ResultList rows;
    for (const auto& [part, value] : setup.m_Applied) {
        rows.push_back({"Applied " + part, ExactPartValue(part, value)});
    }
    const VerificationOptions& conditions = setup.m_Conditions;
    for (const auto& [part, value] : conditions.m_PartValues) {
        rows.push_back({"What if " + part, ExactPartValue(part, value)});
    }
    if (conditions.m_LoadResistance > 0) {
        rows.push_back({"Load", ExactPartValue("Load", conditions.m_LoadResistance)});
    }
    if (conditions.m_SourceResistance > 0) {
        rows.push_back({"Source", ExactPartValue("Source", conditions.m_SourceResistance)});
    }
    const AnalysisRequest& analyses = setup.m_Analyses;
    std::string run;
    for (const auto& [name, asked] : {std::pair{"tolerances", analyses.m_ToleranceRuns > 0},
                                      {"temperature", analyses.m_Temperature},
                                      {"distortion", analyses.m_Distortion},
                                      {"noise", analyses.m_Noise},
                                      {"worst case", analyses.m_WorstCase}}) {
        if (asked) {
            run += (run.empty() ? "" : ", ") + std::string(name);
        }
    }
    if (!run.empty()) {
        rows.push_back({"Analyses", run});
    }
    if (analyses.m_ToleranceRuns > 0) {
        rows.push_back({"Tolerance runs", std::to_string(analyses.m_ToleranceRuns)});
        rows.push_back({"Tolerance seed", std::to_string(analyses.m_Seed)});
    }
    return rows;
}

std::string EscapeXhtmlText(std::string_view text)
{
    return Escape(text, false);
}

std::string EscapeXhtmlAttribute(std::string_view text)
{
    return Escape(text, true);
}

std::string BuildReport(const std::string& reportName, const ReportContent& content)
{
    const std::string name = EscapeXhtmlText(reportName);
    // Only a report with robustness analyses has their headings.
    const bool robustness = content.m_Simulation && !content.m_Simulation->m_Robustness.Empty();

    std::string out;
    out.reserve(4096);
    out += "<?xml version=\"1.0\"?>\n\n";
    out += "<!DOCTYPE html PUBLIC\n";
    out += "\"-//W3C//DTD XHTML 1.0 Strict//EN\"\n";
    out += "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">\n\n";
    out += "<html xmlns=\"http://www.w3.org/1999/xhtml\">\n\n";
    out += "<head>\n";
    out += "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\" />\n";
    out += "<title>Norvane-Design \"" + name + "\"</title>\n";

    out += "<style type=\"text/css\" media=\"screen\">\n";
    out += "body { margin: 1em; font-family: Arial }\n";
    out += ".o td { padding: 0 1em 0 0 }\n";
    out += "p, .o td { font-size: 1em }\n";
    out += "h1 { font-size: 1.2em; margin: 0 0 0.5em 0 }\n";
    out += "h2 { font-size: 1.1em; margin: 1em 0 0.5em 0 }\n";
    if (robustness) {
        out += "h3 { font-size: 1em; margin: 1em 0 0.5em 0 }\n";
    }
    out += ".c { font-size: 0.9em; margin: 0 }\n";
    out += ".m { border: 1px solid #000; border-collapse: collapse }\n";
    out += ".m td, .m th { border: 1px solid #000; font-size: 1em; padding: 0.4em; text-align: center }\n";
    out += "hr { border: solid #000 1px; height: 1px }\n";
    out += "</style>\n";

    out += "<style type=\"text/css\" media=\"print\">\n";
    out += "body { margin: 0; font-family: Arial }\n";
    out += ".o td { padding: 0 10px 0 0 }\n";
    out += "p, .o td { font-size: 11pt }\n";
    out += "h1 { font-size: 14pt; margin: 0 0 6px 0 }\n";
    out += "h2 { font-size: 12pt; margin: 12px 0 8px 0 }\n";
    if (robustness) {
        out += "h3 { font-size: 11pt; margin: 10px 0 6px 0 }\n";
    }
    out += ".c { font-size: 10pt; margin: 0 }\n";
    out += ".o { border: 0; padding: 0 10px 0 0 }\n";
    out += ".m { border: 1px solid #000; border-collapse: collapse }\n";
    out += ".m td, .m th { border: 1px solid #000; font-size: 11pt; padding: 5px; text-align: center }\n";
    out += "hr { border: solid #000 1px; height: 1px }\n";
    out += "</style>\n";
    out += "</head>\n\n";

    out += "<body>\n\n";
    out += "<h1>Norvane-Design \"" + name + "\"</h1>\n\n";
    for (const std::string& note : content.m_Notes) {
        out += "<p><strong>" + EscapeXhtmlText(note) + "</strong></p>\n\n";
    }
    if (content.m_Simulation) {
        out += "<p>" + EscapeXhtmlText(content.m_Simulation->m_Verdict) + "</p>\n\n";
    }

    out += "<h2>Input data</h2>\n";
    out += "<table>\n";
    out += "<tr><td>Circuit :</td><td>" + EscapeXhtmlText(content.m_CircuitTitle) + "</td></tr>\n";
    AppendRows(out, content.m_InputData);
    out += "</table>\n\n";

    out += "<h2>Circuit</h2>\n";
    out += "<p><img src=\"" + EscapeXhtmlAttribute(ImageLink(reportName)) + "\" alt=\"circuit\" /></p>\n\n";

    out += "<h2>Component values</h2>\n";
    out += "<table>\n";
    AppendRows(out, content.m_ComponentValues);
    out += "</table>\n\n";

    if (!content.m_PartsList.empty()) {
        out += "<h2>Parts list</h2>\n";
        AppendTable(out, content.m_PartsList);
        const std::string line = EscapeXhtmlText(content.m_PartsLine);
        out +=
            content.m_PartsWarning ? "<p><strong>" + line + "</strong></p>\n\n" : "<p>" + line + "</p>\n\n";
    }

    out += "<h2>Operation point</h2>\n";
    out += "<table>\n";
    AppendRows(out, content.m_OperationPoint);
    out += "</table>\n\n";

    if (!content.m_Setup.Empty()) {
        out += std::string("<h2>") + SetupHeading + "</h2>\n";
        out += "<p>Set beside the requirements; opening the report brings it back.</p>\n";
        out += "<table>\n";
        AppendRows(out, SetupRows(content.m_Setup));
        out += "</table>\n\n";
    }

    if (content.m_Simulation) {
        AppendSimulation(out, reportName, *content.m_Simulation);
    }

    out += "<hr />\n\n";
    out += "<p class=\"c\">Created using Norvane ";
    out += ProgramVersion;
    out += ", written by ";
    out += EscapeXhtmlText(AuthorName);
    out += "\n";
    const std::string address = EscapeXhtmlAttribute(ProductWebAddress);
    out += "<a href=\"" + address + "\">" + EscapeXhtmlText(ProductWebAddress) + "</a></p>\n\n";
    out += "</body>\n";
    out += "</html>\n";
    return out;
}

std::string ReportNameFromPath(std::string_view path)
{
    const std::string file = FileNameOf(path);
    const auto dot = file.rfind('.');
    return dot == std::string::npos ? file : file.substr(0, dot);
}

std::string FolderFromPath(std::string_view path)
{
    const auto slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string ImageFolderPath(std::string_view reportPath)
{
    return FolderFromPath(reportPath) + ReportNameFromPath(reportPath) + "-Files";
}

std::string ImageFilePath(std::string_view reportPath)
{
    return ImageFolderPath(reportPath) + "/" + ReportNameFromPath(reportPath) + ".png";
}

std::string BodeImageFilePath(std::string_view reportPath)
{
    return PictureFilePath(reportPath, "bode");
}

std::string PictureFilePath(std::string_view reportPath, std::string_view picture)
{
    return ImageFolderPath(reportPath) + "/" + ReportNameFromPath(reportPath) + "-" + std::string(picture) +
           ".svg";
}

std::string ImageReference(const std::string& reportName)
{
    return reportName + "-Files/" + reportName + ".png";
}

std::string ImageLink(const std::string& reportName)
{
    const std::string name = PercentEncoded(reportName);
    return name + "-Files/" + name + ".png";
}

std::string BodeImageLink(const std::string& reportName)
{
    return PictureLink(reportName, "bode");
}

std::string PictureLink(const std::string& reportName, std::string_view picture)
{
    const std::string name = PercentEncoded(reportName);
    return name + "-Files/" + name + "-" + std::string(picture) + ".svg";
}

std::string ReportWriteFailureMessage(const std::string& reportPath, const std::string& reason)
{
    return "The report could not be written to \"" + reportPath + "\":\n" + reason;
}

std::string ImageFolderFailureMessage(const std::string& folderPath, const std::string& reason)
{
    return "The report was written, but the folder \"" + folderPath +
           "\" for its circuit image could not be created:\n" + reason;
}

std::string ImageWriteFailureMessage(const std::string& imagePath, const std::string& reason)
{
    return "The report was written, but its circuit image could not be written to \"" + imagePath + "\":\n" +
           reason;
}

Status WriteSchematicPng(std::span<const std::uint8_t> png, const std::string& imagePath)
{
    PendingWrites writes;
    writes.AddFile(imagePath, std::string(png.begin(), png.end()), ImageWriteFailureMessage);
    return writes.Commit();
}

std::string ReportSharingPictureFolder(const std::string& reportPath)
{
    const std::string folder = FolderFromPath(reportPath);
    const std::string file = FileNameOf(reportPath);
    const std::string name = ReportNameFromPath(reportPath);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, error)) {
        const std::string other = entry.path().filename().string();
        std::string extension = other.substr(std::min(other.size(), name.size()));
        for (char& c : extension) {
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; // not the locale's tolower
        }
        if (other != file && other.starts_with(name) && ReportNameFromPath(other) == name &&
            (extension == ".html" || extension == ".xhtml" || extension == ".htm" || extension == ".xht")) {
            return other;
        }
    }
    return {};
}

Status WriteReport(const std::string& reportPath, const ReportContent& content,
                   std::span<const std::uint8_t> schematicPng)
{
    if (const std::string other = ReportSharingPictureFolder(reportPath); !other.empty()) {
        return Failure{ReportWriteFailureMessage(reportPath, "the folder \"" + ImageFolderPath(reportPath) +
                                                                 "\" holds the pictures of the report \"" +
                                                                 other + "\"; give this one another name")};
    }
    PendingWrites report;
    report.AddFile(reportPath, BuildReport(ReportNameFromPath(reportPath), content),
                   ReportWriteFailureMessage);
    if (Status written = report.Commit(); !written)
        return written;

    PendingWrites image;
    image.AddFolder(ImageFolderPath(reportPath), ImageFolderFailureMessage);
    image.AddFile(ImageFilePath(reportPath), std::string(schematicPng.begin(), schematicPng.end()),
                  ImageWriteFailureMessage);
    std::vector<SimulationPicture> pictures = SimulationPictures(reportPath, content);
    for (std::string& stale : StalePictures(reportPath, pictures)) {
        image.AddRemoval(std::move(stale), StaleRemovalFailureMessage);
    }
    for (SimulationPicture& picture : pictures) {
        image.AddFile(picture.m_Path, std::move(picture.m_Svg),
                      [what = picture.m_What](const std::string& plot, const std::string& reason) {
                          return "The report was written, but its " + what + " could not be written to \"" +
                                 plot + "\":\n" + reason;
                      });
    }
    return image.Commit();
}

void AddReport(PendingWrites& writes, const std::string& reportPath, const ReportContent& content,
               std::span<const std::uint8_t> schematicPng)
{
    writes.AddFile(reportPath, BuildReport(ReportNameFromPath(reportPath), content),
                   ReportWriteFailureMessage);
    // Nothing is written yet when these fail, so they do not say that the
    // report was.
    writes.AddFolder(ImageFolderPath(reportPath), [](const std::string& folder, const std::string& reason) {
        return "The folder \"" + folder + "\" for the circuit image of the report could not be created:\n" +
               reason;
    });
    writes.AddFile(ImageFilePath(reportPath), std::string(schematicPng.begin(), schematicPng.end()),
                   [](const std::string& image, const std::string& reason) {
                       return "The circuit image of the report could not be written to \"" + image + "\":\n" +
                              reason;
                   });
    std::vector<SimulationPicture> pictures = SimulationPictures(reportPath, content);
    for (std::string& stale : StalePictures(reportPath, pictures)) {
        writes.AddRemoval(std::move(stale), StaleRemovalFailureMessage);
    }
    for (SimulationPicture& picture : pictures) {
        writes.AddFile(picture.m_Path, std::move(picture.m_Svg),
                       [what = picture.m_What](const std::string& image, const std::string& reason) {
                           std::string text = "The " + what + " of the report could not be written to \"";
                           return text + image + "\":\n" + reason;
                       });
    }
}

Status WriteSchematicPng(std::uint16_t schematicId, const std::string& imagePath)
{
    if (!IsSchematicId(schematicId)) {
        return Failure{
            ImageWriteFailureMessage(imagePath, "no schematic has the id " + std::to_string(schematicId))};
    }
    return WriteSchematicPng(SchematicPng(schematicId), imagePath);
}

ReportContent ReportContentOf(const AmplifierDesign& design)
{
    ReportContent content{design.Title(), design.GetInputData(), design.GetComponentValues(),
                          design.GetOperationPoint(), DesignNotes(design)};
    const PartsList parts = PartsListOf(design);
    content.m_PartsList = PartsListTable(parts);
    content.m_PartsLine = parts.m_Line;
    content.m_PartsWarning = parts.m_Exceeded;
    content.m_Setup.m_Applied = design.AppliedPartValues();
    return content;
}

ReportSimulation ReportSimulationOf(const Verification& verification, const TuningProposal* proposal,
                                    const RobustnessResults* robustness)
{
    ReportSimulation section{verification.m_Verdict.Line(),
                             {},
                             verification.m_Rows,
                             BodeSvg(verification.m_Simulation, verification.m_Targets.m_LowerCutoff)};
    section.m_Conditions = verification.m_Verdict.m_Conditions;
    if (proposal != nullptr) {
        section.m_Tuning = "Proposed: " + proposal->Line();
    }
    if (robustness != nullptr) {
        section.m_Robustness = *robustness;
    }
    return section;
}

ReportContent ReportContentOf(const AmplifierDesign& design, const Verification& verification,
                              const TuningProposal* proposal, const RobustnessResults* robustness)
{
    ReportContent content = ReportContentOf(design);
    content.m_Simulation = ReportSimulationOf(verification, proposal, robustness);
    return content;
}

void AddReport(PendingWrites& writes, const std::string& reportPath, const AmplifierDesign& design)
{
    AddReport(writes, reportPath, ReportContentOf(design), SchematicPng(design.SchematicId()));
}

Status WriteReport(const std::string& reportPath, const AmplifierDesign& design)
{
    return WriteReport(reportPath, ReportContentOf(design), SchematicPng(design.SchematicId()));
}

} // namespace norvane
