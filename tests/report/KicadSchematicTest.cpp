// The KiCad schematic read back as KiCad would read it: the S-expressions
// parsed, each pin placed from its symbol's position, rotation and mirror
// and the pin of the embedded library symbol, wires followed end to end,
// power symbols and labels joined by name. Its nets must be the SPICE
// netlist's, for every circuit and variant in both polarities.

#include "report/KicadSchematic.h"

#include "circuit/Netlist.h"
#include "present/PartsList.h"
#include "transistors/TransistorTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <set>
#include <sstream>

namespace norvane {
namespace {

// An S-expression: an atom (quoted or not) or a list.
struct Node {
    std::string m_Atom;
    std::vector<Node> m_List;
    bool m_IsList = false;

    const Node* Find(std::string_view head) const
    {
        for (const Node& item : m_List) {
            if (item.m_IsList && !item.m_List.empty() && item.m_List[0].m_Atom == head) {
                return &item;
            }
        }
        return nullptr;
    }
    std::vector<const Node*> All(std::string_view head) const
    {
        std::vector<const Node*> found;
        for (const Node& item : m_List) {
            if (item.m_IsList && !item.m_List.empty() && item.m_List[0].m_Atom == head) {
                found.push_back(&item);
            }
        }
        return found;
    }
    double Number(std::size_t i) const { return std::stod(m_List.at(i).m_Atom); }
};

Node Parse(const std::string& text, std::size_t& i)
{
    while (std::isspace(static_cast<unsigned char>(text.at(i)))) {
        ++i;
    }
    Node node;
    if (text[i] == '(') {
        node.m_IsList = true;
        ++i;
        while (true) {
            while (std::isspace(static_cast<unsigned char>(text.at(i)))) {
                ++i;
            }
            if (text[i] == ')') {
                ++i;
                return node;
            }
            node.m_List.push_back(Parse(text, i));
        }
    }
    if (text[i] == '"') {
        for (++i; text.at(i) != '"'; ++i) {
            node.m_Atom += text[i] == '\\' ? text.at(++i) : text[i];
        }
        ++i;
        return node;
    }
    while (!std::isspace(static_cast<unsigned char>(text.at(i))) && text[i] != '(' && text[i] != ')') {
        node.m_Atom += text[i++];
    }
    return node;
}

// A point on the sheet in micrometres, so that equal positions compare equal.
using Point = std::pair<long, long>;
Point At(double x, double y)
{
    return {std::lround(x * 1000), std::lround(y * 1000)};
}

std::string Property(const Node& symbol, std::string_view name)
{
    for (const Node* property : symbol.All("property")) {
        if (property->m_List.at(1).m_Atom == name) {
            return property->m_List.at(2).m_Atom;
        }
    }
    return "";
}

struct Terminal {
    std::string m_Name; // "R1", or "T1.C": a transistor's pins are not alike
    Point m_At;
};

// What the file says, connected: for each net its name where a power
// symbol or label gives one ("0", "vcc", "in", "out"), and the part
// terminals on it, sorted.
struct ReadBack {
    std::set<std::pair<std::string, std::vector<std::string>>> m_Nets;
    std::map<std::string, std::string> m_Values;       // reference: value
    std::map<std::string, std::string> m_Tolerances;   // reference: tolerance
    std::map<std::string, std::string> m_LibIds;       // reference: lib_id
    std::map<std::string, Point> m_PinOne;             // reference: where pin 1 is
    std::map<Point, std::vector<std::string>> m_NetAt; // a point: its net's terminals
    std::string m_Supply;                              // the supply symbol's value
};

ReadBack Read(const std::string& text)
{
    std::size_t start = 0;
    const Node file = Parse(text, start);
    EXPECT_EQ(file.m_List.at(0).m_Atom, "kicad_sch");
    EXPECT_EQ(file.Find("version")->m_List.at(1).m_Atom, "20211123");
    EXPECT_EQ(file.Find("generator")->m_List.at(1).m_Atom, "norvane");

    // Library pins: lib_id -> (number, x, y) in the symbol's own frame.
    std::map<std::string, std::vector<std::tuple<std::string, double, double>>> libPins;
    for (const Node* symbol : file.Find("lib_symbols")->All("symbol")) {
        for (const Node* unit : symbol->All("symbol")) {
            for (const Node* pin : unit->All("pin")) {
                const Node* at = pin->Find("at");
                libPins[symbol->m_List.at(1).m_Atom].emplace_back(pin->Find("number")->m_List.at(1).m_Atom,
                                                                  at->Number(1), at->Number(2));
            }
        }
    }

    // Every connection point with what lies there; union-find over points.
    std::map<Point, Point> parent;
    std::map<Point, int> items;
    const std::function<Point(Point)> root = [&](Point p) {
        parent.try_emplace(p, p);
        return parent[p] == p ? p : parent[p] = root(parent[p]);
    };
    const auto join = [&](Point a, Point b) { parent[root(a)] = root(b); };
    std::map<std::string, Point> byName; // power and label names join their nets
    std::map<Point, std::string> names;
    const auto name = [&](const std::string& net, Point p) {
        names[p] = net;
        if (const auto [first, added] = byName.emplace(net, p); !added) {
            join(p, first->second);
        }
    };
    // KiCad 6 takes the references from the instances: one per symbol.
    std::map<std::string, std::string> instances; // path: reference
    for (const Node* path : file.Find("symbol_instances")->All("path")) {
        instances[path->m_List.at(1).m_Atom] = path->Find("reference")->m_List.at(1).m_Atom;
    }
    EXPECT_EQ(instances.size(), file.All("symbol").size());
    std::vector<Terminal> terminals;
    std::vector<std::pair<Point, Point>> wires;
    ReadBack back;
    for (const Node* wire : file.All("wire")) {
        const Node* pts = wire->Find("pts");
        const Point a = At(pts->m_List.at(1).Number(1), pts->m_List.at(1).Number(2));
        const Point b = At(pts->m_List.at(2).Number(1), pts->m_List.at(2).Number(2));
        wires.emplace_back(a, b);
        join(a, b);
        ++items[a];
        ++items[b];
    }
    for (const Node* label : file.All("global_label")) {
        const Point p = At(label->Find("at")->Number(1), label->Find("at")->Number(2));
        std::string text = label->m_List.at(1).m_Atom;
        std::ranges::transform(text, text.begin(), [](unsigned char c) { return std::tolower(c); });
        name(text, p);
        ++items[p];
    }
    for (const Node* symbol : file.All("symbol")) {
        const std::string libId = symbol->Find("lib_id")->m_List.at(1).m_Atom;
        const std::string reference = Property(*symbol, "Reference");
        const std::string value = Property(*symbol, "Value");
        EXPECT_EQ(instances["/" + symbol->Find("uuid")->m_List.at(1).m_Atom], reference);
        const Node* at = symbol->Find("at");
        // KiCad's transforms: the drawing's y upwards, then the rotation,
        // then the mirror.
        static const std::map<int, std::array<int, 4>> Rotations{
            {0, {1, 0, 0, -1}}, {90, {0, -1, -1, 0}}, {180, {-1, 0, 0, 1}}, {270, {0, 1, 1, 0}}};
        const std::array<int, 4> m = Rotations.at(static_cast<int>(at->Number(3)));
        const Node* mirror = symbol->Find("mirror");
        const int flipX = mirror != nullptr && mirror->m_List.at(1).m_Atom == "y" ? -1 : 1;
        const int flipY = mirror != nullptr && mirror->m_List.at(1).m_Atom == "x" ? -1 : 1;
        EXPECT_TRUE(libPins.contains(libId)) << libId << " is not embedded";
        for (const auto& [number, px, py] : libPins[libId]) {
            const Point p = At(at->Number(1) + flipX * (m[0] * px + m[1] * py),
                               at->Number(2) + flipY * (m[2] * px + m[3] * py));
            ++items[p];
            root(p);
            if (reference.starts_with("#PWR")) {
                const bool ground = value == "GND";
                if (!ground) {
                    back.m_Supply = value;
                }
                name(ground ? "0" : "vcc", p);
                continue;
            }
            if (reference.starts_with('#')) {
                continue; // a power flag: on the net, no part of it
            }
            static const std::map<std::string, std::string> TransistorPins{
                {"1", "B"}, {"2", "C"}, {"3", "E"}};
            terminals.push_back(
                {reference.starts_with('T') ? reference + "." + TransistorPins.at(number) : reference, p});
            if (number == "1") {
                back.m_PinOne[reference] = p;
            }
        }
        if (!reference.starts_with('#')) {
            back.m_Values[reference] = value;
            back.m_Tolerances[reference] = Property(*symbol, "Tolerance");
            back.m_LibIds[reference] = libId;
        }
    }

    // No loose ends, no wire end or pin on the middle of a wire (KiCad
    // joins only ends), a junction exactly where three or more meet.
    std::set<Point> junctions;
    for (const Node* junction : file.All("junction")) {
        junctions.insert(At(junction->Find("at")->Number(1), junction->Find("at")->Number(2)));
    }
    for (const auto& [p, count] : items) {
        EXPECT_GE(count, 2) << "loose end at " << p.first << "," << p.second;
        EXPECT_EQ(junctions.contains(p), count >= 3) << p.first << "," << p.second;
        for (const auto& [a, b] : wires) {
            const bool inside =
                (a.first == b.first && p.first == a.first && std::min(a.second, b.second) < p.second &&
                 p.second < std::max(a.second, b.second)) ||
                (a.second == b.second && p.second == a.second && std::min(a.first, b.first) < p.first &&
                 p.first < std::max(a.first, b.first));
            EXPECT_FALSE(inside) << "on the middle of a wire: " << p.first << "," << p.second;
        }
    }

    std::map<Point, std::pair<std::string, std::vector<std::string>>> nets;
    for (const auto& [p, net] : names) {
        std::string& known = nets[root(p)].first;
        EXPECT_TRUE(known.empty() || known == net) << known << " and " << net << " are one net";
        known = net;
    }
    for (const Terminal& terminal : terminals) {
        nets[root(terminal.m_At)].second.push_back(terminal.m_Name);
    }
    for (auto& [at, net] : nets) {
        std::ranges::sort(net.second);
        back.m_Nets.insert(net);
    }
    for (const auto& [reference, p] : back.m_PinOne) {
        back.m_NetAt[p] = nets[root(p)].second;
    }
    return back;
}

// The same from the netlist: each node with the terminals on it; the
// simulation's own sources and load left out.
std::set<std::pair<std::string, std::vector<std::string>>>
NetlistNets(const std::string& netlist, std::map<std::string, std::vector<std::string>>& nodes)
{
    std::istringstream lines(netlist);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string name;
        std::string a;
        std::string b;
        std::string c;
        words >> name >> a >> b >> c;
        if (name == "Q1") {
            nodes[a].push_back("T1.C");
            nodes[b].push_back("T1.B");
            nodes[c].push_back("T1.E");
        } else if ((name[0] == 'R' || name[0] == 'C') && name != "RLOAD" && name != "RSOURCE" &&
                   std::isdigit(static_cast<unsigned char>(name[1]))) {
            nodes[a].push_back(name);
            nodes[b].push_back(name);
        }
    }
    std::set<std::pair<std::string, std::vector<std::string>>> nets;
    for (auto& [node, terminals] : nodes) {
        std::ranges::sort(terminals);
        const bool named = node == "0" || node == "vcc" || node == "in" || node == "out";
        nets.insert({named ? node : "", terminals});
    }
    return nets;
}

struct Variant {
    CircuitKind m_Kind;
    const char* m_Transistor;
    double m_Gain; // 0: the default
    const char* m_Parts;
};

TEST(KicadSchematic, NetsAreTheNetlistsForEveryCircuitAndPolarity)
{
    const Variant variants[]{
        {CircuitKind::CommonEmitter, "BC548B", 20, "R5 and C3 below R4"},
        {CircuitKind::CommonEmitter, "BC558B", 20, "R5 and C3 below R4"},
        {CircuitKind::CommonEmitter, "BC548B", 0, "no R5"},
        {CircuitKind::CommonEmitter, "BC558B", 0, "no R5"},
        {CircuitKind::CommonEmitter, "BC548B", 60, "R4 = 0"},
        {CircuitKind::CommonEmitter, "BC558B", 60, "R4 = 0"},
        {CircuitKind::CommonBase, "BC548B", 0, ""},
        {CircuitKind::CommonBase, "BC558B", 0, ""},
        {CircuitKind::CommonCollector, "BC548B", 0, ""},
        {CircuitKind::CommonCollector, "BC558B", 0, ""},
    };
    std::set<std::string> files;
    for (const Variant& variant : variants) {
        DesignInputs inputs(variant.m_Kind);
        inputs.SetTransistorIndex(FindTransistor(variant.m_Transistor));
        if (variant.m_Gain > 0) {
            inputs.SetValue(InputField::Gain, variant.m_Gain);
        }
        const std::unique_ptr<AmplifierDesign> design = MakeDesign(variant.m_Kind);
        design->Compute(inputs);
        const Expected<std::string> text = KicadSchematic(*design);
        ASSERT_TRUE(text.Ok()) << text.Message();
        SCOPED_TRACE(std::string(design->Title()) + " " + variant.m_Transistor + " " + variant.m_Parts);
        files.insert(*text);

        const ReadBack back = Read(*text);
        std::map<std::string, std::vector<std::string>> nodes;
        EXPECT_EQ(back.m_Nets, NetlistNets(WriteNetlist(*design), nodes));
        const bool pnp = design->IsPnp();
        EXPECT_EQ(back.m_Supply,
                  (pnp ? "-" : "+") + SpiceNumber(inputs.Value(InputField::SupplyVoltage)) + "V");
        EXPECT_EQ(back.m_LibIds.at("T1"), pnp ? "Device:Q_PNP_BCE" : "Device:Q_NPN_BCE");
        EXPECT_EQ(back.m_Values.at("T1"), variant.m_Transistor);

        // References and values as the result shows them; the parts
        // list's tolerance; an electrolytic's pin 1 at its positive node.
        std::size_t shown = 0;
        for (const ResultItem& item : design->GetComponentValues()) {
            if (back.m_Values.contains(item.name)) {
                EXPECT_EQ(back.m_Values.at(item.name), item.value) << item.name;
                ++shown;
            }
        }
        EXPECT_EQ(shown, back.m_Values.size()); // T1 among them
        for (const PartsListRow& row : PartsListOf(*design).m_Rows) {
            EXPECT_EQ(back.m_Tolerances.at(row.m_Reference), row.m_ToleranceText) << row.m_Reference;
            if (row.m_Kind != PartKind::Capacitor) {
                continue;
            }
            const bool polarised = row.m_Description.find("electrolytic") != std::string::npos;
            EXPECT_EQ(back.m_LibIds.at(row.m_Reference), polarised ? "Device:C_Polarized" : "Device:C");
            if (polarised) {
                EXPECT_EQ(back.m_NetAt.at(back.m_PinOne.at(row.m_Reference)), nodes.at(row.m_PositiveNode))
                    << row.m_Reference << " + at " << row.m_PositiveNode;
            }
        }
        EXPECT_EQ(*KicadSchematic(*design), *text);
    }
    EXPECT_EQ(files.size(), std::size(variants));
}

TEST(KicadSchematic, DesignThatCannotBeBuiltHasNone)
{
    DesignInputs inputs(CircuitKind::CommonEmitter);
    inputs.SetValue(InputField::SupplyVoltage, 1);
    const std::unique_ptr<AmplifierDesign> design = MakeDesign(CircuitKind::CommonEmitter);
    design->Compute(inputs);
    const Expected<std::string> text = KicadSchematic(*design);
    ASSERT_FALSE(text.Ok());
    EXPECT_TRUE(text.Message().starts_with("the design cannot be built")) << text.Message();
}

} // namespace
} // namespace norvane
