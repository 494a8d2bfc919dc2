// The reader behind the build-time table generator: it must accept the
// library's own form and stop the build, naming the line, on anything else.

#include "TransistorLibReader.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

namespace norvane::tools {
namespace {

// A complete card with the 39 parameters; `value` replaces BF's text.
std::string Card(const std::string& name, const std::string& type = "NPN", const std::string& bf = "294.3")
{
    std::string text = ".model " + name + " " + type + "(\n";
    for (int k = 0; k < LibParameterCount; ++k) {
        text += (k % 6 == 0 ? "+ " : " ");
        text += LibParameterNames[static_cast<std::size_t>(k)];
        text += "=";
        text += (k == 1 ? bf : (k == 9 ? "1.7e308" : "1"));
        if (k % 6 == 5 || k == LibParameterCount - 1) {
            text += (k == LibParameterCount - 1 ? ")\n" : "\n");
        }
    }
    return text;
}

LibReadResult Read(const std::string& text)
{
    std::istringstream in(text);
    return ReadTransistorLib(in, "test.lib");
}

// Line of the first line of card number n (0-based) in a text of cards.
int LineOf(const std::string& text, const std::string& needle)
{
    const auto at = text.find(needle);
    int line = 1;
    for (std::size_t i = 0; i < at; ++i) {
        line += text[i] == '\n';
    }
    return line;
}

TEST(TransistorLibReader, ReadsCardsWithTextAndValues)
{
    const std::string text = "* comment\n\n" + Card("BC548B") + Card("BC558B", "PNP", "2.38e2");
    const auto result = Read(text);
    ASSERT_EQ(result.error, "");
    ASSERT_EQ(result.cards.size(), 2u);
    EXPECT_EQ(result.cards[0].name, "BC548B");
    EXPECT_EQ(result.cards[0].polarity, 'N');
    EXPECT_EQ(result.cards[0].line, 3);
    EXPECT_EQ(result.cards[0].text[1], "294.3");
    EXPECT_EQ(result.cards[0].value[1], 294.3);
    EXPECT_EQ(result.cards[0].value[9], 1.7e308);
    EXPECT_EQ(result.cards[1].polarity, 'P');
    EXPECT_EQ(result.cards[1].value[1], 238.0);
}

TEST(TransistorLibReader, RejectsUnsortedAndDuplicateNames)
{
    {
        const std::string text = Card("BC558B") + Card("BC548B");
        const auto result = Read(text);
        EXPECT_TRUE(result.cards.empty());
        EXPECT_EQ(result.error.rfind("test.lib:" + std::to_string(LineOf(text, ".model BC548B")) + ": ", 0),
                  0u)
            << result.error;
        EXPECT_NE(result.error.find("not sorted"), std::string::npos);
    }
    {
        const std::string text = Card("BC548B") + Card("BC548B");
        const auto result = Read(text);
        EXPECT_NE(result.error.find("duplicate type name BC548B"), std::string::npos) << result.error;
    }
    // Byte order: digits before letters, a prefix before its extensions.
    EXPECT_EQ(Read(Card("2N3904") + Card("2N3904A") + Card("BC548B")).error, "");
    EXPECT_NE(Read(Card("BC548") + Card("2N3904")).error, "");
}

TEST(TransistorLibReader, RejectsNumbersThatAreNotPlainDecimals)
{
    for (const char* bad :
         {"1.5m", "3.3Meg", "10pF", "1m2", "30.5-12", "0..4", "1e", ".", "inf", "1e400", "0x10"}) {
        const auto result = Read(Card("BC548B", "NPN", bad));
        EXPECT_NE(result.error.find("test.lib:2: card BC548B: BF="), std::string::npos)
            << bad << ": " << result.error;
    }
    for (const char* good : {"-200", "+1", ".5", "5.", "1E-32", "1.7e308"}) {
        EXPECT_EQ(Read(Card("BC548B", "NPN", good)).error, "") << good;
    }
}

TEST(TransistorLibReader, RejectsMissingExtraOrMisorderedParameters)
{
    std::string missing = Card("BC548B");
    missing.replace(missing.find(" XTI=1)"), 7, ")");
    EXPECT_NE(Read(missing).error.find("has 38 parameters, 39 expected"), std::string::npos)
        << Read(missing).error;

    std::string extra = Card("BC548B");
    extra.replace(extra.find("XTI=1)"), 6, "XTI=1 EG=1.11)");
    EXPECT_NE(Read(extra).error.find("more than 39 parameters"), std::string::npos) << Read(extra).error;

    std::string swapped = Card("BC548B");
    swapped.replace(swapped.find("AF=1 BF"), 7, "BF=1 AF");
    EXPECT_NE(Read(swapped).error.find("test.lib:2: card BC548B: expected "
                                       "parameter AF, found 'BF'"),
              std::string::npos)
        << Read(swapped).error;
}

TEST(TransistorLibReader, RejectsBrokenStructure)
{
    const std::string good = Card("BC548B");
    std::string unclosed = good;
    unclosed.erase(unclosed.rfind(')'), 1);
    EXPECT_NE(Read(unclosed).error.find("test.lib:1: card BC548B is not closed"), std::string::npos)
        << Read(unclosed).error;
    EXPECT_NE(Read(unclosed + Card("BC558B")).error.find("new card before"), std::string::npos);
    EXPECT_NE(Read(good + "+ RB=1\n").error.find("test.lib:9: continuation line outside"), std::string::npos)
        << Read(good + "+ RB=1\n").error;
    std::string trailing = good;
    trailing.replace(trailing.rfind(")"), 1, ") RB=1");
    EXPECT_NE(Read(trailing).error.find("text after the closing"), std::string::npos);
    EXPECT_NE(Read("garbage\n" + good).error.find("test.lib:1: unexpected text"), std::string::npos);
    EXPECT_NE(Read("* nothing\n").error.find("no .model card"), std::string::npos);
}

TEST(TransistorLibReader, RejectsBadNamesAndTypes)
{
    for (const char* name : {"bc548b", "BC54", "BC548BXXXXX", "BC548/B", "BC 548"}) {
        EXPECT_NE(Read(Card(name)).error, "") << name;
    }
    EXPECT_NE(Read(Card("BC548B", "NMOS")).error.find("expected '.model NAME"), std::string::npos);
    EXPECT_EQ(Read(Card("BC337-25") + Card("BCY58_8")).error, "");
}

} // namespace
} // namespace norvane::tools
