#include "FuzzTargets.h"

#include "TransistorLibReader.h"
#include "cli/CommandLine.h"
#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "format/EngineeringFormat.h"
#include "report/ReportReader.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace norvane::fuzz {

namespace {

std::string_view Text(Bytes data)
{
    return {reinterpret_cast<const char*>(data.data()), data.size()};
}

// An invariant the fuzzer broke: abort, which libFuzzer and the corpus test
// both report with the input.
void Require(bool holds, const char* what)
{
    if (!holds) {
        std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
        std::abort();
    }
}

bool SameNumber(double a, double b)
{
    return a == b || (std::isnan(a) && std::isnan(b));
}

// The scratch folder of the command-line target and the report kept in it.
struct Scratch {
    std::filesystem::path folder;
    std::string report;
};

Scratch& TheScratch()
{
    static Scratch scratch;
    return scratch;
}

void RemoveScratch()
{
    std::error_code ignored;
    std::filesystem::remove_all(TheScratch().folder, ignored);
}

// Empties the scratch folder and puts the report back.
void ResetScratch()
{
    const Scratch& scratch = TheScratch();
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.folder, ignored)) {
        std::filesystem::remove_all(entry.path(), ignored);
    }
    std::ofstream(scratch.folder / "r.html", std::ios::binary) << scratch.report;
}

} // namespace

void FuzzEngineering(Bytes data)
{
    const std::string_view text = Text(data);
    const double parsed = ParseEngineering(text);
    const std::optional<double> read = ReadEngineering(text);
    if (read) {
        Require(SameNumber(*read, parsed), "ReadEngineering and ParseEngineering disagree");
    }
    const std::string shown = FormatEngineering(parsed);
    Require(!shown.empty(), "FormatEngineering gave no text");
    (void)ParseEngineering(shown);
}

void FuzzReportReader(Bytes data)
{
    const Expected<ReportRecipe> recipe = ParseReport(Text(data));
    if (!recipe) {
        Require(!recipe.Message().empty(), "a report refused without a message");
        return;
    }
    const std::unique_ptr<AmplifierDesign> design = MakeDesign(recipe->inputs.Kind());
    Require(design != nullptr, "a report read without a circuit");
    design->Compute(recipe->inputs);
    (void)DifferencesFromReport(*recipe, *design);
}

void FuzzTransistorLibReader(Bytes data)
{
    std::istringstream in{std::string(Text(data))};
    const tools::LibReadResult result = tools::ReadTransistorLib(in, "fuzz.lib");
    Require(result.error.empty() || result.error.starts_with("fuzz.lib:"),
            "a library error that does not name the file");
}

void PrepareCommandLineScratch()
{
    Scratch& scratch = TheScratch();
    if (!scratch.folder.empty()) {
        return;
    }
    std::ifstream in(NORVANE_FUZZ_REPORT, std::ios::binary);
    scratch.report.assign(std::istreambuf_iterator<char>(in), {});
    Require(!scratch.report.empty(), "the report for --from cannot be read");

    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && *tmp == '/' ? tmp : "/tmp") + "/norvane-fuzz-XXXXXX";
    Require(::mkdtemp(pattern.data()) != nullptr, "cannot make a scratch folder");
    scratch.folder = pattern;
    Require(::chdir(pattern.c_str()) == 0, "cannot enter the scratch folder");
    std::atexit(RemoveScratch);
    ResetScratch();
}

void FuzzCommandLine(Bytes data)
{
    Require(!TheScratch().folder.empty(), "PrepareCommandLineScratch() was not called");
    std::vector<std::string> arguments{"norvane-cli"};
    std::string_view rest = Text(data);
    while (!rest.empty()) {
        const std::size_t end = rest.find('\0');
        arguments.emplace_back(rest.substr(0, end));
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    }
    constexpr std::array<std::string_view, 7> Simulating = {
        "--simulate", "--bode", "--tune", "--tolerance", "--temperature", "--distortion", "--noise"};
    for (const std::string& argument : arguments) {
        if (argument.find('/') != std::string::npos || argument == "rank" ||
            std::ranges::any_of(Simulating, [&](std::string_view option) {
                return argument.find(option) != std::string::npos;
            })) {
            return;
        }
    }
    std::vector<const char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(argument.c_str());
    }
    argv.push_back(nullptr);

    std::ostringstream out;
    std::ostringstream err;
    const int status = cli::Run(static_cast<int>(arguments.size()), argv.data(), out, err);
    Require(status == cli::ExitOk || status == cli::ExitFailure || status == cli::ExitBadInput,
            "an exit status outside 0, 1 and 2");
    Require(status == cli::ExitOk || !err.str().empty(), "a failure without a message");
    // Every output a successful design names holds what it was asked for:
    // two that lead to one file would leave one of them holding the other.
    // Asked for its help (--help, -h, or -h among other short options), a
    // design prints its usage and writes nothing.
    const bool help = out.str().find("Usage: ") != std::string::npos;
    if (status == cli::ExitOk && !help && arguments.size() > 1 && arguments[1] == "design") {
        constexpr std::array<std::pair<std::string_view, std::string_view>, 3> Outputs = {
            {{"--report", "<html"}, {"--netlist", "* Norvane"}, {"--bom", "Reference,Value"}}};
        for (std::size_t i = 2; i + 1 < arguments.size(); ++i) {
            for (const auto& [option, start] : Outputs) {
                if (arguments[i] == option) {
                    std::ifstream file(arguments[i + 1], std::ios::binary);
                    std::string head(256, '\0');
                    file.read(head.data(), static_cast<std::streamsize>(head.size()));
                    head.resize(static_cast<std::size_t>(file.gcount()));
                    Require(head.find(start) != std::string::npos, "an output holds another output's bytes");
                }
            }
        }
    }
    ResetScratch();
}

} // namespace norvane::fuzz
