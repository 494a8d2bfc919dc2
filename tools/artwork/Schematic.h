#pragma once

// A schematic as a small description on a grid: parts with their end points,
// wires as point lists, terminals and ground symbols. The renderer turns a
// description into pixels in a given style (grid pitch, part sizes, font),
// so that the NPN and PNP pictures come from the same description.

#include "Canvas.h"

#include <string>
#include <vector>

namespace norvane::artwork {

// A point on the circuit grid (not pixels).
struct GridPoint {
    int x = 0;
    int y = 0;

    friend bool operator==(const GridPoint&, const GridPoint&) = default;
    friend auto operator<=>(const GridPoint&, const GridPoint&) = default;
};

enum class Side { Left, Right, Above, Below };

// Horizontal alignment of a terminal label above or below its terminal.
enum class Align { Start, Centre, End };

enum class PartKind { Resistor, Capacitor };

// A resistor or capacitor between two grid points on one grid line; the body
// sits in the middle, leads run out to both ends.
struct TwoTerminalPart {
    PartKind kind;
    std::string name;
    GridPoint a;
    GridPoint b;
    Side labelSide;
};

enum class Polarity { Npn, Pnp };

// How the transistor lies. BaseLeft: base to the left, collector up,
// emitter down (common emitter and collector). BaseDown: emitter to the
// left, collector to the right, base down, so that a common-base stage
// reads from left to right; the same symbol mirrored about its diagonal.
enum class Facing { BaseLeft, BaseDown };

// The transistor. Its pins lie at fixed grid offsets from the centre (see
// BasePin and friends).
struct TransistorPart {
    std::string name;
    GridPoint centre;
    Side labelSide;
    Facing facing = Facing::BaseLeft;
};

GridPoint BasePin(const TransistorPart& t);
GridPoint CollectorPin(const TransistorPart& t);
GridPoint EmitterPin(const TransistorPart& t);

struct Wire {
    std::vector<GridPoint> points; // horizontal and vertical runs only
};

enum class TerminalKind { Supply, Input, Output };

struct Terminal {
    TerminalKind kind;
    GridPoint at;
    Side labelSide;
    Align labelAlign;
};

struct Circuit {
    std::vector<TwoTerminalPart> parts;
    TransistorPart transistor;
    std::vector<Wire> wires;
    std::vector<Terminal> terminals;
    std::vector<GridPoint> grounds; // each a ground bar hanging below its point

    // The nets the drawing must make, one line per net: the members in any
    // order, separated by blanks. Members are part names (a resistor or
    // capacitor appears in two nets), "T1.B", "T1.C", "T1.E", and the
    // terminals "UB" (all supply terminals together), "Input", "Output",
    // "GND" (all ground symbols together).
    std::vector<std::string> expectedNets;
};

// Everything about the look that does not depend on the circuit.
struct Style {
    int pitchX; // pixels per grid step
    int pitchY;
    int fontPixels;
    int labelGap;       // free pixels between a body and its label
    int labelClearance; // pixels around a label that must stay background
    int labelNudge;     // how far a label may step away to keep clear

    int resistorWidth; // odd, so that the lead runs through the middle
    int resistorLength;
    int capacitorPlate; // odd
    int capacitorThickness;
    int capacitorGap;
    int terminalRadius;
    int dotRadius;
    int groundWidth; // odd
    int groundThickness;

    // Transistor, in pixels from its centre.
    int transistorRadius;
    int barLeft; // base bar from barLeft to barRight (x)
    int barRight;
    int barHalfLength; // and from -barHalfLength to +barHalfLength (y)
    int legStartY;     // collector and emitter legs leave the bar at +-legStartY
    // Emitter arrow: where its tip sits along the leg (pixels of x travel
    // from the bar) for each polarity, its length along the leg and its
    // half width across it.
    double npnArrowTip;
    double pnpArrowTip;
    double arrowLength;
    double arrowHalfWidth;
};

// The palette of all schematic pictures, in file order.
enum SchematicColour : std::uint8_t { Background = 0, Black = 1, White = 2 };

class LabelFont;

struct RenderOptions {
    Polarity polarity = Polarity::Npn;
    int width = 0; // picture size in pixels
    int height = 0;
    // The drawing is centred in a picture of this height, so that two
    // pictures of one circuit with slightly different heights place it
    // alike; 0 means the picture's own height.
    int layoutHeight = 0;
    // Report label and size problems as warnings and draw anyway (for
    // working on a drawing); wiring faults stay errors.
    bool lenient = false;
};

// Checks the description (wiring against expectedNets, no unmarked
// crossings) and draws it. Throws std::runtime_error with a description of
// the fault when the circuit is wired wrongly, a label would touch a line or
// another label, or the drawing does not fit the picture.
Canvas RenderSchematic(const Circuit& circuit, const Style& style, const LabelFont& font,
                       const RenderOptions& options);

// The junction points: where three or more wire ends, pins or runs meet.
std::vector<GridPoint> JunctionPoints(const Circuit& circuit);

// Verifies the wiring; throws std::runtime_error naming the difference.
void CheckWiring(const Circuit& circuit);

} // namespace norvane::artwork
