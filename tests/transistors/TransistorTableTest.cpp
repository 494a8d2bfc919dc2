#include "transistors/TransistorTable.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <set>
#include <string>

namespace norvane {
namespace {

using Parameters = std::array<double, TransistorParameterCount>;

struct KnownRecord {
    const char* name;
    char polarity;
    Parameters values; // AF .. XTI, record order
};

// Records whose every stored double is known: three cards from the
// manufacturer and PSpice libraries and the hand-written germanium card.
const KnownRecord KnownRecords[] = {
    {"BC548B", 'N', {1.0,    294.3,  7.946,    3.728e-12, 1.358e-11, 0,      0.9579, 0.1357,
                     0.1144, 1e-06,  2.39e-14, 6.272e-14, 3.545e-15, 0.7495, 0,      0.2955,
                     0.3279, 0.3279, 1.243,    1.541,     1.008,     1.004,  0,      1.0,
                     1.0,    0.85,   0.4683,   4.391e-10, 1e-32,     63.2,   25.9,   0.3997,
                     0.65,   0.75,   2.643,    0.6193,    0,         120.0,  3.0}},
    {"2N3904", 'N', {1.0,    416.4,   0.7371,    3.638e-12, 4.493e-12, 0,     0.5,     0.06678,
                     0,      1.7e308, 6.734e-15, 0,         6.734e-15, 0.4,   0,       0.3085,
                     0.2593, 0.2593,  2.0,       1.259,     1.0,       1.0,   0,       10.0,
                     10.0,   1.0,     0,         3.012e-10, 2.395e-07, 74.03, 1.7e308, 0.75,
                     0.75,   0.75,    4.0,       1.0,       1.5,       2.0,   3.0}},
    {"BC558B", 'P', {1.0,      238.0, 8.07,  1.02e-11, 1.54e-11, 0,     0.66,  0.3,      1.0, 1.12,
                     1.69e-14, 1e-13, 1e-17, 0.95,     0,        0.345, 0.419, 0.419,    2.0, 2.0,
                     1.01,     1.0,   0,     50.0,     10.0,     1.49,  0.095, 5.64e-10, 0,   100.0,
                     50.0,     0.3,   0.8,   0.75,     1.47,     1.0,   0,     55.1,     3.0}},
    {"AC187K", 'N', {0,     132.0, 1.0, 0,    0, 0, 0, 0, 0, 1.7e308, 1.435, 0, 0, 0, 0, 0, 0, 0, 1e20, 1e20,
                     3.324, 1e20,  0,   44.6, 0, 0, 0, 0, 0, 1e20,    1e20,  0, 0, 0, 0, 0, 0, 0, 0}},
};

const std::set<std::string> GermaniumNames = {"AC125", "AC126",  "AC127", "AC128",
                                              "AC151", "AC187K", "AC188K"};

int ParameterIndex(const char* name)
{
    for (int k = 0; k < TransistorParameterCount; ++k) {
        if (std::strcmp(TransistorParameterNames[k], name) == 0) {
            return k;
        }
    }
    ADD_FAILURE() << "no parameter " << name;
    return 0;
}

int IndexOf(const char* name)
{
    const int index = FindTransistor(name);
    EXPECT_GE(index, 0) << name << " missing";
    return index;
}

// ------------------------------------------------------------ known rows

TEST(TransistorTableKnownRecords, EveryStoredDoubleAndPolarity)
{
    for (const auto& known : KnownRecords) {
        SCOPED_TRACE(known.name);
        const int index = FindTransistor(known.name);
        ASSERT_GE(index, 0);
        const TransistorRecord record = GetTransistorRecord(index);
        EXPECT_STREQ(record.name, known.name);
        EXPECT_EQ(record.polarity, known.polarity);
        for (int k = 0; k < TransistorParameterCount; ++k) {
            EXPECT_EQ(TransistorParameter(record, k), known.values[static_cast<std::size_t>(k)])
                << TransistorParameterNames[k];
        }
    }
}

TEST(TransistorTableKnownRecords, FieldsAgreeWithParameterAccess)
{
    // The named fields and the indexed access read the same values, in
    // the alphabetical order of the SPICE names.
    const TransistorRecord r = GetTransistorRecord(IndexOf("BC548B"));
    EXPECT_EQ(r.AF, 1.0);
    EXPECT_EQ(r.BF, 294.3);
    EXPECT_EQ(r.IRB, 1e-06);
    EXPECT_EQ(r.MJS, 0.3279);
    EXPECT_EQ(r.RE, 0.4683);
    EXPECT_EQ(r.TR, 1e-32);
    EXPECT_EQ(r.XCJC, 0.6193);
    EXPECT_EQ(r.XTI, 3.0);
    for (int k = 1; k < TransistorParameterCount; ++k) {
        EXPECT_LT(std::strcmp(TransistorParameterNames[k - 1], TransistorParameterNames[k]), 0)
            << TransistorParameterNames[k];
    }
    EXPECT_EQ(TransistorParameter(r, ParameterIndex("VAF")), r.VAF);
    EXPECT_EQ(TransistorParameter(r, ParameterIndex("XCJC")), r.XCJC);
}

TEST(TransistorTableKnownRecords, CopyKeepsInfiniteValue)
{
    const TransistorRecord copy = GetTransistorRecord(IndexOf("2N3904"));
    EXPECT_EQ(copy.IRB, InfiniteParameter);
    EXPECT_EQ(copy.VAR, 1.7e308);
    EXPECT_TRUE(std::isfinite(copy.IRB));
    // The copy's name still points at the table's text.
    EXPECT_EQ(copy.name, TransistorTable()[static_cast<std::size_t>(IndexOf("2N3904"))].name);
}

// ------------------------------------------------------------ whole table

TEST(TransistorTableWhole, SizeAndSpanAgree)
{
    EXPECT_GE(GetTransistorCount(), 3015);
    EXPECT_EQ(TransistorTable().size(), static_cast<std::size_t>(GetTransistorCount()));
    EXPECT_GE(FindTransistor("BC548B"), 0);
}

TEST(TransistorTableWhole, StrictlySortedByUnsignedBytes)
{
    const auto table = TransistorTable();
    for (std::size_t i = 1; i < table.size(); ++i) {
        const auto* a = reinterpret_cast<const unsigned char*>(table[i - 1].name);
        const auto* b = reinterpret_cast<const unsigned char*>(table[i].name);
        while (*a != 0 && *a == *b) {
            ++a;
            ++b;
        }
        EXPECT_LT(*a, *b) << table[i - 1].name << " before " << table[i].name;
    }
}

TEST(TransistorTableWhole, NamesAndPolarity)
{
    std::set<std::string> seen;
    for (const auto& r : TransistorTable()) {
        const std::string name = r.name;
        EXPECT_GE(name.size(), 5u) << name;
        EXPECT_LE(name.size(), 10u) << name;
        for (char c : name) {
            const bool allowed = (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
            EXPECT_TRUE(allowed) << name;
        }
        EXPECT_TRUE(seen.insert(name).second) << "duplicate " << name;
        EXPECT_TRUE(r.polarity == 'N' || r.polarity == 'P') << name;
    }
}

TEST(TransistorTableWhole, ValuesAreFiniteAndInfinityOnlyWhereAllowed)
{
    const std::set<std::string> mayBeInfinite = {"IKF", "IKR", "IRB", "VAF", "VAR", "VTF"};
    for (const auto& r : TransistorTable()) {
        for (int k = 0; k < TransistorParameterCount; ++k) {
            const double v = TransistorParameter(r, k);
            const char* p = TransistorParameterNames[k];
            EXPECT_TRUE(std::isfinite(v)) << r.name << " " << p;
            if (v == InfiniteParameter) {
                EXPECT_TRUE(mayBeInfinite.count(p)) << r.name << " " << p;
            }
            EXPECT_LE(v, InfiniteParameter) << r.name << " " << p;
        }
    }
}

TEST(TransistorTableWhole, DcParametersUsableByTheModel)
{
    // The DC evaluation divides by these or takes them as exponents.
    for (const auto& r : TransistorTable()) {
        EXPECT_GT(r.IS, 0) << r.name;
        EXPECT_GT(r.BF, 0) << r.name;
        EXPECT_GT(r.BR, 0) << r.name;
        EXPECT_GT(r.NF, 0) << r.name;
        EXPECT_GT(r.NR, 0) << r.name;
        EXPECT_GT(r.NE, 0) << r.name;
        EXPECT_GT(r.NC, 0) << r.name;
        EXPECT_GT(r.VAF, 0) << r.name;
        EXPECT_GT(r.VAR, 0) << r.name;
        EXPECT_GE(r.IKF, 0) << r.name;
        EXPECT_GE(r.IKR, 0) << r.name;
        EXPECT_GE(r.IRB, 0) << r.name;
        EXPECT_GE(r.ISE, 0) << r.name;
        EXPECT_GE(r.ISC, 0) << r.name;
        EXPECT_GE(r.RB, 0) << r.name;
        EXPECT_GE(r.RBM, 0) << r.name;
        EXPECT_GE(r.RC, 0) << r.name;
        EXPECT_GE(r.RE, 0) << r.name;
    }
}

TEST(TransistorTableWhole, GermaniumTypesAreTheSevenANames)
{
    std::set<std::string> found;
    for (int i = 0; i < GetTransistorCount(); ++i) {
        const TransistorRecord r = GetTransistorRecord(i);
        EXPECT_EQ(IsGermaniumTransistor(i), r.name[0] == 'A') << r.name;
        if (r.name[0] == 'A') {
            found.insert(r.name);
        }
    }
    EXPECT_EQ(found, GermaniumNames);
}

TEST(TransistorTableWhole, GermaniumRecordsHaveTheReducedForm)
{
    const std::set<std::string> given = {"BF", "BR", "IS", "NF", "RB"};
    const std::set<std::string> huge = {"NC", "NE", "NR", "VAF", "VAR"};
    for (const auto& name : GermaniumNames) {
        SCOPED_TRACE(name);
        const int index = FindTransistor(name.c_str());
        ASSERT_GE(index, 0);
        const TransistorRecord r = GetTransistorRecord(index);
        for (int k = 0; k < TransistorParameterCount; ++k) {
            const std::string p = TransistorParameterNames[k];
            const double v = TransistorParameter(r, k);
            if (given.count(p)) {
                if (p != "RB") {
                    EXPECT_GT(v, 0) << p;
                }
            } else if (huge.count(p)) {
                EXPECT_EQ(v, 1e20) << p;
            } else if (p == "IRB") {
                EXPECT_EQ(v, InfiniteParameter);
            } else {
                EXPECT_EQ(v, 0.0) << p;
            }
        }
    }
    EXPECT_EQ(GetTransistorRecord(IndexOf("AC187K")).polarity, 'N');
    EXPECT_EQ(GetTransistorRecord(IndexOf("AC188K")).polarity, 'P');
}

// ------------------------------------------------------------ lookup

TEST(TransistorTableLookup, FindsEveryRecordAtItsOwnIndex)
{
    const auto table = TransistorTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(FindTransistor(table[i].name), static_cast<int>(i)) << table[i].name;
    }
    EXPECT_EQ(FindTransistor(table.front().name), 0);
    EXPECT_EQ(FindTransistor(table.back().name), GetTransistorCount() - 1);
}

TEST(TransistorTableLookup, ExactMatchOnly)
{
    EXPECT_EQ(FindTransistor("bc548b"), -1);
    EXPECT_EQ(FindTransistor("BC548B "), -1);
    EXPECT_EQ(FindTransistor(" BC548B"), -1);
    EXPECT_EQ(FindTransistor(""), -1);
    EXPECT_EQ(FindTransistor(nullptr), -1);
    // Text that sorts before the first, after the last, or between two
    // neighbours (a name with a character appended) is not found.
    EXPECT_EQ(FindTransistor("!"), -1);
    EXPECT_EQ(FindTransistor("\xff"), -1);
    const auto table = TransistorTable();
    for (const auto& r : table) {
        const std::string longer = std::string(r.name) + "~";
        EXPECT_EQ(FindTransistor(longer.c_str()), -1) << longer;
    }
}

TEST(TransistorTableLookup, PolarityAndNominalBaseEmitterVoltage)
{
    EXPECT_TRUE(IsPnpTransistor(IndexOf("BC558B")));
    EXPECT_FALSE(IsPnpTransistor(IndexOf("BC548B")));
    EXPECT_TRUE(IsPnpTransistor(IndexOf("AC188K")));
    EXPECT_FALSE(IsPnpTransistor(IndexOf("AC187K")));
    EXPECT_EQ(GetNominalBaseEmitterVoltage(IndexOf("AC187K")), 0.2);
    EXPECT_EQ(GetNominalBaseEmitterVoltage(IndexOf("AC188K")), 0.2);
    EXPECT_EQ(GetNominalBaseEmitterVoltage(IndexOf("BC548B")), 0.6);
    EXPECT_EQ(GetNominalBaseEmitterVoltage(IndexOf("2N3904")), 0.6);
    for (int i = 0; i < GetTransistorCount(); ++i) {
        EXPECT_EQ(IsPnpTransistor(i), GetTransistorRecord(i).polarity == 'P');
    }
}

} // namespace
} // namespace norvane
