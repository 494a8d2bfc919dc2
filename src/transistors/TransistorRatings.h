#pragma once

// Absolute maximum ratings of the built-in transistor types: the limits a
// bias point must stay within whatever the simulation says, because beyond
// them the part breaks down or overheats. A stage on 90 V with a BC548B
// (30 V) simulates fine and destroys the transistor.
//
// Three figures per type, as public sources state them
// (resources/transistors/norvane-ratings.tsv, written by
// tools/import_spice_models.py, compiled in at build time; PROVENANCE.md
// lists the sources):
//
//   m_Vceo   V   collector-emitter breakdown voltage with the base open,
//                the highest VCE the type is rated for. A magnitude:
//                positive for PNP types too.
//   m_IcMax  A   continuous collector current (not the peak ICM that some
//                data sheets add). A magnitude.
//   m_Ptot   W   total power dissipation. Data sheets give it at 25 degC,
//                ambient or case; none of the sources says which of the two
//                it copied. For small-signal packages (TO-92, TO-18,
//                SOT-23) the figures are the ambient ones of the data
//                sheets; for power types a source may give either (BD139:
//                1.25 W ambient, 12.5 W case), and the lowest is kept, in
//                practice the ambient one. Above 25 degC the allowed
//                dissipation falls further.
//
// A figure no source states is NaN: unknown, never estimated
// (PROVENANCE.md counts how many types have which figures).
//
// Sources disagree for about one rated type in eight (a VCBO printed as
// VCEO, a peak current as IC max, a case rating as Ptot, plain typos). Each
// figure is the LOWEST value any source states: a value too high would let
// a design pass that the data sheet forbids, one too low costs only margin.
// Every value seen is kept with its sources. A gain group shares the
// ratings of its family (BC548B counts BC548's statements, 2SC1815GR
// 2SC1815's), a model the ratings of the part it models (Cordell's 2N3904C
// those of 2N3904); another voltage grade does not (2N2222A is rated as
// itself, never as 2N2222).

#include <cstdint>
#include <limits>
#include <span>
#include <string_view>

namespace norvane {

inline constexpr double UnknownRating = std::numeric_limits<double>::quiet_NaN();

enum class RatingField : std::int32_t { Vceo, IcMax, Ptot };

// One value that some sources state for a figure whose sources disagree.
struct RatingSeen {
    RatingField m_Field;
    double m_Value;             // V, A or W, as the figure
    std::string_view m_Sources; // as TransistorRatings::m_VceoSources
};

struct TransistorRatings {
    double m_Vceo = UnknownRating;  // V
    double m_IcMax = UnknownRating; // A
    double m_Ptot = UnknownRating;  // W, at 25 degC (ambient or case: unstated)
    // The package the source of m_Ptot names with it ("TO-92"); empty when
    // none does.
    std::string_view m_Package;
    // The sources stating each figure: source ids joined by '+'
    // ("ltspice-2020+kicad-schlib"); "id(NAME)" marks a statement for the
    // gain group's family ("kicad-schlib(BC548)") or for the part a model is
    // of (Cordell's 2N3904C: "qucs-s(2N3904)"). Empty when unknown.
    std::string_view m_VceoSources;
    std::string_view m_IcMaxSources;
    std::string_view m_PtotSources;
    std::string_view m_PackageSources;
    // For each figure whose sources disagree, every value stated, ascending
    // (the first is the figure); grouped by figure in the order of
    // RatingField. Empty when all sources agree.
    std::span<const RatingSeen> m_Seen;
};

// The ratings of the type with this index in the transistor table; all
// figures unknown for a type no source rates. The index is not checked.
TransistorRatings GetTransistorRatings(int index);

// What a source id of the sources fields stands for ("ltspice-2020": "LTspice
// standard.bjt 2000-2020 ..."); empty for an id that is none.
std::string_view GetRatingSourceDescription(std::string_view id);

// The compiled-in forms, one per rated type and one per source, generated
// from norvane-ratings.tsv. Plain constant data: nothing is built at start.
// The fields are named as the generator writes them, like the columns of
// the file.
// NOLINTBEGIN(readability-identifier-naming)
struct TransistorRatingsRecord {
    std::int32_t index; // in the transistor table
    double vceo;
    double icMax;
    double ptot;
    std::string_view package;
    std::string_view vceoSources;
    std::string_view icMaxSources;
    std::string_view ptotSources;
    std::string_view packageSources;
    std::int32_t firstSeen; // into the values seen of all types
    std::int32_t seenCount;
};

struct TransistorRatingSource {
    std::string_view id;
    std::string_view description;
};
// NOLINTEND(readability-identifier-naming)

} // namespace norvane
