#include "report/KicadSchematic.h"

#include "circuit/Netlist.h"
#include "circuit/PartStress.h"
#include "present/PartsList.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace norvane {

namespace {

// Positions count in KiCad's schematic grid of 1.27 mm (50 mil), so that
// every pin and wire end lies on the grid the editor snaps to. On the sheet
// y grows downwards; in a symbol's own drawing it grows upwards.
constexpr double GridMm = 1.27;

struct GridPoint {
    int m_X = 0;
    int m_Y = 0;
    auto operator<=>(const GridPoint&) const = default;
};

// A symbol's rotation (counter-clockwise on the sheet, degrees) and mirror:
// 'x' flips it top to bottom, 'y' left to right, after the rotation.
struct Orientation {
    int m_Angle = 0;
    char m_Mirror = 0;
};

// Where a point of a symbol's drawing lands on the sheet, as KiCad places
// it: the drawing's y turned downwards, then rotated, then mirrored.
GridPoint OnSheet(GridPoint at, Orientation orientation, GridPoint inSymbol)
{
    int x = inSymbol.m_X;
    int y = -inSymbol.m_Y;
    for (int turn = 0; turn < orientation.m_Angle / 90; ++turn) {
        const int turned = x;
        x = y;
        y = -turned;
    }
    if (orientation.m_Mirror == 'x') {
        y = -y;
    } else if (orientation.m_Mirror == 'y') {
        x = -x;
    }
    return {at.m_X + x, at.m_Y + y};
}

enum class SymbolKind { Resistor, Capacitor, Electrolytic, Npn, Pnp, Supply, Ground, PowerFlag };

struct LibPin {
    const char* m_Number;
    const char* m_Name; // "~": none shown
    const char* m_Type;
    GridPoint m_At;  // the end that connects
    int m_Angle;     // towards the body
    double m_Length; // mm
};

constexpr LibPin TwoPins[]{{"1", "~", "passive", {0, 3}, 270, 1.27},
                           {"2", "~", "passive", {0, -3}, 90, 1.27}};
constexpr LibPin CapacitorPins[]{{"1", "~", "passive", {0, 3}, 270, 2.794},
                                 {"2", "~", "passive", {0, -3}, 90, 2.794}};
// KiCad's Q_xxx_BCE: pin 1 base, 2 collector, 3 emitter; the NPN's
// collector is up, the PNP's emitter.
constexpr LibPin NpnPins[]{{"1", "B", "input", {-4, 0}, 0, 5.715},
                           {"2", "C", "passive", {2, 4}, 270, 2.54},
                           {"3", "E", "passive", {2, -4}, 90, 2.54}};
constexpr LibPin PnpPins[]{{"1", "B", "input", {-4, 0}, 0, 5.715},
                           {"2", "C", "passive", {2, -4}, 90, 2.54},
                           {"3", "E", "passive", {2, 4}, 270, 2.54}};
constexpr LibPin SupplyPins[]{{"1", "", "power_in", {0, 0}, 90, 0}};
constexpr LibPin GroundPins[]{{"1", "GND", "power_in", {0, 0}, 270, 0}};
constexpr LibPin FlagPins[]{{"1", "pwr", "power_out", {0, 0}, 90, 0}};

constexpr const char* Font = "(effects (font (size 1.27 1.27))";

// One stroke of a symbol's drawing: its geometry in KiCad 6's notation
// ("polyline (pts (xy 0 0) (xy 0 2.54))"), line width in mm, fill.
struct Shape {
    const char* m_Geometry;
    double m_Width;
    const char* m_Fill; // "none", "outline"
};

// A symbol of the library as the file embeds it: its drawing, its pins
// from the tables above.
struct LibSymbol {
    SymbolKind m_Kind;
    const char* m_Name; // in the library, after "Device:" or "power:"
    const char* m_Flags;
    const char* m_Reference;
    std::vector<Shape> m_Body;
    std::span<const LibPin> m_Pins;
};

// Base bar, collector and emitter lines, the circle, and the arrow of
// the polarity.
std::vector<Shape> TransistorBody(const char* arrow)
{
    return {{"polyline (pts (xy 0.635 0.635) (xy 2.54 2.54))", 0, "none"},
            {"polyline (pts (xy 0.635 -0.635) (xy 2.54 -2.54))", 0, "none"},
            {"polyline (pts (xy 0.635 1.905) (xy 0.635 -1.905))", 0.508, "none"},
            {arrow, 0, "outline"},
            {"circle (center 1.27 0) (radius 2.8194)", 0.254, "none"}};
}

const std::array<LibSymbol, 8>& LibSymbols()
{
    static const std::array<LibSymbol, 8> symbols{{
        {SymbolKind::Resistor,
         "R",
         "(pin_numbers hide) (pin_names (offset 0))",
         "R",
         {{"rectangle (start -1.016 -2.54) (end 1.016 2.54)", 0.254, "none"}},
         TwoPins},
        {SymbolKind::Capacitor,
         "C",
         "(pin_numbers hide) (pin_names (offset 0.254))",
         "C",
         {{"polyline (pts (xy -2.032 -0.762) (xy 2.032 -0.762))", 0.508, "none"},
          {"polyline (pts (xy -2.032 0.762) (xy 2.032 0.762))", 0.508, "none"}},
         CapacitorPins},
        // The + beside pin 1, the plate at pin 2 filled.
        {SymbolKind::Electrolytic,
         "C_Polarized",
         "(pin_numbers hide) (pin_names (offset 0.254))",
         "C",
         {{"rectangle (start -2.286 0.508) (end 2.286 1.016)", 0, "none"},
          {"polyline (pts (xy -1.778 2.286) (xy -0.762 2.286))", 0, "none"},
          {"polyline (pts (xy -1.27 2.794) (xy -1.27 1.778))", 0, "none"},
          {"rectangle (start 2.286 -0.508) (end -2.286 -1.016)", 0, "outline"}},
         CapacitorPins},
        {SymbolKind::Npn, "Q_NPN_BCE", "(pin_numbers hide) (pin_names (offset 0) hide)", "Q",
         TransistorBody(
             "polyline (pts (xy 1.27 -1.778) (xy 1.778 -1.27) (xy 2.286 -2.286) (xy 1.27 -1.778))"),
         NpnPins},
        {SymbolKind::Pnp, "Q_PNP_BCE", "(pin_numbers hide) (pin_names (offset 0) hide)", "Q",
         TransistorBody("polyline (pts (xy 2.286 1.778) (xy 1.778 2.286) (xy 1.27 1.27) (xy 2.286 1.778))"),
         PnpPins},
        // The supply's name and pin name are its voltage, set when written.
        {SymbolKind::Supply,
         "",
         "(power) (pin_names (offset 0))",
         "#PWR",
         {{"polyline (pts (xy 0 0) (xy 0 2.54))", 0, "none"},
          {"polyline (pts (xy -0.762 1.27) (xy 0 2.54) (xy 0.762 1.27))", 0, "none"}},
         SupplyPins},
        {SymbolKind::Ground,
         "GND",
         "(power) (pin_names (offset 0))",
         "#PWR",
         {{"polyline (pts (xy 0 0) (xy 0 -1.27) (xy 1.27 -1.27) (xy 0 -2.54) (xy -1.27 -1.27) (xy 0 -1.27))",
           0, "none"}},
         GroundPins},
        {SymbolKind::PowerFlag,
         "PWR_FLAG",
         "(power) (pin_numbers hide) (pin_names (offset 0) hide)",
         "#FLG",
         {{"polyline (pts (xy 0 0) (xy 0 1.27) (xy -1.016 1.905) (xy 0 2.54) (xy 1.016 1.905) (xy 0 1.27))",
           0, "none"}},
         FlagPins},
    }};
    return symbols;
}

const LibSymbol& LibSymbolOf(SymbolKind kind)
{
    return LibSymbols().at(static_cast<std::size_t>(kind));
}

// A length in mm as the file writes it: "38.1", "-5.08", "0".
std::string Mm(double mm)
{
    char text[32];
    const auto written = std::to_chars(text, text + sizeof text, mm, std::chars_format::fixed, 4);
    std::string number(text, written.ptr);
    number.erase(number.find_last_not_of('0') + 1);
    if (number.back() == '.') {
        number.pop_back();
    }
    return number == "-0" ? "0" : number;
}

// Where the layouts' (0, 0) lies on the sheet, so that the circuit keeps
// clear of the frame.
constexpr GridPoint SheetOrigin{20, 10};

// A point of the sheet in mm, "x y".
std::string Xy(double x, double y)
{
    return Mm((x + SheetOrigin.m_X) * GridMm) + " " + Mm((y + SheetOrigin.m_Y) * GridMm);
}

std::string At(double x, double y, int angle)
{
    return "(at " + Xy(x, y) + " " + std::to_string(angle) + ")";
}

std::string Quoted(std::string_view text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

// FNV-1a, 64 bits: a stable hash, the same on every machine.
std::uint64_t Fnv1a(std::string_view text, std::uint64_t hash)
{
    for (const char c : text) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    }
    return hash;
}

enum class Side { Left, Right };

// Where a field's text is centred, in grid units (half steps allowed).
struct TextAt {
    double m_X = 0;
    double m_Y = 0;
};

TextAt Beside(GridPoint point, double dx, double dy)
{
    return {point.m_X + dx, point.m_Y + dy};
}

class Sheet {
public:
    Sheet(std::string title, const AmplifierCircuit& circuit, const PartsList& parts)
        : m_Title(std::move(title)), m_Circuit(circuit), m_Parts(parts)
    {
        m_Seed = WriteNetlist(circuit);
    }

    bool Has(std::string_view part) const { return FindPart(m_Circuit, part) != nullptr; }

    // A resistor or capacitor standing upright, pin 1 up: an electrolytic's
    // pin 1 is its positive terminal, turned down when that is at the
    // bottom node.
    void Upright(const std::string& name, GridPoint centre, const std::string& bottomNode, Side side)
    {
        const bool down = PositiveNode(name) == bottomNode;
        const double dx = side == Side::Left ? -5 : 5;
        AddPart(name, centre, {down ? 180 : 0, 0}, Beside(centre, dx, -1), Beside(centre, dx, 1));
    }

    // A resistor or capacitor lying across, pin 1 left (rotated by 90
    // degrees) or, for an electrolytic positive at the right node, right.
    void Across(const std::string& name, GridPoint centre, const std::string& rightNode)
    {
        const bool right = PositiveNode(name) == rightNode;
        AddPart(name, centre, {right ? 270 : 90, 0}, Beside(centre, 0, -3), Beside(centre, 0, 3));
    }

    void Transistor(GridPoint at, Orientation orientation, GridPoint fields)
    {
        const PartsListRow& row = Row("T1");
        const SymbolKind kind = m_Circuit.m_IsPnp ? SymbolKind::Pnp : SymbolKind::Npn;
        Add(kind, "T1", row.m_ValueText, at, orientation, Beside(fields, 0, -1), Beside(fields, 0, 1), &row);
    }

    // A wire through the points, one segment between each two.
    void Wire(std::initializer_list<GridPoint> points)
    {
        for (auto point = points.begin(); point + 1 != points.end(); ++point) {
            m_Wires.emplace_back(point[0], point[1]);
        }
    }

    // The supply symbol at the end of a wire from `from` up to `at`.
    void Supply(GridPoint from, GridPoint at)
    {
        Wire({from, at});
        Power(SymbolKind::Supply, SupplyName(), at, Beside(at, 0, -3));
    }

    // A lead straight down from `from` to a ground symbol.
    void Ground(GridPoint from, int groundRow)
    {
        const GridPoint at{from.m_X, groundRow};
        Wire({from, at});
        Power(SymbolKind::Ground, "GND", at, Beside(at, 0, 3));
    }

    // A power flag at a point of the supply's or ground's net, pointing
    // left or right: it tells KiCad's electrical rules check that the net
    // is driven (by the supply the schematic does not show), which it
    // would otherwise report as an error.
    void PowerFlag(GridPoint at, Side side)
    {
        const bool left = side == Side::Left;
        const std::string reference = "#FLG0" + std::to_string(++m_FlagCount);
        Add(SymbolKind::PowerFlag, reference, "PWR_FLAG", at, {left ? 90 : 270, 0}, Beside(at, 0, 0),
            Beside(at, left ? -6.5 : 6.5, 0), nullptr);
    }

    // A global label ending at `at`: IN reaching out to the left, OUT to the
    // right.
    void Label(const char* text, GridPoint at, bool input) { m_Labels.push_back({text, at, input}); }

    std::string Text() const;

private:
    struct Placed {
        SymbolKind m_Kind;
        std::string m_Reference;
        std::string m_Value;
        GridPoint m_At;
        Orientation m_Orientation;
        TextAt m_ReferenceAt;
        TextAt m_ValueAt;
        const PartsListRow* m_Row; // none for power symbols
    };
    struct GlobalLabel {
        const char* m_Text;
        GridPoint m_At;
        bool m_Input;
    };

    const PartsListRow& Row(std::string_view reference) const
    {
        return *std::ranges::find(m_Parts.m_Rows, reference, &PartsListRow::m_Reference);
    }

    // An electrolytic's positive node; empty for any other part.
    std::string PositiveNode(const std::string& name) const
    {
        const PartsListRow& row = Row(name);
        const bool electrolytic =
            row.m_Kind == PartKind::Capacitor && UsualDielectric(row.m_Value) == Dielectric::Electrolytic;
        return electrolytic ? row.m_PositiveNode : std::string();
    }

    std::string SupplyName() const
    {
        return (m_Circuit.m_IsPnp ? "-" : "+") + SpiceNumber(m_Circuit.m_SupplyVoltage) + "V";
    }

    void AddPart(const std::string& name, GridPoint centre, Orientation orientation, TextAt reference,
                 TextAt value)
    {
        const PartsListRow& row = Row(name);
        SymbolKind kind = SymbolKind::Resistor;
        if (row.m_Kind == PartKind::Capacitor) {
            const bool electrolytic = UsualDielectric(row.m_Value) == Dielectric::Electrolytic;
            kind = electrolytic ? SymbolKind::Electrolytic : SymbolKind::Capacitor;
        }
        Add(kind, name, row.m_ValueText, centre, orientation, reference, value, &row);
    }

    void Power(SymbolKind kind, const std::string& value, GridPoint at, TextAt valueAt)
    {
        const std::string reference = "#PWR0" + std::to_string(++m_PowerCount);
        Add(kind, reference, value, at, {}, Beside(at, 0, 0), valueAt, nullptr);
    }

    void Add(SymbolKind kind, std::string reference, std::string value, GridPoint at, Orientation orientation,
             TextAt referenceAt, TextAt valueAt, const PartsListRow* row)
    {
        m_Symbols.push_back(
            {kind, std::move(reference), std::move(value), at, orientation, referenceAt, valueAt, row});
    }

    std::string LibId(SymbolKind kind) const
    {
        if (kind == SymbolKind::Supply) {
            return "power:" + SupplyName();
        }
        const LibSymbol& symbol = LibSymbolOf(kind);
        const bool power = kind == SymbolKind::Ground || kind == SymbolKind::PowerFlag;
        return std::string(power ? "power:" : "Device:") + symbol.m_Name;
    }

    // A UUID derived from the design and the item it names; marked as a
    // version 8 (custom) UUID of RFC 9562.
    std::string Uuid(std::string_view item) const
    {
        const std::uint64_t high = Fnv1a(item, Fnv1a(m_Seed, 0xcbf29ce484222325ULL));
        const std::uint64_t low = Fnv1a(item, Fnv1a(m_Seed, 0x84222325cbf29ce4ULL));
        char text[40];
        std::snprintf(text, sizeof text, "%08x-%04x-8%03x-%04x-%012llx", static_cast<unsigned>(high >> 32),
                      static_cast<unsigned>((high >> 16) & 0xffff), static_cast<unsigned>(high & 0xfff),
                      static_cast<unsigned>(0x8000 | ((low >> 48) & 0x3fff)),
                      static_cast<unsigned long long>(low & 0xffffffffffffULL));
        return text;
    }

    std::vector<GridPoint> Junctions() const;
    void WriteLibSymbol(std::string& out, SymbolKind kind) const;
    void WriteSymbol(std::string& out, const Placed& symbol) const;

    std::string m_Title;
    const AmplifierCircuit& m_Circuit;
    const PartsList& m_Parts;
    std::string m_Seed;
    std::vector<Placed> m_Symbols;
    std::vector<std::pair<GridPoint, GridPoint>> m_Wires;
    std::vector<GlobalLabel> m_Labels;
    int m_PowerCount = 0;
    int m_FlagCount = 0;
};

// Every point where three or more connections meet: wire ends, pins,
// labels.
std::vector<GridPoint> Sheet::Junctions() const
{
    std::map<GridPoint, int> ends;
    for (const auto& [a, b] : m_Wires) {
        ++ends[a];
        ++ends[b];
    }
    for (const Placed& symbol : m_Symbols) {
        for (const LibPin& pin : LibSymbolOf(symbol.m_Kind).m_Pins) {
            ++ends[OnSheet(symbol.m_At, symbol.m_Orientation, pin.m_At)];
        }
    }
    for (const GlobalLabel& label : m_Labels) {
        ++ends[label.m_At];
    }
    std::vector<GridPoint> junctions;
    for (const auto& [point, count] : ends) {
        if (count >= 3) {
            junctions.push_back(point);
        }
    }
    return junctions;
}

void Sheet::WriteLibSymbol(std::string& out, SymbolKind kind) const
{
    const LibSymbol& symbol = LibSymbolOf(kind);
    const std::string id = LibId(kind);
    const std::string name = id.substr(id.find(':') + 1);
    const bool power =
        kind == SymbolKind::Supply || kind == SymbolKind::Ground || kind == SymbolKind::PowerFlag;
    out += "    (symbol " + Quoted(id) + " " + symbol.m_Flags + " (in_bom yes) (on_board yes)\n";
    const std::pair<const char*, std::string> properties[]{{"Reference", symbol.m_Reference},
                                                           {"Value", name},
                                                           {"Footprint", ""},
                                                           {"Datasheet", power ? "" : "~"}};
    int number = 0;
    for (const auto& [key, value] : properties) {
        const bool hidden = number >= 2 || (power && number == 0);
        out += "      (property " + Quoted(key) + " " + Quoted(value) + " (id " + std::to_string(number++) +
               ") (at 0 0 0) " + Font + (hidden ? " hide" : "") + "))\n";
    }
    out += "      (symbol " + Quoted(name + "_0_1") + "\n";
    for (const Shape& shape : symbol.m_Body) {
        out += "        (" + std::string(shape.m_Geometry) + " (stroke (width " + Mm(shape.m_Width) +
               ") (type default) (color 0 0 0 0)) (fill (type " + shape.m_Fill + ")))\n";
    }
    out += "      )\n      (symbol " + Quoted(name + "_1_1") + "\n";
    for (const LibPin& pin : symbol.m_Pins) {
        const std::string pinName = kind == SymbolKind::Supply ? name : pin.m_Name;
        out += "        (pin " + std::string(pin.m_Type) + " line (at " + Mm(pin.m_At.m_X * GridMm) + " " +
               Mm(pin.m_At.m_Y * GridMm) + " " + std::to_string(pin.m_Angle) + ")" + " (length " +
               Mm(pin.m_Length) + ")" + (power ? " hide" : "") + " (name " + Quoted(pinName) + " " + Font +
               ")) (number " + Quoted(pin.m_Number) + " " + Font + ")))\n";
    }
    out += "      )\n    )\n";
}

void Sheet::WriteSymbol(std::string& out, const Placed& symbol) const
{
    const bool power = symbol.m_Row == nullptr;
    const Orientation& o = symbol.m_Orientation;
    // KiCad keeps a field's angle in the symbol's own frame: a field of a
    // symbol turned by 90 degrees reads across at 90.
    const int fieldAngle = o.m_Angle % 180 == 0 ? 0 : 90;
    out += "  (symbol (lib_id " + Quoted(LibId(symbol.m_Kind)) + ") " +
           At(symbol.m_At.m_X, symbol.m_At.m_Y, o.m_Angle);
    if (o.m_Mirror != 0) {
        out += std::string(" (mirror ") + o.m_Mirror + ")";
    }
    out += " (unit 1)\n    (in_bom yes) (on_board yes)\n    (uuid " + Uuid("symbol " + symbol.m_Reference) +
           ")\n";
    std::vector<std::pair<std::string, std::string>> fields{{"Reference", symbol.m_Reference},
                                                            {"Value", symbol.m_Value},
                                                            {"Footprint", ""},
                                                            {"Datasheet", power ? "" : "~"}};
    if (!power) {
        if (!symbol.m_Row->m_ToleranceText.empty()) {
            fields.emplace_back("Tolerance", symbol.m_Row->m_ToleranceText);
        }
        fields.emplace_back("Rating", symbol.m_Row->m_RatingText);
    }
    for (std::size_t id = 0; id < fields.size(); ++id) {
        const TextAt& at = id == 1 ? symbol.m_ValueAt : symbol.m_ReferenceAt;
        const bool shown = (id == 0 && !power) || (id == 1 && symbol.m_Kind != SymbolKind::Ground);
        out += "    (property " + Quoted(fields[id].first) + " " + Quoted(fields[id].second) + " (id " +
               std::to_string(id) + ") " + At(at.m_X, at.m_Y, fieldAngle) + "\n      " + Font +
               (shown ? "" : " hide") + ")\n    )\n";
    }
    for (const LibPin& pin : LibSymbolOf(symbol.m_Kind).m_Pins) {
        out += "    (pin " + Quoted(pin.m_Number) + " (uuid " +
               Uuid("pin " + symbol.m_Reference + " " + pin.m_Number) + "))\n";
    }
    out += "  )\n\n";
}

std::string Sheet::Text() const
{
    std::string out = "(kicad_sch (version 20211123) (generator norvane)\n\n";
    out += "  (uuid " + Uuid("sheet") + ")\n\n  (paper \"A4\")\n\n";
    // The netlist's title says "Norvane Common-Emitter circuit: T1 = BC548B
    // (NPN), UB = 12 V, ..."; what follows the colon is the first comment.
    const std::string& described = m_Circuit.m_Title;
    const std::size_t colon = std::min(described.find(": "), described.size());
    out += "  (title_block\n    (title " + Quoted(m_Title) + ")\n    (comment 1 " +
           Quoted(described.substr(std::min(colon + 2, described.size()))) + ")\n  )\n\n";
    out += "  (lib_symbols\n";
    std::vector<SymbolKind> used;
    for (const Placed& symbol : m_Symbols) {
        if (std::ranges::find(used, symbol.m_Kind) == used.end()) {
            used.push_back(symbol.m_Kind);
        }
    }
    std::ranges::sort(used, {}, [this](SymbolKind kind) { return LibId(kind); });
    for (const SymbolKind kind : used) {
        WriteLibSymbol(out, kind);
    }
    out += "  )\n\n";
    for (const GridPoint& point : Junctions()) {
        out += "  (junction (at " + Xy(point.m_X, point.m_Y) + ") (diameter 0) (color 0 0 0 0))\n";
    }
    out += "\n";
    int wire = 0;
    for (const auto& [a, b] : m_Wires) {
        out += "  (wire (pts (xy " + Xy(a.m_X, a.m_Y) + ") (xy " + Xy(b.m_X, b.m_Y) +
               "))\n    (stroke (width 0) (type default) (color 0 0 0 0))\n    (uuid " +
               Uuid("wire " + std::to_string(wire++)) + ")\n  )\n";
    }
    out += "\n";
    for (const GlobalLabel& label : m_Labels) {
        const int angle = label.m_Input ? 180 : 0;
        const char* justify = label.m_Input ? "right" : "left";
        out += "  (global_label " + Quoted(label.m_Text) + " (shape " + (label.m_Input ? "input" : "output") +
               ") " + At(label.m_At.m_X, label.m_At.m_Y, angle) + " (fields_autoplaced)\n    " + Font +
               " (justify " + justify + "))\n    (uuid " + Uuid(std::string("label ") + label.m_Text) +
               ")\n    (property \"Intersheet References\" \"${INTERSHEET_REFS}\" (id 0) " +
               At(label.m_At.m_X, label.m_At.m_Y, 0) + "\n      " + Font + " (justify " + justify +
               ") hide)\n    )\n  )\n";
    }
    out += "\n";
    for (const Placed& symbol : m_Symbols) {
        WriteSymbol(out, symbol);
    }
    out += "  (sheet_instances\n    (path \"/\" (page \"1\"))\n  )\n\n  (symbol_instances\n";
    std::vector<const Placed*> byReference;
    for (const Placed& symbol : m_Symbols) {
        byReference.push_back(&symbol);
    }
    std::ranges::sort(byReference, {}, &Placed::m_Reference);
    for (const Placed* symbol : byReference) {
        out += "    (path \"/" + Uuid("symbol " + symbol->m_Reference) + "\"\n      (reference " +
               Quoted(symbol->m_Reference) + ") (unit 1) (value " + Quoted(symbol->m_Value) +
               ") (footprint \"\")\n    )\n";
    }
    out += "  )\n)\n";
    return out;
}

// The layouts follow the report's pictures: the supply along the top, the
// input at the left, the output at the right, every ground at the bottom
// row. T1 sits at (60, 50); an NPN's base is at (56, 50), its collector at
// (62, 46) and its emitter at (62, 54), and the PNP, flipped, matches it.
constexpr int GroundRow = 90;
constexpr GridPoint TransistorAt{60, 50};

// The NPN as drawn; the PNP flipped top to bottom, collector up.
Orientation CollectorUp(bool pnp)
{
    return {0, pnp ? 'x' : '\0'};
}

// The supply rail from R1 to the supply at the top right, the input
// capacitor and the base divider, shared by the common-emitter and the
// common-collector circuit.
void RailAndBaseDivider(Sheet& sheet, bool pnp)
{
    sheet.Transistor(TransistorAt, CollectorUp(pnp), {70, 50});
    sheet.Wire({{40, 20}, {62, 20}});
    sheet.Supply({62, 20}, {80, 20});
    sheet.PowerFlag({80, 20}, Side::Right);
    sheet.Upright("R1", {40, 28}, "base", Side::Left);
    sheet.Wire({{40, 20}, {40, 25}});
    sheet.Wire({{40, 31}, {40, 50}});
    sheet.Label("IN", {18, 50}, true);
    sheet.Wire({{18, 50}, {27, 50}});
    sheet.Across("C1", {30, 50}, "base");
    sheet.Wire({{33, 50}, {40, 50}});
    sheet.Wire({{40, 50}, {46, 50}});
    sheet.Wire({{46, 50}, {56, 50}});
    sheet.Upright("R2", {46, 70}, "0", Side::Left);
    sheet.Wire({{46, 50}, {46, 67}});
    sheet.Ground({46, 73}, GroundRow);
    sheet.PowerFlag({46, GroundRow}, Side::Left);
}

void LayOutCommonEmitter(Sheet& sheet, bool pnp)
{
    RailAndBaseDivider(sheet, pnp);
    sheet.Upright("R3", {62, 30}, "collector", Side::Left);
    sheet.Wire({{62, 20}, {62, 27}});
    sheet.Wire({{62, 33}, {62, 40}});
    sheet.Wire({{62, 40}, {62, 46}});
    sheet.Across("C2", {72, 40}, "out");
    sheet.Wire({{62, 40}, {69, 40}});
    sheet.Wire({{75, 40}, {84, 40}});
    sheet.Label("OUT", {84, 40}, false);
    if (!sheet.Has("R5")) {
        sheet.Upright("R4", {62, 60}, "0", Side::Right);
        sheet.Wire({{62, 54}, {62, 57}});
        sheet.Ground({62, 63}, GroundRow);
        return;
    }
    // R5 and C3 at the node below R4, or at the emitter itself when R4
    // came out as 0 ohm.
    std::string node = "emitter";
    if (sheet.Has("R4")) {
        node = "emitter2";
        sheet.Upright("R4", {62, 60}, node, Side::Right);
        sheet.Wire({{62, 54}, {62, 57}});
        sheet.Wire({{62, 63}, {62, 68}});
    } else {
        sheet.Wire({{62, 54}, {62, 68}});
    }
    sheet.Upright("R5", {62, 76}, "0", Side::Left);
    sheet.Wire({{62, 68}, {62, 73}});
    sheet.Ground({62, 79}, GroundRow);
    sheet.Wire({{62, 68}, {72, 68}, {72, 73}});
    sheet.Upright("C3", {72, 76}, "0", Side::Right);
    sheet.Ground({72, 79}, GroundRow);
}

void LayOutCommonCollector(Sheet& sheet, bool pnp)
{
    RailAndBaseDivider(sheet, pnp);
    sheet.Wire({{62, 20}, {62, 46}});
    sheet.Wire({{62, 54}, {62, 62}});
    sheet.Upright("R3", {62, 72}, "0", Side::Left);
    sheet.Wire({{62, 62}, {62, 69}});
    sheet.Ground({62, 75}, GroundRow);
    sheet.Across("C2", {72, 62}, "out");
    sheet.Wire({{62, 62}, {69, 62}});
    sheet.Wire({{75, 62}, {84, 62}});
    sheet.Label("OUT", {84, 62}, false);
}

// T1 lies with its emitter to the left, its collector to the right and
// its base down: (56, 48), (64, 48), (60, 54).
void LayOutCommonBase(Sheet& sheet, bool pnp)
{
    sheet.Transistor(TransistorAt, pnp ? Orientation{90, 0} : Orientation{90, 'y'}, {60, 43});
    sheet.Label("IN", {18, 48}, true);
    sheet.Wire({{18, 48}, {27, 48}});
    sheet.Across("C1", {30, 48}, "emitter");
    sheet.Wire({{33, 48}, {40, 48}});
    sheet.Wire({{40, 48}, {56, 48}});
    sheet.Upright("R1", {40, 70}, "0", Side::Left);
    sheet.Wire({{40, 48}, {40, 67}});
    sheet.Ground({40, 73}, GroundRow);
    sheet.PowerFlag({40, GroundRow}, Side::Left);

    sheet.Wire({{64, 48}, {70, 48}});
    sheet.Upright("R2", {70, 34}, "collector", Side::Left);
    sheet.Supply({70, 31}, {70, 22});
    sheet.PowerFlag({70, 22}, Side::Right);
    sheet.Wire({{70, 37}, {70, 48}});
    sheet.Across("C2", {76, 48}, "out");
    sheet.Wire({{70, 48}, {73, 48}});
    sheet.Wire({{79, 48}, {90, 48}});
    sheet.Label("OUT", {90, 48}, false);

    sheet.Wire({{60, 54}, {60, 70}});
    sheet.Upright("C3", {60, 80}, "0", Side::Right);
    sheet.Wire({{60, 70}, {60, 77}});
    sheet.Ground({60, 83}, GroundRow);
    sheet.Wire({{60, 70}, {84, 70}});
    sheet.Upright("R3", {84, 63}, "base", Side::Left);
    sheet.Supply({84, 60}, {84, 56});
    sheet.Wire({{84, 66}, {84, 70}});
    sheet.Upright("R4", {84, 80}, "0", Side::Left);
    sheet.Wire({{84, 70}, {84, 77}});
    sheet.Ground({84, 83}, GroundRow);
}

} // namespace

Expected<std::string> KicadSchematic(const AmplifierDesign& design)
{
    const PartsList parts = PartsListOf(design);
    if (!parts.m_Problem.empty()) {
        return Failure{parts.m_Problem};
    }
    const AmplifierCircuit circuit = DescribeCircuit(design);
    Sheet sheet(design.Title(), circuit, parts);
    switch (design.Kind()) {
    case CircuitKind::CommonEmitter: LayOutCommonEmitter(sheet, circuit.m_IsPnp); break;
    case CircuitKind::CommonBase: LayOutCommonBase(sheet, circuit.m_IsPnp); break;
    case CircuitKind::CommonCollector: LayOutCommonCollector(sheet, circuit.m_IsPnp); break;
    case CircuitKind::None: return Failure{"no circuit"};
    }
    return sheet.Text();
}

} // namespace norvane
