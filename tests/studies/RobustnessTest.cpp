// The robustness analyses against answers known without the program:
// a divider's spread from its parts' bounds, a resistor's thermal noise,
// a stage's clipping from its operating point.

#include "studies/Robustness.h"
#include "present/RobustnessText.h"

#include "studies/StudySupport.h"
#include "studies/Verify.h"
#include "studies/Yield.h"
#include "support/SimulationExamples.h"
#include "transistors/TransistorTable.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>

namespace norvane {
namespace {

using testing::CommonBase;
using testing::CommonCollector;
using testing::CommonEmitter;

double FromDb(double db)
{
    return std::pow(10.0, db / 20.0);
}

// Two 1 k resistors, in to out to ground.
AmplifierCircuit Divider()
{
    AmplifierCircuit divider;
    divider.m_Title = "divider";
    divider.m_SupplyVoltage = 1.0;
    divider.m_LowerCutoff = 1e3;
    divider.m_Parts = {{"R1", "in", "out", 1e3}, {"R2", "out", "0", 1e3}};
    return divider;
}

// Two 1 k resistors of 5 %: the ratio R2 / (R1 + R2) lies within
// 0.95 / (1.05 + 0.95) .. 1.05 / (0.95 + 1.05); drawn uniformly, the
// deviation is (d2 - d1) / 4 with a triangular difference of two uniform
// draws, whose 1st percentile lies at 0.5 - 0.1 (1 - sqrt(0.02)) / 4.
TEST(Tolerances, OfADividerStayWithinItsBoundsAndFillThem)
{
    const AmplifierCircuit divider = Divider();
    ToleranceOptions options;
    options.m_Runs = 500;
    int judged = 0;
    const auto analysis = RunTolerances(divider, {}, 0.05, options, [&](const SimulationResult&) {
        ++judged;
        return std::vector<std::string>{};
    });
    ASSERT_TRUE(analysis) << analysis.Message();
    EXPECT_EQ(analysis->m_Simulated, 500);
    EXPECT_EQ(judged, 500);
    EXPECT_DOUBLE_EQ(analysis->Yield(), 1.0);
    std::vector<double> ratios;
    for (const double db : analysis->m_GainDb.m_Values) {
        ratios.push_back(FromDb(db));
    }
    const auto [low, high] = std::ranges::minmax(ratios);
    EXPECT_GE(low, 0.95 / 2.0 - 1e-9);
    EXPECT_LE(high, 1.05 / 2.0 + 1e-9);
    const double p1 = 0.5 - 0.1 * (1 - std::sqrt(0.02)) / 4;
    EXPECT_NEAR(FromDb(analysis->m_GainDb.m_Low), p1, 0.002);
    EXPECT_NEAR(FromDb(analysis->m_GainDb.m_High), 1 - p1, 0.002);
    EXPECT_NEAR(FromDb(analysis->m_GainDb.m_Median), 0.5, 0.002);
    // The input sees both resistors.
    EXPECT_NEAR(analysis->m_InputImpedance.m_Median, 2e3, 20);
}

long ResidentKilobytes()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

// ngspice keeps every command it was given until it is told to let go, some
// 6 KB a run: twenty analyses leave the memory where the first left it.
TEST(Tolerances, LeaveTheMemoryWhereTheFirstAnalysisLeftIt)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP()
        << "AddressSanitizer keeps freed memory in its quarantine (256 MB): the resident size only grows";
#endif
    const auto circuit = robustness::CircuitFor(*CommonEmitter(20), {});
    ASSERT_TRUE(circuit);
    SimulationOptions simulation;
    simulation.m_PointsPerDecade = 2; // the commands, not the points, held memory
    ToleranceOptions options;
    options.m_Runs = 500;
    ASSERT_TRUE(RunTolerances(*circuit, simulation, 0.1, options, {}));
    const long first = ResidentKilobytes();
    for (int analysis = 1; analysis < 20; ++analysis) {
        ASSERT_TRUE(RunTolerances(*circuit, simulation, 0.1, options, {}));
    }
    EXPECT_LT(ResidentKilobytes(), first + first / 10) << "after the first: " << first << " KB";
}

// A leakage current ISE above 1e-4 A is written as its multiple of IS
// (Netlist.h), so each run that scales IS by k must write the multiple
// over k to keep the current. A stage fed a fixed base current whose
// leakage (NE = 1) outweighs IS / BF: Ic = Ib IS k / ISE spreads as k
// does.
TEST(Tolerances, KeepALeakageWrittenAsAMultipleOfIsAtItsCurrent)
{
    AmplifierCircuit stage;
    stage.m_Title = "leaky stage";
    stage.m_SupplyVoltage = 12.0;
    stage.m_LowerCutoff = 10.0;
    stage.m_Transistor = GetTransistorRecord(FindTransistor("BUX32"));
    stage.m_Transistor.NE = 1.0;
    stage.m_Transistor.BF = 1e6;
    stage.m_Transistor.BR = 1e6; // no other base current than the leakage
    stage.m_Transistor.ISC = 0;
    ASSERT_TRUE(WrittenAsMultipleOfIs(stage.m_Transistor.ISE, stage.m_Transistor.IS));
    stage.m_Parts = {{"R1", "vcc", "base", 1e6},
                     {"R3", "vcc", "collector", 10.0},
                     {"R4", "emitter", "0", 1.0},
                     {"C1", "in", "base", 1e-3},
                     {"C2", "collector", "out", 1e-3}};
    ToleranceOptions options;
    options.m_Runs = 60;
    const auto analysis = RunTolerances(stage, {}, 0.0, options, {});
    ASSERT_TRUE(analysis) << analysis.Message();
    ASSERT_GT(analysis->m_Simulated, 50);
    // k is log-uniform within x/1.5: its 1st and 99th percentiles lie 0.98
    // of the way out, 1.5^1.96 = 2.21 apart (a leakage scaled with k gave
    // 3.6, and a median Ic 6600 times as high).
    const double spread = std::pow(1.5, 2 * 0.98);
    EXPECT_NEAR(analysis->m_Ic.m_High / analysis->m_Ic.m_Low, spread, 0.1 * spread);
}

// The same seed gives the same runs and the same yield; another seed other
// runs. Cancelling stops at once.
TEST(Tolerances, OfTheDefaultDesignAreReproducibleForASeed)
{
    const auto design = CommonEmitter(20);
    ToleranceOptions options;
    options.m_Runs = 60;
    options.m_Seed = 7;
    const auto first = AnalyseTolerances(*design, {}, options);
    const auto again = AnalyseTolerances(*design, {}, options);
    ASSERT_TRUE(first) << first.Message();
    ASSERT_TRUE(again);
    EXPECT_EQ(first->m_Simulated, 60);
    EXPECT_EQ(first->m_Meeting, again->m_Meeting);
    EXPECT_EQ(first->m_Ic.m_Values, again->m_Ic.m_Values);
    EXPECT_GT(first->m_Meeting, 0);
    EXPECT_LT(first->m_Meeting, 60); // Ic moves with the current gain
    options.m_Seed = 8;
    const auto other = AnalyseTolerances(*design, {}, options);
    ASSERT_TRUE(other);
    EXPECT_NE(first->m_Ic.m_Values, other->m_Ic.m_Values);

    int calls = 0;
    const auto cancelled = AnalyseTolerances(*design, {}, options, [&](int, int) { return ++calls < 3; });
    EXPECT_EQ(cancelled.Message(), AnalysisCancelled);
}

// 1 uF into 1 k: at f the resistor's 4kTR reaches the output through
// 1 / (1 + j w R C) and the signal through j w R C / (1 + j w R C), so the
// input-referred density is sqrt(4kTR) / (w R C), and its square
// integrates to 4kTR / (2 pi R C)^2 (1/f1 - 1/f2).
TEST(Noise, OfAnRcHighPassIsTheResistorsThermalNoise)
{
    const char* netlist = "* RC high-pass\n"
                          "VIN in 0 DC 0 AC 1\n"
                          "C1 in out 1e-06\n"
                          "R1 out 0 1000\n"
                          ".options temp=25 tnom=25\n"
                          ".end\n";
    const auto noise = MeasureNoise(netlist, 1e3);
    ASSERT_TRUE(noise) << noise.Message();
    constexpr double k = 1.380649e-23, T = 298.15, R = 1e3, C = 1e-6;
    const double thermal = 4 * k * T * R;
    const double wrc = 2 * std::numbers::pi * 1e3 * R * C;
    EXPECT_NEAR(noise->m_InputDensity, std::sqrt(thermal) / wrc, 0.005 * std::sqrt(thermal) / wrc);
    const double total = std::sqrt(thermal / std::pow(2 * std::numbers::pi * R * C, 2) *
                                   (1 / NoiseBandLow - 1 / NoiseBandHigh));
    EXPECT_NEAR(noise->m_InputTotal, total, 0.01 * total);
    ASSERT_EQ(noise->m_Spectrum.size(), 61u);
    EXPECT_DOUBLE_EQ(noise->m_Spectrum.front().first, NoiseBandLow);
}

// The common-base default passes 100 kHz and up: its totals are taken from
// f_min to the upper corner the verdict's AC sweep finds (to the noise
// sweep's 20 points a decade); the common-emitter example passes the
// audio band.
TEST(Noise, TakesItsTotalsOverTheBandTheStagePasses)
{
    const auto base = CommonBase();
    const auto wide = AnalyseNoise(*base, {});
    ASSERT_TRUE(wide) << wide.Message();
    EXPECT_FALSE(wide->m_AudioBand);
    EXPECT_EQ(wide->m_BandLow, 100e3);
    const double upper = Simulate(*base).m_UpperCutoff;
    EXPECT_GE(wide->m_BandHigh, upper);
    EXPECT_LT(wide->m_BandHigh, upper * std::pow(10.0, 1.0 / 20));
    EXPECT_EQ(wide->m_Spectrum.front().first, 100e3);

    const auto audio = AnalyseNoise(*CommonEmitter(20), {});
    ASSERT_TRUE(audio) << audio.Message();
    EXPECT_TRUE(audio->m_AudioBand);
    EXPECT_EQ(audio->m_BandHigh, NoiseBandHigh);
}

// The common-emitter example without load: towards cut-off the output can
// rise by Ic x R3 before the collector current is gone; driven three times
// past its headroom the stage distorts far more than at a tenth of it.
TEST(Distortion, RisesWhenTheStageClips)
{
    const auto design = CommonEmitter(20);
    const AmplifierCircuit circuit = DescribeCircuit(*design);
    const auto quiet = MeasureDistortion(circuit, {}, 0.05, 100.0);
    ASSERT_TRUE(quiet) << quiet.Message();
    const Headroom& headroom = quiet->m_Headroom;
    EXPECT_EQ(headroom.m_RisingEdge, "cut-off");
    EXPECT_EQ(headroom.m_FallingEdge, "saturation");
    const SimulationResult op = Simulate(*design);
    EXPECT_NEAR(headroom.m_Rising, op.m_Ic * PartValue(circuit, "R3"), 0.02 * headroom.m_Rising);
    EXPECT_LT(headroom.m_Falling, op.m_Uce);

    const auto clipped = MeasureDistortion(circuit, {}, 3 * headroom.Amplitude(), 100.0);
    ASSERT_TRUE(clipped) << clipped.Message();
    EXPECT_LT(quiet->m_ThdPercent, 0.1);
    EXPECT_GT(clipped->m_ThdPercent, 10.0);
    EXPECT_GT(clipped->m_ThdPercent, 100 * quiet->m_ThdPercent);
    // The last period of the transient, for the plot.
    ASSERT_FALSE(quiet->m_Waveform.empty());
    EXPECT_NEAR(quiet->m_Waveform.back().first - quiet->m_Waveform.front().first, 0.01, 1e-4);
}

// The common-base default distorts by 1.46 % at 0.5 V and clips at 5.05 V.
// Its capacitors hold the base and the emitter less firmly at 1 MHz than
// the transfer curve's, which would put 1 % THD at 0.15 V: a run of its
// own at the amplitude found distorts by 1 %. The common-collector default
// stays below 1 % up to its clipping limit.
TEST(Distortion, FindsTheAmplitudeOfOnePercent)
{
    CommonBaseDesign base;
    base.Compute(DesignInputs(CircuitKind::CommonBase));
    const auto analysis = AnalyseDistortion(base, {});
    ASSERT_TRUE(analysis) << analysis.Message();
    EXPECT_NEAR(analysis->m_ThdPercent, 1.46, 0.01);
    const double clean = analysis->m_CleanAmplitude;
    EXPECT_GT(clean, 0.3);
    EXPECT_LT(clean, 0.4);
    const auto check = MeasureDistortion(DescribeCircuit(base), {}, clean, analysis->m_Frequency);
    ASSERT_TRUE(check) << check.Message();
    EXPECT_NEAR(check->m_ThdPercent, CleanThdPercent, CleanThdMatch * CleanThdPercent);

    CommonCollectorDesign follower;
    follower.Compute(DesignInputs(CircuitKind::CommonCollector));
    const auto quiet = AnalyseDistortion(follower, {});
    ASSERT_TRUE(quiet) << quiet.Message();
    EXPECT_TRUE(std::isnan(quiet->m_CleanAmplitude));
    EXPECT_NE(DistortionLine(*quiet).find("below 1 % THD up to the clipping limit"), std::string::npos);
    EXPECT_EQ(DistortionLine(*analysis).substr(0, 15), "Clipping limit ");
}

// Capacitors of megafarads at an f_min of 1e-8 Hz: the transient's time
// steps collapse (30,000 points for 0.02 % of its time). The work its
// periods need bounds it, not the clock (which let it run 20 s).
TEST(Distortion, StopsATransientThatOverrunsItsPoints)
{
    CommonBaseDesign design;
    DesignInputs inputs(CircuitKind::CommonBase);
    inputs.SetValue(InputField::LowerCutoff, 1.18123e-08);
    inputs.SetTransistorIndex(FindTransistor("2N3136"));
    design.Compute(inputs);
    const auto analysis = AnalyseDistortion(design, {});
    ASSERT_FALSE(analysis);
    EXPECT_EQ(analysis.Message(), "not simulated: the transient needed more than 40000 time points for 40 "
                                  "periods and was stopped");
}

// Warmer, the same divider lets more collector current flow (VBE falls by
// about 2 mV/K); the gain of the bypassed stage hardly moves.
TEST(Temperature, RaisesTheCollectorCurrent)
{
    const auto analysis = AnalyseTemperature(*CommonEmitter(20), {});
    ASSERT_TRUE(analysis) << analysis.Message();
    ASSERT_EQ(analysis->m_Points.size(), AnalysisTemperatures.size());
    EXPECT_TRUE(std::ranges::is_sorted(analysis->m_Points, {}, &TemperaturePoint::m_Ic));
    const TemperaturePoint& nominal = analysis->m_Points[2];
    EXPECT_EQ(nominal.m_Celsius, 25.0);
    const SimulationResult op = Simulate(*CommonEmitter(20));
    EXPECT_NEAR(nominal.m_Ic, op.m_Ic, 1e-6 * op.m_Ic);
    EXPECT_NEAR(nominal.m_GainDb, op.m_GainDb, 1e-6);
}

const WorstCaseQuantity& QuantityNamed(const WorstCaseAnalysis& analysis, const std::string& name)
{
    return *std::ranges::find(analysis.m_Quantities, name, &WorstCaseQuantity::m_Name);
}

// The divider of two 1 k resistors of 5 %: its ratio lies between
// 0.95 / (1.05 + 0.95) with R1 high and R2 low and the mirror of it, its
// input resistance between 1.9 k and 2.1 k; nothing else moves them.
TEST(WorstCase, OfADividerIsItsAnalyticExtremes)
{
    const AmplifierCircuit divider = Divider();
    const auto analysis = RunWorstCase(divider, {}, 0.05, {"gain"}, [](const SimulationResult& r) {
        return r.m_GainDb < 20 * std::log10(0.48) ? std::vector<std::string>{"gain"}
                                                  : std::vector<std::string>{};
    });
    ASSERT_TRUE(analysis) << analysis.Message();
    const WorstCaseQuantity& gain = QuantityNamed(*analysis, "gain");
    EXPECT_NEAR(FromDb(gain.m_Min), 0.95 / 2.0, 1e-6);
    EXPECT_NEAR(FromDb(gain.m_Max), 1.05 / 2.0, 1e-6);
    EXPECT_NEAR(FromDb(gain.m_Nominal), 0.5, 1e-6);
    EXPECT_TRUE(gain.m_CornerMin.starts_with("R1+ R2-")) << gain.m_CornerMin;
    EXPECT_TRUE(gain.m_CornerMax.starts_with("R1- R2+")) << gain.m_CornerMax;
    EXPECT_EQ(gain.m_Meets, false);
    const WorstCaseQuantity& input = QuantityNamed(*analysis, "Z_in");
    EXPECT_NEAR(input.m_Min, 1.9e3, 0.1);
    EXPECT_NEAR(input.m_Max, 2.1e3, 0.1);
    EXPECT_FALSE(input.m_Meets.has_value());
}

// The worst case bounds what the tolerance runs find, for Ic and the gain
// of every circuit: its minimum at or below their 1st percentile, its
// maximum at or above their 99th.
TEST(WorstCase, BracketsTheToleranceRuns)
{
    for (const auto& design : {CommonEmitter(20), CommonBase(), CommonCollector()}) {
        const auto worst = AnalyseWorstCase(*design, {});
        const auto runs = AnalyseTolerances(*design, {});
        ASSERT_TRUE(worst) << worst.Message();
        ASSERT_TRUE(runs) << runs.Message();
        const std::pair<const char*, const Distribution*> quantities[] = {{"Ic", &runs->m_Ic},
                                                                          {"gain", &runs->m_GainDb}};
        for (const auto& [name, spread] : quantities) {
            const WorstCaseQuantity& q = QuantityNamed(*worst, name);
            EXPECT_LE(q.m_Min, spread->m_Low) << design->Title() << " " << name << " " << q.m_CornerMin;
            EXPECT_GE(q.m_Max, spread->m_High) << design->Title() << " " << name << " " << q.m_CornerMax;
            EXPECT_LE(q.m_Min, q.m_Nominal);
            EXPECT_GE(q.m_Max, q.m_Nominal);
        }
    }
}

// The worked common-emitter example meets its requirements in half of its
// builds: Ic follows the transistor's gain through the weak divider. The
// verdict says so; the bias proposal raises the yield, and what it states
// is what ngspice's runs (same seed) find for the design with the changes.
TEST(Yield, BiasProposalRaisesTheYieldOfTheWorkedExample)
{
    const auto design = CommonEmitter(20);
    const YieldAnalysis before = AnalyseYield(*design, {});
    ASSERT_TRUE(before.m_Yield.m_Problem.empty()) << before.m_Yield.m_Problem;
    EXPECT_LT(before.m_Yield.m_Fraction, YieldTarget);
    EXPECT_EQ(before.m_Yield.m_MostMissed, "Ic");
    EXPECT_EQ(before.m_Yield.Text(), "49 % of builds with 5 % resistors meet (Ic)");

    const std::optional<BiasProposal> bias = ProposeBias(*design, {}, before);
    ASSERT_TRUE(bias.has_value());
    EXPECT_GT(bias->m_After.m_Fraction, before.m_Yield.m_Fraction + 0.3) << bias->Line();
    EXPECT_LT(bias->m_InputImpedanceAfter, bias->m_InputImpedanceBefore);
    // R4 180 ohm centres the gain (200 ohm gives 19.5 dB); the divider
    // stays one a stage would carry, not the stiffest of the series.
    const auto r4 = std::ranges::find(bias->m_Changes, "R4", &PartChange::m_Part);
    ASSERT_NE(r4, bias->m_Changes.end()) << bias->Line();
    EXPECT_NEAR(r4->m_Proposed, 180, 1e-9);
    EXPECT_GT(bias->m_InputImpedanceAfter, 10e3) << bias->Line();
    VerificationOptions applied;
    for (const PartChange& change : bias->m_Changes) {
        applied.m_PartValues.emplace_back(change.m_Part, change.m_Proposed);
    }
    const auto check = AnalyseTolerances(*design, applied);
    ASSERT_TRUE(check) << check.Message();
    EXPECT_EQ(check->m_Meeting, bias->m_After.m_Meeting);
    EXPECT_TRUE(Verify(*design, applied).m_Verdict.m_Meets);
}

} // namespace
} // namespace norvane
