// The compiled-in ratings of common types against their data sheets, and the
// rules that choose among disagreeing sources.

#include "transistors/TransistorRatings.h"
#include "transistors/TransistorTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <string_view>
#include <vector>

namespace norvane {
namespace {

// One figure of a data sheet (a magnitude: the sheets of PNP types print it
// negative). Where a source states less, the library holds that lower value
// (the lowest value wins): `held`, stated by `heldBy`.
struct Figure {
    double dataSheet;
    double held = 0;
    const char* heldBy = "";
};

struct DataSheetType {
    // A type, and with it every gain group of it in the library that has no
    // row of its own (BC548 covers BC548A, BC548B, BC548BP, BC548C).
    const char* name;
    Figure vceo;  // V
    Figure icMax; // A
    Figure ptot;  // W; at 25 degC ambient in every data sheet cited here
    const char* dataSheet;
};

// The Fairchild sheets rate all gain groups alike. The CTT profiles rate the
// BC54x/BC55x families 300 mW, Intusoft BC548 20 V, the LTspice cards
// BC550C/BC560B/BC560C 30 V; each is below the data sheet and so is held.
const DataSheetType DataSheetTypes[] = {
    {"BC546", {65}, {0.1}, {0.5, 0.3, "ctt-profiles"}, "Fairchild BC546-550"},
    {"BC547", {45}, {0.1}, {0.5, 0.3, "ctt-profiles"}, "Fairchild BC546-550"},
    {"BC548", {30, 20, "intusoft"}, {0.1}, {0.5, 0.3, "ctt-profiles"}, "Fairchild BC546-550"},
    {"BC549", {30}, {0.1}, {0.5, 0.3, "ctt-profiles"}, "Fairchild BC546-550"},
    {"BC550", {45}, {0.1}, {0.5}, "Fairchild BC546-550"},
    {"BC550C", {45, 30, "ltspice-2020"}, {0.1}, {0.5}, "Fairchild BC546-550"},
    {"BC556", {65}, {0.1}, {0.5, 0.3, "ctt-profiles"}, "Fairchild BC556-560"},
    {"BC557", {45}, {0.1}, {0.5, 0.3, "ctt-profiles"}, "Fairchild BC556-560"},
    {"BC558", {30}, {0.1}, {0.5, 0.3, "ctt-profiles"}, "Fairchild BC556-560"},
    {"BC559", {30}, {0.1}, {0.5, 0.3, "ctt-profiles"}, "Fairchild BC556-560"},
    {"BC560", {45}, {0.1}, {0.5}, "Fairchild BC556-560"},
    {"BC560B", {45, 30, "ltspice-2020"}, {0.1}, {0.5}, "Fairchild BC556-560"},
    {"BC560C", {45, 30, "ltspice-2020"}, {0.1}, {0.5}, "Fairchild BC556-560"},
    {"2N2222A", {40}, {0.8}, {0.5}, "ST 2N2219A/2N2222A (TO-18)"},
    {"2N3904", {40}, {0.2}, {0.625, 0.31, "qucs-s"}, "onsemi 2N3903/D"},
    {"2N3906", {40}, {0.2}, {0.625, 0.31, "qucs-s"}, "onsemi 2N3906/D"},
    {"2N4401", {40}, {0.6}, {0.625, 0.31, "qucs-s"}, "onsemi 2N4401/D"},
    {"2N4403", {40}, {0.6}, {0.625, 0.6, "kicad-schlib"}, "onsemi 2N4403/D"},
    // 1.25 W at 25 degC ambient, 12.5 W at 25 degC case.
    {"BD139", {80}, {1.5, 1, "ctt-profiles"}, {1.25}, "onsemi BD135/D"},
    {"BD140", {80}, {1.5, 1, "ctt-profiles"}, {1.25}, "onsemi BD136/D"},
    {"2SC1815", {50, 45, "ltspice-2020"}, {0.15}, {0.4}, "Toshiba 2SC1815"},
    {"2N5551", {160}, {0.6}, {0.625}, "onsemi 2N5550/D"},
    // No shared source states the Ptot of TIP31C/TIP32C (onsemi TIP31/D:
    // 2 W ambient, 40 W case), so it stays unknown (NaN).
    {"TIP31C", {100}, {3}, {UnknownRating}, "onsemi TIP31/D"},
    {"TIP32C", {100}, {3}, {UnknownRating}, "onsemi TIP31/D"},
};

bool HasOwnRow(std::string_view name)
{
    for (const auto& type : DataSheetTypes) {
        if (name == type.name) {
            return true;
        }
    }
    return false;
}

// The type itself and its gain groups: a group letter, and Zetex's version
// with a P after it.
std::vector<int> TypesCoveredBy(std::string_view row)
{
    std::vector<int> indices;
    for (int i = 0; i < GetTransistorCount(); ++i) {
        const std::string_view name = GetTransistorRecord(i).name;
        if (name == row || (name.starts_with(row) && !HasOwnRow(name) && row.starts_with("BC"))) {
            const std::string_view rest = name.substr(row.size());
            static const char* const Groups[] = {"", "A", "B", "C", "AP", "BP", "CP"};
            for (const char* group : Groups) {
                if (rest == group) {
                    indices.push_back(i);
                }
            }
        }
    }
    return indices;
}

void ExpectFigure(double figure, std::string_view sources, const Figure& expected, const std::string& what)
{
    if (std::isnan(expected.dataSheet)) {
        EXPECT_TRUE(std::isnan(figure)) << what << ": " << figure << " from " << sources;
        return;
    }
    if (expected.held == 0) {
        EXPECT_EQ(figure, expected.dataSheet) << what << " from " << sources;
        return;
    }
    EXPECT_LT(expected.held, expected.dataSheet) << what;
    EXPECT_EQ(figure, expected.held) << what << " from " << sources;
    EXPECT_NE(sources.find(expected.heldBy), std::string_view::npos) << what << " from " << sources;
}

TEST(TransistorRatings, CommonTypesAgainstTheirDataSheets)
{
    int covered = 0;
    for (const auto& type : DataSheetTypes) {
        const auto indices = TypesCoveredBy(type.name);
        EXPECT_FALSE(indices.empty()) << type.name << " has no type in the library";
        for (int index : indices) {
            const TransistorRatings r = GetTransistorRatings(index);
            const std::string name = GetTransistorRecord(index).name;
            SCOPED_TRACE(name + " against " + type.dataSheet);
            ExpectFigure(r.m_Vceo, r.m_VceoSources, type.vceo, "VCEO");
            ExpectFigure(r.m_IcMax, r.m_IcMaxSources, type.icMax, "IC max");
            ExpectFigure(r.m_Ptot, r.m_PtotSources, type.ptot, "Ptot");
            ++covered;
        }
    }
    // BC546-BC550 and BC556-BC560 with their gain groups in the library
    // (40), and the eleven other types.
    EXPECT_EQ(covered, 51);
}

TEST(TransistorRatings, LowestValueWinsAndEveryValueSeenIsKept)
{
    // Intusoft gives 2N3904 60 V, which is its VCBO (onsemi 2N3903/D: VCBO
    // 60 V, VCEO 40 V); every other source gives 40 V.
    const TransistorRatings r = GetTransistorRatings(FindTransistor("2N3904"));
    EXPECT_EQ(r.m_Vceo, 40);
    std::vector<RatingSeen> vceo;
    for (const RatingSeen& seen : r.m_Seen) {
        if (seen.m_Field == RatingField::Vceo) {
            vceo.push_back(seen);
        }
    }
    ASSERT_EQ(vceo.size(), 2u);
    EXPECT_EQ(vceo[0].m_Value, 40);
    EXPECT_EQ(vceo[0].m_Sources, r.m_VceoSources);
    EXPECT_EQ(vceo[1].m_Value, 60);
    EXPECT_EQ(vceo[1].m_Sources, "intusoft");
    EXPECT_FALSE(GetRatingSourceDescription("intusoft").empty());
    EXPECT_TRUE(GetRatingSourceDescription("no-such-source").empty());

    // Intusoft's "10V 10mA" for its BFR90 RF model is the bias point of the
    // fit, no rating (Philips BFR90: VCEO 15 V, IC 25 mA).
    const TransistorRatings rf = GetTransistorRatings(FindTransistor("BFR90"));
    EXPECT_TRUE(std::isnan(rf.m_Vceo) || rf.m_Vceo == 15) << rf.m_Vceo << " from " << rf.m_VceoSources;
    EXPECT_TRUE(std::isnan(rf.m_IcMax) || rf.m_IcMax == 0.025) << rf.m_IcMax << " from " << rf.m_IcMaxSources;

    // A type no source rates: unknown, not zero.
    const TransistorRatings unrated = GetTransistorRatings(FindTransistor("AC125"));
    EXPECT_TRUE(std::isnan(unrated.m_Vceo) && std::isnan(unrated.m_IcMax) && std::isnan(unrated.m_Ptot));
    EXPECT_TRUE(unrated.m_VceoSources.empty() && unrated.m_Package.empty() && unrated.m_Seen.empty());
}

TEST(TransistorRatings, GainGroupsAndModelsShareVoltageGradesDoNot)
{
    // No source rates the power of BC548B itself: it has BC548's.
    const TransistorRatings group = GetTransistorRatings(FindTransistor("BC548B"));
    const TransistorRatings family = GetTransistorRatings(FindTransistor("BC548"));
    EXPECT_EQ(group.m_Ptot, family.m_Ptot);
    EXPECT_EQ(group.m_PtotSources, "ctt-profiles(BC548)");
    EXPECT_EQ(group.m_Package, "TO-92");

    // Cordell's model 2N3904C has no statement of its own: 2N3904's.
    const TransistorRatings model = GetTransistorRatings(FindTransistor("2N3904C"));
    const TransistorRatings part = GetTransistorRatings(FindTransistor("2N3904"));
    EXPECT_EQ(model.m_Vceo, part.m_Vceo);
    EXPECT_EQ(model.m_IcMax, part.m_IcMax);
    EXPECT_EQ(model.m_Ptot, part.m_Ptot);
    EXPECT_EQ(model.m_PtotSources, "qucs-s(2N3904)");

    // 2N2222 is the 30 V grade of 2N2222A (40 V), TIP31 the 40 V grade of
    // TIP31C (100 V): a lower value there must not pull the other down.
    const struct {
        const char* grade;
        double vceo;
        const char* other;
        double otherVceo;
    } grades[] = {{"2N2222A", 40, "2N2222", 30}, {"TIP31C", 100, "TIP31", 40}};
    for (const auto& g : grades) {
        const TransistorRatings r = GetTransistorRatings(FindTransistor(g.grade));
        EXPECT_EQ(r.m_Vceo, g.vceo) << g.grade;
        EXPECT_EQ(GetTransistorRatings(FindTransistor(g.other)).m_Vceo, g.otherVceo) << g.other;
        const std::string borrowed = std::string("(") + g.other + ")";
        for (std::string_view sources : {r.m_VceoSources, r.m_IcMaxSources, r.m_PtotSources}) {
            EXPECT_EQ(sources.find(borrowed), std::string_view::npos) << g.grade << ": " << sources;
        }
    }
}

} // namespace
} // namespace norvane
