#pragma once

// What the report's pictures are drawn with: plain SVG 1.1 documents with
// no script, no external reference and ASCII text only, so that a browser
// shows them as an <img> and any editor opens them. Coordinates are SVG
// user units (pixels at 100 %) written with one decimal through
// FormatFixed, so the same data always gives the same bytes, in any
// locale.
//
// A picture is one or more panels. A panel is a box on the picture with a
// scale along each side (linear or logarithmic) that maps values to user
// units, the grid lines and labels of its ticks, and a frame. Linear
// scales take their ranges and ticks from PlotAxis.h.

#include "present/PlotAxis.h"
#include "present/PlotStyle.h"

#include <string>
#include <utility>
#include <vector>

namespace norvane {

// "12.5": a coordinate or length in user units.
std::string SvgNumber(double value);

// low..high (above zero) widened outward to whole decades where they span
// two or more, else to 1, 2 or 5 times a power of ten.
std::pair<double, double> RoundedLogarithmicRange(double low, double high);

// No character of the pictures' 12-unit sans-serif is wider than this on
// average, so that a text's width can be bounded without a font at hand.
inline constexpr double SvgCharacterWidth = 7;

// A box on the picture, in user units; y grows downward.
struct PlotBox {
    double m_Left = 0.0;
    double m_Top = 0.0;
    double m_Right = 0.0;
    double m_Bottom = 0.0;
};

// Maps values along one side of a panel onto user units: low to `from`,
// high to `to` (for a vertical scale from is the bottom of the box).
class PlotScale {
public:
    static PlotScale Linear(double low, double high, double from, double to);
    // low and high above zero.
    static PlotScale Logarithmic(double low, double high, double from, double to);

    double operator()(double value) const;
    double Low() const { return m_Low; } // in the scale's own terms (log10 for logarithmic)
    double High() const { return m_High; }

private:
    PlotScale(bool logarithmic, double low, double high, double from, double to)
        : m_Logarithmic(logarithmic), m_Low(low), m_High(high), m_From(from), m_To(to)
    {}
    bool m_Logarithmic;
    double m_Low;
    double m_High;
    double m_From;
    double m_To;
};

// For a logarithmic scale over low..high (above zero): one tick per
// decade, or at 1, 2 and 5 times each power of ten where fewer than three
// decades fall inside.
std::vector<PlotTick> LogarithmicTicks(double low, double high, const TickLabel& label);

// One entry of a legend: a sample of what the plot draws, in the colour,
// and its words.
struct LegendEntry {
    enum class Sample { Line, Box, Dot };
    Sample m_Sample = Sample::Line;
    const char* m_Colour = "";
    std::string m_Stroke; // extra attributes of a line sample: " stroke-dasharray=..."
    std::string m_Text;
};

// The document under construction.
class SvgPicture {
public:
    // The XML declaration, the <svg> element, the title, a clip path per
    // box (named by its id; curves are drawn clipped to their panel) and a
    // white background.
    SvgPicture(double width, double height, const std::string& title,
               const std::vector<std::pair<std::string, PlotBox>>& clips = {});

    void Line(double x1, double y1, double x2, double y2, const char* colour, const std::string& extra = "");
    void Label(double x, double y, const std::string& text, const char* anchor,
               const std::string& extra = "");
    // Text read from bottom to top, centred on (x, y).
    void VerticalLabel(double x, double y, const std::string& text);
    void Rectangle(double x, double y, double width, double height, const char* fill,
                   const std::string& extra = "");
    void Frame(const PlotBox& box);
    void Circle(double x, double y, double radius, const char* colour);
    // A curve through the points (in user units), clipped to the box of
    // clipId.
    void Polyline(const std::vector<std::pair<double, double>>& points, const char* colour,
                  const std::string& clipId);

    // The grid lines and tick labels of a panel, then its frame: x labels
    // below the box, y labels left of it.
    void Grid(const PlotBox& box, const PlotScale& x, const std::vector<PlotTick>& xTicks, const PlotScale& y,
              const std::vector<PlotTick>& yTicks);

    // A legend in a row from x along the baseline y, outside every panel so
    // that no word crosses a line. The words are spaced by SvgCharacterWidth
    // a character.
    void Legend(double x, double y, const std::vector<LegendEntry>& entries);

    // Raw markup, for what the helpers above do not cover.
    void Append(const std::string& markup) { m_Text += markup; }

    // The document, closed, ending in a line feed.
    std::string Finish();

private:
    std::string m_Text;
};

} // namespace norvane
