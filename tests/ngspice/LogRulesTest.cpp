// How ngspice's printed text is read, without ngspice: the texts below are
// what ngspice 39 prints (copied from its runs).

#include "ngspice/LogRules.h"

#include "support/Prerequisites.h"

#include <gtest/gtest.h>

#include <clocale>
#include <string>

namespace norvane::ngspice {
namespace {

// fourier 1k v(out) of a diode clipping a 1 V sine behind 1 k.
constexpr const char* FourierOfAClippedSine =
    "Fourier analysis for v(out):\n"
    "  No. Harmonics: 10, THD: 13.5856 %, Gridsize: 200, Interpolation Degree: 1\n"
    "\n"
    "Harmonic Frequency   Magnitude   Phase       Norm. Mag   Norm. Phase\n"
    "-------- ---------   ---------   -----       ---------   -----------\n"
    " 0       0           -0.073557   0           0           0          \n"
    " 1       1000        0.865587    5.50563e-05 1           0          \n"
    " 2       2000        0.099909    89.9991     0.115423    89.999     \n"
    " 3       3000        0.0573279   -0.0016864  0.0662301   -0.0017414 \n"
    " 4       4000        0.0202193   -90.003     0.0233591   -90.003    \n"
    " 5       5000        0.00246381  -0.0016128  0.0028464   -0.0016678 \n"
    " 6       6000        0.00964073  -90.006     0.0111378   -90.006    \n"
    " 7       7000        0.00659314  179.989     0.00761696  179.989    \n"
    " 8       8000        0.00065907  89.9242     0.000761414 89.9242    \n"
    " 9       9000        0.00293484  -180        0.00339058  -180       \n";

TEST(Fourier, ReadsTheThdAndEachHarmonicAndNotTheDcRow)
{
    const Expected<FourierTable> table = ReadFourier(FourierOfAClippedSine, 9);
    ASSERT_TRUE(table) << table.Message();
    EXPECT_DOUBLE_EQ(table->m_ThdPercent, 13.5856);
    ASSERT_EQ(table->m_Magnitudes.size(), 9u);
    EXPECT_DOUBLE_EQ(table->m_Magnitudes[0], 0.865587);
    EXPECT_DOUBLE_EQ(table->m_Magnitudes[2], 0.0573279);
    EXPECT_DOUBLE_EQ(table->m_Magnitudes[8], 0.00293484);

    // A table cut short, or one printed with decimal commas, has no figures.
    const std::string text = FourierOfAClippedSine;
    EXPECT_FALSE(ReadFourier(text.substr(0, text.find(" 9       9000")), 9));
    std::string commas = text;
    for (char& c : commas) {
        if (c == '.') {
            c = ',';
        }
    }
    EXPECT_FALSE(ReadFourier(commas, 9));
}

TEST(Fourier, ReadsTheSameUnderADecimalCommaLocale)
{
    const std::string missing = norvane::test::SwitchToDecimalCommaLocale();
    ASSERT_TRUE(missing.empty()) << missing;
    const Expected<FourierTable> table = ReadFourier(FourierOfAClippedSine, 9);
    std::setlocale(LC_ALL, "C");
    ASSERT_TRUE(table) << table.Message();
    EXPECT_DOUBLE_EQ(table->m_ThdPercent, 13.5856);
    EXPECT_DOUBLE_EQ(table->m_Magnitudes[1], 0.099909);
}

TEST(RunLog, NamesTheFirstErrorWithTheLinesItAnnounces)
{
    const std::string log = "Circuit: * test\n"
                            "Error on line 6 or its substitute:\n"
                            "  q1 collector base emitter nomodel\n"
                            "unknown model nomodel\n"
                            "Error: second\n";
    EXPECT_EQ(ErrorText(log), "Error on line 6 or its substitute:   q1 collector base emitter nomodel "
                              "unknown model nomodel");
    EXPECT_EQ(JudgeRunLog(log, false).Message(),
              "ngspice: Error on line 6 or its substitute:   q1 collector base emitter nomodel unknown model "
              "nomodel");
    EXPECT_EQ(ErrorText("Error: no such vector\n"), "no such vector");
    EXPECT_EQ(ErrorText("Warning: gmin stepping\n"), "");
}

TEST(RunLog, GivingUpAndASingularMatrixFailWithoutAnError)
{
    EXPECT_TRUE(JudgeRunLog("Doing analysis at TEMP = 25.000000 and TNOM = 25.000000\n", false));
    EXPECT_EQ(JudgeRunLog("Warning: singular matrix:  check node out\n", false).Message(),
              "ngspice: singular matrix:  check node out");
    EXPECT_EQ(JudgeRunLog("doAnalyses: Too many iterations without convergence\n", false).Message(),
              "ngspice: Too many iterations without convergence");
    EXPECT_EQ(JudgeRunLog("run simulation(s) aborted\n", false).Message(),
              "ngspice: run simulation(s) aborted");
    EXPECT_EQ(JudgeRunLog("doAnalyses: TRAN:  Timestep too small; time = 1e-05\n", false).Message(),
              "ngspice: TRAN:  Timestep too small; time = 1e-05");
    EXPECT_EQ(JudgeRunLog("", true).Message(), "ngspice stopped");
}

TEST(Netlist, LinesThatRunCommandsOrReadFilesAreFoundInAnyCase)
{
    EXPECT_EQ(UnsafeLine(SplitLines("* title\nR1 in out 1k\n.op\n.end\n")), "");
    EXPECT_EQ(UnsafeLine(SplitLines("* t\n.CONTROL\nshell rm x\n.endc\n")), ".CONTROL");
    EXPECT_EQ(UnsafeLine(SplitLines("* t\n.Include /etc/passwd\r\n")), ".Include /etc/passwd");
    EXPECT_EQ(UnsafeLine(SplitLines("* t\n.inc x\n")), ".inc x");
    EXPECT_EQ(UnsafeLine(SplitLines("* t\n.lib models.lib bjt\n")), ".lib models.lib bjt");
    // A comment or another dot command that merely begins alike is harmless.
    EXPECT_EQ(UnsafeLine(SplitLines("* .include x\n.library\n.options reltol=1e-6\n")), "");
}

TEST(Text, FoldsCaseTheSameInATurkishLocale)
{
    // Under tr_TR, tolower('I') may give a dotless i, and "WARNING" would
    // no longer contain "warning".
    const char* turkish = std::setlocale(LC_ALL, "tr_TR.UTF-8");
    ASSERT_NE(turkish, nullptr)
        << "the tr_TR.UTF-8 locale is missing: install Debian's locales and generate it "
           "(bash scripts/install-deps.sh does both)";
    const std::string lower = Lower("WARNING: SINGULAR MATRIX");
    const auto found = LinesWith("ERROR IN LINE 1\nok\n", "error");
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(lower, "warning: singular matrix");
    EXPECT_EQ(found.size(), 1u);
}

// ngspice's safe-operating-area lines as ngspice 39 prints them: the
// largest excursion per rating, in the order VCEO, IC max, Ptot; the Ic
// line's "at Vce=" is not read as a Vce excursion.
TEST(SafeArea, KeepsTheLargestExcursionOfEachRating)
{
    const std::string log = "Circuit: stage\n"
                            "Instance: q1 Model: bc548b Pd=0.3855 W has exceeded Pd_max=0.3 W\n"
                            "at Vce=20 V, Ib=0.0001927 A, and Ic=0.01927 A\n"
                            "Instance: q1 Model: bc548b Ic=0.01927 A at Vce=20 V has exceeded Ic_max=0.01 A\n"
                            "Instance: q1 Model: bc548b Pd=0.62 W has exceeded Pd_max=0.3 W\n"
                            "Instance: q1 Model: bc548b |Vce|=45 has exceeded Vce_max=20\n"
                            "Warning: something else has exceeded its budget\n";
    const std::vector<SafeAreaExcursion> found = ReadSafeAreaExcursions(log);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].m_Rating, "VCEO");
    EXPECT_EQ(found[0].m_Value, 45.0);
    EXPECT_EQ(found[0].m_Limit, 20.0);
    EXPECT_EQ(found[1].m_Rating, "IC max");
    EXPECT_EQ(found[1].m_Value, 0.01927);
    EXPECT_EQ(found[1].m_Limit, 0.01);
    EXPECT_EQ(found[2].m_Rating, "Ptot");
    EXPECT_EQ(found[2].m_Value, 0.62);
    EXPECT_TRUE(ReadSafeAreaExcursions("Circuit: stage\nNo. of Data Rows : 1\n").empty());
    // Read run by run: the earlier worst stays unless a later run passes it.
    const std::vector<SafeAreaExcursion> later =
        ReadSafeAreaExcursions("Instance: q1 Model: bc548b |Vce|=30 has exceeded Vce_max=20\n"
                               "Instance: q1 Model: bc548b Pd=0.7 W has exceeded Pd_max=0.3 W\n",
                               {found[0], found[2]});
    ASSERT_EQ(later.size(), 2u);
    EXPECT_EQ(later[0].m_Value, 45.0);
    EXPECT_EQ(later[1].m_Rating, "Ptot");
    EXPECT_EQ(later[1].m_Value, 0.7);
}

} // namespace
} // namespace norvane::ngspice
