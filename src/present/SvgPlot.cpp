#include "present/SvgPlot.h"

#include "design/DesignResults.h"
#include "format/EngineeringFormat.h"
#include "format/Units.h"

#include <cmath>

namespace norvane {

std::string SvgNumber(double value)
{
    return FormatFixed(value, 1);
}

PlotScale PlotScale::Linear(double low, double high, double from, double to)
{
    return {false, low, high, from, to};
}

PlotScale PlotScale::Logarithmic(double low, double high, double from, double to)
{
    return {true, std::log10(low), std::log10(high), from, to};
}

double PlotScale::operator()(double value) const
{
    const double v = m_Logarithmic ? std::log10(value) : value;
    return m_From + (v - m_Low) / (m_High - m_Low) * (m_To - m_From);
}

std::pair<double, double> RoundedLogarithmicRange(double low, double high)
{
    const auto down = [](double value, bool decadesOnly) {
        const double power = std::pow(10.0, std::floor(std::log10(value) + 1e-9));
        for (const double factor : {5.0, 2.0}) {
            if (!decadesOnly && factor * power <= value * (1 + 1e-9)) {
                return factor * power;
            }
        }
        return power;
    };
    const auto up = [](double value, bool decadesOnly) {
        const double power = std::pow(10.0, std::floor(std::log10(value) - 1e-9));
        for (const double factor : {2.0, 5.0}) {
            if (!decadesOnly && factor * power >= value * (1 - 1e-9)) {
                return factor * power;
            }
        }
        return 10 * power;
    };
    const bool decades = high / low >= 100;
    return {down(low, decades), up(high, decades)};
}

std::vector<PlotTick> LogarithmicTicks(double low, double high, const TickLabel& label)
{
    const double logLow = std::log10(low);
    const double logHigh = std::log10(high);
    std::vector<PlotTick> ticks;
    const int first = static_cast<int>(std::floor(logLow - 1e-9));
    for (int decade = first; decade <= logHigh + 1e-9; ++decade) {
        ticks.push_back({std::pow(10.0, decade), label(std::pow(10.0, decade))});
    }
    std::erase_if(ticks, [&](const PlotTick& tick) { return std::log10(tick.m_Value) < logLow - 1e-9; });
    if (ticks.size() >= 3) {
        return ticks;
    }
    ticks.clear();
    for (int decade = first; decade <= logHigh + 1e-9; ++decade) {
        for (const double factor : {1.0, 2.0, 5.0}) {
            const double value = factor * std::pow(10.0, decade);
            const double position = std::log10(value);
            if (position >= logLow - 1e-9 && position <= logHigh + 1e-9) {
                ticks.push_back({value, label(value)});
            }
        }
    }
    return ticks;
}

SvgPicture::SvgPicture(double width, double height, const std::string& title,
                       const std::vector<std::pair<std::string, PlotBox>>& clips)
{
    m_Text += "<?xml version=\"1.0\" encoding=\"US-ASCII\"?>\n";
    m_Text += "<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"" + SvgNumber(width) +
              "\" height=\"" + SvgNumber(height) + "\" viewBox=\"0 0 " + SvgNumber(width) + " " +
              SvgNumber(height) + "\" font-family=\"Arial, Helvetica, sans-serif\" font-size=\"12\">\n";
    m_Text += "<title>" + title + "</title>\n";
    m_Text += "<defs>\n";
    for (const auto& [id, box] : clips) {
        m_Text += "<clipPath id=\"" + id + "\"><rect x=\"" + SvgNumber(box.m_Left) + "\" y=\"" +
                  SvgNumber(box.m_Top) + "\" width=\"" + SvgNumber(box.m_Right - box.m_Left) +
                  "\" height=\"" + SvgNumber(box.m_Bottom - box.m_Top) + "\" /></clipPath>\n";
    }
    m_Text += "</defs>\n";
    m_Text += "<rect width=\"100%\" height=\"100%\" fill=\"#ffffff\" />\n";
}

void SvgPicture::Line(double x1, double y1, double x2, double y2, const char* colour,
                      const std::string& extra)
{
    m_Text += "<line x1=\"" + SvgNumber(x1) + "\" y1=\"" + SvgNumber(y1) + "\" x2=\"" + SvgNumber(x2) +
              "\" y2=\"" + SvgNumber(y2) + "\" stroke=\"" + colour + "\"" + extra + " />\n";
}

void SvgPicture::Label(double x, double y, const std::string& text, const char* anchor,
                       const std::string& extra)
{
    m_Text += "<text x=\"" + SvgNumber(x) + "\" y=\"" + SvgNumber(y) + "\" text-anchor=\"" + anchor + "\"" +
              extra + ">" + text + "</text>\n";
}

void SvgPicture::VerticalLabel(double x, double y, const std::string& text)
{
    Label(x, y, text, "middle", " transform=\"rotate(-90 " + SvgNumber(x) + " " + SvgNumber(y) + ")\"");
}

void SvgPicture::Rectangle(double x, double y, double width, double height, const char* fill,
                           const std::string& extra)
{
    m_Text += "<rect x=\"" + SvgNumber(x) + "\" y=\"" + SvgNumber(y) + "\" width=\"" + SvgNumber(width) +
              "\" height=\"" + SvgNumber(height) + "\" fill=\"" + fill + "\"" + extra + " />\n";
}

void SvgPicture::Frame(const PlotBox& box)
{
    Rectangle(box.m_Left, box.m_Top, box.m_Right - box.m_Left, box.m_Bottom - box.m_Top, "none",
              " stroke=\"#000000\"");
}

void SvgPicture::Circle(double x, double y, double radius, const char* colour)
{
    m_Text += "<circle cx=\"" + SvgNumber(x) + "\" cy=\"" + SvgNumber(y) + "\" r=\"" + SvgNumber(radius) +
              "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"1.5\" />\n";
}

void SvgPicture::Polyline(const std::vector<std::pair<double, double>>& points, const char* colour,
                          const std::string& clipId)
{
    std::string list;
    for (const auto& [x, y] : points) {
        list += (list.empty() ? "" : " ") + SvgNumber(x) + "," + SvgNumber(y);
    }
    m_Text += "<polyline clip-path=\"url(#" + clipId + ")\" fill=\"none\" stroke=\"" + colour +
              "\" stroke-width=\"1.5\" points=\"" + list + "\" />\n";
}

void SvgPicture::Grid(const PlotBox& box, const PlotScale& x, const std::vector<PlotTick>& xTicks,
                      const PlotScale& y, const std::vector<PlotTick>& yTicks)
{
    for (const PlotTick& tick : xTicks) {
        const double at = x(tick.m_Value);
        Line(at, box.m_Top, at, box.m_Bottom, GridColour);
        Label(at, box.m_Bottom + 15, tick.m_Label, "middle");
    }
    for (const PlotTick& tick : yTicks) {
        const double at = y(tick.m_Value);
        Line(box.m_Left, at, box.m_Right, at, GridColour);
        Label(box.m_Left - 6, at + 4, tick.m_Label, "end");
    }
    Frame(box);
}

void SvgPicture::Legend(double x, double y, const std::vector<LegendEntry>& entries)
{
    constexpr double SampleLength = 24;
    constexpr double Gap = 20;
    for (const LegendEntry& entry : entries) {
        const double middle = y - 4;
        switch (entry.m_Sample) {
        case LegendEntry::Sample::Line:
            Line(x, middle, x + SampleLength, middle, entry.m_Colour,
                 " stroke-width=\"1.5\"" + entry.m_Stroke);
            break;
        case LegendEntry::Sample::Box:
            Rectangle(x + 4, middle - 5, SampleLength - 8, 10, entry.m_Colour);
            break;
        case LegendEntry::Sample::Dot: Circle(x + SampleLength / 2, middle, 4, entry.m_Colour); break;
        }
        Label(x + SampleLength + 5, y, entry.m_Text, "start");
        x += SampleLength + 5 + SvgCharacterWidth * static_cast<double>(entry.m_Text.size()) + Gap;
    }
}

std::string SvgPicture::Finish()
{
    m_Text += "</svg>\n";
    return std::move(m_Text);
}

} // namespace norvane
