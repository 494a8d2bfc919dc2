#pragma once

// How ngspice's printed text is read: what it says when a run failed,
// which lines warn, the lines of a netlist that the simulator refuses to
// run, and the table of the fourier command. Plain text in, plain values
// out: nothing here calls ngspice, so all of it is tested without it.
// Numbers are read locale-free (ngspice prints them in the C locale,
// see CLocale.h).

#include "analysis/Measurement.h"
#include "common/Outcome.h"

#include <string>
#include <string_view>
#include <vector>

namespace norvane::ngspice {

// text in lower case (ASCII only, whatever the locale).
std::string Lower(std::string_view text);

// The lines of a log that contain word (given in lower case; any case in
// the log).
std::vector<std::string> LinesWith(const std::string& log, std::string_view word);

// What went wrong, from the first line of log that reports an error, with
// the detail lines it announces; empty when none does.
std::string ErrorText(const std::string& log);

// The lines of text without their line ends (a carriage return before the
// line feed is dropped too).
std::vector<std::string> SplitLines(const std::string& text);

// The first line that would make ngspice run commands or read other files
// (.control, .include, .inc, .lib); empty when there is none.
std::string UnsafeLine(const std::vector<std::string>& lines);

// A leakage saturation current of a model card that ngspice reads as a
// multiple of IS (see SimulationSession): model and parameter in lower case
// ("bux32", "ise"), the value as written ("14.21").
struct LeakageMultiple {
    std::string m_Model;
    std::string m_Parameter;
    std::string m_Value;
};

// The ISE and ISC above 1e-4 in the .model cards of a netlist, and in an
// "altermod <model> ise = <value>" command (one element or none).
std::vector<LeakageMultiple> FindLeakageMultiples(const std::string& netlist);
std::vector<LeakageMultiple> FindLeakageMultiple(std::string_view altermod);

// Whether what ngspice printed during a run tells of a failure, and which;
// stopped: ngspice asked to be unloaded meanwhile.
[[nodiscard]] Status JudgeRunLog(const std::string& runLog, bool stopped);

// The excursions past the ratings that ngspice's safe-operating-area check
// reported in log (".option warn=1" and vce_max, ic_max, pd_max in the
// model card), one per rating with the largest value it reported, in the
// order VCEO, IC max, Ptot; none when it reported none. It prints, for
// example, "Instance: q1 Model: bc548b |Vce|=45 has exceeded Vce_max=30".
// soFar: the excursions of earlier logs, which the result includes (a
// long series of runs reads each run's log and lets it go).
std::vector<SafeAreaExcursion> ReadSafeAreaExcursions(const std::string& log,
                                                      const std::vector<SafeAreaExcursion>& soFar = {});

// What ngspice's "fourier" prints: the total harmonic distortion in
// percent and the magnitude (V peak) of harmonics 1 to count.
struct FourierTable {
    double m_ThdPercent = 0.0;
    std::vector<double> m_Magnitudes;
};

// Reads the THD line and the table rows ("harmonic frequency magnitude
// ..."); fails when the THD or one of the harmonics is missing.
[[nodiscard]] Expected<FourierTable> ReadFourier(const std::string& text, int count);

} // namespace norvane::ngspice
