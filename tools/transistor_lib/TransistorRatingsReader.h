#pragma once

// Reader of the ratings file beside the library (resources/transistors/
// norvane-ratings.tsv), which the importer writes:
//
//   # comment
//   source <TAB> ID <TAB> DESCRIPTION                  (every source first)
//   NAME <TAB> VCEO <TAB> IC_MAX <TAB> PTOT <TAB> PACKAGE
//        <TAB> VCEO_SOURCES <TAB> IC_MAX_SOURCES <TAB> PTOT_SOURCES
//        <TAB> PACKAGE_SOURCES <TAB> SEEN
//
// Figures are plain positive decimals (V, A, W) or "-" for unknown; a figure
// has sources exactly when it is known. Sources are declared ids joined by
// '+', each optionally naming the type it was stated for, the gain group's
// family or the part a model is of: "kicad-schlib(BC548)". SEEN is "-" or, per figure whose sources disagree,
// "vceo:30=src+src,45=src" (ascending values), figures joined by ';' in the
// order vceo, ic_max, ptot.
//
// The reader holds the file to what makes it usable: every type is a type
// of the library, strictly sorted like it, and every figure is the lowest
// value seen, stated by the sources listed for that value. Anything else is
// an error that names the line.

#include <iosfwd>
#include <string>
#include <vector>

namespace norvane::tools {

struct RatingsSource {
    std::string id;
    std::string description;
};

// A value one group of sources states for a figure (field 0 VCEO, 1 IC max,
// 2 Ptot) whose sources disagree.
struct RatingsSeenText {
    int field = 0;
    std::string value; // decimal text as written
    std::string sources;
};

struct RatingsLine {
    std::string name;
    int line = 0;
    int libraryIndex = 0;
    // Decimal text of VCEO, IC max and Ptot as written; empty when unknown.
    std::string figures[3];
    std::string package;    // empty when unknown
    std::string sources[4]; // VCEO, IC max, Ptot, package; empty when unknown
    std::vector<RatingsSeenText> seen;
};

struct RatingsReadResult {
    std::vector<RatingsSource> sources;
    std::vector<RatingsLine> lines;
    // Empty on success, otherwise "<file>:<line>: <what is wrong>".
    std::string error;
};

// Reads the whole file; libraryNames are the library's type names in its
// order (strictly sorted). On the first error, stops and reports it.
RatingsReadResult ReadTransistorRatings(std::istream& in, const std::string& fileName,
                                        const std::vector<std::string>& libraryNames);

} // namespace norvane::tools
