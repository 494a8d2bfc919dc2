#include "format/EngineeringFormat.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace norvane {

const char* InfinityText = "unendlich";
bool UseDecimalPoint = false;

void UseEnglishNumberFormat()
{
    InfinityText = "infinite";
    UseDecimalPoint = true;
}

double RoundToFourDigits(double y)
{
    if (y <= ZeroThreshold) {
        return y;
    }
    int n = 0;
    while (y + 0.5 >= 10000.0) {
        y = y * 0.1;
        --n;
    }
    while (y + 0.05 < 1000.0) {
        y = y * 10.0;
        ++n;
    }
    double r = std::trunc(y + 0.5);
    while (n > 0) {
        r = r * 0.1;
        --n;
    }
    while (n < 0) {
        r = r * 10.0;
        ++n;
    }
    return r;
}

std::string FormatDecimals(double b)
{
    // A 64-bit count of thousandths holds every figure below the infinity
    // threshold (at most 1e11 with the prefix "G"); larger figures and
    // non-numbers do not reach here from FormatEngineering.
    if (std::isnan(b)) {
        return UndefinedText;
    }
    if (!(b * 1000.0 < 9e18)) {
        std::array<char, 400> whole{};
        const auto result =
            std::to_chars(whole.data(), whole.data() + whole.size(), b, std::chars_format::fixed, 0);
        return std::string(whole.data(), result.ptr);
    }
    const auto i = static_cast<std::int64_t>(b * 1000.0 + 0.5);
    const double p = static_cast<double>(i) * 0.001;
    int decimals = 0;
    if (i % 10 != 0) {
        decimals = 3;
    } else if (i % 100 != 0) {
        decimals = 2;
    } else if (i % 1000 != 0) {
        decimals = 1;
    }
    return FormatFixed(p, decimals);
}

namespace {

// to_chars prints as printf does in the classic locale, whatever locale the
// process runs in.
std::string ToChars(double value, std::chars_format format, int precision)
{
    // Room for "%.17g" of any double and "%.3f" of values below 1e300.
    std::array<char, 400> buffer{};
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, format, precision);
    return result.ec == std::errc() ? std::string(buffer.data(), result.ptr) : std::string(UndefinedText);
}

} // namespace

std::string FormatGeneral(double value, int significantDigits)
{
    return ToChars(value, std::chars_format::general, significantDigits);
}

std::string FormatFixed(double value, int decimals)
{
    return ToChars(value, std::chars_format::fixed, decimals);
}

namespace {

struct Prefix {
    double m_LowerBound;
    char m_Letter;
    double m_Factor;
};

// Tested from the top; the last row takes everything below 1e-9.
constexpr std::array<Prefix, 8> FormatPrefixes{{
    {1e9, 'G', 1e-9},
    {1e6, 'M', 1e-6},
    {1e3, 'k', 0.001},
    {1.0, '\0', 1.0},
    {0.001, 'm', 1000.0},
    {1e-6, 'u', 1e6},
    {1e-9, 'n', 1e9},
    {0.0, 'p', 1e12},
}};

} // namespace

std::string FormatEngineering(double x)
{
    if (std::isnan(x)) {
        return UndefinedText;
    }
    const double v = std::fabs(x);
    if (v >= InfinityThreshold) {
        return InfinityText;
    }
    if (v <= ZeroThreshold) {
        return "0";
    }
    const double a = RoundToFourDigits(v);
    const Prefix* prefix = &FormatPrefixes.back();
    for (const Prefix& candidate : FormatPrefixes) {
        if (a >= candidate.m_LowerBound) {
            prefix = &candidate;
            break;
        }
    }

    std::string text;
    if (x < 0) {
        text += '-';
    }
    text += FormatDecimals(a * prefix->m_Factor);
    if (prefix->m_Letter != '\0') {
        text += ' ';
        text += prefix->m_Letter;
    }
    if (!UseDecimalPoint) {
        if (const auto point = text.find('.'); point != std::string::npos) {
            text[point] = ',';
        }
    }
    return text;
}

namespace {

struct Suffix {
    char m_Letter;
    double m_Factor;
};

// In the order in which the letters are searched.
constexpr std::array<Suffix, 11> ParseSuffixes{{
    {'p', 1e-12},
    {'P', 1e-12},
    {'n', 1e-9},
    {'N', 1e-9},
    {'u', 1e-6},
    {'U', 1e-6},
    {'m', 0.001},
    {'k', 1000.0},
    {'K', 1000.0},
    {'M', 1e6},
    {'G', 1e9},
}};

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Decimal order of the first significant digit of a plain decimal text
// such as "-000123.4e5" (here 7). Only called for texts whose value is out
// of the range of a double, which therefore have a significant digit.
long OrderOfMagnitude(std::string_view number)
{
    std::size_t pos = (!number.empty() && number[0] == '-') ? 1 : 0;
    long order = 0;
    bool significant = false;
    bool afterPoint = false;
    for (; pos < number.size() && number[pos] != 'e' && number[pos] != 'E'; ++pos) {
        const char c = number[pos];
        if (c == '.') {
            afterPoint = true;
        } else if (significant) {
            order += afterPoint ? 0 : 1;
        } else if (c != '0') {
            significant = true;
            order = afterPoint ? order - 1 : 0;
        } else if (afterPoint) {
            --order;
        }
    }
    long exponent = 0;
    if (pos < number.size()) {
        // The exponent may have more digits than a long holds; saturate.
        std::size_t e = pos + 1;
        const bool negative = number[e] == '-';
        if (number[e] == '+' || number[e] == '-') {
            ++e;
        }
        for (; e < number.size() && exponent < 1000000; ++e) {
            exponent = exponent * 10 + (number[e] - '0');
        }
        exponent = negative ? -exponent : exponent;
    }
    return order + exponent;
}

// Reads the longest leading decimal number as atof does in the classic
// locale, but without hexadecimal forms and the words inf and nan:
// white space, sign, digits with at most one point, optional exponent.
// nullopt when there is no digit.
std::optional<double> ReadLeadingDecimal(const std::string& s)
{
    std::size_t pos = 0;
    while (pos < s.size() && IsAsciiSpace(s[pos])) {
        ++pos;
    }
    const std::size_t start = pos;
    if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
        ++pos;
    }
    std::size_t digits = 0;
    while (pos < s.size() && IsDigit(s[pos])) {
        ++pos;
        ++digits;
    }
    if (pos < s.size() && s[pos] == '.') {
        ++pos;
        while (pos < s.size() && IsDigit(s[pos])) {
            ++pos;
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (pos < s.size() && (s[pos] == 'e' || s[pos] == 'E')) {
        std::size_t exponent = pos + 1;
        if (exponent < s.size() && (s[exponent] == '+' || s[exponent] == '-')) {
            ++exponent;
        }
        if (exponent < s.size() && IsDigit(s[exponent])) {
            while (exponent < s.size() && IsDigit(s[exponent])) {
                ++exponent;
            }
            pos = exponent;
        }
    }
    // from_chars reads the validated span independently of the locale; it
    // takes no leading '+'.
    std::size_t first = start;
    if (s[first] == '+') {
        ++first;
    }
    double value = 0.0;
    const auto result = std::from_chars(s.data() + first, s.data() + pos, value);
    if (result.ec == std::errc::result_out_of_range) {
        // Overflow reads as infinity and underflow as zero, as atof gives.
        const double huge = OrderOfMagnitude(s.substr(first, pos - first)) > 0 ? HUGE_VAL : 0.0;
        return s[first] == '-' ? -huge : huge;
    }
    return value;
}

} // namespace

std::optional<double> ReadEngineering(std::string_view text)
{
    std::string copy;
    copy.reserve(text.size());
    for (const char c : text) {
        if (c == ' ') {
            continue;
        }
        copy += (c == ',') ? '.' : c;
    }

    std::size_t chosen = std::string::npos;
    double factor = 1.0;
    for (const Suffix& suffix : ParseSuffixes) {
        const std::size_t found = copy.find(suffix.m_Letter);
        if (found != std::string::npos && (chosen == std::string::npos || found < chosen)) {
            chosen = found;
            factor = suffix.m_Factor;
            copy[found] = '.';
        }
    }
    const std::optional<double> number = ReadLeadingDecimal(copy);
    if (!number) {
        const bool blank = std::ranges::all_of(copy, IsAsciiSpace);
        return blank ? std::optional<double>(0.0) : std::nullopt;
    }
    return *number * factor;
}

double ParseEngineering(std::string_view text)
{
    return ReadEngineering(text).value_or(0.0);
}

} // namespace norvane
