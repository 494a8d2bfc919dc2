#pragma once

// How a plot looks, in the window and in the report alike: the colours of
// its curves and marks and the words of its axes and legends, so that a
// figure reads the same on screen and on paper. Colours are SVG's
// "#rrggbb", which QColor takes too.

namespace norvane {

// The first curve of a plot (the gain, Ic, the waveform, the noise
// density) and the marks that belong to it (the -3 dB points), and the
// second (the phase, Uce), and the third (the gain over temperature).
inline constexpr const char* CurveColour = "#1040c0";
inline constexpr const char* SecondCurveColour = "#d07000";
inline constexpr const char* ThirdCurveColour = "#208020";
// The statistics of a spread (the median solid, the 1st and 99th
// percentile dashed) and a figure's own mark (the noise's spot frequency).
inline constexpr const char* MarkColour = "#c02020";
// A requirement's limits, dash-dotted.
inline constexpr const char* LimitColour = "#208020";
// The design's f_min, dashed.
inline constexpr const char* FrequencyMarkColour = "#808080";
inline constexpr const char* BarColour = "#a0b8e8";
inline constexpr const char* GridColour = "#b0b0b0";
inline constexpr const char* MinorGridColour = "#e0e0e0";

// Axis titles and legend entries.
inline constexpr const char* FrequencyAxisTitle = "frequency (Hz)";
inline constexpr const char* GainAxisTitle = "gain (dB)";
inline constexpr const char* PhaseAxisTitle = "phase (degrees)";
inline constexpr const char* TemperatureAxisTitle = "temperature (degC)";
inline constexpr const char* MinimumFrequencyName = "f_min";
inline constexpr const char* CutoffName = "-3 dB";
inline constexpr const char* BarsName = "runs per bar";
inline constexpr const char* MedianName = "median";
inline constexpr const char* PercentilesName = "1st and 99th percentile";
inline constexpr const char* LimitName = "requirement's limit";
inline constexpr const char* LimitsName = "requirement's limits";

} // namespace norvane
