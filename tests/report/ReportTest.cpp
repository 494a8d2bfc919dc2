#include "report/Report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace norvane {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Contents of the three circuits with their dialog defaults

ReportContent CommonEmitterDefaults()
{
    return {"Common-Emitter circuit",
            {{"Voltage gain", "0 dB"}, {"f_min", "10 Hz"}, {"Z_in", "50 k"}, {"Z_out", "2 k"},
             {"Standard series", "E24"}},
            {{"UB", "12 V"}, {"T1", "BC548B"}, {"R1", "180 k"}, {"R2", "82 k"}, {"R3", "2 k"}, {"R4", "2 k"},
             {"C1", "560 nF"}, {"C2", "15 uF"}},
            {{"Ic", "1.425 mA"}, {"Uce", "6.3 V"}, {"P", "8.98 mW"}}};
}

ReportContent CommonBaseDefaults()
{
    return {"Common-Base circuit",
            {{"f_min", "100 kHz"}, {"Z_out", "2 k"}, {"Standard series", "E24"}},
            {{"UB", "12 V"}, {"T1", "BC548B"}, {"R1", "390"}, {"R2", "2 k"}, {"R3", "620 k"}, {"R4", "200 k"},
             {"C1", "330 nF"}, {"C2", "1.5 nF"}, {"C3", "1 nF"}},
            {{"Ic", "2.6 mA"}, {"Uce", "5.786 V"}, {"P", "15.05 mW"}}};
}

ReportContent CommonCollectorDefaults()
{
    return {"Common-Collector circuit",
            {{"f_min", "10 Hz"}, {"Z_in", "50 k"}, {"Ic", "2 mA"}, {"Standard series", "E24"}},
            {{"UB", "12 V"}, {"T1", "BC548B"}, {"R1", "91 k"}, {"R2", "110 k"}, {"R3", "3 k"}, {"C1", "560 nF"},
             {"C2", "8.2 uF"}},
            {{"Ic", "1.9 mA"}, {"Uce", "6.281 V"}, {"P", "11.94 mW"}}};
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

bool XmllintPresent()
{
    static const bool present = std::system("command -v xmllint >/dev/null 2>&1") == 0;
    return present;
}

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

#define SKIP_WITHOUT_XMLLINT()                                                                                         \
    do {                                                                                                               \
        if (!XmllintPresent())                                                                                         \
            GTEST_SKIP() << "xmllint is not installed";                                                                \
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

    SKIP_WITHOUT_XMLLINT();
    EXPECT_TRUE(WellFormedText(report));
}

INSTANTIATE_TEST_SUITE_P(Report, GoldenReport,
                         ::testing::Values(GoldenCase{"common-emitter-defaults.html", CommonEmitterDefaults},
                                           GoldenCase{"common-base-defaults.html", CommonBaseDefaults},
                                           GoldenCase{"common-collector-defaults.html", CommonCollectorDefaults}),
                         [](const auto& info) {
                             std::string name = info.param.file;
                             name = name.substr(0, name.find('.'));
                             std::erase(name, '-');
                             return name;
                         });

TEST(Report, FooterNamesTheProgramVersionOfTheBuild)
{
    EXPECT_STREQ(ProgramVersion, NORVANE_PROJECT_VERSION);
    const std::string report = BuildReport("amp1", CommonEmitterDefaults());
    EXPECT_NE(report.find(std::string("<p class=\"c\">Created using Norvane ") + NORVANE_PROJECT_VERSION +
                          ", written by " + AuthorName + "\n<a href=\"" + ProductWebAddress + "\">" + ProductWebAddress +
                          "</a></p>\n\n</body>\n</html>\n"),
              std::string::npos);
}

TEST(Report, EmptySectionsStillGiveTheCircuitRowAndEmptyTables)
{
    // What a report shows when nothing has been calculated: no items at all.
    const std::string report = BuildReport("amp1", ReportContent{"Common-Base circuit", {}, {}, {}});
    EXPECT_NE(report.find("<h2>Input data</h2>\n<table>\n<tr><td>Circuit :</td><td>Common-Base circuit</td></tr>\n"
                          "</table>\n\n"),
              std::string::npos);
    EXPECT_NE(report.find("<h2>Component values</h2>\n<table>\n</table>\n\n"), std::string::npos);
    SKIP_WITHOUT_XMLLINT();
    EXPECT_TRUE(WellFormedText(report));
}

// A design that cannot be built carries a note right below the heading;
// a usable one has none.
TEST(Report, NoteOfAnUnusableDesignFollowsTheHeading)
{
    ReportContent content{"Common-Emitter circuit", {}, {}, {}};
    EXPECT_EQ(BuildReport("amp1", content).find("<strong>"), std::string::npos);
    content.notes = {"This design is not usable: Uce < 1 V & more", "second"};
    const std::string report = BuildReport("amp1", content);
    EXPECT_NE(report.find("</h1>\n\n<p><strong>This design is not usable: Uce &lt; 1 V &amp; more"
                          "</strong></p>\n\n<p><strong>second</strong></p>\n\n<h2>Input data</h2>"),
              std::string::npos);
    SKIP_WITHOUT_XMLLINT();
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
    EXPECT_EQ(EscapeXhtmlText("Verst\xC3\xA4rker"), "Verst&#228;rker");          // two bytes
    EXPECT_EQ(EscapeXhtmlText("\xE2\x82\xAC 5"), "&#8364; 5");                     // three bytes
    EXPECT_EQ(EscapeXhtmlText("\xF0\x9F\x94\x8A"), "&#128266;");                   // four bytes
    EXPECT_EQ(EscapeXhtmlText("\xC2\xB5" "F \xCE\xA9"), "&#181;F &#937;");         // micro sign, omega
    EXPECT_EQ(EscapeXhtmlText("\xF4\x8F\xBF\xBD"), "&#1114109;");                  // last plane
}

TEST(Escaping, BytesThatAreNotUtf8AreTakenAsIso88591)
{
    EXPECT_EQ(EscapeXhtmlText("Verst\xE4rker"), "Verst&#228;rker"); // lone lead byte
    EXPECT_EQ(EscapeXhtmlText("\xE4"), "&#228;");                   // cut off at the end
    EXPECT_EQ(EscapeXhtmlText("\xFC\xDF"), "&#252;&#223;");
    EXPECT_EQ(EscapeXhtmlText("\xC3\xA4\xE4"), "&#228;&#228;");     // valid, then invalid
    EXPECT_EQ(EscapeXhtmlText("\xC0\xAF"), "&#192;&#175;");         // overlong form of '/'
    EXPECT_EQ(EscapeXhtmlText("\xE0\x80\xAF"), "&#224;&#65533;&#175;"); // overlong, three bytes
    EXPECT_EQ(EscapeXhtmlText("\xED\xA0\x80"), "&#237;&#160;&#65533;"); // a surrogate
    EXPECT_EQ(EscapeXhtmlText("\xF4\x90\x80\x80"), "&#244;&#65533;&#65533;&#65533;"); // beyond U+10FFFF
    EXPECT_EQ(EscapeXhtmlText("\xFF\xFE"), "&#255;&#254;");
}

TEST(Escaping, ControlCharactersAndNoncharactersBecomeReplacementCharacters)
{
    EXPECT_EQ(EscapeXhtmlText(std::string("a\0b", 3)), "a&#65533;b");
    EXPECT_EQ(EscapeXhtmlText("\x01\x1B\x1F\x7F"), "&#65533;&#65533;&#65533;&#65533;");
    EXPECT_EQ(EscapeXhtmlText("a\rb"), "a&#65533;b");
    EXPECT_EQ(EscapeXhtmlText("\xC2\x85"), "&#65533;");                 // C1 control, UTF-8
    EXPECT_EQ(EscapeXhtmlText("\x85"), "&#65533;");                     // C1 control, ISO-8859-1
    EXPECT_EQ(EscapeXhtmlText("\xEF\xBF\xBE\xEF\xBF\xBF"), "&#65533;&#65533;"); // U+FFFE, U+FFFF
    EXPECT_EQ(EscapeXhtmlText("\xEF\xB7\x90"), "&#65533;");             // U+FDD0
    EXPECT_EQ(EscapeXhtmlText("\xEF\xBF\xBD"), "&#65533;");             // U+FFFD itself
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
    EXPECT_NE(report.find("<img src=\"" + escapedName + "-Files/" + escapedName + ".png\" alt=\"circuit\" />"),
              std::string::npos);
    EXPECT_NE(report.find("<tr><td>Circuit :</td><td>Common-&quot;Emitter&quot; &amp; &lt;circuit&gt;</td></tr>\n"),
              std::string::npos);
    EXPECT_NE(report.find("<tr><td>Z&lt;in&gt; :</td><td>50 k &amp; more</td></tr>\n"), std::string::npos);
    EXPECT_NE(report.find("<tr><td>T1 :</td><td>BC548&#223;&quot;</td></tr>\n"), std::string::npos);
    EXPECT_NE(report.find("<tr><td>P :</td><td>8.98 &#181;W</td></tr>\n"), std::string::npos);

    SKIP_WITHOUT_XMLLINT();
    TemporaryFolder folder;
    const std::string file = folder / "report.html";
    WriteFile(file, report);
    ASSERT_TRUE(WellFormedFile(file));
    EXPECT_EQ(ReadBack(file, "string(//*[local-name()=\"title\"])"), "Norvane-Design \"" + name + "\"");
    EXPECT_EQ(ReadBack(file, "string(//*[local-name()=\"h1\"])"), "Norvane-Design \"" + name + "\"");
    EXPECT_EQ(ReadBack(file, "string(//*[local-name()=\"img\"]/@src)"), ImageReference(name));
    EXPECT_EQ(ReadBack(file, "string((//*[local-name()=\"td\"])[2])"), content.circuitTitle);
    EXPECT_EQ(ReadBack(file, "string((//*[local-name()=\"td\"])[3])"), "Z<in> :");
    EXPECT_EQ(ReadBack(file, "string((//*[local-name()=\"td\"])[6])"), content.componentValues[0].value);
}

TEST(Escaping, HostileNamesStillGiveWellFormedAsciiReports)
{
    SKIP_WITHOUT_XMLLINT();
    const std::string names[] = {
        "Verst\xE4rker",                 // ISO-8859-1 file name on a UTF-8 system
        std::string("a\0b\x01\x1B\r\x7F", 7), // control characters
        "line\nbreak\ttab",
        "]]><!-- --><![CDATA[ x",        // markup that must stay text
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
        {"/home/ann/amp1.html", "amp1", "/home/ann/", "/home/ann/amp1-Files", "/home/ann/amp1-Files/amp1.png"},
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
    const WriteOutcome outcome = WriteReport(report, CommonEmitterDefaults(), png);
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_TRUE(outcome.message.empty());

    EXPECT_EQ(ReadFile(report), ReadFile(fs::path(NORVANE_REPORT_GOLDEN_DIR) / "common-emitter-defaults.html"));
    EXPECT_EQ(ReadFile(image), AsText(png));
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"amp1.html", "amp1-Files"}));
    EXPECT_EQ(Entries(imageFolder), (std::set<std::string>{"amp1.png"}));

    SKIP_WITHOUT_XMLLINT();
    EXPECT_TRUE(WellFormedFile(report));
}

TEST_F(ReportWriting, SavingAgainReplacesReportAndImageCompletely)
{
    ReportContent longer = CommonBaseDefaults();
    for (int i = 0; i < 50; ++i)
        longer.componentValues.push_back({"R" + std::to_string(i), "1 k"});
    ASSERT_TRUE(WriteReport(report, longer, Bytes(9000, 1)).ok);
    WriteFile(fs::path(imageFolder) / "notes.txt", "kept");
    ::chmod(report.c_str(), 0640);

    const WriteOutcome outcome = WriteReport(report, CommonEmitterDefaults(), png);
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(ReadFile(report), BuildReport("amp1", CommonEmitterDefaults()));
    EXPECT_EQ(ReadFile(image), AsText(png));
    // The folder was reused, not made anew, and no temporary file is left.
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"amp1.html", "amp1-Files"}));
    EXPECT_EQ(Entries(imageFolder), (std::set<std::string>{"amp1.png", "notes.txt"}));
    // A replaced report keeps its permissions.
    EXPECT_EQ(fs::status(report).permissions(), fs::perms(0640));

    SKIP_WITHOUT_XMLLINT();
    EXPECT_TRUE(WellFormedFile(report));
}

TEST_F(ReportWriting, NewFilesGetTheUsualPermissions)
{
    const mode_t savedMask = ::umask(022);
    const WriteOutcome outcome = WriteReport(report, CommonEmitterDefaults(), png);
    ::umask(savedMask);
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(fs::status(report).permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(image).permissions(), fs::perms(0644));
    EXPECT_EQ(fs::status(imageFolder).permissions(), fs::perms(0755));
}

TEST_F(ReportWriting, RelativeReportPathGivesARelativeImageFolder)
{
    const fs::path saved = fs::current_path();
    fs::current_path(folder.path());
    const WriteOutcome outcome = WriteReport("norvane-relative.html", CommonCollectorDefaults(), png);
    fs::current_path(saved);

    ASSERT_TRUE(outcome.ok) << outcome.message;
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
    const WriteOutcome outcome = WriteReport(folder / (name + ".html"), CommonEmitterDefaults(), png);
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(ReadFile(folder.path() / (name + "-Files") / (name + ".png")), AsText(png));

    SKIP_WITHOUT_XMLLINT();
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
        const WriteOutcome outcome = WriteReport(c.path, CommonEmitterDefaults(), png);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.message, "The report could not be written to \"" + c.path + "\":\n" + c.reason);
    }
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"plain.txt", "taken.html"}));
    EXPECT_TRUE(fs::is_empty(folder / "taken.html"));
}

TEST_F(ReportWriting, FailedWriteLeavesTheEarlierReportAndImageIntact)
{
    ASSERT_TRUE(WriteReport(report, CommonBaseDefaults(), png).ok);
    const std::string earlier = ReadFile(report);

    WriteOutcome outcome;
    {
        const FileSizeLimit limit(earlier.size() / 2);
        outcome = WriteReport(report, CommonEmitterDefaults(), Bytes(100, 7));
    }
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, "The report could not be written to \"" + report + "\":\nFile too large");
    EXPECT_EQ(ReadFile(report), earlier);
    EXPECT_EQ(ReadFile(image), AsText(png));
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"amp1.html", "amp1-Files"}));
    EXPECT_EQ(Entries(imageFolder), (std::set<std::string>{"amp1.png"}));
}

TEST_F(ReportWriting, ReadOnlyFolderLeavesTheEarlierReportIntact)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the super-user";
    ASSERT_TRUE(WriteReport(report, CommonBaseDefaults(), png).ok);
    const std::string earlier = ReadFile(report);
    fs::permissions(folder.path(), fs::perms(0555));
    const WriteOutcome outcome = WriteReport(report, CommonEmitterDefaults(), png);
    fs::permissions(folder.path(), fs::perms(0755));
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.message.find("\"" + report + "\""), std::string::npos) << outcome.message;
    EXPECT_EQ(ReadFile(report), earlier);
}

// An image that cannot be stored is a failure, naming what stood in the way;
// the report itself is written all the same.
TEST_F(ReportWriting, ImageFolderThatCannotBeMadeIsReported)
{
    WriteFile(imageFolder, "a file where the folder should be");
    const WriteOutcome outcome = WriteReport(report, CommonEmitterDefaults(), png);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, "The report was written, but the folder \"" + imageFolder +
                                   "\" for its circuit image could not be created:\nNot a directory");
    EXPECT_EQ(ReadFile(report), BuildReport("amp1", CommonEmitterDefaults()));
    EXPECT_EQ(ReadFile(imageFolder), "a file where the folder should be");
}

TEST_F(ReportWriting, ImageFileThatCannotBeWrittenIsReported)
{
    fs::create_directories(image); // a folder where the image should go
    const WriteOutcome outcome = WriteReport(report, CommonEmitterDefaults(), png);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message,
              "The report was written, but its circuit image could not be written to \"" + image + "\":\nIs a directory");
    EXPECT_EQ(ReadFile(report), BuildReport("amp1", CommonEmitterDefaults()));
    EXPECT_EQ(Entries(imageFolder), (std::set<std::string>{"amp1.png"}));
    EXPECT_TRUE(fs::is_directory(image));
}

TEST_F(ReportWriting, ImageWriteFailingMidwayKeepsTheEarlierImage)
{
    ASSERT_TRUE(WriteReport(report, CommonEmitterDefaults(), png).ok);
    const std::vector<std::uint8_t> largerPng = Bytes(20000, 3);
    WriteOutcome outcome;
    {
        const FileSizeLimit limit(10000); // room for the report, not for the image
        outcome = WriteReport(report, CommonBaseDefaults(), largerPng);
    }
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, "The report was written, but its circuit image could not be written to \"" + image +
                                   "\":\nFile too large");
    EXPECT_EQ(ReadFile(report), BuildReport("amp1", CommonBaseDefaults()));
    EXPECT_EQ(ReadFile(image), AsText(png));
    EXPECT_EQ(Entries(imageFolder), (std::set<std::string>{"amp1.png"}));
}

TEST(FileWriting, ReplacesAnyEarlierContentExactly)
{
    TemporaryFolder folder;
    const std::string path = folder / "data.bin";
    const std::string binary("\0\x89PNG\r\n\x1A\n\xFF", 10);
    ASSERT_TRUE(WriteFileAtomically(path, std::string(5000, 'x')).ok);
    ASSERT_TRUE(WriteFileAtomically(path, binary).ok);
    EXPECT_EQ(ReadFile(path), binary);
    ASSERT_TRUE(WriteFileAtomically(path, "").ok);
    EXPECT_EQ(ReadFile(path), "");
    EXPECT_EQ(Entries(folder.path()), (std::set<std::string>{"data.bin"}));

    const std::string blocked = folder / "data.bin/inner";
    const WriteOutcome outcome = WriteFileAtomically(blocked, "x");
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.message, "The file \"" + blocked + "\" could not be written:\nNot a directory");
}

} // namespace
} // namespace norvane
