#pragma once

// Engineering notation for every number the program shows or reads:
// four significant digits, at most three decimals and an SI prefix letter
// ("4.7 k", "2.2 u", "100 m"), and the reverse, which also accepts the
// "4k7" manner of writing.

#include <optional>
#include <string>
#include <string_view>

namespace norvane {

// Process-wide settings, read on every call. They start as "unendlich" and
// false and are set once at start-up by UseEnglishNumberFormat().
extern const char* InfinityText;
extern bool UseDecimalPoint;

// Text shown for a value that is not a number.
inline constexpr const char* UndefinedText = "undefined";

// Magnitudes at or above this are shown as InfinityText.
inline constexpr double InfinityThreshold = 1e20;
// Magnitudes at or below this are shown as "0".
inline constexpr double ZeroThreshold = 1e-20;

// Switches to "infinite" and the decimal point.
void UseEnglishNumberFormat();

// Rounds a magnitude (y >= 0) to four significant digits, halves up.
double RoundToFourDigits(double y);

// Prints a figure (b >= 0) rounded to thousandths with as many decimals as
// it needs, at most three: "4.7", "12.35", "1.235", "470".
std::string FormatDecimals(double b);

// A number for files and programs to read, in the classic locale whatever
// locale the process runs in: printf's "%.<digits>g" ("1.5e-06") and
// "%.<decimals>f" ("19.48").
std::string FormatGeneral(double value, int significantDigits);
std::string FormatFixed(double value, int decimals);

// The engineering text of a value, without unit: "4.7 k", "-500 m", "0",
// "infinite".
std::string FormatEngineering(double x);

// The value of a typed text: blanks are ignored, "," and "." both separate
// decimals, the earliest prefix letter (p n u m k M G, and P N U K) scales
// the number and may stand in place of the decimal point. A text without a
// leading number reads as 0.
double ParseEngineering(std::string_view text);

// The same reading, but a text that is not blank and has no number at its
// start (after the blanks; a prefix letter standing for the decimal point,
// as in "k5", counts as the start of a number) is no number: nullopt. A
// blank text reads as 0.
std::optional<double> ReadEngineering(std::string_view text);

} // namespace norvane
