#include "ngspice/LogRules.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <sstream>
#include <utility>

namespace norvane::ngspice {

namespace {

// A number at the start of text (after blanks), C syntax whatever the
// locale, ended by a blank or the end; NaN when there is none. Moves text
// past it.
double TakeNumber(std::string_view& text)
{
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) {
        text = {};
        return std::nan("");
    }
    text.remove_prefix(start);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    // A number runs up to a blank: "13,5856" (a decimal comma) is no
    // number, not 13.
    if (error != std::errc() || (end != text.data() + text.size() && *end != ' ' && *end != '\t')) {
        return std::nan("");
    }
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

// What ngspice prints when an analysis gave up, although it reports no
// error: the operating point that gmin and source stepping did not find
// ("Too many iterations without convergence", "run simulation(s)
// aborted"), or one found only by a transient run (which the runs switch
// off, see Run), or a transient that could not step on.
constexpr std::array<std::string_view, 4> GaveUpMarks = {"without convergence", "aborted", "transient op",
                                                         "timestep too small"};

// The number right after "=" of the first "name=" or "|name|=" in text;
// NaN when there is none.
double ValueOf(std::string_view text, std::string_view name)
{
    for (const std::string& key : {std::string(name) + "=", "|" + std::string(name) + "|="}) {
        std::size_t at = text.find(key);
        // A whole word: "Vce=" but not the "Vce=" of "at Vce=" for Ic.
        while (at != std::string_view::npos && at > 0 && text[at - 1] != ' ') {
            at = text.find(key, at + 1);
        }
        if (at != std::string_view::npos) {
            std::string_view rest = text.substr(at + key.size());
            return TakeNumber(rest);
        }
    }
    return std::nan("");
}

} // namespace

std::vector<SafeAreaExcursion> ReadSafeAreaExcursions(const std::string& log,
                                                      const std::vector<SafeAreaExcursion>& soFar)
{
    struct Check {
        std::string_view m_Quantity; // as ngspice names it before "has exceeded"
        std::string_view m_Limit;    // the model parameter after it
        const char* m_Rating;
    };
    constexpr std::array<Check, 3> Checks{
        {{"Vce", "Vce_max=", "VCEO"}, {"Ic", "Ic_max=", "IC max"}, {"Pd", "Pd_max=", "Ptot"}}};
    std::array<SafeAreaExcursion, 3> worst{};
    for (const SafeAreaExcursion& earlier : soFar) {
        for (std::size_t i = 0; i < Checks.size(); ++i) {
            if (earlier.m_Rating == Checks[i].m_Rating) {
                worst[i] = earlier;
            }
        }
    }
    constexpr std::string_view Exceeded = " has exceeded ";
    for (const std::string& line : SplitLines(log)) {
        const std::size_t at = line.find(Exceeded);
        if (at == std::string::npos) {
            continue;
        }
        const std::string_view before = std::string_view(line).substr(0, at);
        std::string_view after = std::string_view(line).substr(at + Exceeded.size());
        for (std::size_t i = 0; i < Checks.size(); ++i) {
            if (!after.starts_with(Checks[i].m_Limit)) {
                continue;
            }
            after.remove_prefix(Checks[i].m_Limit.size());
            const double limit = TakeNumber(after);
            const double value = std::fabs(ValueOf(before, Checks[i].m_Quantity));
            if (std::isfinite(limit) && std::isfinite(value) && value > worst[i].m_Value) {
                worst[i] = {Checks[i].m_Rating, value, limit};
            }
        }
    }
    std::vector<SafeAreaExcursion> found;
    std::ranges::copy_if(worst, std::back_inserter(found),
                         [](const SafeAreaExcursion& e) { return !e.m_Rating.empty(); });
    return found;
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    // Not std::tolower: under a Turkish locale it folds 'I' to a dotless i.
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return lower;
}

std::vector<std::string> LinesWith(const std::string& log, std::string_view word)
{
    std::vector<std::string> found;
    std::istringstream stream(log);
    std::string line;
    while (std::getline(stream, line)) {
        if (Lower(line).find(word) != std::string::npos) {
            found.push_back(line);
        }
    }
    return found;
}

std::string ErrorText(const std::string& log)
{
    std::vector<std::string> lines;
    std::istringstream stream(log);
    std::string line;
    while (std::getline(stream, line)) {
        lines.push_back(line);
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (Lower(lines[i]).find("error") == std::string::npos) {
            continue;
        }
        std::string text = lines[i];
        if (text.starts_with("Error: ")) {
            text.erase(0, 7);
        }
        if (!text.empty() && text.back() == ':') {
            for (std::size_t k = i + 1; k < lines.size() && k <= i + 2; ++k) {
                text += " " + lines[k];
            }
        }
        return text;
    }
    return {};
}

std::vector<std::string> SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

// Lines that would make ngspice run commands or read other files: a
// netlist here is a circuit and its analyses, nothing more.
std::string UnsafeLine(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines) {
        const std::string word = Lower(line.substr(0, line.find_first_of(" \t")));
        if (word == ".control" || word == ".include" || word == ".inc" || word == ".lib") {
            return line;
        }
    }
    return {};
}

// Whether what ngspice printed during a run tells of a failure, and which.
Status JudgeRunLog(const std::string& runLog, bool stopped)
{
    const std::string error = ErrorText(runLog);
    // A singular matrix means a node without a DC path: whatever ngspice
    // then settles on (it tries gmin and source stepping) is not the
    // circuit's operating point.
    const auto singular = LinesWith(runLog, "singular matrix");
    std::vector<std::string> gaveUp;
    for (std::string_view mark : GaveUpMarks) {
        if (gaveUp.empty()) {
            gaveUp = LinesWith(runLog, mark);
        }
    }
    if (!error.empty()) {
        return Failure{"ngspice: " + error};
    }
    if (!singular.empty()) {
        return Failure{"ngspice: " + singular.front().substr(singular.front().find("singular")),
                       FailureKind::NotConverged};
    }
    if (!gaveUp.empty()) {
        std::string line = gaveUp.front();
        if (const std::size_t colon = line.find(": ");
            line.starts_with("doAnalyses") && colon != std::string::npos) {
            line.erase(0, colon + 2);
        }
        return Failure{"ngspice: " + line, FailureKind::NotConverged};
    }
    if (stopped) {
        return Failure{"ngspice stopped"};
    }
    return {};
}

Expected<FourierTable> ReadFourier(const std::string& text, int count)
{
    FourierTable table;
    table.m_ThdPercent = std::nan("");
    table.m_Magnitudes.assign(static_cast<std::size_t>(count), std::nan(""));
    bool rows = false;
    for (const std::string& line : SplitLines(text)) {
        if (const std::size_t thd = line.find("THD:"); thd != std::string::npos) {
            std::string_view rest = std::string_view(line).substr(thd + 4);
            table.m_ThdPercent = TakeNumber(rest);
        } else if (line.starts_with("--------")) {
            rows = true;
        } else if (rows) {
            std::string_view row = line;
            const double harmonic = TakeNumber(row);
            TakeNumber(row); // the frequency
            const double magnitude = TakeNumber(row);
            if (harmonic >= 1 && harmonic <= count && harmonic == std::floor(harmonic)) {
                table.m_Magnitudes[static_cast<std::size_t>(harmonic) - 1] = magnitude;
            }
        }
    }
    if (!std::isfinite(table.m_ThdPercent) ||
        std::ranges::any_of(table.m_Magnitudes, [](double m) { return !std::isfinite(m); })) {
        return Failure{"fourier gave no distortion figures"};
    }
    return table;
}

namespace {

// SPICE2's limit above which a leakage current is a multiple of IS.
constexpr double LeakageMultipleLimit = 1e-4;

bool IsLeakageMultiple(std::string_view parameter, std::string_view value)
{
    if (parameter != "ise" && parameter != "isc") {
        return false;
    }
    const std::string text(value);
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    return end != text.c_str() && number > LeakageMultipleLimit;
}

// The "name=value" or "name = value" pairs of a text, names in lower case.
std::vector<std::pair<std::string, std::string>> Assignments(std::string_view text)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    const auto isName = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; };
    for (std::size_t eq = text.find('='); eq != std::string_view::npos; eq = text.find('=', eq + 1)) {
        std::size_t nameEnd = eq;
        while (nameEnd > 0 && text[nameEnd - 1] == ' ') {
            --nameEnd;
        }
        std::size_t nameStart = nameEnd;
        while (nameStart > 0 && isName(text[nameStart - 1])) {
            --nameStart;
        }
        std::size_t valueStart = eq + 1;
        while (valueStart < text.size() && text[valueStart] == ' ') {
            ++valueStart;
        }
        std::size_t valueEnd = valueStart;
        while (valueEnd < text.size() && (isName(text[valueEnd]) || text[valueEnd] == '.' ||
                                          text[valueEnd] == '+' || text[valueEnd] == '-')) {
            ++valueEnd;
        }
        pairs.emplace_back(Lower(text.substr(nameStart, nameEnd - nameStart)),
                           std::string(text.substr(valueStart, valueEnd - valueStart)));
    }
    return pairs;
}

} // namespace

std::vector<LeakageMultiple> FindLeakageMultiples(const std::string& netlist)
{
    std::vector<LeakageMultiple> found;
    std::string model; // of the card the line belongs to, empty outside one
    for (const std::string& line : SplitLines(netlist)) {
        const std::string lower = Lower(line);
        if (lower.starts_with(".model ")) {
            const std::size_t start = lower.find_first_not_of(' ', 7);
            const std::size_t end = lower.find_first_of(" (", start);
            model = start == std::string::npos ? std::string() : lower.substr(start, end - start);
        } else if (!lower.starts_with("+")) {
            model.clear();
        }
        if (model.empty()) {
            continue;
        }
        for (const auto& [name, value] : Assignments(line)) {
            if (IsLeakageMultiple(name, value)) {
                found.push_back({model, name, value});
            }
        }
    }
    return found;
}

std::vector<LeakageMultiple> FindLeakageMultiple(std::string_view altermod)
{
    const std::string lower = Lower(altermod);
    if (!lower.starts_with("altermod ")) {
        return {};
    }
    const std::size_t start = lower.find_first_not_of(' ', 9);
    const std::size_t end = lower.find(' ', start);
    if (start == std::string::npos || end == std::string::npos) {
        return {};
    }
    const std::vector<std::pair<std::string, std::string>> pairs = Assignments(lower.substr(end));
    if (pairs.size() != 1 || !IsLeakageMultiple(pairs.front().first, pairs.front().second)) {
        return {};
    }
    return {{lower.substr(start, end - start), pairs.front().first, pairs.front().second}};
}

} // namespace norvane::ngspice
