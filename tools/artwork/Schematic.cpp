#include "Schematic.h"

#include "LabelFont.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <stdexcept>

namespace norvane::artwork {

namespace {

// A point of the transistor given as (u, v) from its centre in the BaseLeft
// frame (u to the right, v down); BaseDown mirrors it about the diagonal,
// (u, v) -> (-v, -u).
GridPoint InFrame(const TransistorPart& t, int u, int v)
{
    if (t.facing == Facing::BaseDown) {
        return {t.centre.x - v, t.centre.y - u};
    }
    return {t.centre.x + u, t.centre.y + v};
}

} // namespace

GridPoint BasePin(const TransistorPart& t)
{
    return InFrame(t, -4, 0);
}

GridPoint CollectorPin(const TransistorPart& t)
{
    return InFrame(t, 1, -4);
}

GridPoint EmitterPin(const TransistorPart& t)
{
    return InFrame(t, 1, 4);
}

namespace {

struct Segment {
    GridPoint p;
    GridPoint q; // p < q along the run

    bool Horizontal() const { return p.y == q.y; }
    // Strictly between the end points.
    bool HasInside(GridPoint r) const
    {
        if (Horizontal()) {
            return r.y == p.y && r.x > p.x && r.x < q.x;
        }
        return r.x == p.x && r.y > p.y && r.y < q.y;
    }
};

std::string Describe(GridPoint p)
{
    return "(" + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
}

std::vector<Segment> Segments(const Circuit& circuit)
{
    std::vector<Segment> out;
    for (const Wire& wire : circuit.wires) {
        if (wire.points.size() < 2) {
            throw std::runtime_error("a wire needs two points");
        }
        for (std::size_t i = 1; i < wire.points.size(); ++i) {
            GridPoint p = wire.points[i - 1];
            GridPoint q = wire.points[i];
            if (p.x != q.x && p.y != q.y) {
                throw std::runtime_error("slanted wire " + Describe(p) + "-" + Describe(q));
            }
            if (p == q) {
                throw std::runtime_error("empty wire run at " + Describe(p));
            }
            if (q < p) {
                std::swap(p, q);
            }
            out.push_back({p, q});
        }
    }
    return out;
}

// Pins of all parts, with the name each contributes to its net.
std::vector<std::pair<GridPoint, std::string>> Pins(const Circuit& circuit)
{
    std::vector<std::pair<GridPoint, std::string>> pins;
    for (const TwoTerminalPart& part : circuit.parts) {
        if (part.a.x != part.b.x && part.a.y != part.b.y) {
            throw std::runtime_error(part.name + " is neither horizontal nor vertical");
        }
        pins.emplace_back(part.a, part.name);
        pins.emplace_back(part.b, part.name);
    }
    const TransistorPart& t = circuit.transistor;
    pins.emplace_back(BasePin(t), t.name + ".B");
    pins.emplace_back(CollectorPin(t), t.name + ".C");
    pins.emplace_back(EmitterPin(t), t.name + ".E");
    return pins;
}

std::string TerminalNet(TerminalKind kind)
{
    switch (kind) {
    case TerminalKind::Supply: return "UB";
    case TerminalKind::Input: return "Input";
    case TerminalKind::Output: return "Output";
    }
    return "?";
}

class UnionFind {
public:
    int Add(GridPoint p)
    {
        auto [it, inserted] = m_Index.try_emplace(p, static_cast<int>(m_Parent.size()));
        if (inserted) {
            m_Parent.push_back(it->second);
        }
        return it->second;
    }
    int Find(GridPoint p) { return Root(Add(p)); }
    void Join(GridPoint a, GridPoint b) { m_Parent[Root(Add(a))] = Root(Add(b)); }

private:
    int Root(int i)
    {
        while (m_Parent[i] != i) {
            i = m_Parent[i] = m_Parent[m_Parent[i]];
        }
        return i;
    }
    std::map<GridPoint, int> m_Index;
    std::vector<int> m_Parent;
};

std::string Canonical(std::vector<std::string> members)
{
    std::sort(members.begin(), members.end());
    std::string out;
    for (const std::string& m : members) {
        out += (out.empty() ? "" : " ") + m;
    }
    return out;
}

std::vector<std::string> Words(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; in >> w;) {
        words.push_back(w);
    }
    return words;
}

} // namespace

void CheckWiring(const Circuit& circuit)
{
    const std::vector<Segment> segments = Segments(circuit);
    const auto pins = Pins(circuit);

    std::set<GridPoint> points;
    for (const Segment& s : segments) {
        points.insert(s.p);
        points.insert(s.q);
    }
    for (const auto& [p, name] : pins) {
        points.insert(p);
    }
    for (const Terminal& t : circuit.terminals) {
        points.insert(t.at);
    }
    for (const GridPoint& g : circuit.grounds) {
        points.insert(g);
    }

    // Wires that cross without meeting, or run over each other.
    for (std::size_t i = 0; i < segments.size(); ++i) {
        for (std::size_t j = i + 1; j < segments.size(); ++j) {
            const Segment& s = segments[i];
            const Segment& t = segments[j];
            if (s.Horizontal() != t.Horizontal()) {
                const Segment& h = s.Horizontal() ? s : t;
                const Segment& v = s.Horizontal() ? t : s;
                const GridPoint x{v.p.x, h.p.y};
                if (h.HasInside(x) && v.HasInside(x)) {
                    throw std::runtime_error("wires cross at " + Describe(x));
                }
            } else {
                const bool sameLine = s.Horizontal() ? s.p.y == t.p.y : s.p.x == t.p.x;
                if (sameLine && (s.HasInside(t.p) || s.HasInside(t.q) || t.HasInside(s.p) ||
                                 t.HasInside(s.q) || (s.p == t.p && s.q == t.q))) {
                    throw std::runtime_error("wires overlap near " + Describe(s.p));
                }
            }
        }
    }
    // No wire may run along or across a resistor or capacitor.
    for (const TwoTerminalPart& part : circuit.parts) {
        Segment body{std::min(part.a, part.b), std::max(part.a, part.b)};
        for (const Segment& s : segments) {
            for (const GridPoint r : {s.p, s.q}) {
                if (body.HasInside(r)) {
                    throw std::runtime_error("a wire ends on the body of " + part.name);
                }
            }
            if (s.Horizontal() != body.Horizontal()) {
                const Segment& h = s.Horizontal() ? s : body;
                const Segment& v = s.Horizontal() ? body : s;
                const GridPoint x{v.p.x, h.p.y};
                if (h.HasInside(x) && v.HasInside(x)) {
                    throw std::runtime_error("a wire crosses " + part.name);
                }
            } else if (s.HasInside(body.p) || s.HasInside(body.q) || (s.p == body.p && s.q == body.q)) {
                throw std::runtime_error("a wire runs along " + part.name);
            }
        }
    }

    UnionFind nets;
    for (const GridPoint& p : points) {
        nets.Add(p);
    }
    for (const Segment& s : segments) {
        nets.Join(s.p, s.q);
        for (const GridPoint& r : points) {
            if (s.HasInside(r)) {
                nets.Join(r, s.p);
            }
        }
    }
    // All ground symbols are one net, and so are all supply terminals: a
    // part away from the rail may take the supply from a terminal of its own.
    for (std::size_t i = 1; i < circuit.grounds.size(); ++i) {
        nets.Join(circuit.grounds[i], circuit.grounds[0]);
    }
    const Terminal* firstSupply = nullptr;
    for (const Terminal& t : circuit.terminals) {
        if (t.kind == TerminalKind::Supply) {
            if (firstSupply) {
                nets.Join(t.at, firstSupply->at);
            } else {
                firstSupply = &t;
            }
        }
    }

    std::map<int, std::vector<std::string>> members;
    for (const auto& [p, name] : pins) {
        members[nets.Find(p)].push_back(name);
    }
    for (const Terminal& t : circuit.terminals) {
        if (t.kind == TerminalKind::Supply && &t != firstSupply) {
            continue; // named once, as the ground is
        }
        members[nets.Find(t.at)].push_back(TerminalNet(t.kind));
    }
    if (!circuit.grounds.empty()) {
        members[nets.Find(circuit.grounds[0])].push_back("GND");
    }
    // Every wire end must meet something: a pin, a terminal, a ground bar,
    // another wire's end or the run of another wire.
    std::map<GridPoint, int> attachments;
    for (const auto& [p, name] : pins) {
        ++attachments[p];
    }
    for (const Terminal& t : circuit.terminals) {
        ++attachments[t.at];
    }
    for (const GridPoint& g : circuit.grounds) {
        ++attachments[g];
    }
    for (const Segment& s : segments) {
        ++attachments[s.p];
        ++attachments[s.q];
    }
    for (const Segment& s : segments) {
        for (const GridPoint end : {s.p, s.q}) {
            const bool onRun = std::any_of(segments.begin(), segments.end(),
                                           [&](const Segment& other) { return other.HasInside(end); });
            if (attachments[end] < 2 && !onRun) {
                throw std::runtime_error("a wire ends loose at " + Describe(end));
            }
        }
    }

    std::vector<std::string> drawn;
    for (auto& [root, names] : members) {
        drawn.push_back(Canonical(names));
    }
    std::vector<std::string> expected;
    for (const std::string& line : circuit.expectedNets) {
        expected.push_back(Canonical(Words(line)));
    }
    std::sort(drawn.begin(), drawn.end());
    std::sort(expected.begin(), expected.end());
    if (drawn != expected) {
        std::string message = "the drawing is wired differently:\n";
        for (const std::string& net : drawn) {
            if (!std::binary_search(expected.begin(), expected.end(), net)) {
                message += "  drawn but not expected: " + net + "\n";
            }
        }
        for (const std::string& net : expected) {
            if (!std::binary_search(drawn.begin(), drawn.end(), net)) {
                message += "  expected but not drawn: " + net + "\n";
            }
        }
        throw std::runtime_error(message);
    }
}

std::vector<GridPoint> JunctionPoints(const Circuit& circuit)
{
    const std::vector<Segment> segments = Segments(circuit);
    std::map<GridPoint, int> degree;
    for (const Segment& s : segments) {
        ++degree[s.p];
        ++degree[s.q];
    }
    for (const auto& [p, name] : Pins(circuit)) {
        ++degree[p];
    }
    std::vector<GridPoint> candidates;
    for (const auto& [p, d] : degree) {
        candidates.push_back(p);
    }
    for (const Segment& s : segments) {
        for (const GridPoint& p : candidates) {
            if (s.HasInside(p)) {
                degree[p] += 2;
            }
        }
    }
    std::vector<GridPoint> out;
    for (const auto& [p, d] : degree) {
        if (d >= 3) {
            out.push_back(p);
        }
    }
    return out;
}

namespace {

struct PlacedLabel {
    QString text;
    TextMask mask;
    int x;
    int y;
    Side side;

    PixelRect Rect() const { return {x, y, x + mask.width - 1, y + mask.height - 1}; }
};

class Drawer {
public:
    Drawer(const Circuit& circuit, const Style& style, const LabelFont& font, Polarity polarity, int margin,
           bool lenient)
        : m_Circuit(circuit), m_Style(style), m_Font(font), m_Polarity(polarity), m_Margin(margin),
          m_Lenient(lenient)
    {}

    Canvas Draw(int width, int height)
    {
        Canvas canvas(width, height, Background);
        for (const Wire& wire : m_Circuit.wires) {
            for (std::size_t i = 1; i < wire.points.size(); ++i) {
                DrawRun(canvas, Px(wire.points[i - 1]), Px(wire.points[i]));
            }
        }
        for (const TwoTerminalPart& part : m_Circuit.parts) {
            DrawPart(canvas, part);
        }
        DrawTransistor(canvas, m_Circuit.transistor);
        for (const GridPoint& g : m_Circuit.grounds) {
            const auto [x, y] = Px(g);
            const int half = m_Style.groundWidth / 2;
            canvas.FillRect({x - half, y, x + half, y + m_Style.groundThickness - 1}, Black);
        }
        for (const Terminal& t : m_Circuit.terminals) {
            DrawTerminal(canvas, t);
        }
        for (const GridPoint& j : JunctionPoints(m_Circuit)) {
            const auto [x, y] = Px(j);
            canvas.FillDisc(x, y, m_Style.dotRadius, Black);
        }
        PlaceLabels(canvas);
        return canvas;
    }

private:
    struct Px2 {
        int x;
        int y;
    };

    Px2 Px(GridPoint p) const { return {m_Margin + p.x * m_Style.pitchX, m_Margin + p.y * m_Style.pitchY}; }

    static void DrawRun(Canvas& canvas, Px2 p, Px2 q)
    {
        if (p.x == q.x) {
            canvas.VLine(p.x, p.y, q.y, Black);
        } else {
            canvas.HLine(p.x, q.x, p.y, Black);
        }
    }

    void DrawPart(Canvas& canvas, const TwoTerminalPart& part)
    {
        Px2 a = Px(part.a);
        Px2 b = Px(part.b);
        const bool vertical = a.x == b.x;
        if ((vertical && b.y < a.y) || (!vertical && b.x < a.x)) {
            std::swap(a, b);
        }
        const int span = vertical ? b.y - a.y : b.x - a.x;
        // Body extent along the part (from, to) and across it (half width).
        int length = 0;
        int half = 0;
        if (part.kind == PartKind::Resistor) {
            length = m_Style.resistorLength;
            half = m_Style.resistorWidth / 2;
        } else {
            length = 2 * m_Style.capacitorThickness + m_Style.capacitorGap;
            half = m_Style.capacitorPlate / 2;
        }
        if (length + 4 > span) {
            throw std::runtime_error(part.name + " is too short for its body");
        }
        const int from = (vertical ? a.y : a.x) + (span - length) / 2;
        const int to = from + length - 1;
        // In (along, across) coordinates; mapped to pixels by orientation.
        auto rect = [&](int along0, int along1, int across0, int across1) -> PixelRect {
            const int c = vertical ? a.x : a.y;
            if (vertical) {
                return {c + across0, along0, c + across1, along1};
            }
            return {along0, c + across0, along1, c + across1};
        };
        if (vertical) {
            canvas.VLine(a.x, a.y, from - 1, Black);
            canvas.VLine(a.x, to + 1, b.y, Black);
        } else {
            canvas.HLine(a.x, from - 1, a.y, Black);
            canvas.HLine(to + 1, b.x, a.y, Black);
        }
        PixelRect body;
        if (part.kind == PartKind::Resistor) {
            body = rect(from, to, -half, half);
            canvas.FillRect(body, White);
            canvas.FrameRect(body, Black);
        } else {
            const int t = m_Style.capacitorThickness;
            const PixelRect first = rect(from, from + t - 1, -half, half);
            const PixelRect second = rect(to - t + 1, to, -half, half);
            canvas.FillRect(first, Black);
            canvas.FillRect(second, Black);
            body = first.United(second);
        }
        AddLabel(QString::fromStdString(part.name), body, part.labelSide, Align::Centre);
    }

    void DrawTransistor(Canvas& canvas, const TransistorPart& t)
    {
        const Style& s = m_Style;
        const auto [cx, cy] = Px(t.centre);
        // The symbol is drawn in the BaseLeft frame, (u, v) in pixels from
        // the centre pixel, and mirrored for BaseDown as its pins are.
        const bool down = t.facing == Facing::BaseDown;
        auto at = [&](int u, int v) -> Px2 { return down ? Px2{cx - v, cy - u} : Px2{cx + u, cy + v}; };
        auto rect = [&](int u0, int v0, int u1, int v1) {
            const Px2 p = at(u0, v0);
            const Px2 q = at(u1, v1);
            return PixelRect{std::min(p.x, q.x), std::min(p.y, q.y), std::max(p.x, q.x), std::max(p.y, q.y)};
        };
        auto line = [&](int u0, int v0, int u1, int v1) {
            const Px2 p = at(u0, v0);
            const Px2 q = at(u1, v1);
            canvas.Line(p.x, p.y, q.x, q.y, Black);
        };
        const int pitchU = down ? s.pitchY : s.pitchX;
        const int pitchV = down ? s.pitchX : s.pitchY;
        const int pinU = pitchU; // collector and emitter run at +1 grid step
        const int pinV = 4 * pitchV;
        const int baseU = -4 * pitchU;

        canvas.FillDisc(cx, cy, s.transistorRadius, White);
        canvas.Ring(cx, cy, s.transistorRadius, Black);
        line(baseU, 0, s.barLeft - 1, 0);
        canvas.FillRect(rect(s.barLeft, -s.barHalfLength, s.barRight, s.barHalfLength), Black);
        const int legU0 = s.barRight + 1;
        const int travel = pinU - legU0;
        for (const int sign : {-1, 1}) {
            const int v0 = sign * s.legStartY;
            const int v1 = sign * (s.legStartY + travel);
            line(legU0, v0, pinU, v1);
            line(pinU, v1, pinU, sign * pinV);
        }
        // Emitter arrow on the lower leg: out of the transistor for NPN,
        // into it for PNP. Pixel centres are at +0.5.
        const double su = legU0;
        const double sv = s.legStartY;
        const bool npn = m_Polarity == Polarity::Npn;
        const double tipAt = npn ? s.npnArrowTip : s.pnpArrowTip;
        const double baseAt = npn ? tipAt - s.arrowLength : tipAt + s.arrowLength;
        const double w = s.arrowHalfWidth / std::sqrt(2.0);
        auto atF = [&](double u, double v) -> PointF {
            return down ? PointF{cx + 0.5 - v, cy + 0.5 - u} : PointF{cx + 0.5 + u, cy + 0.5 + v};
        };
        canvas.FillConvexPolygon({atF(su + tipAt, sv + tipAt), atF(su + baseAt + w, sv + baseAt - w),
                                  atF(su + baseAt - w, sv + baseAt + w)},
                                 Black);

        const int r = s.transistorRadius;
        AddLabel(QString::fromStdString(t.name), {cx - r, cy - r, cx + r, cy + r}, t.labelSide,
                 Align::Centre);
    }

    void DrawTerminal(Canvas& canvas, const Terminal& t)
    {
        const auto [x, y] = Px(t.at);
        const int r = m_Style.terminalRadius;
        canvas.FillDisc(x, y, r, White);
        canvas.Ring(x, y, r, Black);
        QString text;
        switch (t.kind) {
        case TerminalKind::Supply:
            text = m_Polarity == Polarity::Npn ? QStringLiteral("+UB") : QStringLiteral("\u2212UB");
            break;
        case TerminalKind::Input: text = QStringLiteral("Input"); break;
        case TerminalKind::Output: text = QStringLiteral("Output"); break;
        }
        AddLabel(text, {x - r, y - r, x + r, y + r}, t.labelSide, t.labelAlign);
    }

    void AddLabel(const QString& text, const PixelRect& body, Side side, Align align)
    {
        PlacedLabel label{text, m_Font.Render(text), 0, 0, side};
        const int w = label.mask.width;
        const int h = label.mask.height;
        const int gap = m_Style.labelGap;
        auto alignedX = [&] {
            switch (align) {
            case Align::Start: return body.left;
            case Align::End: return body.right - w + 1;
            case Align::Centre: break;
            }
            return body.left + (body.Width() - w) / 2;
        };
        switch (side) {
        case Side::Left:
            label.x = body.left - gap - w;
            label.y = body.top + (body.Height() - h) / 2;
            break;
        case Side::Right:
            label.x = body.right + gap + 1;
            label.y = body.top + (body.Height() - h) / 2;
            break;
        case Side::Above:
            label.x = alignedX();
            label.y = body.top - gap - h;
            break;
        case Side::Below:
            label.x = alignedX();
            label.y = body.bottom + gap + 1;
            break;
        }
        m_Labels.push_back(std::move(label));
    }

    void PlaceLabels(Canvas& canvas)
    {
        const int clearance = m_Style.labelClearance;
        for (std::size_t i = 0; i < m_Labels.size(); ++i) {
            PlacedLabel& label = m_Labels[i];
            // A label that would touch a neighbouring part (a capacitor plate
            // beside a terminal, say) steps away from its part, a pixel at a
            // time, up to labelNudge pixels.
            for (int step = 0; step < m_Style.labelNudge; ++step) {
                if (canvas.IsUniform(label.Rect().Grown(clearance), Background)) {
                    break;
                }
                label.x += label.side == Side::Left ? -1 : label.side == Side::Right ? 1 : 0;
                label.y += label.side == Side::Above ? -1 : label.side == Side::Below ? 1 : 0;
            }
            const PixelRect r = label.Rect();
            if (!canvas.IsUniform(r.Grown(clearance), Background)) {
                Problem("label " + label.text.toStdString() + " at x " + std::to_string(r.left - m_Margin) +
                        ".." + std::to_string(r.right - m_Margin) + ", y " +
                        std::to_string(r.top - m_Margin) + ".." + std::to_string(r.bottom - m_Margin) +
                        " touches the drawing");
            }
            for (std::size_t j = 0; j < i; ++j) {
                if (r.Grown(clearance).Intersects(m_Labels[j].Rect())) {
                    Problem("labels " + label.text.toStdString() + " and " + m_Labels[j].text.toStdString() +
                            " are too close");
                }
            }
        }
        for (const PlacedLabel& label : m_Labels) {
            for (int y = 0; y < label.mask.height; ++y) {
                for (int x = 0; x < label.mask.width; ++x) {
                    if (label.mask.At(x, y)) {
                        canvas.Set(label.x + x, label.y + y, Black);
                    }
                }
            }
        }
    }

    void Problem(const std::string& message) const
    {
        if (!m_Lenient) {
            throw std::runtime_error(message);
        }
        std::fprintf(stderr, "warning: %s\n", message.c_str());
    }

    const Circuit& m_Circuit;
    const Style& m_Style;
    const LabelFont& m_Font;
    Polarity m_Polarity;
    int m_Margin;
    bool m_Lenient;
    std::vector<PlacedLabel> m_Labels;
};

} // namespace

Canvas RenderSchematic(const Circuit& circuit, const Style& style, const LabelFont& font,
                       const RenderOptions& options)
{
    CheckWiring(circuit);

    // Draw on a generous scratch canvas first, then centre the drawing in the
    // picture. The position comes from the NPN drawing in both polarities, so
    // an NPN and a PNP picture differ only where the symbols differ.
    const int margin = 200;
    const int scratchW = options.width + 2 * margin;
    const int scratchH = options.height + 2 * margin;
    Canvas drawing =
        Drawer(circuit, style, font, options.polarity, margin, options.lenient).Draw(scratchW, scratchH);
    const Canvas reference =
        options.polarity == Polarity::Npn
            ? drawing
            : Drawer(circuit, style, font, Polarity::Npn, margin, true).Draw(scratchW, scratchH);
    const PixelRect ink = reference.InkBounds(Background);
    const int layoutHeight = options.layoutHeight > 0 ? options.layoutHeight : options.height;
    const int dx = (options.width - ink.Width()) / 2 - ink.left;
    const int dy = (layoutHeight - ink.Height()) / 2 - ink.top;

    const PixelRect drawn = drawing.InkBounds(Background);
    const int minMargin = 2;
    if (drawn.left + dx < minMargin || drawn.top + dy < minMargin ||
        drawn.right + dx > options.width - 1 - minMargin ||
        drawn.bottom + dy > options.height - 1 - minMargin) {
        const std::string message = "the drawing (" + std::to_string(drawn.Width()) + "x" +
                                    std::to_string(drawn.Height()) + ") does not fit " +
                                    std::to_string(options.width) + "x" + std::to_string(options.height);
        if (!options.lenient) {
            throw std::runtime_error(message);
        }
        std::fprintf(stderr, "warning: %s\n", message.c_str());
    }
    Canvas picture(options.width, options.height, Background);
    for (int y = 0; y < options.height; ++y) {
        for (int x = 0; x < options.width; ++x) {
            picture.Set(x, y, drawing.At(x - dx, y - dy));
        }
    }
    return picture;
}

} // namespace norvane::artwork
