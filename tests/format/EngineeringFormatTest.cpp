#include "format/EngineeringFormat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>

namespace norvane {
namespace {

class EngineeringFormat : public ::testing::Test {
protected:
    void SetUp() override { UseEnglishNumberFormat(); }
    void TearDown() override { UseEnglishNumberFormat(); }
};

TEST_F(EngineeringFormat, ExamplesTable)
{
    const std::pair<double, const char*> examples[] = {
        {4700, "4.7 k"},      {470000, "470 k"},   {12345, "12.35 k"}, {99999, "100 k"},
        {1234567, "1.235 M"}, {2.5e9, "2.5 G"},    {1e12, "1000 G"},   {100, "100"},
        {12.3456, "12.35"},   {999.94, "999.9"},   {999.96, "1 k"},    {1, "1"},
        {0.1, "100 m"},       {-0.5, "-500 m"},    {0.0022, "2.2 m"},  {0.000123456, "123.5 u"},
        {-4.7e-6, "-4.7 u"},  {4.7e-8, "47 n"},    {6.8e-11, "68 p"},  {3.3e-12, "3.3 p"},
        {1e-16, "0 p"},       {1e-20, "0"},        {0, "0"},           {-1e-21, "0"},
        {1e20, "infinite"},   {-1e25, "infinite"}, {0.99996, "1"},     {-1e-20, "0"},
        {-1e20, "infinite"},
    };
    for (const auto& [value, text] : examples) {
        EXPECT_EQ(FormatEngineering(value), text) << "value " << value;
    }
}

TEST_F(EngineeringFormat, SettingsBeforeStartUpAndDecimalComma)
{
    InfinityText = "unendlich";
    UseDecimalPoint = false;
    EXPECT_EQ(FormatEngineering(4700), "4,7 k");
    EXPECT_EQ(FormatEngineering(-1.235e-3), "-1,235 m");
    EXPECT_EQ(FormatEngineering(1e21), "unendlich");
    EXPECT_EQ(FormatEngineering(0), "0");
    EXPECT_EQ(FormatEngineering(470), "470");
}

TEST_F(EngineeringFormat, RoundToFourDigits)
{
    EXPECT_EQ(RoundToFourDigits(0), 0);
    EXPECT_EQ(RoundToFourDigits(1e-21), 1e-21);
    EXPECT_DOUBLE_EQ(RoundToFourDigits(12345), 12350);
    EXPECT_DOUBLE_EQ(RoundToFourDigits(9999.7), 10000);
    EXPECT_DOUBLE_EQ(RoundToFourDigits(999.95), 1000);
    EXPECT_DOUBLE_EQ(RoundToFourDigits(1.23449), 1.234);
}

TEST_F(EngineeringFormat, FormatDecimalsTrimsZerosAndHandlesLargeFigures)
{
    EXPECT_EQ(FormatDecimals(4.7), "4.7");
    EXPECT_EQ(FormatDecimals(12.35), "12.35");
    EXPECT_EQ(FormatDecimals(1.235), "1.235");
    EXPECT_EQ(FormatDecimals(470), "470");
    EXPECT_EQ(FormatDecimals(0.0004), "0");
    EXPECT_EQ(FormatDecimals(0.0005), "0.001");
    // Above the range of a 32-bit thousandths count, up to the infinity threshold.
    EXPECT_EQ(FormatDecimals(2147483.648), "2147483.648");
    EXPECT_EQ(FormatEngineering(3e15), "3000000 G");
    EXPECT_EQ(FormatDecimals(1e19), "10000000000000000000");
    EXPECT_EQ(FormatDecimals(std::numeric_limits<double>::infinity()), "inf");
    EXPECT_EQ(FormatEngineering(-9.999e19), "-99990000000 G");
}

TEST_F(EngineeringFormat, NotANumberHasAClearText)
{
    EXPECT_EQ(FormatEngineering(std::numeric_limits<double>::quiet_NaN()), "undefined");
    EXPECT_EQ(FormatEngineering(-std::numeric_limits<double>::quiet_NaN()), "undefined");
    EXPECT_EQ(FormatEngineering(std::numeric_limits<double>::infinity()), "infinite");
}

TEST_F(EngineeringFormat, ParseExamples)
{
    const std::pair<const char*, double> examples[] = {
        {"4k7", 4700},
        {"4.7k", 4700},
        {"4,7 k", 4700},
        {"2.2u", 2.2e-6},
        {"100mA", 0.1},
        {"1 MOhm", 1e6},
        {"-4k7", -4700},
        {"1e3", 1000},
        {"", 0},
        {"abc", 0},
        {"4 . 7 k", 4700},
        {"12 V", 12},
        {"2mA", 0.002},
        {"10p", 1e-11},
        {"3N3", 3.3e-9},
        {"1G", 1e9},
        {"1g", 1},
        {"+5", 5},
        {"1.5.3", 1.5},
        {"  7", 7},
        {".5", 0.5},
        {"5.", 5},
        {"1e", 1},
        {"1e+", 1},
        {"2E-3", 0.002},
        {"-.25k", -250},
        {"0x10", 0},
        {"inf", 0},
        {"nan", 0},
        {"-", 0},
        {"1e400", HUGE_VAL},
        {"-1e400", -HUGE_VAL},
        {"1e-400", 0},
        {"0.000000001e-330", 0},
    };
    for (const auto& [text, value] : examples) {
        EXPECT_DOUBLE_EQ(ParseEngineering(text), value) << "text \"" << text << '"';
    }
}

TEST_F(EngineeringFormat, ParseTakesTheEarliestPrefixLetter)
{
    EXPECT_DOUBLE_EQ(ParseEngineering("1m5M"), 1.5e-3);
    EXPECT_DOUBLE_EQ(ParseEngineering("1M5m"), 1.5e6);
    EXPECT_DOUBLE_EQ(ParseEngineering("2k2p"), 2200);
    EXPECT_DOUBLE_EQ(ParseEngineering("p5"), 5e-13); // the copy reads ".5"
    EXPECT_DOUBLE_EQ(ParseEngineering("kp"), 0);
    // A NUL byte is no prefix letter (a spare zero entry once made it one,
    // scaling by 0).
    EXPECT_DOUBLE_EQ(ParseEngineering(std::string_view("12\0", 3)), 12);
    EXPECT_EQ(ReadEngineering(std::string_view("12\0k", 4)), 12e3);
    // No number at the start is no number; blanks still read as 0.
    EXPECT_EQ(ReadEngineering("kp"), std::nullopt);
    EXPECT_EQ(ReadEngineering(" \t"), 0.0);
}

TEST_F(EngineeringFormat, FormattedTextParsesBackWithinRounding)
{
    std::mt19937_64 random(20261208);
    std::uniform_real_distribution<double> exponent(-12.0, 15.0);
    for (int n = 0; n < 200000; ++n) {
        const double magnitude = std::pow(10.0, exponent(random));
        const double x = (n % 2 == 0) ? magnitude : -magnitude;
        const std::string text = FormatEngineering(x);
        const double back = ParseEngineering(text);
        ASSERT_LE(std::fabs(back - x), 5e-4 * std::fabs(x)) << x << " -> \"" << text << '"';
    }
}

TEST_F(EngineeringFormat, ParsingArbitraryBytesNeverFails)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 40);
    const std::string alphabet = "0123456789.,+-eEpPnNuUmkKMG \t";
    for (int n = 0; n < 100000; ++n) {
        std::string text;
        const int size = length(random);
        for (int k = 0; k < size; ++k) {
            const int b = byte(random);
            text += (n % 2 == 0) ? static_cast<char>(b) : alphabet[b % alphabet.size()];
        }
        const double value = ParseEngineering(text);
        ASSERT_FALSE(std::isnan(value)) << '"' << text << '"';
    }
}

} // namespace
} // namespace norvane
