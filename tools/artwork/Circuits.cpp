#include "Circuits.h"

#include <initializer_list>
#include <utility>

namespace norvane::artwork {
namespace {

// Small helpers so that a circuit reads like a parts list.
class CircuitBuilder {
public:
    CircuitBuilder& Resistor(std::string name, GridPoint a, GridPoint b, Side label)
    {
        m_Circuit.parts.push_back({PartKind::Resistor, std::move(name), a, b, label});
        return *this;
    }
    CircuitBuilder& Capacitor(std::string name, GridPoint a, GridPoint b, Side label)
    {
        m_Circuit.parts.push_back({PartKind::Capacitor, std::move(name), a, b, label});
        return *this;
    }
    CircuitBuilder& Transistor(GridPoint centre, Side label, Facing facing = Facing::BaseLeft)
    {
        m_Circuit.transistor = {"T1", centre, label, facing};
        return *this;
    }
    CircuitBuilder& Wire(std::initializer_list<GridPoint> points)
    {
        m_Circuit.wires.push_back({points});
        return *this;
    }
    CircuitBuilder& Terminal(TerminalKind kind, GridPoint at, Side label, Align align)
    {
        m_Circuit.terminals.push_back({kind, at, label, align});
        return *this;
    }
    // A lead straight down from a part's lower end to a ground bar.
    CircuitBuilder& Ground(GridPoint from, int groundRow)
    {
        const GridPoint bar{from.x, groundRow};
        m_Circuit.wires.push_back({{from, bar}});
        m_Circuit.grounds.push_back(bar);
        return *this;
    }
    CircuitBuilder& Nets(std::initializer_list<const char*> nets)
    {
        for (const char* net : nets) {
            m_Circuit.expectedNets.emplace_back(net);
        }
        return *this;
    }
    Circuit Done() { return std::move(m_Circuit); }

private:
    Circuit m_Circuit;
};

// Shared by the common-emitter and the common-collector circuit: the supply
// rail, the input coupling capacitor and the base divider. The divider taps
// the base line at two points, so that no junction has four wires.
void InputAndBaseDivider(CircuitBuilder& b, int dividerRow, int groundRow)
{
    b.Terminal(TerminalKind::Input, {0, 14}, Side::Below, Align::Start)
        .Capacitor("C1", {0, 14}, {10, 14}, Side::Above)
        .Resistor("R1", {10, 0}, {10, 8}, Side::Left)
        .Wire({{10, 8}, {10, 14}})
        .Wire({{10, 14}, {15, 14}})
        .Wire({{13, 14}, {13, dividerRow}})
        .Resistor("R2", {13, dividerRow}, {13, dividerRow + 8}, Side::Left)
        .Ground({13, dividerRow + 8}, groundRow);
}

} // namespace

Circuit CommonEmitterCircuit(bool withEmitterBypass)
{
    const int groundRow = withEmitterBypass ? 36 : 28;
    CircuitBuilder b;
    b.Transistor({19, 14}, Side::Right)
        .Wire({{10, 0}, {33, 0}})
        .Terminal(TerminalKind::Supply, {33, 0}, Side::Above, Align::End);
    InputAndBaseDivider(b, 18, groundRow);
    b.Resistor("R3", {20, 0}, {20, 8}, Side::Left)
        .Wire({{20, 8}, {20, 10}})
        .Capacitor("C2", {20, 8}, {33, 8}, Side::Above)
        .Terminal(TerminalKind::Output, {33, 8}, Side::Below, Align::End)
        .Resistor("R4", {20, 18}, {20, 26}, Side::Right);
    b.Nets({"UB R1 R3", "R1 R2 C1 T1.B", "Input C1", "R3 C2 T1.C", "C2 Output", "T1.E R4"});
    if (withEmitterBypass) {
        b.Resistor("R5", {20, 26}, {20, 34}, Side::Left)
            .Ground({20, 34}, groundRow)
            .Wire({{20, 26}, {26, 26}})
            .Capacitor("C3", {26, 26}, {26, 34}, Side::Right)
            .Ground({26, 34}, groundRow)
            .Nets({"R4 R5 C3", "GND R2 R5 C3"});
    } else {
        b.Ground({20, 26}, groundRow).Nets({"GND R2 R4"});
    }
    return b.Done();
}

// Read from left to right: Input, C1, the emitter with R1 to ground, the
// transistor lying with its base down, the collector with R2 up to the rail
// and C2 to Output. The input and output line runs from edge to edge, so the
// base divider below it takes the supply from a terminal of its own.
Circuit CommonBaseCircuit()
{
    const int signalRow = 11;
    const int baseRow = 24;
    const int groundRow = 34;
    CircuitBuilder b;
    b.Transistor({17, 12}, Side::Above, Facing::BaseDown)
        // Emitter.
        .Terminal(TerminalKind::Input, {0, signalRow}, Side::Below, Align::Start)
        .Capacitor("C1", {0, signalRow}, {7, signalRow}, Side::Above)
        .Wire({{7, signalRow}, {13, signalRow}})
        .Wire({{10, signalRow}, {10, baseRow}})
        .Resistor("R1", {10, baseRow}, {10, baseRow + 8}, Side::Left)
        .Ground({10, baseRow + 8}, groundRow)
        // Collector.
        .Wire({{21, signalRow}, {25, signalRow}})
        .Resistor("R2", {25, 0}, {25, 8}, Side::Left)
        .Wire({{25, 8}, {25, signalRow}})
        .Wire({{25, 0}, {34, 0}})
        .Terminal(TerminalKind::Supply, {34, 0}, Side::Above, Align::End)
        .Capacitor("C2", {25, signalRow}, {34, signalRow}, Side::Above)
        .Terminal(TerminalKind::Output, {34, signalRow}, Side::Below, Align::End)
        // Base: C3 straight down, the divider R3/R4 beside it.
        .Wire({{17, 16}, {17, baseRow}})
        .Capacitor("C3", {17, baseRow}, {17, baseRow + 8}, Side::Right)
        .Ground({17, baseRow + 8}, groundRow)
        .Wire({{17, baseRow}, {29, baseRow}})
        .Terminal(TerminalKind::Supply, {29, 16}, Side::Right, Align::Centre)
        .Resistor("R3", {29, 16}, {29, baseRow}, Side::Left)
        .Resistor("R4", {29, baseRow}, {29, baseRow + 8}, Side::Left)
        .Ground({29, baseRow + 8}, groundRow)
        .Nets({"UB R2 R3", "R3 R4 C3 T1.B", "GND R1 R4 C3", "R2 C2 T1.C", "C2 Output", "Input C1",
               "C1 R1 T1.E"});
    return b.Done();
}

Circuit CommonCollectorCircuit()
{
    const int groundRow = 30;
    CircuitBuilder b;
    b.Transistor({19, 14}, Side::Right)
        .Wire({{10, 0}, {33, 0}})
        .Terminal(TerminalKind::Supply, {33, 0}, Side::Above, Align::End);
    InputAndBaseDivider(b, 20, groundRow);
    b.Wire({{20, 10}, {20, 0}})
        .Wire({{20, 18}, {20, 20}})
        .Resistor("R3", {20, 20}, {20, 28}, Side::Left)
        .Ground({20, 28}, groundRow)
        .Capacitor("C2", {20, 20}, {33, 20}, Side::Above)
        .Terminal(TerminalKind::Output, {33, 20}, Side::Below, Align::End)
        .Nets({"UB R1 T1.C", "R1 R2 C1 T1.B", "Input C1", "T1.E R3 C2", "C2 Output", "GND R2 R3"});
    return b.Done();
}

const Style& SchematicStyle()
{
    static const Style style{
        .pitchX = 7,
        .pitchY = 7,
        .fontPixels = 12,
        .labelGap = 4,
        .labelClearance = 2,
        .labelNudge = 6,
        .resistorWidth = 11,
        .resistorLength = 28,
        .capacitorPlate = 17,
        .capacitorThickness = 2,
        .capacitorGap = 4,
        .terminalRadius = 3,
        .dotRadius = 2,
        .groundWidth = 15,
        .groundThickness = 3,
        .transistorRadius = 17,
        .barLeft = -8,
        .barRight = -6,
        .barHalfLength = 11,
        .legStartY = 4,
        .npnArrowTip = 11.0,
        .pnpArrowTip = 1.5,
        .arrowLength = 6.5,
        .arrowHalfWidth = 4.0,
    };
    return style;
}

} // namespace norvane::artwork
