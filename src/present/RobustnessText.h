#pragma once

// The results of the robustness analyses (Robustness.h) as text, one
// formatter for the CLI, the report and the verification window: a summary
// line per analysis and its table, values with the program's engineering
// format ("2.579 mA", "19.48 dB", "97.4 %").

#include "analysis/RobustnessResults.h"

#include <array>
#include <string>
#include <vector>

namespace norvane {

// A table: the first row holds the column titles.
using TextTable = std::vector<std::vector<std::string>>;

// A tolerance fraction as "5 %", "20 %".
std::string TolerancePercent(double fraction);

// The six quantities of the tolerance analysis in the order its table and
// its picture show them, named as the verdict names them, each with its
// text ("2.579 mA", "5.858 V", "19.48 dB", "42.14 kohm", "8.034 Hz"; "-" for
// no figure).
struct ToleranceQuantity {
    const char* m_Name;
    Distribution ToleranceAnalysis::*m_Values;
    std::string (*m_Format)(double);
};
extern const std::array<ToleranceQuantity, 6> ToleranceQuantities;

// "; T1 past its ratings: Vce 45 V above VCEO 30 V, P 620 mW above Ptot
// 500 mW" for the excursions an analysis found; empty for none. Each line
// below ends with it.
std::string SafeAreaText(const std::vector<SafeAreaExcursion>& excursions);

// "Tolerances (500 runs, seed 1; resistors 5 %, capacitors 20 %, BF and IS
// x/1.5): yield 49.0 % (245 of 500 meet the requirements); missed Ic 231
// times, gain 47 times, f_-3dB 33 times", with ", 2 did not simulate"
// inside the brackets where some runs failed.
std::string ToleranceLine(const ToleranceAnalysis& analysis);
// Quantity, median, 1st percentile, 99th percentile; one row each for Ic,
// Uce, gain, Z_in, Z_out, f_-3dB ("2.579 mA", "19.48 dB", "42.14 kohm",
// "8.034 Hz"; "-" where no run gave a figure).
TextTable ToleranceTable(const ToleranceAnalysis& analysis);

// "Worst case (resistors 5 %, capacitors 20 %, BF and IS x/1.5, -25 ..
// 85 degC; 31 points): Ic and gain miss their requirements at the worst
// case" or
// "...: every requirement holds at its worst case".
std::string WorstCaseLine(const WorstCaseAnalysis& analysis);
// Quantity, nominal, minimum and its corner, maximum and its corner, and
// whether the requirement holds at both ("holds", "fails", empty for no
// requirement); corners as "R1+ R2- BF/IS+ 85 degC" (+: the upper edge).
TextTable WorstCaseTable(const WorstCaseAnalysis& analysis);

// The coldest and the hottest point: "Temperature -25 .. 85 degC: Ic
// 2.478 mA .. 2.704 mA, Uce 6.099 V .. 5.561 V, gain 19.54 dB .. 19.41 dB"
std::string TemperatureLine(const TemperatureAnalysis& analysis);
// Temperature, Ic, Uce, gain; one row per temperature.
TextTable TemperatureTable(const TemperatureAnalysis& analysis);

// The clipping limit (the smaller edge of the headroom sweep), the output
// peak at 1 % THD and the distortion: "Clipping limit 5.069 V peak
// (saturation); 1 % THD at 2.31 V peak; THD 0.113 % at 500 mV peak, 100 Hz"
std::string DistortionLine(const DistortionAnalysis& analysis);
// Quantity, value: the clipping limit rising and falling with their edges,
// the output peak at 1 % THD, the
// amplitude and frequency of the distortion run, THD, harmonics 2..9 in
// dB to the fundamental ("-59.0 dB", "below -120 dB" where a transient
// no longer resolves them).
TextTable DistortionTable(const DistortionAnalysis& analysis);

// "Noise (source 0 ohm): 2.013 nV/sqrt(Hz) at 1 kHz, 292.7 nV rms over
// 20 Hz .. 20 kHz"
std::string NoiseLine(const NoiseAnalysis& analysis);
// Quantity, value: the source resistance, the input-referred density at
// the spot frequency, the input and output noise over the band.
TextTable NoiseTable(const NoiseAnalysis& analysis);

} // namespace norvane
