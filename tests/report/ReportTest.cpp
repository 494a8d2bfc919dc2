#include "report/Report.h"

#include "design/CommonBaseDesign.h"
#include "report/ReportReader.h"
#include "support/Prerequisites.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>

#include <grp.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

namespace norvane {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Contents of the three circuits with their dialog defaults

// The header of every parts list.
const std::vector<std::string> PartsHeader{"Part", "Value", "Tolerance", "Stress", "Rating", "Type", "Note"};
const std::string DefaultT1Rating = "VCEO 20 V, IC max 100 mA, Ptot 300 mW";

ReportContent CommonEmitterDefaults()
{
    ReportContent content{"Common-Emitter circuit",
                          {{"Voltage gain", "0 dB"},
                           {"f_min", "10 Hz"},
                           {"Z_in", "50 k"},
                           {"Z_out", "2 k"},
                           {"Standard series", "E24"}},
                          {{"UB", "12 V"},
                           {"T1", "BC548B"},
                           {"R1", "180 k"},
                           {"R2", "82 k"},
                           {"R3", "2 k"},
                           {"R4", "2 k"},
                           {"C1", "560 nF"},
                           {"C2", "15 uF"}},
                          {{"Ic", "1.425 mA"}, {"Uce", "6.3 V"}, {"P", "8.98 mW"}}};
    content.m_PartsList = {
        PartsHeader,
        {"T1", "BC548B", "", "Uce 6.3 V (up to 12 V), Ic 1.425 mA, P 8.98 mW", DefaultT1Rating,
         "NPN transistor, TO-92", ""},
        {"R1", "180 k", "5 %", "401.9 uW", "0.125 W", "carbon film resistor", ""},
        {"R2", "82 k", "5 %", "149 uW", "0.125 W", "carbon film resistor", ""},
        {"R3", "2 k", "5 %", "4.061 mW", "0.125 W", "carbon film resistor", ""},
        {"R4", "2 k", "5 %", "4.088 mW", "0.125 W", "carbon film resistor", ""},
        {"C1", "560 nF", "20 %", "3.495 V", "16 V", "ceramic C0G or film capacitor", ""},
        {"C2", "15 uF", "20 %", "9.15 V", "16 V", "aluminium electrolytic capacitor", "+ at collector"}};
    content.m_PartsLine = "T1 BC548B: Uce up to 12 V within VCEO 20 V; Ic 1.425 mA within IC max 100 mA; P "
                          "8.98 mW within Ptot 300 mW at 25 degC";
    return content;
}

ReportContent CommonBaseDefaults()
{
    ReportContent content{"Common-Base circuit",
                          {{"f_min", "100 kHz"}, {"Z_out", "2 k"}, {"Standard series", "E24"}},
                          {{"UB", "12 V"},
                           {"T1", "BC548B"},
                           {"R1", "390"},
                           {"R2", "2 k"},
                           {"R3", "620 k"},
                           {"R4", "200 k"},
                           {"C1", "330 nF"},
                           {"C2", "1.5 nF"},
                           {"C3", "1 nF"}},
                          {{"Ic", "2.6 mA"}, {"Uce", "5.786 V"}, {"P", "15.05 mW"}}};
    content.m_PartsList = {PartsHeader,
                           {"T1", "BC548B", "", "Uce 5.786 V (up to 12 V), Ic 2.6 mA, P 15.05 mW",
                            DefaultT1Rating, "NPN transistor, TO-92", ""},
                           {"R1", "390", "5 %", "2.654 mW", "0.125 W", "carbon film resistor", ""},
                           {"R2", "2 k", "5 %", "13.52 mW", "0.125 W", "carbon film resistor", ""},
                           {"R3", "620 k", "5 %", "173.5 uW", "0.125 W", "carbon film resistor", ""},
                           {"R4", "200 k", "5 %", "13.28 uW", "0.125 W", "carbon film resistor", ""},
                           {"C1", "330 nF", "20 %", "1.017 V", "16 V", "ceramic C0G or film capacitor", ""},
                           {"C2", "1.5 nF", "20 %", "6.8 V", "16 V", "ceramic C0G or film capacitor", ""},
                           {"C3", "1 nF", "20 %", "1.63 V", "16 V", "ceramic C0G or film capacitor", ""}};
    content.m_PartsLine = "T1 BC548B: Uce up to 12 V within VCEO 20 V; Ic 2.6 mA within IC max 100 mA; P "
                          "15.05 mW within Ptot 300 mW at 25 degC";
    return content;
}

ReportContent CommonCollectorDefaults()
{
    ReportContent content{"Common-Collector circuit",
                          {{"f_min", "10 Hz"}, {"Z_in", "50 k"}, {"Ic", "2 mA"}, {"Standard series", "E24"}},
                          {{"UB", "12 V"},
                           {"T1", "BC548B"},
                           {"R1", "91 k"},
                           {"R2", "110 k"},
                           {"R3", "3 k"},
                           {"C1", "560 nF"},
                           {"C2", "8.2 uF"}},
                          {{"Ic", "1.9 mA"}, {"Uce", "6.281 V"}, {"P", "11.94 mW"}}};
    content.m_PartsList = {
        PartsHeader,
        {"T1", "BC548B", "", "Uce 6.281 V (up to 12 V), Ic 1.9 mA, P 11.94 mW", DefaultT1Rating,
         "NPN transistor, TO-92", ""},
        {"R1", "91 k", "5 %", "362.2 uW", "0.125 W", "carbon film resistor", ""},
        {"R2", "110 k", "5 %", "356.1 uW", "0.125 W", "carbon film resistor", ""},
        {"R3", "3 k", "5 %", "10.9 mW", "0.125 W", "carbon film resistor", ""},
        {"C1", "560 nF", "20 %", "6.259 V", "16 V", "ceramic C0G or film capacitor", ""},
        {"C2", "8.2 uF", "20 %", "5.719 V", "16 V", "aluminium electrolytic capacitor", "+ at emitter"}};
    content.m_PartsLine = "T1 BC548B: Uce up to 12 V within VCEO 20 V; Ic 1.9 mA within IC max 100 mA; P "
                          "11.94 mW within Ptot 300 mW at 25 degC";
    return content;
}

// ---------------------------------------------------------------------------
// Helpers

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << "cannot read " << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out) << "cannot write " << path;
}

std::set<std::string> Entries(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.insert(entry.path().filename().string());
    return names;
}

bool IsPureAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b == '\t' || b == '\n' || (b >= 0x20 && b < 0x7F);
    });
}

std::vector<std::uint8_t> Bytes(std::size_t count, std::uint8_t seed)
{
    std::vector<std::uint8_t> bytes(count);
    for (std::size_t i = 0; i < count; ++i)
        bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
    return bytes;
}

std::string AsText(const std::vector<std::uint8_t>& bytes)
{
    return {bytes.begin(), bytes.end()};
}

// A fresh folder of its own for each test, removed afterwards.
class TemporaryFolder {
public:
    TemporaryFolder()
    {
        std::string pattern = (fs::path(::testing::TempDir()) / "norvane-report-XXXXXX").string();
        const char* made = ::mkdtemp(pattern.data());
        EXPECT_NE(made, nullptr);
        path_ = pattern;
    }
    ~TemporaryFolder()
    {
        std::error_code ignored;
        fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

// Runs xmllint on the file, without any network access and without loading
// the DTD: a check of well-formedness. Extra arguments go before the file.
::testing::AssertionResult RunXmllint(const std::string& file, const std::string& arguments,
                                      std::string* output = nullptr)
{
    const std::string out = file + ".out";
    const std::string err = file + ".err";
    const std::string command =
        "xmllint --noout --nonet " + arguments + " '" + file + "' >'" + out + "' 2>'" + err + "'";
    const int status = std::system(command.c_str());
    if (output != nullptr)
        *output = ReadFile(out);
    const std::string errors = ReadFile(err);
    fs::remove(out);
    fs::remove(err);
    if (status != 0)
        return ::testing::AssertionFailure() << "xmllint refuses " << file << ":\n" << errors;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult WellFormedFile(const std::string& file)
{
    return RunXmllint(file, "");
}

::testing::AssertionResult WellFormedText(const std::string& text)
{
    TemporaryFolder folder;
    const std::string file = folder / "report.html";
    WriteFile(file, text);
    return WellFormedFile(file);
}

// The text of the first element of that local name, as an XML reader sees it
// (character references resolved, in UTF-8).
std::string ReadBack(const std::string& file, const std::string& xpathOfString)
{
    std::string output;
    EXPECT_TRUE(RunXmllint(file, "--xpath '" + xpathOfString + "'", &output));
    // --noout does not silence --xpath; xmllint ends the result with a line feed.
    if (!output.empty() && output.back() == '\n')
        output.pop_back();
    return output;
}

#define REQUIRE_XMLLINT()                                                                                    \
    do {                                                                                                     \
        static const std::string missing = norvane::test::MissingProgram("xmllint", "libxml2-utils");        \
        if (!missing.empty())                                                                                \
            FAIL() << missing;                                                                               \
    } while (false)

// ---------------------------------------------------------------------------
// The report text

struct GoldenCase {
    const char* file;
    ReportContent (*content)();
};

class GoldenReport : public ::testing::TestWithParam<GoldenCase> {};

TEST_P(GoldenReport, MatchesByteForByteAndIsWellFormedPureAscii)
{
    const std::string golden = ReadFile(fs::path(NORVANE_REPORT_GOLDEN_DIR) / GetParam().file);
    ASSERT_FALSE(golden.empty());
    const std::string report = BuildReport("amp1", GetParam().content());
    EXPECT_EQ(report, golden);
    EXPECT_TRUE(IsPureAscii(report));
    EXPECT_EQ(report.find('\r'), std::string::npos);

    REQUIRE_XMLLINT();
    EXPECT_TRUE(WellFormedText(report));
}

INSTANTIATE_TEST_SUITE_P(Report, GoldenReport,
                         ::testing::Values(GoldenCase{"common-emitter-defaults.html", CommonEmitterDefaults},
                                           GoldenCase{"common-base-defaults.html", CommonBaseDefaults},
                                           GoldenCase{"common-collector-defaults.html",
                                                      CommonCollectorDefaults}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             name = name.substr(0, name.find('.'));
                             std::erase(name, '-');
                             return name;
                         });

TEST(Report, FooterNamesTheProgramVersionOfTheBuild)
{
    const std::string report = BuildReport("amp1", CommonEmitterDefaults());
    EXPECT_NE(report.find(std::string("<p class=\"c\">Created using Norvane ") + NORVANE_PROJECT_VERSION +
                          ", written by " + AuthorName + "\n<a href=\"" + ProductWebAddress + "\">" +
                          ProductWebAddress + "</a></p>\n\n</body>\n</html>\n"),
              std::string::npos);
}

TEST(Report, EmptySectionsStillGiveTheCircuitRowAndEmptyTables)
{
    // What a report shows when nothing has been calculated: no items at all.
    const std::string report = BuildReport("amp1", ReportContent{"Common-Base circuit", {}, {}, {}});
    EXPECT_NE(
        report.find("<h2>Input data</h2>\n<table>\n<tr><td>Circuit :</td><td>Common-Base circuit</td></tr>\n"
                    "</table>\n\n"),
        std::string::npos);
    EXPECT_NE(report.find("<h2>Component values</h2>\n<table>\n</table>\n\n"), std::string::npos);
    REQUIRE_XMLLINT();
    EXPECT_TRUE(WellFormedText(report));
}

// A design that cannot be built carries a note right below the heading;
// a usable one has none.
TEST(Report, NoteOfAnUnusableDesignFollowsTheHeading)
{
    ReportContent content{"Common-Emitter circuit", {}, {}, {}};
    EXPECT_EQ(BuildReport("amp1", content).find("<strong>"), std::string::npos);
    content.m_Notes = {"This design is not usable: Uce < 1 V & more", "second"};
    const std::string report = BuildReport("amp1", content);
    EXPECT_NE(report.find("</h1>\n\n<p><strong>This design is not usable: Uce &lt; 1 V &amp; more"
                          "</strong></p>\n\n<p><strong>second</strong></p>\n\n<h2>Input data</h2>"),
              std::string::npos);
    REQUIRE_XMLLINT();
    EXPECT_TRUE(WellFormedText(report));
}

// ---------------------------------------------------------------------------
// Escaping

TEST(Escaping, MarkupCharactersBecomeEntityReferences)
{
    EXPECT_EQ(EscapeXhtmlText("a&b<c>d\"e'f"), "a&amp;b&lt;c&gt;d&quot;e'f");
    EXPECT_EQ(EscapeXhtmlText("&amp;"), "&amp;amp;"); // text is never taken as markup
    EXPECT_EQ(EscapeXhtmlText("R1 :2.2 k"), "R1 :2.2 k");
    EXPECT_EQ(EscapeXhtmlText(""), "");
}

TEST(Escaping, CharactersBeyondAsciiBecomeNumericReferences)
{
    EXPECT_EQ(EscapeXhtmlText("Verst\xC3\xA4rker"), "Verst&#228;rker"); // two bytes
    EXPECT_EQ(EscapeXhtmlText("\xE2\x82\xAC 5"), "&#8364; 5");          // three bytes
    EXPECT_EQ(EscapeXhtmlText("\xF0\x9F\x94\x8A"), "&#128266;");        // four bytes
    EXPECT_EQ(EscapeXhtmlText("\xC2\xB5"
                              "F \xCE\xA9"),
              "&#181;F &#937;");                                  // micro sign, omega
    EXPECT_EQ(EscapeXhtmlText("\xF4\x8F\xBF\xBD"), "&#1114109;"); // last plane
}

TEST(Escaping, BytesThatAreNotUtf8AreTakenAsIso88591)
{
    EXPECT_EQ(EscapeXhtmlText("Verst\xE4rker"), "Verst&#228;rker"); // lone lead byte
    EXPECT_EQ(EscapeXhtmlText("\xE4"), "&#228;");                   // cut off at the end
    EXPECT_EQ(EscapeXhtmlText("\xFC\xDF"), "&#252;&#223;");
    EXPECT_EQ(EscapeXhtmlText("\xC3\xA4\xE4"), "&#228;&#228;");                       // valid, then invalid
    EXPECT_EQ(EscapeXhtmlText("\xC0\xAF"), "&#192;&#175;");                           // overlong form of '/'
    EXPECT_EQ(EscapeXhtmlText("\xE0\x80\xAF"), "&#224;&#65533;&#175;");               // overlong, three bytes
    EXPECT_EQ(EscapeXhtmlText("\xED\xA0\x80"), "&#237;&#160;&#65533;");               // a surrogate
    EXPECT_EQ(EscapeXhtmlText("\xF4\x90\x80\x80"), "&#244;&#65533;&#65533;&#65533;"); // beyond U+10FFFF
    EXPECT_EQ(EscapeXhtmlText("\xFF\xFE"), "&#255;&#254;");
}

TEST(Escaping, ControlCharactersAndNoncharactersBecomeReplacementCharacters)
{
    EXPECT_EQ(EscapeXhtmlText(std::string("a\0b", 3)), "a&#65533;b");
    EXPECT_EQ(EscapeXhtmlText("\x01\x1B\x1F\x7F"), "&#65533;&#65533;&#65533;&#65533;");
    EXPECT_EQ(EscapeXhtmlText("a\rb"), "a&#65533;b");
    EXPECT_EQ(EscapeXhtmlText("\xC2\x85"), "&#65533;");                         // C1 control, UTF-8
    EXPECT_EQ(EscapeXhtmlText("\x85"), "&#65533;");                             // C1 control, ISO-8859-1
    EXPECT_EQ(EscapeXhtmlText("\xEF\xBF\xBE\xEF\xBF\xBF"), "&#65533;&#65533;"); // U+FFFE, U+FFFF
    EXPECT_EQ(EscapeXhtmlText("\xEF\xB7\x90"), "&#65533;");                     // U+FDD0
    EXPECT_EQ(EscapeXhtmlText("\xEF\xBF\xBD"), "&#65533;");                     // U+FFFD itself
    // Tab and line feed are kept in text, and written as references in
    // attributes, where a reader would turn them into blanks.
    EXPECT_EQ(EscapeXhtmlText("a\tb\nc"), "a\tb\nc");
    EXPECT_EQ(EscapeXhtmlAttribute("a\tb\nc&\""), "a&#9;b&#10;c&amp;&quot;");
}

// Everything inserted into the report is escaped in its place, the file stays
// pure ASCII and well-formed, and an XML reader gets the original texts back.
TEST(Escaping, InsertedTextsReadBackUnchanged)
{
    const std::string name = "A&B <1> \"Verst\xC3\xA4rker\" \xE2\x82\xAC";
    ReportContent content{"Common-\"Emitter\" & <circuit>",
                          {{"Z<in>", "50 k & more"}},
                          {{"T1", "BC548\xC3\x9F\""}},
                          {{"P", "8.98 \xC2\xB5W"}}};
    const std::string report = BuildReport(name, content);
    EXPECT_TRUE(IsPureAscii(report));

    const std::string escapedName = "A&amp;B &lt;1&gt; &quot;Verst&#228;rker&quot; &#8364;";
    EXPECT_NE(report.find("<title>Norvane-Design \"" + escapedName + "\"</title>\n"), std::string::npos);
    EXPECT_NE(report.find("<h1>Norvane-Design \"" + escapedName + "\"</h1>\n"), std::string::npos);
    // In the link, what a URL path cannot hold is percent-encoded.
    const std::string linkName = "A&amp;B %3C1%3E %22Verst&#228;rker%22 &#8364;";
    EXPECT_NE(report.find("<img src=\"" + linkName + "-Files/" + linkName + ".png\" alt=\"circuit\" />"),
              std::string::npos);
    EXPECT_NE(
        report.find("<tr><td>Circuit :</td><td>Common-&quot;Emitter&quot; &amp; &lt;circuit&gt;</td></tr>\n"),
        std::string::npos);
    EXPECT_NE(report.find("<tr><td>Z&lt;in&gt; :</td><td>50 k &amp; more</td></tr>\n"), std::string::npos);
    EXPECT_NE(report.find("<tr><td>T1 :</td><td>BC548&#223;&quot;</td></tr>\n"), std::string::npos);
    EXPECT_NE(report.find("<tr><td>P :</td><td>8.98 &#181;W</td></tr>\n"), std::string::npos);

    REQUIRE_XMLLINT();
    TemporaryFolder folder;
    const std::string file = folder / "report.html";
    WriteFile(file, report);
    ASSERT_TRUE(WellFormedFile(file));
    EXPECT_EQ(ReadBack(file, "string(//*[local-name()=\"title\"])"), "Norvane-Design \"" + name + "\"");
    EXPECT_EQ(ReadBack(file, "string(//*[local-name()=\"h1\"])"), "Norvane-Design \"" + name + "\"");
    EXPECT_EQ(ReadBack(file, "string(//*[local-name()=\"img\"]/@src)"), ImageLink(name));
    EXPECT_EQ(ReadBack(file, "string((//*[local-name()=\"td\"])[2])"), content.m_CircuitTitle);
    EXPECT_EQ(ReadBack(file, "string((//*[local-name()=\"td\"])[3])"), "Z<in> :");
    EXPECT_EQ(ReadBack(file, "string((//*[local-name()=\"td\"])[6])"), content.m_ComponentValues[0].value);
}

TEST(Escaping, HostileNamesStillGiveWellFormedAsciiReports)
{
    REQUIRE_XMLLINT();
    const std::string names[] = {
        "Verst\xE4rker",                      // ISO-8859-1 file name on a UTF-8 system
        std::string("a\0b\x01\x1B\r\x7F", 7), // control characters
        "line\nbreak\ttab",
        "]]><!-- --><![CDATA[ x",                       // markup that must stay text
        "\xEF\xBF\xBE\xED\xA0\x80\xF8\x88\x80\x80\x80", // noncharacter, surrogate, five-byte form
        "&#0; &#xFFFE; &lt",
    };
    for (const std::string& name : names) {
        const std::string report = BuildReport(name, ReportContent{name, {{name, name}}, {}, {}});
        EXPECT_TRUE(IsPureAscii(report)) << report;
        EXPECT_TRUE(WellFormedText(report)) << report;
    }
}

// ---------------------------------------------------------------------------
// Names and paths

TEST(ReportPaths, NamesFoldersAndImagePaths)
{
    const struct {
        const char* path;
        const char* name;
        const char* folder;
        const char* imageFolder;
        const char* imageFile;
    } cases[] = {
        {"/home/ann/amp1.html", "amp1", "/home/ann/", "/home/ann/amp1-Files",
         "/home/ann/amp1-Files/amp1.png"},
        // No folder part: the image folder is relative too, not at the root.
        {"amp1.html", "amp1", "", "amp1-Files", "amp1-Files/amp1.png"},
        {"./amp1.html", "amp1", "./", "./amp1-Files", "./amp1-Files/amp1.png"},
        {"/amp1.html", "amp1", "/", "/amp1-Files", "/amp1-Files/amp1.png"},
        // The extension is cut at the last dot, and only in the file name.
        {"x.tar.html", "x.tar", "", "x.tar-Files", "x.tar-Files/x.tar.png"},
        {"/a.b/c", "c", "/a.b/", "/a.b/c-Files", "/a.b/c-Files/c.png"},
        {"/a.b/c.d/e.f.g", "e.f", "/a.b/c.d/", "/a.b/c.d/e.f-Files", "/a.b/c.d/e.f-Files/e.f.png"},
        {"design", "design", "", "design-Files", "design-Files/design.png"},
        {"amp1.", "amp1", "", "amp1-Files", "amp1-Files/amp1.png"},
        {"d/.html", "", "d/", "d/-Files", "d/-Files/.png"},
        {"/home/ann/", "", "/home/ann/", "/home/ann/-Files", "/home/ann/-Files/.png"},
        {"", "", "", "-Files", "-Files/.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(ReportNameFromPath(c.path), c.name);
        EXPECT_EQ(FolderFromPath(c.path), c.folder);
        EXPECT_EQ(ImageFolderPath(c.path), c.imageFolder);
        EXPECT_EQ(ImageFilePath(c.path), c.imageFile);
    }
}

TEST(ReportPaths, ImageReferenceIsRelativeToTheReport)
{
    EXPECT_EQ(ImageReference("amp1"), "amp1-Files/amp1.png");
    EXPECT_EQ(ImageReference("x.tar"), "x.tar-Files/x.tar.png");
    // The reference leads from the report's folder to the image file.
    const std::string path = "/home/ann/x.tar.html";
    EXPECT_EQ(FolderFromPath(path) + ImageReference(ReportNameFromPath(path)), ImageFilePath(path));
}

// The link is a URL: '#' starts a fragment, '?' a query, '%' an escape, ':'
// in the first segment a scheme, '\\' a folder step in browsers; control
// characters are dropped and other bytes read as UTF-8. Decoding it as
// RFC 3986 says must give the image's path back, byte for byte.
std::string PercentDecoded(std::string_view link)
{
    std::string out;
    for (std::size_t i = 0; i < link.size(); ++i) {
        if (link[i] == '%' && i + 2 < link.size() && std::isxdigit(static_cast<unsigned char>(link[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(link[i + 2]))) {
            out += static_cast<char>(std::stoi(std::string(link.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            out += link[i];
        }
    }
    return out;
}

TEST(ReportPaths, ImageLinkIsAUrlOfTheImage)
{
    // Plain names keep their bytes, spaces included.
    EXPECT_EQ(ImageLink("amp 1_a-b.c"), "amp 1_a-b.c-Files/amp 1_a-b.c.png");
    EXPECT_EQ(ImageLink("h#1"), "h%231-Files/h%231.png");
    EXPECT_EQ(ImageLink("50%?x"), "50%25%3Fx-Files/50%25%3Fx.png");
    EXPECT_EQ(ImageLink("c:\\d"), "c%3A%5Cd-Files/c%3A%5Cd.png");
    EXPECT_EQ(ImageLink("Verst\xE4rker"), "Verst%E4rker-Files/Verst%E4rker.png");
    EXPECT_EQ(ImageLink("a\tb\x7F"), "a%09b%7F-Files/a%09b%7F.png");
    for (const std::string name : {"h#1", "%41", "a?b#c", "line\nbreak", "Verst\xE4rker", "Verst\xC3\xA4rker",
                                   "\xEF\xBF\xBE<>\"", "x:y"}) {
        const std::string link = ImageLink(name);
        EXPECT_EQ(PercentDecoded(link), ImageReference(name)) << link;
        EXPECT_EQ(link.find_first_of("#?:\\\t\n"), std::string::npos) << link;
    }
}

// ---------------------------------------------------------------------------
// Writing

class ReportWriting : public ::testing::Test {
protected:
    TemporaryFolder folder;
    const std::string report = folder / "amp1.html";
    const std::string imageFolder = folder / "amp1-Files";
    const std::string image = folder / "amp1-Files/amp1.png";
    const std::vector<std::uint8_t> png = Bytes(2774, 0x89);
};

// Limits the size of files this process may write, for the duration of a
// test: writes beyond it fail with EFBIG, even for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(ReportWriting, WritesTheReportAndItsImageBesideIt)
{
    const Status outcome = WriteReport(report, CommonEmitterDefaults(), png);
    ASSERT_TRUE(outcome.Ok()) << outcome.Message();
    EXPECT_TRUE(outcome.Message().empty());

    EXPECT_EQ(ReadFile(report),
              ReadFile(fs::path(NORVANE_REPORT_GOLDEN_DIR) / "common-emitter-defaults.html"));
    EXPECT_EQ(ReadFile(image), AsText(png));
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"amp1.html", "amp1-Files"}));
    EXPECT_EQ(Entries(imageFolder), (std::set<std::string>{"amp1.png"}));

    REQUIRE_XMLLINT();
    EXPECT_TRUE(WellFormedFile(report));
}

// amp1.html and amp1.XHTML would share amp1-Files: the second is refused
// before anything is written, and the first saves again as before.
TEST_F(ReportWriting, ASecondReportOfTheSameFolderOfPicturesIsRefused)
{
    ASSERT_TRUE(WriteReport(report, CommonEmitterDefaults(), png).Ok());
    const Status refused = WriteReport(folder / "amp1.XHTML", CommonEmitterDefaults(), Bytes(10, 1));
    EXPECT_NE(refused.Message().find("holds the pictures of the report \"amp1.html\""), std::string::npos)
        << refused.Message();
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"amp1.html", "amp1-Files"}));
    EXPECT_EQ(ReadFile(image), AsText(png));
    EXPECT_TRUE(WriteReport(report, CommonEmitterDefaults(), png).Ok());
    EXPECT_EQ(ReportSharingPictureFolder(folder / "amp1.v2.html"), "");
}

TEST_F(ReportWriting, SavingAgainReplacesReportAndImageCompletely)
{
    ReportContent longer = CommonBaseDefaults();
    for (int i = 0; i < 50; ++i)
        longer.m_ComponentValues.push_back({"R" + std::to_string(i), "1 k"});
    ASSERT_TRUE(WriteReport(report, longer, Bytes(9000, 1)).Ok());
    WriteFile(fs::path(imageFolder) / "notes.txt", "kept");
    ::chmod(report.c_str(), 0640);

    const Status outcome = WriteReport(report, CommonEmitterDefaults(), png);
    ASSERT_TRUE(outcome.Ok()) << outcome.Message();
    EXPECT_EQ(ReadFile(report), BuildReport("amp1", CommonEmitterDefaults()));
    EXPECT_EQ(ReadFile(image), AsText(png));
    // The folder was reused, not made anew, and no temporary file is left.
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"amp1.html", "amp1-Files"}));
    EXPECT_EQ(Entries(imageFolder), (std::set<std::string>{"amp1.png", "notes.txt"}));
    // A replaced report keeps its permissions.
    EXPECT_EQ(fs::status(report).permissions(), fs::perms(0640));

    REQUIRE_XMLLINT();
    EXPECT_TRUE(WellFormedFile(report));
}

TEST_F(ReportWriting, NewFilesGetTheUsualPermissions)
{
    const mode_t savedMask = ::umask(022);
    const Status outcome = WriteReport(report, CommonEmitterDefaults(), png);
    ::umask(savedMask);
    ASSERT_TRUE(outcome.Ok()) << outcome.Message();
    EXPECT_EQ(fs::status(report).permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(image).permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(imageFolder).permissions(), fs::perms(0755));
}

TEST_F(ReportWriting, RelativeReportPathGivesARelativeImageFolder)
{
    const fs::path saved = fs::current_path();
    fs::current_path(folder.path());
    const Status outcome = WriteReport("norvane-relative.html", CommonCollectorDefaults(), png);
    fs::current_path(saved);

    ASSERT_TRUE(outcome.Ok()) << outcome.Message();
    EXPECT_EQ(ReadFile(folder.path() / "norvane-relative-Files/norvane-relative.png"), AsText(png));
    EXPECT_EQ(ReadFile(folder.path() / "norvane-relative.html"),
              BuildReport("norvane-relative", CommonCollectorDefaults()));
    // Should the image folder ever be taken from the root again, fail and
    // clear up what was made there.
    std::error_code ignored;
    EXPECT_EQ(fs::remove_all("/norvane-relative-Files", ignored), 0u) << "image folder made at the root";
}

TEST_F(ReportWriting, NonAsciiReportNameNamesTheFilesAndTheReference)
{
    const std::string name = "Verst\xC3\xA4rker & Co";
    const Status outcome = WriteReport(folder / (name + ".html"), CommonEmitterDefaults(), png);
    ASSERT_TRUE(outcome.Ok()) << outcome.Message();
    EXPECT_EQ(ReadFile(folder.path() / (name + "-Files") / (name + ".png")), AsText(png));

    REQUIRE_XMLLINT();
    const std::string file = folder / (name + ".html");
    ASSERT_TRUE(WellFormedFile(file));
    EXPECT_TRUE(IsPureAscii(ReadFile(file)));
    EXPECT_EQ(ReadBack(file, "string(//*[local-name()=\"img\"]/@src)"), name + "-Files/" + name + ".png");
}

// A report that cannot be written is reported, naming the file, and nothing
// else is written.
TEST_F(ReportWriting, ReportThatCannotBeWrittenIsReportedAndWritesNothing)
{
    WriteFile(folder / "plain.txt", "a file, not a folder");
    fs::create_directory(folder / "taken.html"); // a folder where the report should go
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {folder / "missing/amp1.html", "No such file or directory"},
        {folder / "plain.txt/amp1.html", "Not a directory"},
        {folder / "taken.html", "Is a directory"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const Status outcome = WriteReport(c.path, CommonEmitterDefaults(), png);
        EXPECT_FALSE(outcome.Ok());
        EXPECT_EQ(outcome.Message(), "The report could not be written to \"" + c.path + "\":\n" + c.reason);
    }
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"plain.txt", "taken.html"}));
    EXPECT_TRUE(fs::is_empty(folder / "taken.html"));
}

TEST_F(ReportWriting, FailedWriteLeavesTheEarlierReportAndImageIntact)
{
    ASSERT_TRUE(WriteReport(report, CommonBaseDefaults(), png).Ok());
    const std::string earlier = ReadFile(report);

    Status outcome;
    {
        const FileSizeLimit limit(earlier.size() / 2);
        outcome = WriteReport(report, CommonEmitterDefaults(), Bytes(100, 7));
    }
    EXPECT_FALSE(outcome.Ok());
    EXPECT_EQ(outcome.Message(), "The report could not be written to \"" + report + "\":\nFile too large");
    EXPECT_EQ(ReadFile(report), earlier);
    EXPECT_EQ(ReadFile(image), AsText(png));
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"amp1.html", "amp1-Files"}));
    EXPECT_EQ(Entries(imageFolder), (std::set<std::string>{"amp1.png"}));
}

TEST_F(ReportWriting, ReadOnlyFolderLeavesTheEarlierReportIntact)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the super-user";
    ASSERT_TRUE(WriteReport(report, CommonBaseDefaults(), png).Ok());
    const std::string earlier = ReadFile(report);
    fs::permissions(folder.path(), fs::perms(0555));
    const Status outcome = WriteReport(report, CommonEmitterDefaults(), png);
    fs::permissions(folder.path(), fs::perms(0755));
    EXPECT_FALSE(outcome.Ok());
    EXPECT_NE(outcome.Message().find("\"" + report + "\""), std::string::npos) << outcome.Message();
    EXPECT_EQ(ReadFile(report), earlier);
}

// An image that cannot be stored is a failure, naming what stood in the way;
// the report itself is written all the same.
TEST_F(ReportWriting, ImageFolderThatCannotBeMadeIsReported)
{
    WriteFile(imageFolder, "a file where the folder should be");
    const Status outcome = WriteReport(report, CommonEmitterDefaults(), png);
    EXPECT_FALSE(outcome.Ok());
    EXPECT_EQ(outcome.Message(), "The report was written, but the folder \"" + imageFolder +
                                     "\" for its circuit image could not be created:\nNot a directory");
    EXPECT_EQ(ReadFile(report), BuildReport("amp1", CommonEmitterDefaults()));
    EXPECT_EQ(ReadFile(imageFolder), "a file where the folder should be");
}

TEST_F(ReportWriting, ImageFileThatCannotBeWrittenIsReported)
{
    fs::create_directories(image); // a folder where the image should go
    const Status outcome = WriteReport(report, CommonEmitterDefaults(), png);
    EXPECT_FALSE(outcome.Ok());
    EXPECT_EQ(outcome.Message(), "The report was written, but its circuit image could not be written to \"" +
                                     image + "\":\nIs a directory");
    EXPECT_EQ(ReadFile(report), BuildReport("amp1", CommonEmitterDefaults()));
    EXPECT_EQ(Entries(imageFolder), (std::set<std::string>{"amp1.png"}));
    EXPECT_TRUE(fs::is_directory(image));
}

TEST_F(ReportWriting, ImageWriteFailingMidwayKeepsTheEarlierImage)
{
    ASSERT_TRUE(WriteReport(report, CommonEmitterDefaults(), png).Ok());
    const std::vector<std::uint8_t> largerPng = Bytes(20000, 3);
    Status outcome;
    {
        const FileSizeLimit limit(10000); // room for the report, not for the image
        outcome = WriteReport(report, CommonBaseDefaults(), largerPng);
    }
    EXPECT_FALSE(outcome.Ok());
    EXPECT_EQ(outcome.Message(), "The report was written, but its circuit image could not be written to \"" +
                                     image + "\":\nFile too large");
    EXPECT_EQ(ReadFile(report), BuildReport("amp1", CommonBaseDefaults()));
    EXPECT_EQ(ReadFile(image), AsText(png));
    EXPECT_EQ(Entries(imageFolder), (std::set<std::string>{"amp1.png"}));
}

// A report with simulation: the verdict below the title, the section after
// the operation point with a header cell opening each row (the reader takes
// "<tr><td>" rows for its own), the Bode plot beside the schematic. It
// stays well-formed and reads back as the design it shows.
// A flat response at 40 dB with a 600 ohm output: the Z_out miss.
SimulationResult FlatSimulation(const AmplifierDesign& design)
{
    SimulationResult simulated;
    simulated.m_Outcome = {};
    simulated.m_Ic = design.Ic();
    simulated.m_Uce = design.Uce();
    simulated.m_GainDb = 40;
    simulated.m_OutputImpedance = 600;
    for (const double f : {1e2, 1e4, 1e6, 1e8}) {
        simulated.m_Bode.push_back({f, 40.0, 0.0});
    }
    return simulated;
}

TEST_F(ReportWriting, SimulationAddsItsSectionAndTheBodePlot)
{
    CommonBaseDesign design;
    design.Compute(DesignInputs(CircuitKind::CommonBase));
    const Verification verification = JudgeSimulation(design, {}, FlatSimulation(design));
    ASSERT_TRUE(verification.m_Verdict.Misses("Z_out"));
    const ReportContent content = ReportContentOf(design, verification);
    ASSERT_TRUE(content.m_Simulation.has_value());

    const std::string text = BuildReport("amp1", content);
    const std::string verdict = "<p>" + EscapeXhtmlText(verification.m_Verdict.Line()) + "</p>\n";
    EXPECT_NE(text.find("</h1>\n\n" + verdict), std::string::npos) << text;
    const std::size_t operation = text.find("<h2>Operation point</h2>");
    const std::size_t section =
        text.find("<h2>Simulation (ngspice)</h2>\n" + verdict + "<table class=\"m\">\n");
    ASSERT_NE(section, std::string::npos) << text;
    EXPECT_LT(operation, section);
    EXPECT_LT(section, text.find("<hr />"));
    EXPECT_NE(text.find("<tr><th>Z_out</th><td>2 kohm +/- 20 %</td><td>2 kohm</td><td>600 ohm</td>"
                        "<td>misses</td></tr>\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("<p><img src=\"amp1-Files/amp1-bode.svg\" alt=\"Bode plot\" /></p>"),
              std::string::npos);
    EXPECT_TRUE(IsPureAscii(text));
    const Expected<ReportRecipe> recipe = ParseReport(text);
    ASSERT_TRUE(recipe.Ok()) << recipe.Message();
    EXPECT_EQ(recipe->componentValues, design.GetComponentValues());

    PendingWrites writes;
    AddReport(writes, report, content, png);
    ASSERT_TRUE(writes.Commit().Ok());
    EXPECT_EQ(ReadFile(report), text);
    EXPECT_EQ(ReadFile(folder / "amp1-Files/amp1-bode.svg"), content.m_Simulation->m_BodeSvg);
    EXPECT_EQ(Entries(imageFolder), (std::set<std::string>{"amp1.png", "amp1-bode.svg"}));
    REQUIRE_XMLLINT();
    EXPECT_TRUE(WellFormedFile(report));
    EXPECT_TRUE(WellFormedFile(folder / "amp1-Files/amp1-bode.svg"));
}

// The robustness analyses follow the Bode plot, each with its heading, line,
// table and picture (the worst case has none); the report stays valid XHTML and reads back as its
// design. One that failed says why and has no picture; none run leaves
// the report as it was, byte for byte.
TEST_F(ReportWriting, RobustnessAnalysesAddTheirSectionsAndPictures)
{
    CommonBaseDesign design;
    design.Compute(DesignInputs(CircuitKind::CommonBase));
    const Verification verification = JudgeSimulation(design, {}, FlatSimulation(design));
    const std::string plain = BuildReport("amp1", ReportContentOf(design, verification));

    const auto spread = [](double low, double high) {
        return Distribution{{low, (low + high) / 2, high}, (low + high) / 2, low, high};
    };
    ToleranceAnalysis tolerance;
    tolerance.m_Runs = tolerance.m_Simulated = tolerance.m_Meeting = 3;
    tolerance.m_Ic = spread(2e-3, 4e-3);
    tolerance.m_GainDb = spread(41, 42);
    TemperatureAnalysis temperature;
    for (const double celsius : AnalysisTemperatures) {
        temperature.m_Points.push_back({celsius, 2.6e-3 + celsius * 1e-6, 5.8, 41.9});
    }
    DistortionAnalysis distortion;
    distortion.m_Waveform = {{0.0, 0.0}, {1e-3, 0.5}, {2e-3, 0.0}};
    distortion.m_Transfer = {{-1.0, 4.0}, {0.0, 0.0}, {1.0, -4.0}};
    NoiseAnalysis noise;
    noise.m_Spectrum = {{20.0, 4e-9}, {2e4, 2e-9}};
    WorstCaseAnalysis worst;
    worst.m_ResistorTolerance = 0.05;
    worst.m_Quantities.push_back({"Ic", 2.6e-3, 2e-3, 3e-3, "R3+ R4- BF/IS- -25 degC", "R3- 85 degC", false});
    RobustnessResults results{tolerance, temperature, distortion, noise, worst};
    ReportContent content = ReportContentOf(design, verification, nullptr, &results);

    PendingWrites writes;
    AddReport(writes, report, content, png);
    ASSERT_TRUE(writes.Commit().Ok());
    const std::string text = ReadFile(report);
    const std::size_t bode =
        text.find("alt=\"Bode plot\" /></p>\n<h3>Tolerances</h3>\n<p>Tolerances (3 runs,");
    ASSERT_NE(bode, std::string::npos) << text;
    EXPECT_NE(text.find("<tr><th>Ic</th><td>3 mA</td><td>2 mA</td><td>4 mA</td></tr>"), std::string::npos);
    std::size_t previous = bode;
    for (const char* name : {"tolerance", "temperature", "distortion", "noise"}) {
        const std::size_t at = text.find("<img src=\"amp1-Files/amp1-" + std::string(name) + ".svg\"");
        EXPECT_LT(previous, at) << name;
        previous = at;
        const std::string svg = ReadFile(folder / ("amp1-Files/amp1-" + std::string(name) + ".svg"));
        EXPECT_TRUE(svg.starts_with("<?xml") && svg.ends_with("</svg>\n") && IsPureAscii(svg)) << name;
    }
    // The worst case is its table, without a picture.
    EXPECT_NE(text.find("<h3>Worst case</h3>"), std::string::npos);
    EXPECT_NE(text.find("<td>R3+ R4- BF/IS- -25 degC</td>"), std::string::npos) << text;
    EXPECT_EQ(Entries(imageFolder),
              (std::set<std::string>{"amp1.png", "amp1-bode.svg", "amp1-tolerance.svg",
                                     "amp1-temperature.svg", "amp1-distortion.svg", "amp1-noise.svg"}));
    const Expected<ReportRecipe> recipe = ParseReport(text);
    ASSERT_TRUE(recipe.Ok()) << recipe.Message();
    EXPECT_EQ(recipe->componentValues, design.GetComponentValues());

    // Run under other conditions than the verification, the analyses say so.
    RobustnessResults failed;
    failed.m_Tolerance = Failure{"simulation unavailable: no ngspice"};
    failed.m_Conditions = "no load";
    std::string failedText = BuildReport("amp1", ReportContentOf(design, verification, nullptr, &failed));
    EXPECT_NE(failedText.find(
                  "alt=\"Bode plot\" /></p>\n<h3>Tolerances</h3>\n<p>No result: simulation unavailable: no "
                  "ngspice</p>\n\n"),
              std::string::npos);
    failed.m_Conditions = "load 10 k";
    failedText = BuildReport("amp1", ReportContentOf(design, verification, nullptr, &failed));
    EXPECT_NE(
        failedText.find("<p>The analyses below were simulated with: load 10 k</p>\n<h3>Tolerances</h3>"),
        std::string::npos);
    EXPECT_EQ(failedText.find("-tolerance.svg"), std::string::npos);
    const RobustnessResults none;
    EXPECT_EQ(BuildReport("amp1", ReportContentOf(design, verification, nullptr, &none)), plain);

    const std::string missingCatalog = norvane::test::MissingXhtmlCatalog();
    ASSERT_TRUE(missingCatalog.empty()) << missingCatalog;
    EXPECT_TRUE(RunXmllint(report, "--valid"));
    for (const char* name : {"tolerance", "temperature", "distortion", "noise"}) {
        EXPECT_TRUE(WellFormedFile(folder / ("amp1-Files/amp1-" + std::string(name) + ".svg")));
    }
}

// Saving again over a report leaves in its folder exactly what the new
// report links, whichever way it is written, and nothing of the user's
// own is touched: another file, or a link that bears a picture's name.
TEST_F(ReportWriting, SavingAgainLeavesOnlyTheLinkedPictures)
{
    CommonBaseDesign design;
    design.Compute(DesignInputs(CircuitKind::CommonBase));
    const Verification verification = JudgeSimulation(design, {}, FlatSimulation(design));
    ToleranceAnalysis tolerance;
    tolerance.m_Runs = tolerance.m_Simulated = tolerance.m_Meeting = 3;
    NoiseAnalysis noise;
    noise.m_Spectrum = {{20.0, 4e-9}, {2e4, 2e-9}};
    const RobustnessResults analyses{tolerance, std::nullopt, std::nullopt, noise};
    const auto linked = [&] {
        std::set<std::string> files;
        const std::string text = ReadFile(report);
        const std::string prefix = "src=\"amp1-Files/";
        for (std::size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1)) {
            const std::size_t start = at + prefix.size();
            files.insert(text.substr(start, text.find('"', start) - start));
        }
        return files;
    };

    ASSERT_TRUE(WriteReport(report, ReportContentOf(design, verification, nullptr, &analyses), png).Ok());
    EXPECT_EQ(Entries(imageFolder), linked());
    EXPECT_TRUE(linked().contains("amp1-noise.svg"));
    std::ofstream(imageFolder + "/notes.txt") << "mine";
    fs::create_symlink("notes.txt", imageFolder + "/amp1-temperature.svg");

    ASSERT_TRUE(WriteReport(report, ReportContentOf(design, verification), png).Ok());
    std::set<std::string> expected = linked();
    EXPECT_EQ(expected, (std::set<std::string>{"amp1.png", "amp1-bode.svg"}));
    expected.insert({"notes.txt", "amp1-temperature.svg"});
    EXPECT_EQ(Entries(imageFolder), expected);

    PendingWrites writes;
    AddReport(writes, report, ReportContentOf(design), png);
    ASSERT_TRUE(writes.Commit().Ok());
    EXPECT_EQ(Entries(imageFolder), (std::set<std::string>{"amp1.png", "notes.txt", "amp1-temperature.svg"}));
    EXPECT_EQ(ReadFile(imageFolder + "/notes.txt"), "mine");
}

// The setup (applied parts, what-if values, load, source, analyses) is
// read back as exactly what was saved, values that four digits do not
// show among them; with it the design comes back with the same sections,
// byte for byte, and the report stays valid. A line the reader does not
// know is refused, never skipped.
TEST_F(ReportWriting, SetupReadsBackExactlyAndStaysValid)
{
    CommonBaseDesign design;
    design.Compute(DesignInputs(CircuitKind::CommonBase));
    design.ApplyPartValues({{"C3", 1.8e-9}, {"C3", 2.2e-9}, {"R1", 1234.5678}});
    ReportContent content = ReportContentOf(design);
    content.m_Setup.m_Conditions = {4700, 600.25, {{"C1", 1.23456789e-7}, {"R2", 47e3}}};
    content.m_Setup.m_Analyses = {300, 18446744073709551615ULL, false, true, true, true};
    const std::string text = BuildReport("amp1", content);
    const ResultList rows = SetupRows(content.m_Setup);
    ASSERT_EQ(rows.size(), 10U);
    EXPECT_EQ(rows[2].name, "Applied R1");
    EXPECT_EQ(rows[2].value, "1234.5678"); // four digits would not read back as this
    EXPECT_NE(text.find("<h2>Recipe</h2>"), std::string::npos);

    const Expected<ReportRecipe> recipe = ParseReport(text);
    ASSERT_TRUE(recipe.Ok()) << recipe.Message();
    EXPECT_EQ(recipe->setup, content.m_Setup);
    const std::unique_ptr<AmplifierDesign> again = DesignFromReport(*recipe);
    EXPECT_TRUE(DifferencesFromReport(*recipe, *again).empty());
    ReportContent reread = ReportContentOf(*again);
    reread.m_Setup.m_Conditions = recipe->setup.m_Conditions;
    reread.m_Setup.m_Analyses = recipe->setup.m_Analyses;
    EXPECT_EQ(BuildReport("amp1", reread), text);
    // Without a setup there is no section at all.
    CommonBaseDesign plain;
    plain.Compute(DesignInputs(CircuitKind::CommonBase));
    EXPECT_EQ(BuildReport("amp1", ReportContentOf(plain)).find("Recipe"), std::string::npos);

    const auto row = [](const ResultItem& item) { return "<td>" + item.name + " :</td><td>" + item.value; };
    for (const auto& [from, to] : std::initializer_list<std::pair<std::string, std::string>>{
             {row(rows[0]), "<td>Applied C9 :</td><td>" + rows[0].value},
             {row(rows[0]), row(rows[0]).substr(0, row(rows[0]).size() - 1)}, // no "F"
             {row(rows[5]), "<td>Load :</td><td>-" + rows[5].value},
             {row(rows[5]), "<td>Loud :</td><td>" + rows[5].value},
             {row(rows[8]), "<td>Tolerance runs :</td><td>0"},
             {row(rows[7]), "<td>Analyses :</td><td>distortion, noise"}}) {
        std::string broken = text;
        broken.replace(broken.find(from), from.size(), to);
        EXPECT_FALSE(ParseReport(broken).Ok()) << to;
    }

    ASSERT_TRUE(WriteReport(report, content, png).Ok());
    const std::string missingCatalog = norvane::test::MissingXhtmlCatalog();
    ASSERT_TRUE(missingCatalog.empty()) << missingCatalog;
    EXPECT_TRUE(RunXmllint(report, "--valid"));
}

TEST(FileWriting, ReplacesAnyEarlierContentExactly)
{
    TemporaryFolder folder;
    const std::string path = folder / "data.bin";
    const std::string binary("\0\x89PNG\r\n\x1A\n\xFF", 10);
    ASSERT_TRUE(WriteFileAtomically(path, std::string(5000, 'x')).Ok());
    ASSERT_TRUE(WriteFileAtomically(path, binary).Ok());
    EXPECT_EQ(ReadFile(path), binary);
    ASSERT_TRUE(WriteFileAtomically(path, "").Ok());
    EXPECT_EQ(ReadFile(path), "");
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"data.bin"}));

    const std::string blocked = folder / "data.bin/inner";
    const Status outcome = WriteFileAtomically(blocked, "x");
    EXPECT_FALSE(outcome.Ok());
    EXPECT_EQ(outcome.Message(), "The file \"" + blocked + "\" could not be written:\nNot a directory");
}

// Runs check() in a child process with the user and group "nobody", so that
// file permissions bind even when the tests run as the super-user; the
// result is the child's: true when check() returned true.
bool AsOrdinaryUser(const std::function<bool()>& check)
{
    if (::geteuid() != 0)
        return check();
    const pid_t child = ::fork();
    if (child == 0) {
        constexpr uid_t Nobody = 65534;
        const bool dropped = ::setgroups(0, nullptr) == 0 && ::setgid(Nobody) == 0 && ::setuid(Nobody) == 0;
        ::_exit(dropped && check() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// What may not be replaced is refused by name, without being opened (a
// FIFO with no reader would block an open for ever) and without being
// touched.
TEST(FileWriting, RefusesTargetsThatAreNoRegularFile)
{
    TemporaryFolder folder;
    const std::string fifo = folder / "fifo.html";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    std::vector<std::string> targets{fifo, "/proc/self/fd/" + std::to_string(pipeEnds[1])};
    const std::string device = folder / "null.html";
    if (::mknod(device.c_str(), S_IFCHR | 0666, ::makedev(1, 3)) == 0)
        targets.push_back(device); // only the super-user may make one
    for (const std::string& target : targets) {
        const Status outcome = WriteFileAtomically(target, "<html/>");
        EXPECT_EQ(outcome.Message(), "The file \"" + target + "\" could not be written:\nNot a regular file");
    }
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    EXPECT_TRUE(fs::is_fifo(fifo));
    EXPECT_EQ(Entries(folder.path()).size(), targets.size() - 1);
}

TEST(FileWriting, RefusesAReadOnlyFileEvenWhereTheFolderIsWritable)
{
    TemporaryFolder folder;
    fs::permissions(folder.path(), fs::perms::all);
    const std::string locked = folder / "locked.cir";
    WriteFile(locked, "old");
    fs::permissions(locked, fs::perms(0444));
    const std::string fresh = folder / "fresh.cir";
    EXPECT_TRUE(AsOrdinaryUser([&] {
        const Status refused = WriteFileAtomically(locked, "new");
        return refused.Message() == "The file \"" + locked + "\" could not be written:\nPermission denied" &&
               WriteFileAtomically(fresh, "new").Ok(); // the folder itself is open to all
    }));
    EXPECT_EQ(ReadFile(locked), "old");
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"locked.cir", "fresh.cir"}));
}

// As editors do: the link stays, the file it names gets the new bytes.
TEST(FileWriting, FollowsSymbolicLinksToTheFileTheyName)
{
    TemporaryFolder folder;
    fs::create_directory(folder / "data");
    WriteFile(folder / "data/real.csv", "old");
    fs::create_symlink("data/real.csv", folder / "link.csv");
    fs::create_symlink("data/new.csv", folder / "dangling.csv");

    ASSERT_TRUE(WriteFileAtomically(folder / "link.csv", "new").Ok());
    ASSERT_TRUE(WriteFileAtomically(folder / "dangling.csv", "made").Ok());
    EXPECT_TRUE(fs::is_symlink(folder / "link.csv"));
    EXPECT_EQ(ReadFile(folder / "data/real.csv"), "new");
    EXPECT_EQ(ReadFile(folder / "data/new.csv"), "made");
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"data", "link.csv", "dangling.csv"}));
    EXPECT_EQ(Entries(folder / "data"), (std::set<std::string>{"real.csv", "new.csv"}));
}

TEST(FileWriting, EveryLegalNameLengthCanBeWritten)
{
    TemporaryFolder folder;
    for (const std::size_t length : {200u, 243u, 250u, 254u, 255u}) {
        // Two-byte characters, so that a shortened name could split one.
        const std::string name = std::string(length % 2, 'a') + [&] {
            std::string umlauts;
            for (std::size_t i = 0; i < length / 2; ++i)
                umlauts += "\xC3\xA4";
            return umlauts;
        }();
        ASSERT_EQ(name.size(), length);
        const Status outcome = WriteFileAtomically(folder / name, "x");
        EXPECT_TRUE(outcome.Ok()) << length << ": " << outcome.Message();
        EXPECT_EQ(ReadFile(folder / name), "x");
    }
    EXPECT_EQ(Entries(folder.path()).size(), 5u);
}

TEST(FileWriting, ReplacedFileKeepsItsPermissionsButNoSetIdBits)
{
    TemporaryFolder folder;
    const std::string path = folder / "tool.sh";
    WriteFile(path, "old");
    ASSERT_EQ(::chmod(path.c_str(), 06751), 0);
    ASSERT_TRUE(WriteFileAtomically(path, "new").Ok());
    struct stat written {};
    ASSERT_EQ(::stat(path.c_str(), &written), 0);
    EXPECT_EQ(written.st_mode & 07777, 0751u);
}

// A set is written whole or not at all: a failure anywhere leaves every
// file it would replace as it was and nothing that it made.
TEST(FileWriting, APendingSetIsWrittenWholeOrNotAtAll)
{
    TemporaryFolder folder;
    WriteFile(folder / "a.cir", "old a");
    WriteFile(folder / "b.csv", "old b");
    PendingWrites writes;
    writes.AddFile(folder / "a.cir", "new a");
    writes.AddFolder(folder / "images");
    writes.AddFile(folder / "images/c.png", "new c");
    writes.AddFile(folder / "b.csv", "new b");
    writes.AddFile(folder / "missing/d.html", "new d",
                   [](const std::string& path, const std::string& reason) {
                       return "cannot write " + path + ": " + reason;
                   });
    const Status outcome = writes.Commit();
    EXPECT_EQ(outcome.Message(),
              "cannot write " + (folder / "missing/d.html") + ": No such file or directory");
    EXPECT_EQ(ReadFile(folder / "a.cir"), "old a");
    EXPECT_EQ(ReadFile(folder / "b.csv"), "old b");
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"a.cir", "b.csv"}));
    EXPECT_TRUE(writes.Empty());

    writes.AddFile(folder / "a.cir", "new a");
    writes.AddFolder(folder / "images");
    writes.AddFile(folder / "images/c.png", "new c");
    ASSERT_TRUE(writes.Commit().Ok());
    EXPECT_EQ(ReadFile(folder / "a.cir"), "new a");
    EXPECT_EQ(ReadFile(folder / "images/c.png"), "new c");
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"a.cir", "b.csv", "images"}));
}

// Two processes writing the same set at once, into new targets and over
// their own: both succeed (none fails because the other made a file
// first), and the set left behind is one writer's whole, never a mix.
TEST(FileWriting, ConcurrentWritersLeaveOneWholeSet)
{
    TemporaryFolder folder;
    constexpr int Rounds = 30;
    for (int round = 0; round < Rounds; ++round) {
        const std::string base = folder / ("r" + std::to_string(round / 2)); // new, then existing targets
        fs::create_directories(base);
        int start[2];
        ASSERT_EQ(::pipe(start), 0);
        pid_t writers[2];
        for (int writer = 0; writer < 2; ++writer) {
            writers[writer] = ::fork();
            ASSERT_GE(writers[writer], 0);
            if (writers[writer] == 0) {
                ::close(start[1]);
                char go = 0;
                (void)!::read(start[0], &go, 1); // returns when the parent closes its end
                const std::string mark(4000, static_cast<char>('1' + writer));
                PendingWrites writes;
                writes.AddFile(base + "/x.html", mark);
                writes.AddFolder(base + "/x-Files");
                writes.AddFile(base + "/x-Files/x.png", mark);
                writes.AddFile(base + "/x.cir", mark);
                ::_exit(writes.Commit().Ok() ? 0 : 1);
            }
        }
        ::close(start[0]);
        ::close(start[1]);
        for (const pid_t writer : writers) {
            int status = 0;
            ASSERT_EQ(::waitpid(writer, &status, 0), writer);
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "round " << round;
        }
        const std::string report = ReadFile(base + "/x.html");
        EXPECT_EQ(ReadFile(base + "/x-Files/x.png"), report) << "round " << round;
        EXPECT_EQ(ReadFile(base + "/x.cir"), report) << "round " << round;
    }
}

} // namespace
} // namespace norvane
