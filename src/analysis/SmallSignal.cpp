#include "analysis/SmallSignal.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <numbers>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace norvane {

namespace {

// The place of element (row, column) in a row-major array of rows of
// width elements, counted in std::size_t from the start (no int product
// that could overflow before it widens).
constexpr std::size_t Flat(int row, int width, int column)
{
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(column);
}

// ---- The card as ngspice reads it ------------------------------------------

// ngspice's physical constants (its const.h; CODATA 2014) and the
// netlists' temperature, which is also their TNOM.
constexpr double ElementaryCharge = 1.6021766208e-19; // C
constexpr double Boltzmann = 1.38064852e-23;          // J/K
constexpr double Temperature = 25.0 + 273.15;         // K
const double ThermalVoltage = Temperature * (Boltzmann / ElementaryCharge);

// The conductance ngspice puts across every junction (the netlists' gmin).
constexpr double Gmin = 1e-12; // S

// ngspice's base resistance under current crowding (IRB): the two
// constants of its formula, 144 / pi^2 and 24 / pi^2 as it writes them.
constexpr double CrowdingK1 = 14.59025;
constexpr double CrowdingK2 = 2.4317;
// The smallest base current relative to IRB the formula is evaluated at.
constexpr double CrowdingFloor = 1e-9;

// VTF enters the transit time as exp(Vbc / (1.44 VTF)).
constexpr double TransitVoltageFactor = 1.44;

// What SPICE clips the junction exponents and the depletion coefficient to.
constexpr double HighestGradingExponent = 0.999;
constexpr double HighestDepletionCoefficient = 0.9999;

// A Gummel-Poon card with SPICE's defaults applied, NPN sense.
struct GummelPoon {
    double type = 1.0;    // +1 NPN, -1 PNP
    bool lateral = false; // substrate junction at b' (PNP) rather than c'
    double is = 1e-16, bf = 100, br = 1, nf = 1, nr = 1;
    double ise = 0, ne = 1.5, isc = 0, nc = 2;
    double invVaf = 0, invVar = 0, invIkf = 0, invIkr = 0; // 1/V, 1/A; 0: absent
    double rb = 0, rbm = 0, irb = 0, re = 0, rc = 0;       // irb 0: absent
    double cje = 0, vje = 0.75, mje = 0.33;
    double cjc = 0, vjc = 0.75, mjc = 0.33, xcjc = 1;
    double cjs = 0, vjs = 0.75, mjs = 0;
    double fc = 0.5;
    double tf = 0, tr = 0, xtf = 0, itf = 0;
    double vtfFactor = 0;        // 1 / (1.44 VTF); 0 without VTF
    double excessPhaseDelay = 0; // s
};

// The parameters of a card's text, by TransistorParameterNames' index;
// empty where the card leaves one out.
using CardText = std::array<std::optional<double>, TransistorParameterCount>;

int ParameterIndex(std::string_view name)
{
    for (int k = 0; k < TransistorParameterCount; ++k) {
        if (name == TransistorParameterNames[k]) {
            return k;
        }
    }
    return -1;
}

// Reads the "NAME=value" pairs of WriteModelCard's text: between the
// parentheses of its .model line, over the continuation lines. (The
// comment lines before it, on a leakage written as a multiple of IS, hold
// parentheses and "ISE=..." too.)
CardText ReadCardText(const std::string& text)
{
    CardText values;
    const std::size_t open = text.find('(', text.find(".model"));
    const std::size_t close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open) {
        return values;
    }
    const std::string_view body(text.data() + open + 1, close - open - 1);
    std::size_t at = 0;
    while (at < body.size()) {
        // Whitespace separates the pairs; a continuation line's "+" stands
        // alone (a number's exponent has one too: "1e+20").
        const std::size_t end = std::min(body.find_first_of(" \n", at), body.size());
        const std::string_view token = body.substr(at, end - at);
        at = end + 1;
        const std::size_t equals = token.find('=');
        if (equals == std::string_view::npos) {
            continue;
        }
        const int k = ParameterIndex(token.substr(0, equals));
        double value = 0.0;
        const std::string_view number = token.substr(equals + 1);
        const auto [stop, error] = std::from_chars(number.data(), number.data() + number.size(), value);
        if (k >= 0 && error == std::errc{} && stop == number.data() + number.size()) {
            values[static_cast<std::size_t>(k)] = value;
        }
    }
    return values;
}

// The card of a record as ngspice reads the text WriteModelCard writes:
// what it leaves out takes SPICE's default, an ISE or ISC above 1e-4 is a
// multiple of IS, 0 in VAF, VAR, IKF, IKR, VTF means none.
GummelPoon ReadCard(const TransistorRecord& record)
{
    const CardText text = ReadCardText(WriteModelCard(record));
    const auto given = [&](std::string_view name) {
        return text[static_cast<std::size_t>(ParameterIndex(name))];
    };
    const auto value = [&](std::string_view name, double fallback) { return given(name).value_or(fallback); };
    // 1 / x, or 0 where x is not given or 0.
    const auto inverse = [&](std::string_view name) {
        const std::optional<double> x = given(name);
        return x && *x != 0 ? 1 / *x : 0.0;
    };

    GummelPoon card;
    card.type = record.polarity == 'P' ? -1.0 : 1.0;
    card.lateral = record.polarity == 'P';
    card.is = value("IS", card.is);
    const auto leakage = [&](std::string_view name) {
        const double written = value(name, 0.0);
        return written > LegacyLeakageLimit ? written * card.is : written;
    };
    card.ise = leakage("ISE");
    card.isc = leakage("ISC");
    card.bf = value("BF", card.bf);
    card.br = value("BR", card.br);
    card.nf = value("NF", card.nf);
    card.nr = value("NR", card.nr);
    card.ne = value("NE", card.ne);
    card.nc = value("NC", card.nc);
    card.invVaf = inverse("VAF");
    card.invVar = inverse("VAR");
    card.invIkf = inverse("IKF");
    card.invIkr = inverse("IKR");
    card.rb = value("RB", 0.0);
    card.rbm = value("RBM", card.rb);
    card.irb = value("IRB", 0.0);
    card.re = value("RE", 0.0);
    card.rc = value("RC", 0.0);
    card.cje = value("CJE", card.cje);
    card.vje = value("VJE", card.vje);
    card.mje = std::min(value("MJE", card.mje), HighestGradingExponent);
    card.cjc = value("CJC", card.cjc);
    card.vjc = value("VJC", card.vjc);
    card.mjc = std::min(value("MJC", card.mjc), HighestGradingExponent);
    card.xcjc = value("XCJC", card.xcjc);
    card.cjs = value("CJS", card.cjs);
    card.vjs = value("VJS", card.vjs);
    card.mjs = std::min(value("MJS", card.mjs), HighestGradingExponent);
    card.fc = std::min(value("FC", card.fc), HighestDepletionCoefficient);
    card.tf = value("TF", 0.0);
    card.tr = value("TR", 0.0);
    card.xtf = value("XTF", 0.0);
    card.itf = value("ITF", 0.0);
    const double vtf = value("VTF", 0.0);
    card.vtfFactor = vtf != 0 ? 1 / (vtf * TransitVoltageFactor) : 0.0;
    // PTF in degrees at the frequency 1 / (2 pi TF): a delay of PTF/180 pi TF.
    card.excessPhaseDelay = value("PTF", 0.0) / (180.0 / std::numbers::pi) * card.tf;
    return card;
}

// SPICE's critical voltage of a junction: above it the current's growth
// over one Newton step is limited.
double CriticalVoltage(double is)
{
    return ThermalVoltage * std::log(ThermalVoltage / (std::numbers::sqrt2 * is));
}

// ---- The device equations (ngspice's bjtload) ------------------------------

// A junction's current and its derivative, i = is (exp(v / nvt) - 1).
// Below -3 nvt SPICE continues it with a cubic that tends to -is, so that
// the derivative does not vanish.
struct Diode {
    double current = 0.0;
    double conductance = 0.0;
};

Diode Junction(double v, double is, double nvt)
{
    if (v >= -3 * nvt) {
        const double e = std::exp(v / nvt);
        return {is * (e - 1), is * e / nvt};
    }
    double a = 3 * nvt / (v * std::numbers::e);
    a = a * a * a;
    return {-is * (1 + a), is * 3 * a / v};
}

struct DeviceState {
    double cc = 0.0; // A, into c' (NPN sense)
    double cb = 0.0; // A, into b'
    double gpi = 0.0, gmu = 0.0, gm = 0.0, go = 0.0;
    double gx = 0.0; // S, of the base resistance; 0 without one
    // For the charge model.
    Diode be, bc;
    double qb = 1.0, dqbdve = 0.0, dqbdvc = 0.0;
};

DeviceState Evaluate(const GummelPoon& card, double vbe, double vbc)
{
    const double vt = ThermalVoltage;
    DeviceState d;
    d.be = Junction(vbe, card.is, card.nf * vt);
    d.bc = Junction(vbc, card.is, card.nr * vt);
    Diode ben = card.ise != 0 ? Junction(vbe, card.ise, card.ne * vt) : Diode{};
    Diode bcn = card.isc != 0 ? Junction(vbc, card.isc, card.nc * vt) : Diode{};
    ben.current += Gmin * vbe;
    ben.conductance += Gmin;
    bcn.current += Gmin * vbc;
    bcn.conductance += Gmin;

    // Base charge: Early effect (q1) and high injection (q2).
    const double q1 = 1 / (1 - card.invVaf * vbc - card.invVar * vbe);
    if (card.invIkf == 0 && card.invIkr == 0) {
        d.qb = q1;
        d.dqbdve = q1 * d.qb * card.invVar;
        d.dqbdvc = q1 * d.qb * card.invVaf;
    } else {
        const double q2 = card.invIkf * d.be.current + card.invIkr * d.bc.current;
        const double arg = std::max(0.0, 1 + 4 * q2);
        const double root = arg != 0 ? std::sqrt(arg) : 1.0;
        d.qb = q1 * (1 + root) / 2;
        d.dqbdve = q1 * (d.qb * card.invVar + card.invIkf * d.be.conductance / root);
        d.dqbdvc = q1 * (d.qb * card.invVaf + card.invIkr * d.bc.conductance / root);
    }

    const double transport = d.be.current - d.bc.current;
    d.cc = transport / d.qb - d.bc.current / card.br - bcn.current;
    d.cb = d.be.current / card.bf + ben.current + d.bc.current / card.br + bcn.current;
    if (card.rb != 0) {
        const double excess = card.rb - card.rbm;
        double rbb = card.rbm + excess / d.qb;
        if (card.irb != 0) {
            // Current crowding: the resistance falls from RB towards RBM as
            // the base current grows against IRB.
            const double x = std::max(d.cb / card.irb, CrowdingFloor);
            const double z = (-1 + std::sqrt(1 + CrowdingK1 * x)) / CrowdingK2 / std::sqrt(x);
            const double tanZ = std::tan(z);
            rbb = card.rbm + 3 * excess * (tanZ - z) / z / tanZ / tanZ;
        }
        d.gx = rbb != 0 ? 1 / rbb : 0.0;
    }
    d.gpi = d.be.conductance / card.bf + ben.conductance;
    d.gmu = d.bc.conductance / card.br + bcn.conductance;
    d.go = (d.bc.conductance + transport * d.dqbdvc / d.qb) / d.qb;
    d.gm = (d.be.conductance - transport * d.dqbdve / d.qb) / d.qb - d.go;
    return d;
}

// A depletion capacitance at voltage v: c0 / (1 - v/vj)^m below fc vj,
// its linear continuation above.
double DepletionCapacitance(double c0, double vj, double m, double fc, double v)
{
    if (c0 == 0) {
        return 0.0;
    }
    if (v < fc * vj) {
        return c0 * std::exp(-m * std::log(1 - v / vj));
    }
    const double xfc = std::log(1 - fc);
    const double f2 = std::exp((1 + m) * xfc);
    const double f3 = 1 - fc * (1 + m);
    return c0 / f2 * (f3 + m * v / vj);
}

// The capacitances ngspice's AC analysis stamps, at the junction voltages
// of the operating point (vbx: external base to c'; vsub: substrate to its
// contact, in ngspice's sense).
TransistorSmallSignal Linearise(const GummelPoon& card, const DeviceState& d, double vbe, double vbc,
                                double vbx, double vsub)
{
    TransistorSmallSignal s;
    s.m_Gm = d.gm;
    s.m_Gpi = d.gpi;
    s.m_Gmu = d.gmu;
    s.m_Go = d.go;
    s.m_Rbb = d.gx != 0 ? 1 / d.gx : 0.0;
    s.m_Re = card.re;
    s.m_Rc = card.rc;

    // Diffusion charge TF x (forward current / qb), the transit time raised
    // by XTF (1 + XTF (I/(I + ITF))^2 exp(Vbc / 1.44 VTF)); its derivatives
    // by Vbe (a capacitance) and by Vbc (a transcapacitance).
    double diffusion = 0.0;
    if (card.tf != 0 && vbe > 0) {
        double factor = 0.0;
        double slope = 0.0;
        double byVbc = 0.0;
        const double forward = d.be.current;
        if (card.xtf != 0) {
            factor = card.xtf;
            if (card.vtfFactor != 0) {
                factor *= std::exp(vbc * card.vtfFactor);
            }
            slope = factor;
            if (card.itf != 0) {
                const double share = forward / (forward + card.itf);
                factor *= share * share;
                slope = factor * (3 - share - share);
            }
            byVbc = forward * factor * card.vtfFactor;
        }
        const double charge = forward * (1 + factor) / d.qb;
        diffusion = card.tf * (d.be.conductance * (1 + slope) - charge * d.dqbdve) / d.qb;
        s.m_Cpi_Vbc = card.tf * (byVbc - charge * d.dqbdvc) / d.qb;
    } else {
        diffusion = card.tf * d.be.conductance;
    }
    s.m_Cpi = diffusion + DepletionCapacitance(card.cje, card.vje, card.mje, card.fc, vbe);
    const double inner = card.cjc * card.xcjc;
    s.m_Cmu = card.tr * d.bc.conductance + DepletionCapacitance(inner, card.vjc, card.mjc, card.fc, vbc);
    s.m_Cbx = DepletionCapacitance(card.cjc - inner, card.vjc, card.mjc, card.fc, vbx);
    // The substrate junction has no FC rule in ngspice: the reverse formula
    // below 0 V, the first-order one above.
    s.m_Cjs = vsub < 0 ? card.cjs * std::exp(-card.mjs * std::log(1 - vsub / card.vjs))
                       : card.cjs * (1 + card.mjs * vsub / card.vjs);
    s.m_ExcessPhaseDelay = card.excessPhaseDelay;
    return s;
}

// SPICE's limit on a junction voltage from one Newton step to the next:
// above the critical voltage a step of more than 2 vt is shortened to
// what the exponential's tangent allows (log of the step), and a reverse
// voltage may not run away faster than doubling.
double LimitJunction(double vnew, double vold, double vcrit, bool& limited)
{
    const double vt = ThermalVoltage;
    if (vnew > vcrit && std::fabs(vnew - vold) > 2 * vt) {
        if (vold > 0) {
            const double arg = 1 + (vnew - vold) / vt;
            vnew = arg > 0 ? vold + vt * std::log(arg) : vcrit;
        } else {
            vnew = vt * std::log(vnew / vt);
        }
        limited = true;
    } else if (vnew < 0) {
        const double lowest = vold > 0 ? -vold - 1 : 2 * vold - 1;
        if (vnew < lowest) {
            vnew = lowest;
            limited = true;
        }
    }
    return vnew;
}

// ---- The circuit's nodes ---------------------------------------------------

// Nodes 0..FixedNodes-1 have a given voltage: ground, the supply, the node
// VIN drives. The others are the unknowns, in order of appearance.
constexpr int Ground = 0;
constexpr int Supply = 1;
constexpr int Driven = 2;
constexpr int FixedNodes = 3;

struct Element {
    enum class Role { Part, Source, Load }; // a part of the circuit, RSOURCE, RLOAD
    int a = Ground;
    int b = Ground;
    bool capacitor = false;
    Role role = Role::Part;
    int part = -1;      // index into the circuit's parts
    double value = 0.0; // ohm or farad
};

struct Network {
    std::vector<std::string> names{"0", "vcc", ""}; // the fixed nodes' names first
    std::vector<Element> elements;
    double supply = 0.0; // V, -UB for a PNP circuit
    bool hasTransistor = false;
    int collector = Ground, base = Ground, emitter = Ground;
    // The intrinsic transistor's nodes: the terminals themselves where RB,
    // RC or RE are 0.
    int collectorInner = Ground, baseInner = Ground, emitterInner = Ground;
    int substrateContact = Ground;
    int in = Ground, out = Ground;

    int Unknowns() const { return static_cast<int>(names.size()) - FixedNodes; }

    int Node(const std::string& name)
    {
        if (name == "0") {
            return Ground;
        }
        const auto found = std::find(names.begin(), names.end(), name);
        if (found != names.end()) {
            return static_cast<int>(found - names.begin());
        }
        names.push_back(name);
        return static_cast<int>(names.size()) - 1;
    }
    int InnerNode(int terminal, double resistance, const std::string& name)
    {
        if (resistance == 0) {
            return terminal;
        }
        names.push_back(name);
        return static_cast<int>(names.size()) - 1;
    }
};

bool HasValue(double resistance)
{
    return resistance > 0 && std::isfinite(resistance);
}

Network Describe(const AmplifierCircuit& circuit, const SimulationOptions& options, const GummelPoon& card)
{
    Network net;
    net.supply = circuit.m_IsPnp ? -circuit.m_SupplyVoltage : circuit.m_SupplyVoltage;
    net.names[Driven] = DrivenNode(options.m_SourceResistance);
    if (HasValue(options.m_SourceResistance)) {
        net.elements.push_back(
            {Driven, net.Node("in"), false, Element::Role::Source, -1, options.m_SourceResistance});
    }
    for (std::size_t k = 0; k < circuit.m_Parts.size(); ++k) {
        const CircuitPart& part = circuit.m_Parts[k];
        const bool capacitor =
            !part.m_Name.empty() && (part.m_Name.front() == 'C' || part.m_Name.front() == 'c');
        net.elements.push_back({net.Node(part.m_NodeA), net.Node(part.m_NodeB), capacitor,
                                Element::Role::Part, static_cast<int>(k), part.m_Value});
    }
    net.in = net.Node("in");
    net.out = net.Node("out");
    net.elements.push_back(
        {net.out, Ground, false, Element::Role::Load, -1,
         HasValue(options.m_LoadResistance) ? options.m_LoadResistance : OpenLoadResistance});
    net.hasTransistor = circuit.m_Transistor.name != nullptr;
    if (net.hasTransistor) {
        net.collector = net.Node(circuit.m_Collector);
        net.base = net.Node(circuit.m_Base);
        net.emitter = net.Node(circuit.m_Emitter);
        net.collectorInner = net.InnerNode(net.collector, card.rc, "q1:collector");
        net.baseInner = net.InnerNode(net.base, card.rb, "q1:base");
        net.emitterInner = net.InnerNode(net.emitter, card.re, "q1:emitter");
        net.substrateContact = card.lateral ? net.baseInner : net.collectorInner;
    }
    return net;
}

// Every node must reach a fixed one through resistors or the transistor
// (whose nodes all do, through GMIN at the substrate junction): a node
// behind capacitors alone has no operating point, and SPICE's matrix would
// be singular.
Status CheckDcPaths(const Network& net)
{
    const std::size_t nodes = net.names.size();
    std::vector<char> reached(nodes, 0);
    std::vector<std::pair<int, int>> links;
    for (const Element& e : net.elements) {
        if (!e.capacitor) {
            links.emplace_back(e.a, e.b);
        }
    }
    if (net.hasTransistor) {
        for (const int node :
             {net.collector, net.base, net.emitter, net.collectorInner, net.baseInner, net.emitterInner}) {
            links.emplace_back(node, Ground);
        }
    }
    for (int k = 0; k < FixedNodes; ++k) {
        reached[static_cast<std::size_t>(k)] = 1;
    }
    for (bool grew = true; grew;) {
        grew = false;
        for (const auto& [a, b] : links) {
            char& ra = reached[static_cast<std::size_t>(a)];
            char& rb = reached[static_cast<std::size_t>(b)];
            if (ra != rb) {
                ra = rb = 1;
                grew = true;
            }
        }
    }
    for (std::size_t k = FixedNodes; k < nodes; ++k) {
        if (!reached[k]) {
            return Failure{"node " + net.names[k] + " has no DC path to ground"};
        }
    }
    return {};
}

// A real matrix over the unknowns, with the columns of the fixed nodes
// apart: they move to the right-hand side.
struct Stamps {
    int n = 0;
    std::vector<double> a;     // n x n, row-major
    std::vector<double> fixed; // n x FixedNodes

    explicit Stamps(int unknowns) : n(unknowns), a(Flat(n, n, 0)), fixed(Flat(n, FixedNodes, 0)) {}
    void Add(int row, int column, double value)
    {
        if (row < FixedNodes || value == 0) {
            return;
        }
        const int i = row - FixedNodes;
        if (column >= FixedNodes) {
            a[static_cast<std::size_t>(i * n + column - FixedNodes)] += value;
        } else {
            fixed[Flat(i, FixedNodes, column)] += value;
        }
    }
    void Conductance(int p, int q, double g)
    {
        Add(p, p, g);
        Add(p, q, -g);
        Add(q, p, -g);
        Add(q, q, g);
    }
    // A current g (V(c) - V(d)) from p through the element to q.
    void Transconductance(int p, int q, int c, int d, double g)
    {
        Add(p, c, g);
        Add(p, d, -g);
        Add(q, c, -g);
        Add(q, d, g);
    }
};

// ---- DC operating point ----------------------------------------------------

// Solves a x = b (n x n, row-major) in place by elimination with partial
// pivoting; false when the matrix is singular.
bool SolveDense(std::vector<double>& a, std::vector<double>& b, int n)
{
    const auto at = [&](int i, int j) -> double& { return a[Flat(i, n, j)]; };
    for (int k = 0; k < n; ++k) {
        int pivot = k;
        for (int i = k + 1; i < n; ++i) {
            if (std::fabs(at(i, k)) > std::fabs(at(pivot, k))) {
                pivot = i;
            }
        }
        if (!(std::fabs(at(pivot, k)) > 0) || !std::isfinite(at(pivot, k))) {
            return false;
        }
        if (pivot != k) {
            for (int j = k; j < n; ++j) {
                std::swap(at(k, j), at(pivot, j));
            }
            std::swap(b[static_cast<std::size_t>(k)], b[static_cast<std::size_t>(pivot)]);
        }
        const double inverse = 1 / at(k, k);
        for (int i = k + 1; i < n; ++i) {
            const double l = at(i, k) * inverse;
            if (l == 0) {
                continue;
            }
            for (int j = k + 1; j < n; ++j) {
                at(i, j) -= l * at(k, j);
            }
            b[static_cast<std::size_t>(i)] -= l * b[static_cast<std::size_t>(k)];
        }
    }
    for (int k = n - 1; k >= 0; --k) {
        double sum = b[static_cast<std::size_t>(k)];
        for (int j = k + 1; j < n; ++j) {
            sum -= at(k, j) * b[static_cast<std::size_t>(j)];
        }
        b[static_cast<std::size_t>(k)] = sum / at(k, k);
    }
    return true;
}

// Newton's iterations, all of them, over every way to the operating point.
constexpr int NewtonIterations = 100;
constexpr int StepIterations = 50;
constexpr int IterationBudget = 3000;
// A step changes no node voltage by more than this: converged.
constexpr double VoltageRelTol = 1e-10;
constexpr double VoltageAbsTol = 1e-11; // V
// GMIN stepping: from this conductance at every node down by a decade a step.
constexpr double FirstSteppingGmin = 1e-2; // S
// Source stepping: the first step and the smallest one, of the supply.
constexpr double FirstSourceStep = 0.1;
constexpr double SmallestSourceStep = 1e-4;

struct DcState {
    std::vector<double> v; // every node, the fixed ones included, V
    double vbe = 0.0;      // the junction voltages of the last step, NPN sense
    double vbc = 0.0;
};

struct DcProblem {
    const Network& net;
    const GummelPoon& card;
    std::vector<double> resistance; // per element; capacitors: 0 (open)
    double vcrit = 0.0;
};

// The conductances that do not change from step to step: resistors, RC,
// RE and the substrate junction's GMIN.
Stamps LinearStamps(const DcProblem& p)
{
    const Network& net = p.net;
    Stamps s(net.Unknowns());
    for (std::size_t k = 0; k < net.elements.size(); ++k) {
        const Element& e = net.elements[k];
        if (!e.capacitor) {
            s.Conductance(e.a, e.b, 1 / p.resistance[k]);
        }
    }
    if (net.hasTransistor) {
        if (p.card.rc != 0) {
            s.Conductance(net.collector, net.collectorInner, 1 / p.card.rc);
        }
        if (p.card.re != 0) {
            s.Conductance(net.emitter, net.emitterInner, 1 / p.card.re);
        }
        s.Conductance(net.substrateContact, Ground, Gmin);
    }
    return s;
}

// Newton's method from state at the supply scaled by scale, with gdiag
// from every node to ground; true when it converged, state then holding
// the solution. initialise: start the junctions where SPICE does (Vbe at
// the critical voltage, Vbc at 0) rather than at state's voltages.
bool Newton(const DcProblem& p, const Stamps& linear, double scale, double gdiag, bool initialise,
            int iterations, int& budget, DcState& state)
{
    const Network& net = p.net;
    const int n = net.Unknowns();
    std::array<double, FixedNodes> fixedVoltage{};
    fixedVoltage[Supply] = p.net.supply * scale;
    for (int k = 0; k < FixedNodes; ++k) {
        state.v[static_cast<std::size_t>(k)] = fixedVoltage[static_cast<std::size_t>(k)];
    }
    const auto v = [&](int node) { return state.v[static_cast<std::size_t>(node)]; };
    Stamps s(n);
    std::vector<double> b(static_cast<std::size_t>(n));
    for (int step = 0; step < iterations && budget > 0; ++step, --budget) {
        s.a = linear.a;
        s.fixed = linear.fixed;
        bool limited = false;
        if (net.hasTransistor) {
            double vbe = p.card.type * (v(net.baseInner) - v(net.emitterInner));
            double vbc = p.card.type * (v(net.baseInner) - v(net.collectorInner));
            if (initialise && step == 0) {
                vbe = p.vcrit;
                vbc = 0.0;
                limited = true;
            } else {
                vbe = LimitJunction(vbe, state.vbe, p.vcrit, limited);
                vbc = LimitJunction(vbc, state.vbc, p.vcrit, limited);
            }
            state.vbe = vbe;
            state.vbc = vbc;
            const DeviceState d = Evaluate(p.card, vbe, vbc);
            const int c = net.collectorInner, bi = net.baseInner, e = net.emitterInner;
            s.Conductance(bi, e, d.gpi);
            s.Conductance(bi, c, d.gmu);
            s.Conductance(c, e, d.go);
            s.Transconductance(c, e, bi, e, d.gm);
            if (d.gx != 0) {
                s.Conductance(net.base, bi, d.gx);
            }
            // What the linearised currents leave over at the present
            // voltages, flowing into the nodes (polarity turned back).
            const double collector = d.cc - (d.gm + d.go) * vbe + (d.go + d.gmu) * vbc;
            const double base = d.cb - d.gpi * vbe - d.gmu * vbc;
            const auto inject = [&](int node, double current) {
                if (node >= FixedNodes) {
                    b[static_cast<std::size_t>(node - FixedNodes)] += current;
                }
            };
            std::fill(b.begin(), b.end(), 0.0);
            inject(c, -p.card.type * collector);
            inject(bi, -p.card.type * base);
            inject(e, p.card.type * (collector + base));
        } else {
            std::fill(b.begin(), b.end(), 0.0);
        }
        for (int i = 0; i < n; ++i) {
            for (int k = 0; k < FixedNodes; ++k) {
                b[static_cast<std::size_t>(i)] -=
                    s.fixed[Flat(i, FixedNodes, k)] * fixedVoltage[static_cast<std::size_t>(k)];
            }
            s.a[Flat(i, n, i)] += gdiag;
        }
        if (!SolveDense(s.a, b, n)) {
            return false;
        }
        bool small = true;
        for (int i = 0; i < n; ++i) {
            double& old = state.v[static_cast<std::size_t>(i) + static_cast<std::size_t>(FixedNodes)];
            const double next = b[static_cast<std::size_t>(i)];
            if (!std::isfinite(next)) {
                return false;
            }
            if (std::fabs(next - old) >
                VoltageRelTol * std::max(std::fabs(next), std::fabs(old)) + VoltageAbsTol) {
                small = false;
            }
            old = next;
        }
        if (small && !limited) {
            return true;
        }
    }
    return false;
}

// The operating point: Newton from start (or from SPICE's initial junction
// voltages), then GMIN stepping, then source stepping.
Expected<DcState> SolveOperatingPoint(const DcProblem& p, const DcState* start)
{
    const Stamps linear = LinearStamps(p);
    int budget = IterationBudget;
    const std::size_t nodes = p.net.names.size();
    const DcState zero{std::vector<double>(nodes, 0.0), p.vcrit, 0.0};

    DcState state = start != nullptr ? *start : zero;
    if (Newton(p, linear, 1.0, 0.0, start == nullptr, NewtonIterations, budget, state)) {
        return state;
    }

    // GMIN stepping: a conductance from every node to ground holds the
    // voltages near the circuit's linear part; taken away a decade a step,
    // each solution the start of the next.
    state = zero;
    bool stepped = Newton(p, linear, 1.0, FirstSteppingGmin, true, StepIterations, budget, state);
    for (double gdiag = FirstSteppingGmin / 10; stepped && gdiag >= Gmin; gdiag /= 10) {
        stepped = Newton(p, linear, 1.0, gdiag, false, StepIterations, budget, state);
    }
    if (stepped && Newton(p, linear, 1.0, 0.0, false, NewtonIterations, budget, state)) {
        return state;
    }

    // Source stepping: the supply raised from 0, each solution the start
    // of the next, the step shortened where Newton does not converge.
    state = zero;
    DcState good = zero;
    double scale = 0.0;
    double step = FirstSourceStep;
    bool first = true;
    while (budget > 0 && step >= SmallestSourceStep) {
        const double next = std::min(1.0, scale + step);
        state = good;
        if (Newton(p, linear, next, 0.0, first, StepIterations, budget, state)) {
            first = false;
            good = state;
            scale = next;
            if (scale == 1.0) {
                return good;
            }
            step *= 2;
        } else {
            step /= 4;
        }
    }
    return Failure{"the operating point did not converge"};
}

struct Bias {
    BiasPoint point;
    DeviceState device;
    double vbe = 0.0, vbc = 0.0, vbx = 0.0, vsub = 0.0;
};

// The device at the solution's own voltages, and the figures the
// simulator reports from it.
Bias ReadBias(const DcProblem& p, const DcState& state)
{
    const Network& net = p.net;
    const auto v = [&](int node) { return state.v[static_cast<std::size_t>(node)]; };
    const double type = p.card.type;
    Bias bias;
    bias.vbe = type * (v(net.baseInner) - v(net.emitterInner));
    bias.vbc = type * (v(net.baseInner) - v(net.collectorInner));
    bias.vbx = type * (v(net.base) - v(net.collectorInner));
    // ngspice's substrate voltage: substrate (ground) to its contact, in
    // the sense of type x (1 vertical, -1 lateral).
    bias.vsub = type * (p.card.lateral ? -1.0 : 1.0) * (0.0 - v(net.substrateContact));
    bias.device = Evaluate(p.card, bias.vbe, bias.vbc);
    bias.point.m_Ic = bias.device.cc;
    // The base current SPICE reports leaves out the substrate junction's
    // current where that junction sits at the base (lateral).
    bias.point.m_Ib = bias.device.cb - (p.card.lateral ? Gmin * bias.vsub : 0.0);
    bias.point.m_Uce = type * (v(net.collector) - v(net.emitter));
    return bias;
}

std::vector<double> Resistances(const Network& net)
{
    std::vector<double> r;
    r.reserve(net.elements.size());
    for (const Element& e : net.elements) {
        r.push_back(e.capacitor ? 0.0 : e.value);
    }
    return r;
}

// ---- AC analysis -----------------------------------------------------------

// Complex arithmetic written out: std::complex's operator* checks for
// infinities on every product, which would cost the sweep half its time.
struct Cx {
    double re = 0.0;
    double im = 0.0;
};
inline Cx Mul(Cx x, Cx y)
{
    return {x.re * y.re - x.im * y.im, x.re * y.im + x.im * y.re};
}
inline Cx Sub(Cx x, Cx y)
{
    return {x.re - y.re, x.im - y.im};
}
inline Cx Inverse(Cx x)
{
    const double m = 1 / (x.re * x.re + x.im * x.im);
    return {x.re * m, -x.im * m};
}

// An admittance over frequency: g + j w c + x Delta(w), Delta the excess
// phase's change of the transconductance.
struct Admittance {
    double g = 0.0;
    double c = 0.0;
    double x = 0.0;
    bool Empty() const { return g == 0 && c == 0 && x == 0; }
    Cx At(double omega, Cx delta) const { return {g + x * delta.re, omega * c + x * delta.im}; }
};

// The work space of one solve, kept between the frequencies of a sweep.
struct AcWork {
    std::vector<Cx> a;       // the matrix, then its factors, in the elimination's order
    std::vector<Cx> b;       // the right-hand side, then the solution, in that order
    std::vector<Cx> inverse; // of the pivots
};

// Frequencies solved side by side in a sweep: the divisions by the pivots,
// whose latency would otherwise chain one frequency's elimination, overlap,
// and every operation runs on a vector of lanes.
constexpr int Lanes = 4;
struct Lane {
    std::array<double, Lanes> re{};
    std::array<double, Lanes> im{};
};
struct LaneWork {
    std::vector<Lane> a, b;
    std::vector<Lane> inverse;
};

// The complex nodal equations of one AC run: the unknown nodes, VIN's node
// held at a voltage, a current driven into one node (out), which is
// eliminated last, so that its voltage needs no back substitution.
// Factored in an order fixed once, without pivoting.
class AcSystem {
public:
    AcSystem() = default;
    explicit AcSystem(int unknowns)
        : m_N(unknowns), m_Matrix(Flat(unknowns, unknowns, 0)),
          m_DrivenColumn(static_cast<std::size_t>(unknowns)), m_DrivenRow(static_cast<std::size_t>(unknowns))
    {}

    enum class Part { G, C, X };
    void Add(int row, int column, double value, Part part)
    {
        if (value == 0) {
            return;
        }
        Admittance* target = nullptr;
        if (row >= FixedNodes && column >= FixedNodes) {
            target = &m_Matrix[Index(row - FixedNodes, column - FixedNodes)];
        } else if (row >= FixedNodes && column == Driven) {
            target = &m_DrivenColumn[static_cast<std::size_t>(row - FixedNodes)];
        } else if (row == Driven && column >= FixedNodes) {
            target = &m_DrivenRow[static_cast<std::size_t>(column - FixedNodes)];
        } else if (row == Driven && column == Driven) {
            target = &m_DrivenSelf;
        } else {
            return; // a row or a column of ground or the supply: AC ground
        }
        (part == Part::G ? target->g : part == Part::C ? target->c : target->x) += value;
    }
    void Between(int p, int q, double value, Part part)
    {
        Add(p, p, value, part);
        Add(p, q, -value, part);
        Add(q, p, -value, part);
        Add(q, q, value, part);
    }
    // A current value x (V(c) - V(d)) from p through the element to q.
    void Controlled(int p, int q, int c, int d, double value, Part part)
    {
        Add(p, c, value, part);
        Add(p, d, -value, part);
        Add(q, c, -value, part);
        Add(q, d, value, part);
    }
    void SetExcessPhase(double gmPlusGo, double delay)
    {
        m_GmPlusGo = gmPlusGo;
        m_Delay = delay;
    }

    // Chooses the elimination order, last the node last (an unknown), and
    // lists the operations of the factorisation.
    void Compile(int last);

    // The voltage of the last node at omega, with VIN's node at
    // drivenVoltage and current (A) into the last node.
    Cx LastVoltage(double omega, double drivenVoltage, double current, AcWork& work) const;

    // The same at up to Lanes frequencies at once (omega[0..count)).
    void LastVoltages(const double* omega, int count, double drivenVoltage, LaneWork& work,
                      Cx* voltage) const;

    // Every unknown's voltage (in the circuit's order), the same way.
    void Solve(double omega, double drivenVoltage, double current, AcWork& work, std::vector<Cx>& x) const;

    // The current VIN drives into the circuit, given the node voltages.
    Cx DrivenCurrent(double omega, double drivenVoltage, const std::vector<Cx>& x) const;

private:
    std::size_t Index(int i, int j) const { return Flat(i, m_N, j); }
    Cx Delta(double omega) const
    {
        if (m_Delay == 0) {
            return {};
        }
        const double phase = omega * m_Delay;
        return {m_GmPlusGo * (std::cos(phase) - 1), -m_GmPlusGo * std::sin(phase)};
    }
    // Fills and factors the matrix and eliminates the right-hand side;
    // false at a zero pivot.
    bool Eliminate(double omega, double drivenVoltage, double current, AcWork& work) const;
    // The whole matrix again in the circuit's order, with partial pivoting:
    // where the fixed order met a zero pivot. NaN where it is singular.
    void SolvePivoting(double omega, double drivenVoltage, double current, std::vector<Cx>& x) const;

    int m_N = 0;
    int m_Last = 0;
    std::vector<Admittance> m_Matrix; // n x n, the circuit's order
    std::vector<Admittance> m_DrivenColumn;
    std::vector<Admittance> m_DrivenRow;
    Admittance m_DrivenSelf;
    double m_GmPlusGo = 0.0;
    double m_Delay = 0.0;

    // The compiled factorisation, in the elimination's order: unknown k
    // of that order is m_Order[k] of the circuit.
    std::vector<int> m_Order;
    struct Entry {
        int slot;
        Admittance y;
    };
    std::vector<Entry> m_Entries; // every slot the factorisation touches
    struct Source {
        int k; // a row with VIN's node in its column
        Admittance y;
    };
    std::vector<Source> m_Sources;
    struct Row {
        int row;   // i > k with a(i, k) != 0
        int slot;  // of a(i, k)
        int first; // its updates a(i, j) -= l a(k, j)
        int end;
    };
    struct Update {
        int target;
        int source;
    };
    struct Pivot {
        int slot;
        int firstRow, endRow;
        int firstBack, endBack; // the a(k, j), j > k, for back substitution
    };
    struct Back {
        int column;
        int slot;
    };
    std::vector<Pivot> m_Pivots;
    std::vector<Row> m_Rows;
    std::vector<Update> m_Updates;
    std::vector<Back> m_Back;
};

void AcSystem::Compile(int last)
{
    const int n = m_N;
    m_Last = last;
    std::vector<char> graph(Flat(n, n, 0), 0);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            graph[Index(i, j)] = i == j || !m_Matrix[Index(i, j)].Empty() || !m_Matrix[Index(j, i)].Empty();
        }
    }
    // Fewest neighbours first (minimum degree): the nodes of the outer
    // circuit go before the transistor's, whose few nodes then form a
    // small dense block, and the fill stays small. The last node waits.
    std::vector<char> done(static_cast<std::size_t>(n), 0);
    const std::vector<char> pattern = graph;
    m_Order.clear();
    for (int k = 0; k < n; ++k) {
        int best = -1;
        int bestDegree = n + 1;
        for (int i = 0; i < n; ++i) {
            if (done[static_cast<std::size_t>(i)] || (i == last && k < n - 1)) {
                continue;
            }
            int degree = 0;
            for (int j = 0; j < n; ++j) {
                degree += j != i && !done[static_cast<std::size_t>(j)] && graph[Index(i, j)];
            }
            if (degree < bestDegree) {
                best = i;
                bestDegree = degree;
            }
        }
        done[static_cast<std::size_t>(best)] = 1;
        m_Order.push_back(best);
        for (int i = 0; i < n; ++i) {
            for (int j = 0; j < n; ++j) {
                if (graph[Index(best, i)] && graph[Index(best, j)]) {
                    graph[Index(i, j)] = 1;
                }
            }
        }
    }

    // The pattern in the new order, with the fill of the elimination.
    const auto original = [&](int k) { return m_Order[static_cast<std::size_t>(k)]; };
    std::vector<char> filled(Flat(n, n, 0), 0);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            filled[Index(i, j)] = pattern[Index(original(i), original(j))];
        }
    }
    m_Pivots.clear();
    m_Rows.clear();
    m_Updates.clear();
    m_Back.clear();
    const auto slot = [&](int i, int j) { return static_cast<int>(Index(i, j)); };
    for (int k = 0; k < n; ++k) {
        Pivot pivot{slot(k, k), static_cast<int>(m_Rows.size()), 0, 0, 0};
        for (int i = k + 1; i < n; ++i) {
            if (!filled[Index(i, k)]) {
                continue;
            }
            Row row{i, slot(i, k), static_cast<int>(m_Updates.size()), 0};
            for (int j = k + 1; j < n; ++j) {
                if (filled[Index(k, j)]) {
                    filled[Index(i, j)] = 1;
                    m_Updates.push_back({slot(i, j), slot(k, j)});
                }
            }
            row.end = static_cast<int>(m_Updates.size());
            m_Rows.push_back(row);
        }
        pivot.endRow = static_cast<int>(m_Rows.size());
        m_Pivots.push_back(pivot);
    }
    for (int k = 0; k < n; ++k) {
        Pivot& pivot = m_Pivots[static_cast<std::size_t>(k)];
        pivot.firstBack = static_cast<int>(m_Back.size());
        for (int j = k + 1; j < n; ++j) {
            if (filled[Index(k, j)]) {
                m_Back.push_back({j, slot(k, j)});
            }
        }
        pivot.endBack = static_cast<int>(m_Back.size());
    }
    m_Entries.clear();
    m_Sources.clear();
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            if (filled[Index(i, j)]) {
                m_Entries.push_back({slot(i, j), m_Matrix[Index(original(i), original(j))]});
            }
        }
        if (const Admittance& y = m_DrivenColumn[static_cast<std::size_t>(original(i))]; !y.Empty()) {
            m_Sources.push_back({i, y});
        }
    }
}

bool AcSystem::Eliminate(double omega, double drivenVoltage, double current, AcWork& work) const
{
    const int n = m_N;
    const Cx delta = Delta(omega);
    work.a.resize(Flat(n, n, 0));
    work.b.assign(static_cast<std::size_t>(n), Cx{});
    work.inverse.resize(static_cast<std::size_t>(n));
    Cx* a = work.a.data();
    Cx* b = work.b.data();
    for (const Entry& e : m_Entries) {
        a[e.slot] = e.y.At(omega, delta);
    }
    for (const Source& source : m_Sources) {
        const Cx y = source.y.At(omega, delta);
        b[source.k] = {-y.re * drivenVoltage, -y.im * drivenVoltage};
    }
    b[n - 1].re += current;
    for (int k = 0; k < n; ++k) {
        const Pivot& pivot = m_Pivots[static_cast<std::size_t>(k)];
        const Cx p = a[pivot.slot];
        if (p.re == 0 && p.im == 0) {
            return false;
        }
        const Cx inv = Inverse(p);
        if (!std::isfinite(inv.re) || !std::isfinite(inv.im)) {
            return false;
        }
        work.inverse[static_cast<std::size_t>(k)] = inv;
        const Cx bk = b[k];
        for (int r = pivot.firstRow; r < pivot.endRow; ++r) {
            const Row& row = m_Rows[static_cast<std::size_t>(r)];
            const Cx l = Mul(a[row.slot], inv);
            a[row.slot] = l;
            for (int u = row.first; u < row.end; ++u) {
                const Update& update = m_Updates[static_cast<std::size_t>(u)];
                a[update.target] = Sub(a[update.target], Mul(l, a[update.source]));
            }
            b[row.row] = Sub(b[row.row], Mul(l, bk));
        }
    }
    return true;
}

Cx AcSystem::LastVoltage(double omega, double drivenVoltage, double current, AcWork& work) const
{
    if (Eliminate(omega, drivenVoltage, current, work)) {
        return Mul(work.b.back(), work.inverse.back());
    }
    std::vector<Cx> x;
    SolvePivoting(omega, drivenVoltage, current, x);
    return x[static_cast<std::size_t>(m_Last)];
}

void AcSystem::LastVoltages(const double* omega, int count, double drivenVoltage, LaneWork& work,
                            Cx* voltage) const
{
    const int n = m_N;
    // Lanes beyond count repeat the last frequency.
    std::array<double, Lanes> w{};
    std::array<Cx, Lanes> delta{};
    for (int l = 0; l < Lanes; ++l) {
        w[static_cast<std::size_t>(l)] = omega[std::min(l, count - 1)];
        delta[static_cast<std::size_t>(l)] = Delta(w[static_cast<std::size_t>(l)]);
    }
    work.a.resize(Flat(n, n, 0));
    work.b.assign(static_cast<std::size_t>(n), Lane{});
    work.inverse.resize(static_cast<std::size_t>(n));
    Lane* a = work.a.data();
    Lane* b = work.b.data();
    for (const Entry& e : m_Entries) {
        Lane& y = a[e.slot];
        for (std::size_t l = 0; l < Lanes; ++l) {
            y.re[l] = e.y.g + e.y.x * delta[l].re;
            y.im[l] = w[l] * e.y.c + e.y.x * delta[l].im;
        }
    }
    for (const Source& source : m_Sources) {
        Lane& y = b[source.k];
        for (std::size_t l = 0; l < Lanes; ++l) {
            y.re[l] = -(source.y.g + source.y.x * delta[l].re) * drivenVoltage;
            y.im[l] = -(w[l] * source.y.c + source.y.x * delta[l].im) * drivenVoltage;
        }
    }
    // Each step on copies of the lanes: the compiler may then keep them in
    // vector registers (the references could alias, as far as it knows).
    bool usable = true;
    for (int k = 0; k < n; ++k) {
        const Pivot& pivot = m_Pivots[static_cast<std::size_t>(k)];
        const Lane p = a[pivot.slot];
        Lane inv;
        for (std::size_t l = 0; l < Lanes; ++l) {
            const double m = 1 / (p.re[l] * p.re[l] + p.im[l] * p.im[l]);
            inv.re[l] = p.re[l] * m;
            inv.im[l] = -p.im[l] * m;
            usable = usable && std::isfinite(m);
        }
        work.inverse[static_cast<std::size_t>(k)] = inv;
        const Lane bk = b[k];
        for (int r = pivot.firstRow; r < pivot.endRow; ++r) {
            const Row& row = m_Rows[static_cast<std::size_t>(r)];
            const Lane below = a[row.slot];
            Lane l;
            for (std::size_t j = 0; j < Lanes; ++j) {
                l.re[j] = below.re[j] * inv.re[j] - below.im[j] * inv.im[j];
                l.im[j] = below.re[j] * inv.im[j] + below.im[j] * inv.re[j];
            }
            a[row.slot] = l;
            for (int u = row.first; u < row.end; ++u) {
                const Update& update = m_Updates[static_cast<std::size_t>(u)];
                Lane t = a[update.target];
                const Lane s = a[update.source];
                for (std::size_t j = 0; j < Lanes; ++j) {
                    t.re[j] -= l.re[j] * s.re[j] - l.im[j] * s.im[j];
                    t.im[j] -= l.re[j] * s.im[j] + l.im[j] * s.re[j];
                }
                a[update.target] = t;
            }
            Lane t = b[row.row];
            for (std::size_t j = 0; j < Lanes; ++j) {
                t.re[j] -= l.re[j] * bk.re[j] - l.im[j] * bk.im[j];
                t.im[j] -= l.re[j] * bk.im[j] + l.im[j] * bk.re[j];
            }
            b[row.row] = t;
        }
    }
    if (!usable) {
        // A zero pivot in some lane: these frequencies one at a time, with
        // the pivoting fallback where needed.
        AcWork single;
        for (int l = 0; l < count; ++l) {
            voltage[l] = LastVoltage(omega[l], drivenVoltage, 0.0, single);
        }
        return;
    }
    const Lane& last = b[n - 1];
    const Lane& inv = work.inverse[static_cast<std::size_t>(n - 1)];
    for (int l = 0; l < count; ++l) {
        const auto j = static_cast<std::size_t>(l);
        voltage[l] = Mul({last.re[j], last.im[j]}, {inv.re[j], inv.im[j]});
    }
}

void AcSystem::Solve(double omega, double drivenVoltage, double current, AcWork& work,
                     std::vector<Cx>& x) const
{
    if (!Eliminate(omega, drivenVoltage, current, work)) {
        SolvePivoting(omega, drivenVoltage, current, x);
        return;
    }
    const Cx* a = work.a.data();
    Cx* b = work.b.data();
    for (int k = m_N - 1; k >= 0; --k) {
        const Pivot& pivot = m_Pivots[static_cast<std::size_t>(k)];
        Cx sum = b[k];
        for (int t = pivot.firstBack; t < pivot.endBack; ++t) {
            const Back& back = m_Back[static_cast<std::size_t>(t)];
            sum = Sub(sum, Mul(a[back.slot], b[back.column]));
        }
        b[k] = Mul(sum, work.inverse[static_cast<std::size_t>(k)]);
    }
    x.resize(static_cast<std::size_t>(m_N));
    for (int k = 0; k < m_N; ++k) {
        x[static_cast<std::size_t>(m_Order[static_cast<std::size_t>(k)])] = b[k];
    }
}

void AcSystem::SolvePivoting(double omega, double drivenVoltage, double current, std::vector<Cx>& x) const
{
    const int n = m_N;
    const Cx delta = Delta(omega);
    std::vector<std::complex<double>> a(Flat(n, n, 0));
    std::vector<std::complex<double>> b(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const Cx y = m_Matrix[Index(i, j)].At(omega, delta);
            a[Index(i, j)] = {y.re, y.im};
        }
        const Cx y = m_DrivenColumn[static_cast<std::size_t>(i)].At(omega, delta);
        b[static_cast<std::size_t>(i)] = {-y.re * drivenVoltage, -y.im * drivenVoltage};
    }
    b[static_cast<std::size_t>(m_Last)] += current;
    const auto at = [&](int i, int j) -> std::complex<double>& { return a[Index(i, j)]; };
    constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    x.assign(static_cast<std::size_t>(n), Cx{NaN, NaN});
    for (int k = 0; k < n; ++k) {
        int pivot = k;
        for (int i = k + 1; i < n; ++i) {
            if (std::abs(at(i, k)) > std::abs(at(pivot, k))) {
                pivot = i;
            }
        }
        if (!(std::abs(at(pivot, k)) > 0)) {
            return;
        }
        for (int j = 0; j < n && pivot != k; ++j) {
            std::swap(at(k, j), at(pivot, j));
        }
        std::swap(b[static_cast<std::size_t>(k)], b[static_cast<std::size_t>(pivot)]);
        for (int i = k + 1; i < n; ++i) {
            const std::complex<double> l = at(i, k) / at(k, k);
            for (int j = k + 1; j < n; ++j) {
                at(i, j) -= l * at(k, j);
            }
            b[static_cast<std::size_t>(i)] -= l * b[static_cast<std::size_t>(k)];
        }
    }
    for (int k = n - 1; k >= 0; --k) {
        std::complex<double> sum = b[static_cast<std::size_t>(k)];
        for (int j = k + 1; j < n; ++j) {
            sum -= at(k, j) * b[static_cast<std::size_t>(j)];
        }
        b[static_cast<std::size_t>(k)] = sum / at(k, k);
    }
    for (int k = 0; k < n; ++k) {
        x[static_cast<std::size_t>(k)] = {b[static_cast<std::size_t>(k)].real(),
                                          b[static_cast<std::size_t>(k)].imag()};
    }
}

Cx AcSystem::DrivenCurrent(double omega, double drivenVoltage, const std::vector<Cx>& x) const
{
    const Cx delta = Delta(omega);
    const Cx self = m_DrivenSelf.At(omega, delta);
    Cx sum{self.re * drivenVoltage, self.im * drivenVoltage};
    for (int j = 0; j < m_N; ++j) {
        const Cx term =
            Mul(m_DrivenRow[static_cast<std::size_t>(j)].At(omega, delta), x[static_cast<std::size_t>(j)]);
        sum = {sum.re + term.re, sum.im + term.im};
    }
    return sum;
}

// Stamps the circuit's parts and the linearised transistor, as ngspice's
// AC load does.
AcSystem BuildAcSystem(const Network& net, const TransistorSmallSignal& s, bool outputRun)
{
    using Part = AcSystem::Part;
    AcSystem system(net.Unknowns());
    for (std::size_t k = 0; k < net.elements.size(); ++k) {
        const Element& e = net.elements[k];
        double value = e.value;
        // The output run has out open, whatever load the signal run had.
        if (outputRun && e.role == Element::Role::Load) {
            value = OpenLoadResistance;
        }
        if (e.capacitor) {
            system.Between(e.a, e.b, value, Part::C);
        } else {
            system.Between(e.a, e.b, 1 / value, Part::G);
        }
    }
    if (net.hasTransistor) {
        const int c = net.collectorInner, b = net.baseInner, e = net.emitterInner;
        if (s.m_Rbb != 0) {
            system.Between(net.base, b, 1 / s.m_Rbb, Part::G);
        }
        if (s.m_Rc != 0) {
            system.Between(net.collector, c, 1 / s.m_Rc, Part::G);
        }
        if (s.m_Re != 0) {
            system.Between(net.emitter, e, 1 / s.m_Re, Part::G);
        }
        system.Between(b, e, s.m_Gpi, Part::G);
        system.Between(b, c, s.m_Gmu, Part::G);
        system.Between(c, e, s.m_Go, Part::G);
        system.Controlled(c, e, b, e, s.m_Gm, Part::G);
        system.Controlled(c, e, b, e, 1.0, Part::X);
        system.SetExcessPhase(s.m_Gm + s.m_Go, s.m_ExcessPhaseDelay);
        system.Between(b, e, s.m_Cpi, Part::C);
        system.Controlled(b, e, b, c, s.m_Cpi_Vbc, Part::C);
        system.Between(b, c, s.m_Cmu, Part::C);
        system.Between(net.base, c, s.m_Cbx, Part::C);
        system.Between(net.substrateContact, Ground, s.m_Cjs, Part::C);
    }
    system.Compile(net.out - FixedNodes);
    return system;
}

constexpr double TwoPi = 2 * std::numbers::pi;

} // namespace

// ---- SweepFrequencies ------------------------------------------------------

std::vector<double> SweepFrequencies(double lowerCutoff, int pointsPerDecade)
{
    // ngspice's decade sweep: from the start, a factor 10^(1/N) a point,
    // as long as the frequency does not pass the stop by more than reltol
    // (the netlists' 1e-6) of a step.
    constexpr double SweepRelTol = 1e-6;
    const int points = pointsPerDecade > 0 ? pointsPerDecade : DefaultPointsPerDecade;
    const double start = lowerCutoff / SweepStartDivisor;
    const double stop = lowerCutoff * SweepEndFactor;
    const double factor = std::exp(std::log(10.0) / points);
    std::vector<double> frequency;
    if (!(start > 0) || !std::isfinite(stop)) {
        return frequency;
    }
    for (double f = start; f <= stop + factor * stop * SweepRelTol; f *= factor) {
        frequency.push_back(f);
    }
    return frequency;
}

// ---- SmallSignalCircuit ----------------------------------------------------

struct SmallSignalCircuit::Impl {
    Network net;
    OperatingPoint operating;
    AcSystem signal;
    AcSystem output;
    std::vector<double> frequency;
    double highestMid = 0.0;
};

SmallSignalCircuit::SmallSignalCircuit(std::unique_ptr<Impl> impl) : m_Impl(std::move(impl))
{}
SmallSignalCircuit::SmallSignalCircuit(SmallSignalCircuit&&) noexcept = default;
SmallSignalCircuit& SmallSignalCircuit::operator=(SmallSignalCircuit&&) noexcept = default;
SmallSignalCircuit::~SmallSignalCircuit() = default;

Expected<SmallSignalCircuit> SmallSignalCircuit::Make(const AmplifierCircuit& circuit,
                                                      const SimulationOptions& options)
{
    if (const Status check = CheckCircuit(circuit); !check) {
        return Failure{check.Message()};
    }
    auto impl = std::make_unique<Impl>();
    const bool hasTransistor = circuit.m_Transistor.name != nullptr;
    const GummelPoon card = hasTransistor ? ReadCard(circuit.m_Transistor) : GummelPoon{};
    impl->net = Describe(circuit, options, card);
    if (const Status paths = CheckDcPaths(impl->net); !paths) {
        return Failure{paths.Message()};
    }
    if (hasTransistor) {
        const DcProblem problem{impl->net, card, Resistances(impl->net), CriticalVoltage(card.is)};
        const Expected<DcState> state = SolveOperatingPoint(problem, nullptr);
        if (!state) {
            return Failure{state.Message()};
        }
        const Bias bias = ReadBias(problem, *state);
        impl->operating.m_Bias = bias.point;
        impl->operating.m_Vbe = bias.vbe;
        impl->operating.m_Vbc = bias.vbc;
        impl->operating.m_SmallSignal = Linearise(card, bias.device, bias.vbe, bias.vbc, bias.vbx, bias.vsub);
    }
    impl->signal = BuildAcSystem(impl->net, impl->operating.m_SmallSignal, false);
    impl->output = BuildAcSystem(impl->net, impl->operating.m_SmallSignal, true);
    impl->frequency = SweepFrequencies(circuit.m_LowerCutoff, options.m_PointsPerDecade);
    impl->highestMid = MidbandLimitFactor * circuit.m_LowerCutoff;
    return SmallSignalCircuit(std::move(impl));
}

const OperatingPoint& SmallSignalCircuit::Operating() const
{
    return m_Impl->operating;
}

FrequencyPoint SmallSignalCircuit::At(double frequency) const
{
    const Impl& m = *m_Impl;
    const double omega = TwoPi * frequency;
    AcWork work;
    std::vector<Cx> x;
    const auto voltage = [&](int node) {
        const Cx v = node == Driven ? Cx{1.0, 0.0} : x[static_cast<std::size_t>(node - FixedNodes)];
        return std::complex<double>(v.re, v.im);
    };
    FrequencyPoint point;
    m.signal.Solve(omega, 1.0, 0.0, work, x);
    point.m_Gain = voltage(m.net.out);
    const Cx current = m.signal.DrivenCurrent(omega, 1.0, x);
    point.m_InputImpedance = voltage(m.net.in) / std::complex<double>(current.re, current.im);
    m.output.Solve(omega, 0.0, 1.0, work, x);
    point.m_OutputImpedance = voltage(m.net.out);
    return point;
}

void SmallSignalCircuit::Gains(std::span<const double> frequency, std::span<std::complex<double>> gain) const
{
    LaneWork work;
    const std::size_t n = std::min(frequency.size(), gain.size());
    for (std::size_t i = 0; i < n; i += Lanes) {
        const int count = static_cast<int>(std::min<std::size_t>(Lanes, n - i));
        std::array<double, Lanes> omega{};
        std::array<Cx, Lanes> v{};
        for (int l = 0; l < count; ++l) {
            omega[static_cast<std::size_t>(l)] = TwoPi * frequency[i + static_cast<std::size_t>(l)];
        }
        m_Impl->signal.LastVoltages(omega.data(), count, 1.0, work, v.data());
        for (int l = 0; l < count; ++l) {
            gain[i + static_cast<std::size_t>(l)] = {v[static_cast<std::size_t>(l)].re,
                                                     v[static_cast<std::size_t>(l)].im};
        }
    }
}

Expected<SimulationResult> SmallSignalCircuit::Analyse(bool withBode) const
{
    const Impl& m = *m_Impl;
    std::vector<std::complex<double>> gain(m.frequency.size());
    Gains(m.frequency, gain);
    const PassBand band = FindPassBand(m.frequency, gain, m.highestMid);
    if (std::isnan(band.m_MidGainDb)) {
        return Failure{"the response has no pass band (no signal at the output)"};
    }
    const FrequencyPoint mid = At(band.m_MidFrequency);
    SimulationResult result;
    result.m_Outcome = {};
    result.m_Ic = m.operating.m_Bias.m_Ic;
    result.m_Ib = m.operating.m_Bias.m_Ib;
    result.m_Uce = m.operating.m_Bias.m_Uce;
    result.m_MidbandFrequency = band.m_MidFrequency;
    result.m_GainDb = band.m_MidGainDb;
    result.m_LowerCutoff = band.m_LowerCutoff;
    result.m_UpperCutoff = band.m_UpperCutoff;
    result.m_InputImpedance = std::abs(mid.m_InputImpedance);
    result.m_OutputImpedance = std::abs(mid.m_OutputImpedance);
    if (withBode) {
        result.m_Bode = MakeBode(m.frequency, gain, band.m_MidIndex);
    }
    return result;
}

Expected<SimulationResult> AnalyseSmallSignal(const AmplifierCircuit& circuit,
                                              const SimulationOptions& options)
{
    Expected<SmallSignalCircuit> prepared = SmallSignalCircuit::Make(circuit, options);
    if (!prepared) {
        return Failure{prepared.Message()};
    }
    return prepared->Analyse();
}

// ---- BiasSolver ------------------------------------------------------------

struct BiasSolver::Impl {
    Network net;
    GummelPoon card;
    DcState nominalState;
    BiasPoint nominal;
    std::vector<std::string> parts; // their names
};

BiasSolver::BiasSolver(std::unique_ptr<Impl> impl) : m_Impl(std::move(impl))
{}
BiasSolver::BiasSolver(BiasSolver&&) noexcept = default;
BiasSolver& BiasSolver::operator=(BiasSolver&&) noexcept = default;
BiasSolver::~BiasSolver() = default;

Expected<BiasSolver> BiasSolver::Make(const AmplifierCircuit& circuit)
{
    if (const Status check = CheckCircuit(circuit); !check) {
        return Failure{check.Message()};
    }
    if (circuit.m_Transistor.name == nullptr) {
        return Failure{"the circuit has no transistor"};
    }
    auto impl = std::make_unique<Impl>();
    impl->card = ReadCard(circuit.m_Transistor);
    impl->net = Describe(circuit, {}, impl->card);
    if (const Status paths = CheckDcPaths(impl->net); !paths) {
        return Failure{paths.Message()};
    }
    for (const CircuitPart& part : circuit.m_Parts) {
        impl->parts.push_back(part.m_Name);
    }
    const DcProblem problem{impl->net, impl->card, Resistances(impl->net), CriticalVoltage(impl->card.is)};
    Expected<DcState> state = SolveOperatingPoint(problem, nullptr);
    if (!state) {
        return Failure{state.Message()};
    }
    impl->nominalState = std::move(state).Value();
    impl->nominal = ReadBias(problem, impl->nominalState).point;
    return BiasSolver(std::move(impl));
}

const BiasPoint& BiasSolver::Nominal() const
{
    return m_Impl->nominal;
}

Expected<BiasPoint> BiasSolver::Solve(std::span<const double> partValues, double currentGainFactor) const
{
    const Impl& m = *m_Impl;
    if (partValues.size() != m.parts.size()) {
        return Failure{"the circuit has " + std::to_string(m.parts.size()) + " parts, not " +
                       std::to_string(partValues.size())};
    }
    if (!(currentGainFactor > 0) || !std::isfinite(currentGainFactor)) {
        return Failure{"the current gain factor is not a positive finite number"};
    }
    GummelPoon card = m.card;
    card.bf *= currentGainFactor;
    card.is *= currentGainFactor;
    DcProblem problem{m.net, card, Resistances(m.net), CriticalVoltage(card.is)};
    for (std::size_t k = 0; k < m.net.elements.size(); ++k) {
        const Element& e = m.net.elements[k];
        if (e.role != Element::Role::Part || e.capacitor) {
            continue;
        }
        const double value = partValues[static_cast<std::size_t>(e.part)];
        if (!HasValue(value)) {
            return Failure{m.parts[static_cast<std::size_t>(e.part)] + " is not a positive finite value (" +
                           SpiceNumber(value) + ")"};
        }
        problem.resistance[k] = value;
    }
    const Expected<DcState> state = SolveOperatingPoint(problem, &m.nominalState);
    if (!state) {
        return Failure{state.Message()};
    }
    return ReadBias(problem, *state).point;
}

} // namespace norvane
