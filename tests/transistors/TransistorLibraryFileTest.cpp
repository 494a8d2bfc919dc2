// The compiled-in table against the committed library it is generated
// from (resources/transistors/norvane-bjt.lib), read here independently of
// the build-time generator.

#include "transistors/TransistorTable.h"

#include <gtest/gtest.h>

#include <cctype>
#include <charconv>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#ifndef NORVANE_TRANSISTOR_LIB
#error "NORVANE_TRANSISTOR_LIB must name resources/transistors/norvane-bjt.lib"
#endif

namespace norvane {
namespace {

struct FileCard {
    std::string name;
    std::string type; // "NPN(" or "PNP("
    std::vector<std::pair<std::string, std::string>> parameters;
};

std::vector<FileCard> ReadCards()
{
    std::ifstream in(NORVANE_TRANSISTOR_LIB);
    EXPECT_TRUE(in.good()) << NORVANE_TRANSISTOR_LIB;
    std::vector<FileCard> cards;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == ".model") {
            cards.emplace_back();
            words >> cards.back().name >> cards.back().type;
        } else if (word == "+" && !cards.empty()) {
            while (words >> word) {
                if (!word.empty() && word.back() == ')') {
                    word.pop_back();
                }
                const auto eq = word.find('=');
                cards.back().parameters.emplace_back(
                    word.substr(0, eq), eq == std::string::npos ? std::string() : word.substr(eq + 1));
            }
        }
    }
    return cards;
}

bool IsPlainDecimal(const std::string& text)
{
    // No SPICE scale suffixes (M is milli in SPICE, mega elsewhere).
    for (char c : text) {
        if (!(std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == 'e' || c == '-' || c == '+')) {
            return false;
        }
    }
    return !text.empty();
}

class TransistorLibraryFile : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_Cards = new std::vector<FileCard>(ReadCards()); }
    static void TearDownTestSuite()
    {
        delete s_Cards;
        s_Cards = nullptr;
    }
    static const std::vector<FileCard>& Cards() { return *s_Cards; }

private:
    static std::vector<FileCard>* s_Cards;
};

std::vector<FileCard>* TransistorLibraryFile::s_Cards = nullptr;

TEST_F(TransistorLibraryFile, SortedStrictlyByBytes)
{
    ASSERT_FALSE(Cards().empty());
    for (std::size_t i = 1; i < Cards().size(); ++i) {
        const std::string& a = Cards()[i - 1].name;
        const std::string& b = Cards()[i].name;
        // std::string compares through char_traits<char>, i.e. as
        // unsigned bytes.
        EXPECT_LT(a.compare(b), 0) << a << " before " << b;
    }
}

TEST_F(TransistorLibraryFile, TableHasOneRecordPerCardInFileOrder)
{
    ASSERT_EQ(static_cast<int>(Cards().size()), GetTransistorCount());
    const auto table = TransistorTable();
    for (std::size_t i = 0; i < Cards().size(); ++i) {
        EXPECT_EQ(Cards()[i].name, table[i].name) << "card " << i;
        const char polarity = Cards()[i].type == "PNP(" ? 'P' : 'N';
        EXPECT_TRUE(Cards()[i].type == "NPN(" || Cards()[i].type == "PNP(") << Cards()[i].name;
        EXPECT_EQ(table[i].polarity, polarity) << Cards()[i].name;
    }
}

TEST_F(TransistorLibraryFile, EveryValueIsTheStoredDouble)
{
    const auto table = TransistorTable();
    ASSERT_EQ(Cards().size(), table.size());
    for (std::size_t i = 0; i < Cards().size(); ++i) {
        const FileCard& card = Cards()[i];
        ASSERT_EQ(card.parameters.size(), static_cast<std::size_t>(TransistorParameterCount)) << card.name;
        for (int k = 0; k < TransistorParameterCount; ++k) {
            const auto& [key, text] = card.parameters[static_cast<std::size_t>(k)];
            EXPECT_EQ(key, TransistorParameterNames[k]) << card.name;
            EXPECT_TRUE(IsPlainDecimal(text)) << card.name << " " << key << "=" << text;
            double value = 0;
            const auto parsed = std::from_chars(text.data(), text.data() + text.size(), value);
            EXPECT_EQ(parsed.ptr, text.data() + text.size()) << card.name << " " << key << "=" << text;
            EXPECT_EQ(TransistorParameter(table[i], k), value) << card.name << " " << key << "=" << text;
        }
    }
}

} // namespace
} // namespace norvane
