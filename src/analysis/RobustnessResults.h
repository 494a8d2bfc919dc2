#pragma once

// Will the design work with real parts? The results of the four analyses
// beyond the verdict (studies/Robustness.h runs them),
// each on the same Gummel-Poon card and circuit as Verify (with its load,
// source resistance and part edits), each loading its circuit into ngspice
// once and changing it there (alter, altermod, the temperature option)
// rather than loading it again for every run:
//
// 1. Tolerances (Monte Carlo): DefaultToleranceRuns seeded runs, each with every
//    resistor drawn uniformly within its series' tolerance, every capacitor
//    within CapacitorTolerance, and the transistor's spread (see
//    CurrentGainSpread). Each run is simulated as Verify simulates (.op,
//    the AC sweep, the output impedance at the run's own mid-band) and
//    judged by the verdict's rules against the design's targets.
// 2. Temperature: Ic, Uce and the mid-band gain at AnalysisTemperatures,
//    the card's TNOM as written.
// 3. Headroom and distortion: the largest output amplitude before the
//    transistor leaves the active region (see Headroom), and the total
//    harmonic distortion (ngspice's fourier, harmonics 1 to 9) of a
//    transient at 10 x f_min with DistortionAmplitude peak at the output,
//    or half the headroom when that is smaller.
// 4. Noise: ngspice's noise analysis, referred to the source's own
//    voltage (behind the source resistance, whose noise counts): the
//    density at NoiseSpotFrequency (or 10 x f_min when higher) and the
//    total over 20 Hz to 20 kHz, integrated from the density at 20 points
//    a decade as a power law between them.
//
// On the example common-emitter design the four together take about half
// a second in a release build, the 500 tolerance runs most of it.
//
// Each analysis reports its progress and may be cancelled through
// AnalysisProgress; a cancelled analysis fails with AnalysisCancelled.
// Like every simulation they are serialised with the others in the
// process; the callers run them on a worker thread.

#include "analysis/Measurement.h"
#include "analysis/Statistics.h"
#include "circuit/DesignTargets.h"
#include "common/Outcome.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace norvane {

// Called between the runs of an analysis with the runs done and the runs
// in all; returning false cancels the analysis. Called on the thread that
// runs the analysis.
using AnalysisProgress = std::function<bool(int done, int total)>;

// The message of an analysis that was cancelled through its progress.
inline constexpr const char* AnalysisCancelled = "cancelled";
inline Failure CancelledFailure()
{
    return {AnalysisCancelled, FailureKind::Cancelled};
}

// ---- Tolerances ----------------------------------------------------------

inline constexpr int DefaultToleranceRuns = 500;
inline constexpr std::uint64_t DefaultToleranceSeed = 1;
// At most this many runs; a larger request is refused.
inline constexpr int MaximumToleranceRuns = 100000;

// Every capacitor: +-20 %, what ordinary ceramic and electrolytic parts
// are sold with.
inline constexpr double CapacitorTolerance = 0.20;

// The resistor tolerance a series is sold with: E12 10 %, E24 5 %, E48
// 2 %, E96 1 %.
double ResistorTolerance(int series);

// The transistor's spread. A datasheet gives the current gain of a type as
// a minimum and a maximum around its typical value: BC546..BC548, group B,
// hFE 200 min, 290 typ, 450 max at 2 mA (onsemi BC546/D; Philips/NXP give
// the same); 2N3904 100..300 at 10 mA. About a factor of 1.5 either way
// of typical covers them. Each run draws one factor k log-uniformly from
// [1 / CurrentGainSpread, CurrentGainSpread] and scales both BF and IS by
// it: a thinner base raises the collector current at a given VBE and the
// current gain together (the base current, set by ISE and the emitter,
// stays), so a high-gain sample also has a VBE lower by VT ln k (10 mV at
// k = 1.5), as datasheets' VBE(on) ranges show.
inline constexpr double CurrentGainSpread = 1.5;

struct ToleranceOptions {
    int m_Runs = DefaultToleranceRuns;
    std::uint64_t m_Seed = DefaultToleranceSeed;
};

// Which robustness analyses to run.
struct AnalysisRequest {
    int m_ToleranceRuns = 0; // 0: none
    std::uint64_t m_Seed = DefaultToleranceSeed;
    bool m_Temperature = false;
    bool m_Distortion = false;
    bool m_Noise = false;
    bool m_WorstCase = false;

    bool Any() const
    {
        return m_ToleranceRuns > 0 || m_Temperature || m_Distortion || m_Noise || m_WorstCase;
    }
    bool operator==(const AnalysisRequest&) const = default;
};

struct ToleranceAnalysis {
    int m_Runs = 0;      // runs made
    int m_Simulated = 0; // of which simulated
    int m_Meeting = 0;   // of which meet the requirements
    double m_ResistorTolerance = 0.0;
    double m_CapacitorTolerance = CapacitorTolerance;
    double m_CurrentGainSpread = CurrentGainSpread;
    std::uint64_t m_Seed = DefaultToleranceSeed;
    Distribution m_Ic;              // A
    Distribution m_Uce;             // V
    Distribution m_GainDb;          // dB
    Distribution m_InputImpedance;  // ohm
    Distribution m_OutputImpedance; // ohm
    Distribution m_LowerCutoff;     // Hz (runs whose corner lies in the sweep)
    // How often each quantity of the verdict ("gain", "Z_out", ...) was
    // missed, most often first.
    std::vector<std::pair<std::string, int>> m_Misses;
    // T1 past its ratings in any run, the worst of all runs (ngspice's
    // safe-operating-area check).
    std::vector<SafeAreaExcursion> m_SafeArea;
    // What the design aimed at, for drawing the requirements' limits
    // beside the spread (RequirementBandOf).
    DesignTargets m_Targets;

    // The share of the runs that meet the requirements (a run that did not
    // simulate does not); 0..1.
    double Yield() const { return m_Runs > 0 ? static_cast<double>(m_Meeting) / m_Runs : 0.0; }
};

// ---- Temperature ---------------------------------------------------------

inline constexpr std::array<double, 5> AnalysisTemperatures = {-25.0, 0.0, 25.0, 50.0, 85.0}; // degC

struct TemperaturePoint {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    double m_Celsius = 0.0;
    double m_Ic = NaN;     // A
    double m_Uce = NaN;    // V
    double m_GainDb = NaN; // dB, at mid-band
};

// A temperature at which the circuit does not simulate has NaN values.
struct TemperatureAnalysis {
    std::vector<TemperaturePoint> m_Points; // at AnalysisTemperatures
    double m_MidbandFrequency = 0.0;        // Hz, the mid-band of 25 degC
    // T1 past its ratings at any of the temperatures (ngspice's
    // safe-operating-area check; the ratings are those at 25 degC).
    std::vector<SafeAreaExcursion> m_SafeArea;
};

// ---- Headroom and distortion ---------------------------------------------

// The output amplitude (peak) the distortion is measured at, unless half
// the headroom is smaller: 1 V peak to peak.
inline constexpr double DistortionAmplitude = 0.5;
// The harmonics the distortion counts: 1 (the fundamental) to 9.
inline constexpr int DistortionHarmonics = 9;

// The clipping edges. The headroom is found on the stage's transfer curve
// at mid-band: a DC sweep of the input source with every capacitor held at
// its operating-point voltage (a signal well inside the pass band does not
// change their charge). Walking out from the operating point, an edge is
// where the transistor leaves the active region:
// - saturation: the base-collector junction forward biased by
//   SaturationJunctionVoltage; below that it conducts too little to
//   matter (a silicon junction at 0.4 V passes about a millionth of what
//   it passes at 0.7 V), above it the collector stops following the base;
// - cut-off: the collector current down to CutoffCurrentShare of its
//   operating value.
inline constexpr double SaturationJunctionVoltage = 0.4; // V
inline constexpr double CutoffCurrentShare = 0.01;

struct Headroom {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    double m_Rising = NaN;    // V, how far the output rises to its edge
    double m_Falling = NaN;   // V, how far it falls to its edge
    std::string m_RisingEdge; // "saturation", "cut-off", or "none" within the sweep
    std::string m_FallingEdge;
    // The smaller of the two: the largest undistorted peak amplitude.
    double Amplitude() const { return std::fmin(m_Rising, m_Falling); }
};

// The distortion the clipping limit is set beside: the output peak where
// the stage reaches it is the largest signal it passes cleanly. It is
// found with transients as the distortion run's own: the transfer curve of
// the headroom sweep holds every capacitor as a short, and the stages
// whose capacitors do not quite short the signal at 10 x f_min distort up
// to half as much as that curve says (the common-base default through
// C3). The first run goes where that curve, scaled by how far it was off
// at the distortion run, gives the aim; then along the line through the
// last two runs in logarithmic terms, until a run lies within
// CleanThdMatch of the aim, at most CleanAmplitudeRuns runs.
inline constexpr double CleanThdPercent = 1.0;
inline constexpr double CleanThdMatch = 0.05; // of CleanThdPercent
inline constexpr int CleanAmplitudeRuns = 4;

struct DistortionAnalysis {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    Headroom m_Headroom;
    // V peak at the output where the stage distorts by CleanThdPercent; NaN
    // where it stays below that up to the clipping limit or no run found it.
    double m_CleanAmplitude = NaN;
    double m_Frequency = NaN;        // Hz, 10 x f_min
    double m_Amplitude = NaN;        // V peak at the output asked for
    double m_InputAmplitude = NaN;   // V peak at the source that gives it
    double m_ThdPercent = NaN;       // harmonics 2..9 against the fundamental
    std::vector<double> m_Harmonics; // V peak of harmonics 1..9
    // The output over the last period of the transient (s, V), for a plot;
    // the operating point's output (0 behind C2) is the middle line.
    std::vector<std::pair<double, double>> m_Waveform;
    // The transfer curve of the headroom sweep: (input V, output V).
    std::vector<std::pair<double, double>> m_Transfer;
    // T1 past its ratings under the signal of the distortion run (ngspice's
    // safe-operating-area check over the transient); the headroom sweep,
    // which drives the stage to its edges on purpose, is not counted.
    std::vector<SafeAreaExcursion> m_SafeArea;
};

// ---- Noise ---------------------------------------------------------------

// The noise totals are taken over the audio band where the stage passes
// all of it (f_min at or below its low end, the upper -3 dB corner at or
// above its high end); otherwise over the stage's own pass band, f_min to
// the upper corner, or to NoisePassBandSpan x f_min where the gain shows
// none below that: a total over 20 Hz - 20 kHz says nothing of a stage
// that passes 100 kHz and up.
inline constexpr double NoiseSpotFrequency = 1e3; // Hz
inline constexpr double NoiseBandLow = 20.0;      // Hz, the audio band
inline constexpr double NoiseBandHigh = 20e3;     // Hz
inline constexpr double NoisePassBandSpan = 1000.0;

struct NoiseAnalysis {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    double m_SourceResistance = 0.0;   // ohm
    double m_SpotFrequency = NaN;      // Hz
    double m_InputDensity = NaN;       // V/sqrt(Hz) at m_SpotFrequency
    double m_BandLow = NoiseBandLow;   // Hz, the band of the totals
    double m_BandHigh = NoiseBandHigh; // Hz
    bool m_AudioBand = true;           // else the stage's own pass band
    double m_InputTotal = NaN;         // V rms over the band
    // ngspice's onoise_total over the same band.
    double m_OutputTotal = NaN; // V rms at the output
    // The input-referred density over the band: (Hz, V/sqrt(Hz)).
    std::vector<std::pair<double, double>> m_Spectrum;
};

// ---- Worst case ----------------------------------------------------------

// A deterministic bound beside the tolerance runs: every resistor at
// either edge of its series' tolerance, every capacitor at
// +-CapacitorTolerance, BF and IS together at the ends of the spread the
// tolerance runs draw from (x or / CurrentGainSpread), the temperature at
// WorstCaseTemperatures. Each of these is first moved alone to each of its
// edges (the sensitivities), then for each quantity and each direction
// the corner where every one of them sits at the edge that moved the
// quantity that way is simulated; a quantity's extreme is the most
// extreme of every point simulated, and its corner that point's.
inline constexpr std::array<double, 2> WorstCaseTemperatures = {-25.0, 85.0}; // degC

struct WorstCaseQuantity {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    std::string m_Name; // "Ic", "Uce", "gain", "Z_in", "Z_out", "f_-3dB", as the verdict names them
    double m_Nominal = NaN;
    double m_Min = NaN;
    double m_Max = NaN;
    // Where each extreme lies: the parameters away from nominal with the
    // edge they sit at, "R1+ R2- C1- BF/IS+ 85 degC"; "nominal" for none.
    std::string m_CornerMin;
    std::string m_CornerMax;
    // Whether the requirement on the quantity holds at both extremes;
    // nullopt where the design has no requirement on it.
    std::optional<bool> m_Meets;
};

struct WorstCaseAnalysis {
    double m_ResistorTolerance = 0.0;
    double m_CapacitorTolerance = CapacitorTolerance;
    double m_CurrentGainSpread = CurrentGainSpread; // 0 for a circuit without a transistor card
    int m_Simulations = 0;                          // points simulated
    std::vector<WorstCaseQuantity> m_Quantities;    // in the order of m_Name above

    // Whether every requirement holds at its worst case.
    bool Meets() const
    {
        for (const WorstCaseQuantity& q : m_Quantities) {
            if (q.m_Meets && !*q.m_Meets) {
                return false;
            }
        }
        return true;
    }
};

// ---- All of them ---------------------------------------------------------

// Which analyses were run for a design, with their results; what the
// report and the CLI show.
struct RobustnessResults {
    std::optional<Expected<ToleranceAnalysis>> m_Tolerance;
    std::optional<Expected<TemperatureAnalysis>> m_Temperature;
    std::optional<Expected<DistortionAnalysis>> m_Distortion;
    std::optional<Expected<NoiseAnalysis>> m_Noise;
    std::optional<Expected<WorstCaseAnalysis>> m_WorstCase{};
    // What they simulated beside the design (SimulationConditions); empty
    // when not told.
    std::string m_Conditions{};

    bool Empty() const { return !m_Tolerance && !m_Temperature && !m_Distortion && !m_Noise && !m_WorstCase; }
};

} // namespace norvane
