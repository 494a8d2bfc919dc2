#include "design/DesignResults.h"

#include "format/EngineeringFormat.h"

#include <gtest/gtest.h>

namespace norvane {
namespace {

class DesignResults : public ::testing::Test {
protected:
    void SetUp() override { UseEnglishNumberFormat(); }
};

TEST_F(DesignResults, QuantityJoinsTheUnitWithOneBlankAfterAFigure)
{
    const struct {
        double number;
        const char* unit;
        const char* text;
    } cases[] = {
        {12, "V", "12 V"},      {0.0022, "A", "2.2 mA"},   {4.7e-7, "F", "470 nF"}, {0, "V", "0 V"},
        {20, "dB", "20 dB"},    {10, "Hz", "10 Hz"},       {1500, "Hz", "1.5 kHz"}, {1e20, "F", "infiniteF"},
        {-0.5, "V", "-500 mV"}, {8.98e-3, "W", "8.98 mW"},
    };
    ResultItem item;
    for (const auto& c : cases) {
        item.SetQuantity("X", c.number, c.unit);
        EXPECT_EQ(item.value, c.text);
        EXPECT_EQ(item.name, "X");
    }
}

TEST_F(DesignResults, NumberAndTextOverwriteBothFields)
{
    ResultItem item;
    EXPECT_EQ(item, (ResultItem{"", ""}));
    item.SetQuantity("C1", 1e-6, "F");
    item.SetNumber("R1", 2200);
    EXPECT_EQ(item, (ResultItem{"R1", "2.2 k"}));
    item.SetNumber("R2", 50000);
    EXPECT_EQ(item.value, "50 k");
    item.SetNumber("R3", 1);
    EXPECT_EQ(item.value, "1");
    item.SetText("T1", "BC548B");
    EXPECT_EQ(item, (ResultItem{"T1", "BC548B"}));
}

TEST_F(DesignResults, SeriesLabels)
{
    EXPECT_EQ(SeriesLabel(SeriesCounts[0]), "E12");
    EXPECT_EQ(SeriesLabel(SeriesCounts[1]), "E24");
    EXPECT_EQ(SeriesLabel(SeriesCounts[2]), "E48");
    EXPECT_EQ(SeriesLabel(SeriesCounts[3]), "E96");
}

} // namespace
} // namespace norvane
