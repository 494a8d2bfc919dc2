#pragma once

// The rows of a ranking of the transistor table for a circuit's
// requirements (studies/Ranking.h says how they are found and ordered).

#include "design/AmplifierDesign.h"

#include <limits>
#include <string>
#include <vector>

namespace norvane {

enum class PolarityFilter { Any, Npn, Pnp };

// How many of the best rows a ranking finds (studies/Ranking.h, 4.).
inline constexpr int DefaultRankRows = 20;

struct RankOptions {
    PolarityFilter m_Polarity = PolarityFilter::Any;
    int m_Rows = DefaultRankRows;
};

struct RankRow {
    static constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

    int m_TransistorIndex = -1;
    std::string m_Name;
    bool m_IsPnp = false;
    // Ic / Ib of the DC model at the designed operating point (Ic, Uce).
    double m_CurrentGain = NaN;
    // What the design gave: the operating point and the parts by name.
    double m_Ic = NaN;  // A
    double m_Uce = NaN; // V
    std::vector<NamedValue> m_Parts;
    // Simulated, at mid-band; NaN where the simulation has no figure.
    double m_GainDb = NaN;          // dB
    double m_InputImpedance = NaN;  // ohm
    double m_OutputImpedance = NaN; // ohm
    double m_LowerCutoff = NaN;     // Hz
    double m_SimulatedIc = NaN;     // A
    double m_BiasStability = NaN;   // relative (0.25: 25 %); infinite when unsolved
    double m_Score = NaN;           // sum of the relative errors, relative
    bool m_Meets = false;           // the verdict
    // The type's absolute maximum ratings (transistors/TransistorRatings.h);
    // NaN where no source states one.
    double m_Vceo = NaN;  // V
    double m_IcMax = NaN; // A
    double m_Ptot = NaN;  // W
    // Whether the design's operating point could not be checked against
    // every rating (one of the three is unknown); such rows come last.
    bool m_RatingUnknown = false;
};

struct Ranking {
    std::vector<RankRow> m_Rows;      // best first
    int m_Designed = 0;               // types designed (after the polarity filter)
    int m_Usable = 0;                 // designs usable and without notes
    int m_OverRating = 0;             // of those, the ones that exceed a known rating (left out)
    int m_Modelled = 0;               // designs scored in-process (all usable within the ratings)
    int m_Simulated = 0;              // designs simulated with ngspice
    int m_NotSimulated = 0;           // designs ngspice could not simulate
    double m_DesignSeconds = 0.0;     // wall time of steps 1 to 3 (the designs and their scores)
    double m_SimulationSeconds = 0.0; // wall time of step 4 (ngspice)
};

} // namespace norvane
