#pragma once

// The results of the robustness analyses (Robustness.h) as text, one
// formatter for the CLI, the report and the verification window: a summary
// line per analysis and its table, values with the program's engineering
// format ("2.579 mA", "19.48 dB", "97.4 %").

#include "simulation/Robustness.h"

#include <string>
#include <vector>

namespace norvane {

// A table: the first row holds the column titles.
using TextTable = std::vector<std::vector<std::string>>;

// "Tolerances (500 runs, seed 1; resistors 5 %, capacitors 20 %, BF and IS
// x/1.5): yield 97.4 % (487 of 500 meet the requirements)"
std::string ToleranceLine(const ToleranceAnalysis& analysis);
// Quantity, median, 1st percentile, 99th percentile; one row each for Ic,
// Uce, gain, Z_in, Z_out, f_-3dB.
TextTable ToleranceTable(const ToleranceAnalysis& analysis);

// "Temperature -25 .. 85 degC: Ic 2.41 mA .. 2.70 mA, gain 19.2 dB .. 19.6 dB"
std::string TemperatureLine(const TemperatureAnalysis& analysis);
// Temperature, Ic, Uce, gain; one row per temperature.
TextTable TemperatureTable(const TemperatureAnalysis& analysis);

// "Headroom 4.2 V peak (saturation); THD 0.021 % at 500 mV peak, 100 Hz"
std::string DistortionLine(const DistortionAnalysis& analysis);
// Quantity, value: headroom rising and falling with their edges, the
// amplitude and frequency of the distortion run, THD, harmonics 2..9 in
// dB below the fundamental.
TextTable DistortionTable(const DistortionAnalysis& analysis);

// "Noise (source 0 ohm): 2.013 nV/sqrt(Hz) at 1 kHz, 292.7 nV over 20 Hz .. 20 kHz"
std::string NoiseLine(const NoiseAnalysis& analysis);
TextTable NoiseTable(const NoiseAnalysis& analysis);

} // namespace norvane
