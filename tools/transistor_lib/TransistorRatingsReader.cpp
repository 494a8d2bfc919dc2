#include "TransistorRatingsReader.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <istream>
#include <set>

namespace norvane::tools {

namespace {

constexpr const char* FieldNames[3] = {"vceo", "ic_max", "ptot"};
constexpr int ColumnCount = 10;

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        const auto end = text.find(separator, start);
        parts.push_back(text.substr(start, end - start));
        if (end == std::string::npos) {
            return parts;
        }
        start = end + 1;
    }
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// digits [. digits]: the importer writes no sign and no exponent.
bool IsPlainPositiveDecimal(const std::string& s)
{
    std::size_t i = 0;
    while (i < s.size() && IsDigit(s[i])) {
        ++i;
    }
    if (i == 0) {
        return false;
    }
    if (i < s.size() && s[i] == '.') {
        const std::size_t dot = ++i;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
        }
        if (i == dot) {
            return false;
        }
    }
    if (i != s.size()) {
        return false;
    }
    double value = 0;
    std::from_chars(s.data(), s.data() + s.size(), value);
    return value > 0 && std::isfinite(value);
}

double ValueOf(const std::string& s)
{
    double value = 0;
    std::from_chars(s.data(), s.data() + s.size(), value);
    return value;
}

bool IsSourceIdCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || IsDigit(c) || c == '-';
}

bool IsNameCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '-' || c == '_';
}

bool IsPackageText(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
        return IsNameCharacter(c) || c == '.' || c == '/' || c == '(' || c == ')';
    });
}

class Reader {
public:
    Reader(std::string fileName, const std::vector<std::string>& libraryNames)
        : m_FileName(std::move(fileName)), m_LibraryNames(libraryNames)
    {}

    RatingsReadResult Read(std::istream& in)
    {
        std::string line;
        int lineNo = 0;
        while (m_Error.empty() && std::getline(in, line)) {
            ++lineNo;
            if (!line.empty() && line.back() == '\r') {
                Fail(lineNo, "carriage return at the end of the line");
                break;
            }
            if (line.empty() || line[0] == '#') {
                continue;
            }
            const auto columns = Split(line, '\t');
            if (columns[0] == "source") {
                HandleSource(columns, lineNo);
            } else {
                HandleType(columns, lineNo);
            }
        }
        if (m_Error.empty() && m_Result.lines.empty()) {
            Fail(lineNo, "no rated type in the file");
        }
        if (!m_Error.empty()) {
            m_Result = {};
            m_Result.error = m_Error;
        }
        return std::move(m_Result);
    }

private:
    void Fail(int line, const std::string& what)
    {
        if (m_Error.empty()) {
            m_Error = m_FileName + ":" + std::to_string(line) + ": " + what;
        }
    }

    void HandleSource(const std::vector<std::string>& columns, int lineNo)
    {
        if (!m_Result.lines.empty()) {
            Fail(lineNo, "source declared after the first type");
            return;
        }
        if (columns.size() != 3 || columns[1].empty() || columns[2].empty() ||
            !std::all_of(columns[1].begin(), columns[1].end(), IsSourceIdCharacter)) {
            Fail(lineNo, "expected 'source<TAB>id<TAB>description' with an id of a-z 0-9 -");
            return;
        }
        if (!m_SourceIds.insert(columns[1]).second) {
            Fail(lineNo, "source " + columns[1] + " declared twice");
            return;
        }
        m_Result.sources.push_back({columns[1], columns[2]});
    }

    void HandleType(const std::vector<std::string>& columns, int lineNo)
    {
        if (columns.size() != ColumnCount) {
            Fail(lineNo, "expected " + std::to_string(ColumnCount) + " tab-separated columns, found " +
                             std::to_string(columns.size()));
            return;
        }
        RatingsLine rated;
        rated.name = columns[0];
        rated.line = lineNo;
        if (!PlaceName(rated, lineNo)) {
            return;
        }
        bool anyFigure = false;
        for (int k = 0; k < 3; ++k) {
            const std::string& figure = columns[static_cast<std::size_t>(1 + k)];
            if (figure == "-") {
                continue;
            }
            if (!IsPlainPositiveDecimal(figure)) {
                Fail(lineNo, rated.name + ": " + FieldNames[k] + " '" + figure +
                                 "' is not a positive plain decimal or '-'");
                return;
            }
            rated.figures[k] = figure;
            anyFigure = true;
        }
        if (!anyFigure) {
            Fail(lineNo, rated.name + ": no figure is known; a type without ratings has no line");
            return;
        }
        if (columns[4] != "-") {
            if (!IsPackageText(columns[4])) {
                Fail(lineNo, rated.name + ": package '" + columns[4] + "' is not a package name");
                return;
            }
            rated.package = columns[4];
        }
        for (int k = 0; k < 4; ++k) {
            const std::string& text = columns[static_cast<std::size_t>(5 + k)];
            const bool known = k < 3 ? !rated.figures[k].empty() : !rated.package.empty();
            const std::string what = k < 3 ? FieldNames[k] : "package";
            if (!known) {
                if (text != "-") {
                    Fail(lineNo, rated.name + ": sources '" + text + "' for an unknown " + what);
                    return;
                }
                continue;
            }
            if (!CheckSources(text, lineNo, rated.name + ": " + what)) {
                return;
            }
            rated.sources[k] = text;
        }
        if (columns[9] != "-" && !ReadSeen(columns[9], rated, lineNo)) {
            return;
        }
        m_Result.lines.push_back(std::move(rated));
    }

    // The library's index of the name; names must follow the library order.
    bool PlaceName(RatingsLine& rated, int lineNo)
    {
        const auto begin = m_LibraryNames.begin() + m_NextIndex;
        const auto found = std::lower_bound(begin, m_LibraryNames.end(), rated.name);
        if (found != m_LibraryNames.end() && *found == rated.name) {
            rated.libraryIndex = static_cast<int>(found - m_LibraryNames.begin());
            m_NextIndex = rated.libraryIndex + 1;
            return true;
        }
        if (std::binary_search(m_LibraryNames.begin(), m_LibraryNames.end(), rated.name)) {
            const RatingsLine& previous = m_Result.lines.back();
            Fail(lineNo, "type " + rated.name + " is not sorted after " + previous.name + " (line " +
                             std::to_string(previous.line) + ")");
        } else {
            Fail(lineNo, "type " + rated.name + " is not in the library");
        }
        return false;
    }

    // id or id(NAME), joined by '+', each id declared.
    bool CheckSources(const std::string& text, int lineNo, const std::string& what)
    {
        for (const std::string& token : Split(text, '+')) {
            std::string id = token;
            const auto open = token.find('(');
            if (open != std::string::npos) {
                const std::string name = token.substr(open + 1, token.size() - open - 2);
                if (token.back() != ')' || name.empty() ||
                    !std::all_of(name.begin(), name.end(), IsNameCharacter)) {
                    Fail(lineNo, what + ": source '" + token + "' is not id or id(NAME)");
                    return false;
                }
                id = token.substr(0, open);
            }
            if (m_SourceIds.count(id) == 0) {
                Fail(lineNo, what + ": source '" + id + "' is not declared");
                return false;
            }
        }
        return true;
    }

    // field:value=sources,value=sources;field:...
    bool ReadSeen(const std::string& text, RatingsLine& rated, int lineNo)
    {
        int lastField = -1;
        for (const std::string& group : Split(text, ';')) {
            const auto colon = group.find(':');
            const std::string fieldName = group.substr(0, colon);
            const auto field =
                std::find(std::begin(FieldNames), std::end(FieldNames), fieldName) - std::begin(FieldNames);
            if (colon == std::string::npos || field == 3) {
                Fail(lineNo,
                     rated.name + ": seen '" + group + "' does not start with vceo:, ic_max: or ptot:");
                return false;
            }
            const int k = static_cast<int>(field);
            if (k <= lastField) {
                Fail(lineNo, rated.name + ": seen values of " + fieldName + " repeated or out of order");
                return false;
            }
            lastField = k;
            if (rated.figures[k].empty()) {
                Fail(lineNo, rated.name + ": seen values of the unknown " + fieldName);
                return false;
            }
            const auto values = Split(group.substr(colon + 1), ',');
            if (values.size() < 2) {
                Fail(lineNo,
                     rated.name + ": " + fieldName + " lists one value seen; agreeing sources list none");
                return false;
            }
            double previous = 0;
            for (std::size_t i = 0; i < values.size(); ++i) {
                const auto eq = values[i].find('=');
                const std::string value = values[i].substr(0, eq);
                const std::string sources = eq == std::string::npos ? "" : values[i].substr(eq + 1);
                if (eq == std::string::npos || !IsPlainPositiveDecimal(value) ||
                    !CheckSources(sources, lineNo, rated.name + ": seen " + fieldName)) {
                    if (m_Error.empty()) {
                        Fail(lineNo, rated.name + ": seen " + fieldName + " '" + values[i] +
                                         "' is not value=sources");
                    }
                    return false;
                }
                if (i > 0 && !(ValueOf(value) > previous)) {
                    Fail(lineNo, rated.name + ": seen values of " + fieldName + " not ascending at " + value);
                    return false;
                }
                previous = ValueOf(value);
                // The figure is the lowest value seen, with its sources.
                if (i == 0 && (ValueOf(value) != ValueOf(rated.figures[k]) || sources != rated.sources[k])) {
                    Fail(lineNo, rated.name + ": " + fieldName + " " + rated.figures[k] + " (" +
                                     rated.sources[k] + ") is not the lowest value seen, " + value + " (" +
                                     sources + ")");
                    return false;
                }
                rated.seen.push_back({k, value, sources});
            }
        }
        return true;
    }

    std::string m_FileName;
    const std::vector<std::string>& m_LibraryNames;
    std::set<std::string> m_SourceIds;
    std::ptrdiff_t m_NextIndex = 0;
    RatingsReadResult m_Result;
    std::string m_Error;
};

} // namespace

RatingsReadResult ReadTransistorRatings(std::istream& in, const std::string& fileName,
                                        const std::vector<std::string>& libraryNames)
{
    return Reader(fileName, libraryNames).Read(in);
}

} // namespace norvane::tools
