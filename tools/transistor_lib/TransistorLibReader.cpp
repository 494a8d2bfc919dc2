#include "TransistorLibReader.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <istream>
#include <sstream>

namespace norvane::tools {

const std::array<const char*, LibParameterCount> LibParameterNames = {
    "AF",  "BF", "BR",  "CJC", "CJE", "CJS", "FC",  "IKF", "IKR", "IRB",  "IS",  "ISC", "ISE",
    "ITF", "KF", "MJC", "MJE", "MJS", "NC",  "NE",  "NF",  "NR",  "PTF",  "RB",  "RBM", "RC",
    "RE",  "TF", "TR",  "VAF", "VAR", "VJC", "VJE", "VJS", "VTF", "XCJC", "XTB", "XTF", "XTI",
};

namespace {

bool IsNameCharacter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
}

bool IsValidName(const std::string& name)
{
    if (name.size() < 5 || name.size() > 10) {
        return false;
    }
    for (char c : name) {
        if (!IsNameCharacter(c)) {
            return false;
        }
    }
    return true;
}

// Byte-wise comparison of unsigned bytes; a prefix sorts first.
int CompareNames(const std::string& a, const std::string& b)
{
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// [+-] (digits [. digits] | . digits) [(e|E) [+-] digits]
bool IsPlainDecimal(const std::string& s)
{
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        ++i;
    }
    std::size_t digits = 0;
    while (i < s.size() && IsDigit(s[i])) {
        ++i;
        ++digits;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return false;
    }
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
            ++i;
        }
        std::size_t expDigits = 0;
        while (i < s.size() && IsDigit(s[i])) {
            ++i;
            ++expDigits;
        }
        if (expDigits == 0) {
            return false;
        }
    }
    return i == s.size();
}

std::string Trim(const std::string& s)
{
    const char* blanks = " \t\r\n";
    const auto first = s.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    const auto last = s.find_last_not_of(blanks);
    return s.substr(first, last - first + 1);
}

class Reader {
public:
    explicit Reader(std::string fileName) : m_FileName(std::move(fileName)) {}

    LibReadResult Read(std::istream& in)
    {
        std::string line;
        int lineNo = 0;
        while (m_Error.empty() && std::getline(in, line)) {
            ++lineNo;
            HandleLine(Trim(line), lineNo);
        }
        if (m_Error.empty() && m_Open) {
            Fail(m_Card.line, "card " + m_Card.name + " is not closed with ')' before the end");
        }
        if (m_Error.empty() && m_Result.cards.empty()) {
            Fail(lineNo, "no .model card in the library");
        }
        if (!m_Error.empty()) {
            m_Result.cards.clear();
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

    void HandleLine(const std::string& line, int lineNo)
    {
        if (line.empty() || line[0] == '*') {
            return;
        }
        if (line[0] == '+') {
            if (!m_Open) {
                Fail(lineNo, "continuation line outside a .model card");
                return;
            }
            HandleBody(line.substr(1), lineNo);
            return;
        }
        if (line.compare(0, 7, ".model ") == 0) {
            if (m_Open) {
                Fail(lineNo, "new card before card " + m_Card.name + " was closed with ')'");
                return;
            }
            HandleHeader(line, lineNo);
            return;
        }
        Fail(lineNo, "unexpected text '" + line.substr(0, 40) + "'");
    }

    // .model NAME NPN( [parameters...]
    void HandleHeader(const std::string& line, int lineNo)
    {
        std::istringstream words(line.substr(7));
        std::string name;
        std::string type;
        words >> name >> type;
        if (name.empty() || type.size() < 4 || type[3] != '(' ||
            (type.compare(0, 3, "NPN") != 0 && type.compare(0, 3, "PNP") != 0)) {
            Fail(lineNo, "expected '.model NAME NPN(' or '.model NAME PNP('");
            return;
        }
        if (!IsValidName(name)) {
            Fail(lineNo, "type name '" + name + "' is not 5 to 10 characters of A-Z 0-9 - _");
            return;
        }
        if (!m_Result.cards.empty()) {
            const LibCard& previous = m_Result.cards.back();
            const int order = CompareNames(previous.name, name);
            if (order == 0) {
                Fail(lineNo,
                     "duplicate type name " + name + " (also line " + std::to_string(previous.line) + ")");
                return;
            }
            if (order > 0) {
                Fail(lineNo, "type name " + name + " is not sorted after " + previous.name + " (line " +
                                 std::to_string(previous.line) + ")");
                return;
            }
        }
        m_Card = LibCard{};
        m_Card.name = name;
        m_Card.polarity = type[0];
        m_Card.line = lineNo;
        m_Count = 0;
        m_Open = true;
        std::string rest;
        std::getline(words, rest);
        rest = type.substr(4) + " " + rest;
        HandleBody(rest, lineNo);
    }

    void HandleBody(const std::string& text, int lineNo)
    {
        std::istringstream words(text);
        std::string word;
        while (m_Error.empty() && words >> word) {
            if (!m_Open) {
                Fail(lineNo, "text after the closing ')' of card " + m_Card.name);
                return;
            }
            bool closes = false;
            if (word.back() == ')') {
                closes = true;
                word.pop_back();
            }
            if (!word.empty()) {
                HandleParameter(word, lineNo);
            }
            if (closes && m_Error.empty()) {
                Close(lineNo);
            }
        }
    }

    void HandleParameter(const std::string& word, int lineNo)
    {
        const auto eq = word.find('=');
        if (eq == std::string::npos) {
            Fail(lineNo, "expected KEY=VALUE, found '" + word + "'");
            return;
        }
        const std::string key = word.substr(0, eq);
        const std::string text = word.substr(eq + 1);
        if (m_Count >= LibParameterCount) {
            Fail(lineNo, "card " + m_Card.name + ": more than " + std::to_string(LibParameterCount) +
                             " parameters ('" + key + "')");
            return;
        }
        const char* expected = LibParameterNames[static_cast<std::size_t>(m_Count)];
        if (key != expected) {
            Fail(lineNo,
                 "card " + m_Card.name + ": expected parameter " + expected + ", found '" + key + "'");
            return;
        }
        if (!IsPlainDecimal(text)) {
            Fail(lineNo, "card " + m_Card.name + ": " + key + "=" + text + " is not a plain decimal number");
            return;
        }
        double value = 0;
        const char* first = text.data() + (text[0] == '+' ? 1 : 0);
        const char* last = text.data() + text.size();
        const auto parsed = std::from_chars(first, last, value);
        if (parsed.ec != std::errc{} || parsed.ptr != last || !std::isfinite(value)) {
            Fail(lineNo,
                 "card " + m_Card.name + ": " + key + "=" + text + " is out of the range of a double");
            return;
        }
        const auto k = static_cast<std::size_t>(m_Count);
        m_Card.text[k] = text;
        m_Card.value[k] = value;
        ++m_Count;
    }

    void Close(int lineNo)
    {
        if (m_Count != LibParameterCount) {
            Fail(lineNo, "card " + m_Card.name + " has " + std::to_string(m_Count) + " parameters, " +
                             std::to_string(LibParameterCount) + " expected");
            return;
        }
        m_Result.cards.push_back(m_Card);
        m_Open = false;
    }

    std::string m_FileName;
    LibReadResult m_Result;
    std::string m_Error;
    LibCard m_Card;
    int m_Count = 0;
    bool m_Open = false;
};

} // namespace

LibReadResult ReadTransistorLib(std::istream& in, const std::string& fileName)
{
    return Reader(fileName).Read(in);
}

} // namespace norvane::tools
