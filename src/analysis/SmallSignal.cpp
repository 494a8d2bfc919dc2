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
    double m_Type = 1.0;    // +1 NPN, -1 PNP
    bool m_Lateral = false; // substrate junction at b' (PNP) rather than c'
    double m_Is = 1e-16, m_Bf = 100, m_Br = 1, m_Nf = 1, m_Nr = 1;
    double m_Ise = 0, m_Ne = 1.5, m_Isc = 0, m_Nc = 2;
    double m_InvVaf = 0, m_InvVar = 0, m_InvIkf = 0, m_InvIkr = 0; // 1/V, 1/A; 0: absent
    double m_Rb = 0, m_Rbm = 0, m_Irb = 0, m_Re = 0, m_Rc = 0;     // irb 0: absent
    double m_Cje = 0, m_Vje = 0.75, m_Mje = 0.33;
    double m_Cjc = 0, m_Vjc = 0.75, m_Mjc = 0.33, m_Xcjc = 1;
    double m_Cjs = 0, m_Vjs = 0.75, m_Mjs = 0;
    double m_Fc = 0.5;
    double m_Tf = 0, m_Tr = 0, m_Xtf = 0, m_Itf = 0;
    double m_VtfFactor = 0;        // 1 / (1.44 VTF); 0 without VTF
    double m_ExcessPhaseDelay = 0; // s
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
    card.m_Type = record.polarity == 'P' ? -1.0 : 1.0;
    card.m_Lateral = record.polarity == 'P';
    card.m_Is = value("IS", card.m_Is);
    const auto leakage = [&](std::string_view name) {
        const double written = value(name, 0.0);
        return written > LegacyLeakageLimit ? written * card.m_Is : written;
    };
    card.m_Ise = leakage("ISE");
    card.m_Isc = leakage("ISC");
    card.m_Bf = value("BF", card.m_Bf);
    card.m_Br = value("BR", card.m_Br);
    card.m_Nf = value("NF", card.m_Nf);
    card.m_Nr = value("NR", card.m_Nr);
    card.m_Ne = value("NE", card.m_Ne);
    card.m_Nc = value("NC", card.m_Nc);
    card.m_InvVaf = inverse("VAF");
    card.m_InvVar = inverse("VAR");
    card.m_InvIkf = inverse("IKF");
    card.m_InvIkr = inverse("IKR");
    card.m_Rb = value("RB", 0.0);
    card.m_Rbm = value("RBM", card.m_Rb);
    card.m_Irb = value("IRB", 0.0);
    card.m_Re = value("RE", 0.0);
    card.m_Rc = value("RC", 0.0);
    card.m_Cje = value("CJE", card.m_Cje);
    card.m_Vje = value("VJE", card.m_Vje);
    card.m_Mje = std::min(value("MJE", card.m_Mje), HighestGradingExponent);
    card.m_Cjc = value("CJC", card.m_Cjc);
    card.m_Vjc = value("VJC", card.m_Vjc);
    card.m_Mjc = std::min(value("MJC", card.m_Mjc), HighestGradingExponent);
    card.m_Xcjc = value("XCJC", card.m_Xcjc);
    card.m_Cjs = value("CJS", card.m_Cjs);
    card.m_Vjs = value("VJS", card.m_Vjs);
    card.m_Mjs = std::min(value("MJS", card.m_Mjs), HighestGradingExponent);
    card.m_Fc = std::min(value("FC", card.m_Fc), HighestDepletionCoefficient);
    card.m_Tf = value("TF", 0.0);
    card.m_Tr = value("TR", 0.0);
    card.m_Xtf = value("XTF", 0.0);
    card.m_Itf = value("ITF", 0.0);
    const double vtf = value("VTF", 0.0);
    card.m_VtfFactor = vtf != 0 ? 1 / (vtf * TransitVoltageFactor) : 0.0;
    // PTF in degrees at the frequency 1 / (2 pi TF): a delay of PTF/180 pi TF.
    card.m_ExcessPhaseDelay = value("PTF", 0.0) / (180.0 / std::numbers::pi) * card.m_Tf;
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
    double m_Current = 0.0;
    double m_Conductance = 0.0;
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
    double m_Cc = 0.0; // A, into c' (NPN sense)
    double m_Cb = 0.0; // A, into b'
    double m_Gpi = 0.0, m_Gmu = 0.0, m_Gm = 0.0, m_Go = 0.0;
    double m_Gx = 0.0; // S, of the base resistance; 0 without one
    // For the charge model.
    Diode m_Be, m_Bc;
    double m_Qb = 1.0, m_Dqbdve = 0.0, m_Dqbdvc = 0.0;
};

DeviceState Evaluate(const GummelPoon& card, double vbe, double vbc)
{
    const double vt = ThermalVoltage;
    DeviceState d;
    d.m_Be = Junction(vbe, card.m_Is, card.m_Nf * vt);
    d.m_Bc = Junction(vbc, card.m_Is, card.m_Nr * vt);
    Diode ben = card.m_Ise != 0 ? Junction(vbe, card.m_Ise, card.m_Ne * vt) : Diode{};
    Diode bcn = card.m_Isc != 0 ? Junction(vbc, card.m_Isc, card.m_Nc * vt) : Diode{};
    ben.m_Current += Gmin * vbe;
    ben.m_Conductance += Gmin;
    bcn.m_Current += Gmin * vbc;
    bcn.m_Conductance += Gmin;

    // Base charge: Early effect (q1) and high injection (q2).
    const double q1 = 1 / (1 - card.m_InvVaf * vbc - card.m_InvVar * vbe);
    if (card.m_InvIkf == 0 && card.m_InvIkr == 0) {
        d.m_Qb = q1;
        d.m_Dqbdve = q1 * d.m_Qb * card.m_InvVar;
        d.m_Dqbdvc = q1 * d.m_Qb * card.m_InvVaf;
    } else {
        const double q2 = card.m_InvIkf * d.m_Be.m_Current + card.m_InvIkr * d.m_Bc.m_Current;
        const double arg = std::max(0.0, 1 + 4 * q2);
        const double root = arg != 0 ? std::sqrt(arg) : 1.0;
        d.m_Qb = q1 * (1 + root) / 2;
        d.m_Dqbdve = q1 * (d.m_Qb * card.m_InvVar + card.m_InvIkf * d.m_Be.m_Conductance / root);
        d.m_Dqbdvc = q1 * (d.m_Qb * card.m_InvVaf + card.m_InvIkr * d.m_Bc.m_Conductance / root);
    }

    const double transport = d.m_Be.m_Current - d.m_Bc.m_Current;
    d.m_Cc = transport / d.m_Qb - d.m_Bc.m_Current / card.m_Br - bcn.m_Current;
    d.m_Cb = d.m_Be.m_Current / card.m_Bf + ben.m_Current + d.m_Bc.m_Current / card.m_Br + bcn.m_Current;
    if (card.m_Rb != 0) {
        const double excess = card.m_Rb - card.m_Rbm;
        double rbb = card.m_Rbm + excess / d.m_Qb;
        if (card.m_Irb != 0) {
            // Current crowding: the resistance falls from RB towards RBM as
            // the base current grows against IRB.
            const double x = std::max(d.m_Cb / card.m_Irb, CrowdingFloor);
            const double z = (-1 + std::sqrt(1 + CrowdingK1 * x)) / CrowdingK2 / std::sqrt(x);
            const double tanZ = std::tan(z);
            rbb = card.m_Rbm + 3 * excess * (tanZ - z) / z / tanZ / tanZ;
        }
        d.m_Gx = rbb != 0 ? 1 / rbb : 0.0;
    }
    d.m_Gpi = d.m_Be.m_Conductance / card.m_Bf + ben.m_Conductance;
    d.m_Gmu = d.m_Bc.m_Conductance / card.m_Br + bcn.m_Conductance;
    d.m_Go = (d.m_Bc.m_Conductance + transport * d.m_Dqbdvc / d.m_Qb) / d.m_Qb;
    d.m_Gm = (d.m_Be.m_Conductance - transport * d.m_Dqbdve / d.m_Qb) / d.m_Qb - d.m_Go;
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
    s.m_Gm = d.m_Gm;
    s.m_Gpi = d.m_Gpi;
    s.m_Gmu = d.m_Gmu;
    s.m_Go = d.m_Go;
    s.m_Rbb = d.m_Gx != 0 ? 1 / d.m_Gx : 0.0;
    s.m_Re = card.m_Re;
    s.m_Rc = card.m_Rc;

    // Diffusion charge TF x (forward current / qb), the transit time raised
    // by XTF (1 + XTF (I/(I + ITF))^2 exp(Vbc / 1.44 VTF)); its derivatives
    // by Vbe (a capacitance) and by Vbc (a transcapacitance).
    double diffusion = 0.0;
    if (card.m_Tf != 0 && vbe > 0) {
        double factor = 0.0;
        double slope = 0.0;
        double byVbc = 0.0;
        const double forward = d.m_Be.m_Current;
        if (card.m_Xtf != 0) {
            factor = card.m_Xtf;
            if (card.m_VtfFactor != 0) {
                factor *= std::exp(vbc * card.m_VtfFactor);
            }
            slope = factor;
            if (card.m_Itf != 0) {
                const double share = forward / (forward + card.m_Itf);
                factor *= share * share;
                slope = factor * (3 - share - share);
            }
            byVbc = forward * factor * card.m_VtfFactor;
        }
        const double charge = forward * (1 + factor) / d.m_Qb;
        diffusion = card.m_Tf * (d.m_Be.m_Conductance * (1 + slope) - charge * d.m_Dqbdve) / d.m_Qb;
        s.m_CpiVbc = card.m_Tf * (byVbc - charge * d.m_Dqbdvc) / d.m_Qb;
    } else {
        diffusion = card.m_Tf * d.m_Be.m_Conductance;
    }
    s.m_Cpi = diffusion + DepletionCapacitance(card.m_Cje, card.m_Vje, card.m_Mje, card.m_Fc, vbe);
    const double inner = card.m_Cjc * card.m_Xcjc;
    s.m_Cmu = card.m_Tr * d.m_Bc.m_Conductance +
              DepletionCapacitance(inner, card.m_Vjc, card.m_Mjc, card.m_Fc, vbc);
    s.m_Cbx = DepletionCapacitance(card.m_Cjc - inner, card.m_Vjc, card.m_Mjc, card.m_Fc, vbx);
    // The substrate junction has no FC rule in ngspice: the reverse formula
    // below 0 V, the first-order one above.
    s.m_Cjs = vsub < 0 ? card.m_Cjs * std::exp(-card.m_Mjs * std::log(1 - vsub / card.m_Vjs))
                       : card.m_Cjs * (1 + card.m_Mjs * vsub / card.m_Vjs);
    s.m_ExcessPhaseDelay = card.m_ExcessPhaseDelay;
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
    int m_A = Ground;
    int m_B = Ground;
    bool m_Capacitor = false;
    Role m_Role = Role::Part;
    int m_Part = -1;      // index into the circuit's parts
    double m_Value = 0.0; // ohm or farad
};

struct Network {
    std::vector<std::string> m_Names{"0", "vcc", ""}; // the fixed nodes' names first
    std::vector<Element> m_Elements;
    double m_Supply = 0.0; // V, -UB for a PNP circuit
    bool m_HasTransistor = false;
    int m_Collector = Ground, m_Base = Ground, m_Emitter = Ground;
    // The intrinsic transistor's nodes: the terminals themselves where RB,
    // RC or RE are 0.
    int m_CollectorInner = Ground, m_BaseInner = Ground, m_EmitterInner = Ground;
    int m_SubstrateContact = Ground;
    int m_In = Ground, m_Out = Ground;

    int Unknowns() const { return static_cast<int>(m_Names.size()) - FixedNodes; }

    int Node(const std::string& name)
    {
        if (name == "0") {
            return Ground;
        }
        const auto found = std::find(m_Names.begin(), m_Names.end(), name);
        if (found != m_Names.end()) {
            return static_cast<int>(found - m_Names.begin());
        }
        m_Names.push_back(name);
        return static_cast<int>(m_Names.size()) - 1;
    }
    int InnerNode(int terminal, double resistance, const std::string& name)
    {
        if (resistance == 0) {
            return terminal;
        }
        m_Names.push_back(name);
        return static_cast<int>(m_Names.size()) - 1;
    }
};

bool HasValue(double resistance)
{
    return resistance > 0 && std::isfinite(resistance);
}

Network Describe(const AmplifierCircuit& circuit, const SimulationOptions& options, const GummelPoon& card)
{
    Network net;
    net.m_Supply = circuit.m_IsPnp ? -circuit.m_SupplyVoltage : circuit.m_SupplyVoltage;
    net.m_Names[Driven] = DrivenNode(options.m_SourceResistance);
    if (HasValue(options.m_SourceResistance)) {
        net.m_Elements.push_back(
            {Driven, net.Node("in"), false, Element::Role::Source, -1, options.m_SourceResistance});
    }
    for (std::size_t k = 0; k < circuit.m_Parts.size(); ++k) {
        const CircuitPart& part = circuit.m_Parts[k];
        const bool capacitor =
            !part.m_Name.empty() && (part.m_Name.front() == 'C' || part.m_Name.front() == 'c');
        net.m_Elements.push_back({net.Node(part.m_NodeA), net.Node(part.m_NodeB), capacitor,
                                  Element::Role::Part, static_cast<int>(k), part.m_Value});
    }
    net.m_In = net.Node("in");
    net.m_Out = net.Node("out");
    net.m_Elements.push_back(
        {net.m_Out, Ground, false, Element::Role::Load, -1,
         HasValue(options.m_LoadResistance) ? options.m_LoadResistance : OpenLoadResistance});
    net.m_HasTransistor = circuit.m_Transistor.name != nullptr;
    if (net.m_HasTransistor) {
        net.m_Collector = net.Node(circuit.m_Collector);
        net.m_Base = net.Node(circuit.m_Base);
        net.m_Emitter = net.Node(circuit.m_Emitter);
        net.m_CollectorInner = net.InnerNode(net.m_Collector, card.m_Rc, "q1:collector");
        net.m_BaseInner = net.InnerNode(net.m_Base, card.m_Rb, "q1:base");
        net.m_EmitterInner = net.InnerNode(net.m_Emitter, card.m_Re, "q1:emitter");
        net.m_SubstrateContact = card.m_Lateral ? net.m_BaseInner : net.m_CollectorInner;
    }
    return net;
}

// Every node must reach a fixed one through resistors or the transistor
// (whose nodes all do, through GMIN at the substrate junction): a node
// behind capacitors alone has no operating point, and SPICE's matrix would
// be singular.
Status CheckDcPaths(const Network& net)
{
    const std::size_t nodes = net.m_Names.size();
    std::vector<char> reached(nodes, 0);
    std::vector<std::pair<int, int>> links;
    for (const Element& e : net.m_Elements) {
        if (!e.m_Capacitor) {
            links.emplace_back(e.m_A, e.m_B);
        }
    }
    if (net.m_HasTransistor) {
        for (const int node : {net.m_Collector, net.m_Base, net.m_Emitter, net.m_CollectorInner,
                               net.m_BaseInner, net.m_EmitterInner}) {
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
            return Failure{"node " + net.m_Names[k] + " has no DC path to ground"};
        }
    }
    return {};
}

// A real matrix over the unknowns, with the columns of the fixed nodes
// apart: they move to the right-hand side.
struct Stamps {
    int m_N = 0;
    std::vector<double> m_A;     // n x n, row-major
    std::vector<double> m_Fixed; // n x FixedNodes

    explicit Stamps(int unknowns) : m_N(unknowns), m_A(Flat(m_N, m_N, 0)), m_Fixed(Flat(m_N, FixedNodes, 0))
    {}
    void Add(int row, int column, double value)
    {
        if (row < FixedNodes || value == 0) {
            return;
        }
        const int i = row - FixedNodes;
        if (column >= FixedNodes) {
            m_A[static_cast<std::size_t>(i * m_N + column - FixedNodes)] += value;
        } else {
            m_Fixed[Flat(i, FixedNodes, column)] += value;
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
    std::vector<double> m_V; // every node, the fixed ones included, V
    double m_Vbe = 0.0;      // the junction voltages of the last step, NPN sense
    double m_Vbc = 0.0;
};

struct DcProblem {
    const Network& m_Net;
    const GummelPoon& m_Card;
    std::vector<double> m_Resistance; // per element; capacitors: 0 (open)
    double m_Vcrit = 0.0;
};

// The conductances that do not change from step to step: resistors, RC,
// RE and the substrate junction's GMIN.
Stamps LinearStamps(const DcProblem& p)
{
    const Network& net = p.m_Net;
    Stamps s(net.Unknowns());
    for (std::size_t k = 0; k < net.m_Elements.size(); ++k) {
        const Element& e = net.m_Elements[k];
        if (!e.m_Capacitor) {
            s.Conductance(e.m_A, e.m_B, 1 / p.m_Resistance[k]);
        }
    }
    if (net.m_HasTransistor) {
        if (p.m_Card.m_Rc != 0) {
            s.Conductance(net.m_Collector, net.m_CollectorInner, 1 / p.m_Card.m_Rc);
        }
        if (p.m_Card.m_Re != 0) {
            s.Conductance(net.m_Emitter, net.m_EmitterInner, 1 / p.m_Card.m_Re);
        }
        s.Conductance(net.m_SubstrateContact, Ground, Gmin);
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
    const Network& net = p.m_Net;
    const int n = net.Unknowns();
    std::array<double, FixedNodes> fixedVoltage{};
    fixedVoltage[Supply] = p.m_Net.m_Supply * scale;
    for (int k = 0; k < FixedNodes; ++k) {
        state.m_V[static_cast<std::size_t>(k)] = fixedVoltage[static_cast<std::size_t>(k)];
    }
    const auto v = [&](int node) { return state.m_V[static_cast<std::size_t>(node)]; };
    Stamps s(n);
    std::vector<double> b(static_cast<std::size_t>(n));
    for (int step = 0; step < iterations && budget > 0; ++step, --budget) {
        s.m_A = linear.m_A;
        s.m_Fixed = linear.m_Fixed;
        bool limited = false;
        if (net.m_HasTransistor) {
            double vbe = p.m_Card.m_Type * (v(net.m_BaseInner) - v(net.m_EmitterInner));
            double vbc = p.m_Card.m_Type * (v(net.m_BaseInner) - v(net.m_CollectorInner));
            if (initialise && step == 0) {
                vbe = p.m_Vcrit;
                vbc = 0.0;
                limited = true;
            } else {
                vbe = LimitJunction(vbe, state.m_Vbe, p.m_Vcrit, limited);
                vbc = LimitJunction(vbc, state.m_Vbc, p.m_Vcrit, limited);
            }
            state.m_Vbe = vbe;
            state.m_Vbc = vbc;
            const DeviceState d = Evaluate(p.m_Card, vbe, vbc);
            const int c = net.m_CollectorInner, bi = net.m_BaseInner, e = net.m_EmitterInner;
            s.Conductance(bi, e, d.m_Gpi);
            s.Conductance(bi, c, d.m_Gmu);
            s.Conductance(c, e, d.m_Go);
            s.Transconductance(c, e, bi, e, d.m_Gm);
            if (d.m_Gx != 0) {
                s.Conductance(net.m_Base, bi, d.m_Gx);
            }
            // What the linearised currents leave over at the present
            // voltages, flowing into the nodes (polarity turned back).
            const double collector = d.m_Cc - (d.m_Gm + d.m_Go) * vbe + (d.m_Go + d.m_Gmu) * vbc;
            const double base = d.m_Cb - d.m_Gpi * vbe - d.m_Gmu * vbc;
            const auto inject = [&](int node, double current) {
                if (node >= FixedNodes) {
                    b[static_cast<std::size_t>(node - FixedNodes)] += current;
                }
            };
            std::fill(b.begin(), b.end(), 0.0);
            inject(c, -p.m_Card.m_Type * collector);
            inject(bi, -p.m_Card.m_Type * base);
            inject(e, p.m_Card.m_Type * (collector + base));
        } else {
            std::fill(b.begin(), b.end(), 0.0);
        }
        for (int i = 0; i < n; ++i) {
            for (int k = 0; k < FixedNodes; ++k) {
                b[static_cast<std::size_t>(i)] -=
                    s.m_Fixed[Flat(i, FixedNodes, k)] * fixedVoltage[static_cast<std::size_t>(k)];
            }
            s.m_A[Flat(i, n, i)] += gdiag;
        }
        if (!SolveDense(s.m_A, b, n)) {
            return false;
        }
        bool small = true;
        for (int i = 0; i < n; ++i) {
            double& old = state.m_V[static_cast<std::size_t>(i) + static_cast<std::size_t>(FixedNodes)];
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
    const std::size_t nodes = p.m_Net.m_Names.size();
    const DcState zero{std::vector<double>(nodes, 0.0), p.m_Vcrit, 0.0};

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
    BiasPoint m_Point;
    DeviceState m_Device;
    double m_Vbe = 0.0, m_Vbc = 0.0, m_Vbx = 0.0, m_Vsub = 0.0;
};

// The device at the solution's own voltages, and the figures the
// simulator reports from it.
Bias ReadBias(const DcProblem& p, const DcState& state)
{
    const Network& net = p.m_Net;
    const auto v = [&](int node) { return state.m_V[static_cast<std::size_t>(node)]; };
    const double type = p.m_Card.m_Type;
    Bias bias;
    bias.m_Vbe = type * (v(net.m_BaseInner) - v(net.m_EmitterInner));
    bias.m_Vbc = type * (v(net.m_BaseInner) - v(net.m_CollectorInner));
    bias.m_Vbx = type * (v(net.m_Base) - v(net.m_CollectorInner));
    // ngspice's substrate voltage: substrate (ground) to its contact, in
    // the sense of type x (1 vertical, -1 lateral).
    bias.m_Vsub = type * (p.m_Card.m_Lateral ? -1.0 : 1.0) * (0.0 - v(net.m_SubstrateContact));
    bias.m_Device = Evaluate(p.m_Card, bias.m_Vbe, bias.m_Vbc);
    bias.m_Point.m_Ic = bias.m_Device.m_Cc;
    // The base current SPICE reports leaves out the substrate junction's
    // current where that junction sits at the base (lateral).
    bias.m_Point.m_Ib = bias.m_Device.m_Cb - (p.m_Card.m_Lateral ? Gmin * bias.m_Vsub : 0.0);
    bias.m_Point.m_Uce = type * (v(net.m_Collector) - v(net.m_Emitter));
    return bias;
}

std::vector<double> Resistances(const Network& net)
{
    std::vector<double> r;
    r.reserve(net.m_Elements.size());
    for (const Element& e : net.m_Elements) {
        r.push_back(e.m_Capacitor ? 0.0 : e.m_Value);
    }
    return r;
}

// ---- AC analysis -----------------------------------------------------------

// Complex arithmetic written out: std::complex's operator* checks for
// infinities on every product, which would cost the sweep half its time.
struct Cx {
    double m_Re = 0.0;
    double m_Im = 0.0;
};
inline Cx Mul(Cx x, Cx y)
{
    return {x.m_Re * y.m_Re - x.m_Im * y.m_Im, x.m_Re * y.m_Im + x.m_Im * y.m_Re};
}
inline Cx Sub(Cx x, Cx y)
{
    return {x.m_Re - y.m_Re, x.m_Im - y.m_Im};
}
inline Cx Inverse(Cx x)
{
    const double m = 1 / (x.m_Re * x.m_Re + x.m_Im * x.m_Im);
    return {x.m_Re * m, -x.m_Im * m};
}

// An admittance over frequency: g + j w c + x Delta(w), Delta the excess
// phase's change of the transconductance.
struct Admittance {
    double m_G = 0.0;
    double m_C = 0.0;
    double m_X = 0.0;
    bool Empty() const { return m_G == 0 && m_C == 0 && m_X == 0; }
    Cx At(double omega, Cx delta) const { return {m_G + m_X * delta.m_Re, omega * m_C + m_X * delta.m_Im}; }
};

// The work space of one solve, kept between the frequencies of a sweep.
struct AcWork {
    std::vector<Cx> m_A;       // the matrix, then its factors, in the elimination's order
    std::vector<Cx> m_B;       // the right-hand side, then the solution, in that order
    std::vector<Cx> m_Inverse; // of the pivots
};

// Frequencies solved side by side in a sweep: the divisions by the pivots,
// whose latency would otherwise chain one frequency's elimination, overlap,
// and every operation runs on a vector of lanes.
constexpr int Lanes = 4;
struct Lane {
    std::array<double, Lanes> m_Re{};
    std::array<double, Lanes> m_Im{};
};
struct LaneWork {
    std::vector<Lane> m_A, m_B;
    std::vector<Lane> m_Inverse;
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
        (part == Part::G ? target->m_G : part == Part::C ? target->m_C : target->m_X) += value;
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
        int m_Slot;
        Admittance m_Y;
    };
    std::vector<Entry> m_Entries; // every slot the factorisation touches
    struct Source {
        int m_K; // a row with VIN's node in its column
        Admittance m_Y;
    };
    std::vector<Source> m_Sources;
    struct Row {
        int m_Row;   // i > k with a(i, k) != 0
        int m_Slot;  // of a(i, k)
        int m_First; // its updates a(i, j) -= l a(k, j)
        int m_End;
    };
    struct Update {
        int m_Target;
        int m_Source;
    };
    struct Pivot {
        int m_Slot;
        int m_FirstRow, m_EndRow;
        int m_FirstBack, m_EndBack; // the a(k, j), j > k, for back substitution
    };
    struct Back {
        int m_Column;
        int m_Slot;
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
            row.m_End = static_cast<int>(m_Updates.size());
            m_Rows.push_back(row);
        }
        pivot.m_EndRow = static_cast<int>(m_Rows.size());
        m_Pivots.push_back(pivot);
    }
    for (int k = 0; k < n; ++k) {
        Pivot& pivot = m_Pivots[static_cast<std::size_t>(k)];
        pivot.m_FirstBack = static_cast<int>(m_Back.size());
        for (int j = k + 1; j < n; ++j) {
            if (filled[Index(k, j)]) {
                m_Back.push_back({j, slot(k, j)});
            }
        }
        pivot.m_EndBack = static_cast<int>(m_Back.size());
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
    work.m_A.resize(Flat(n, n, 0));
    work.m_B.assign(static_cast<std::size_t>(n), Cx{});
    work.m_Inverse.resize(static_cast<std::size_t>(n));
    Cx* a = work.m_A.data();
    Cx* b = work.m_B.data();
    for (const Entry& e : m_Entries) {
        a[e.m_Slot] = e.m_Y.At(omega, delta);
    }
    for (const Source& source : m_Sources) {
        const Cx y = source.m_Y.At(omega, delta);
        b[source.m_K] = {-y.m_Re * drivenVoltage, -y.m_Im * drivenVoltage};
    }
    b[n - 1].m_Re += current;
    for (int k = 0; k < n; ++k) {
        const Pivot& pivot = m_Pivots[static_cast<std::size_t>(k)];
        const Cx p = a[pivot.m_Slot];
        if (p.m_Re == 0 && p.m_Im == 0) {
            return false;
        }
        const Cx inv = Inverse(p);
        if (!std::isfinite(inv.m_Re) || !std::isfinite(inv.m_Im)) {
            return false;
        }
        work.m_Inverse[static_cast<std::size_t>(k)] = inv;
        const Cx bk = b[k];
        for (int r = pivot.m_FirstRow; r < pivot.m_EndRow; ++r) {
            const Row& row = m_Rows[static_cast<std::size_t>(r)];
            const Cx l = Mul(a[row.m_Slot], inv);
            a[row.m_Slot] = l;
            for (int u = row.m_First; u < row.m_End; ++u) {
                const Update& update = m_Updates[static_cast<std::size_t>(u)];
                a[update.m_Target] = Sub(a[update.m_Target], Mul(l, a[update.m_Source]));
            }
            b[row.m_Row] = Sub(b[row.m_Row], Mul(l, bk));
        }
    }
    return true;
}

Cx AcSystem::LastVoltage(double omega, double drivenVoltage, double current, AcWork& work) const
{
    if (Eliminate(omega, drivenVoltage, current, work)) {
        return Mul(work.m_B.back(), work.m_Inverse.back());
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
    work.m_A.resize(Flat(n, n, 0));
    work.m_B.assign(static_cast<std::size_t>(n), Lane{});
    work.m_Inverse.resize(static_cast<std::size_t>(n));
    Lane* a = work.m_A.data();
    Lane* b = work.m_B.data();
    for (const Entry& e : m_Entries) {
        Lane& y = a[e.m_Slot];
        for (std::size_t l = 0; l < Lanes; ++l) {
            y.m_Re[l] = e.m_Y.m_G + e.m_Y.m_X * delta[l].m_Re;
            y.m_Im[l] = w[l] * e.m_Y.m_C + e.m_Y.m_X * delta[l].m_Im;
        }
    }
    for (const Source& source : m_Sources) {
        Lane& y = b[source.m_K];
        for (std::size_t l = 0; l < Lanes; ++l) {
            y.m_Re[l] = -(source.m_Y.m_G + source.m_Y.m_X * delta[l].m_Re) * drivenVoltage;
            y.m_Im[l] = -(w[l] * source.m_Y.m_C + source.m_Y.m_X * delta[l].m_Im) * drivenVoltage;
        }
    }
    // Each step on copies of the lanes: the compiler may then keep them in
    // vector registers (the references could alias, as far as it knows).
    bool usable = true;
    for (int k = 0; k < n; ++k) {
        const Pivot& pivot = m_Pivots[static_cast<std::size_t>(k)];
        const Lane p = a[pivot.m_Slot];
        Lane inv;
        for (std::size_t l = 0; l < Lanes; ++l) {
            const double m = 1 / (p.m_Re[l] * p.m_Re[l] + p.m_Im[l] * p.m_Im[l]);
            inv.m_Re[l] = p.m_Re[l] * m;
            inv.m_Im[l] = -p.m_Im[l] * m;
            usable = usable && std::isfinite(m);
        }
        work.m_Inverse[static_cast<std::size_t>(k)] = inv;
        const Lane bk = b[k];
        for (int r = pivot.m_FirstRow; r < pivot.m_EndRow; ++r) {
            const Row& row = m_Rows[static_cast<std::size_t>(r)];
            const Lane below = a[row.m_Slot];
            Lane l;
            for (std::size_t j = 0; j < Lanes; ++j) {
                l.m_Re[j] = below.m_Re[j] * inv.m_Re[j] - below.m_Im[j] * inv.m_Im[j];
                l.m_Im[j] = below.m_Re[j] * inv.m_Im[j] + below.m_Im[j] * inv.m_Re[j];
            }
            a[row.m_Slot] = l;
            for (int u = row.m_First; u < row.m_End; ++u) {
                const Update& update = m_Updates[static_cast<std::size_t>(u)];
                Lane t = a[update.m_Target];
                const Lane s = a[update.m_Source];
                for (std::size_t j = 0; j < Lanes; ++j) {
                    t.m_Re[j] -= l.m_Re[j] * s.m_Re[j] - l.m_Im[j] * s.m_Im[j];
                    t.m_Im[j] -= l.m_Re[j] * s.m_Im[j] + l.m_Im[j] * s.m_Re[j];
                }
                a[update.m_Target] = t;
            }
            Lane t = b[row.m_Row];
            for (std::size_t j = 0; j < Lanes; ++j) {
                t.m_Re[j] -= l.m_Re[j] * bk.m_Re[j] - l.m_Im[j] * bk.m_Im[j];
                t.m_Im[j] -= l.m_Re[j] * bk.m_Im[j] + l.m_Im[j] * bk.m_Re[j];
            }
            b[row.m_Row] = t;
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
    const Lane& inv = work.m_Inverse[static_cast<std::size_t>(n - 1)];
    for (int l = 0; l < count; ++l) {
        const auto j = static_cast<std::size_t>(l);
        voltage[l] = Mul({last.m_Re[j], last.m_Im[j]}, {inv.m_Re[j], inv.m_Im[j]});
    }
}

void AcSystem::Solve(double omega, double drivenVoltage, double current, AcWork& work,
                     std::vector<Cx>& x) const
{
    if (!Eliminate(omega, drivenVoltage, current, work)) {
        SolvePivoting(omega, drivenVoltage, current, x);
        return;
    }
    const Cx* a = work.m_A.data();
    Cx* b = work.m_B.data();
    for (int k = m_N - 1; k >= 0; --k) {
        const Pivot& pivot = m_Pivots[static_cast<std::size_t>(k)];
        Cx sum = b[k];
        for (int t = pivot.m_FirstBack; t < pivot.m_EndBack; ++t) {
            const Back& back = m_Back[static_cast<std::size_t>(t)];
            sum = Sub(sum, Mul(a[back.m_Slot], b[back.m_Column]));
        }
        b[k] = Mul(sum, work.m_Inverse[static_cast<std::size_t>(k)]);
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
            a[Index(i, j)] = {y.m_Re, y.m_Im};
        }
        const Cx y = m_DrivenColumn[static_cast<std::size_t>(i)].At(omega, delta);
        b[static_cast<std::size_t>(i)] = {-y.m_Re * drivenVoltage, -y.m_Im * drivenVoltage};
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
    Cx sum{self.m_Re * drivenVoltage, self.m_Im * drivenVoltage};
    for (int j = 0; j < m_N; ++j) {
        const Cx term =
            Mul(m_DrivenRow[static_cast<std::size_t>(j)].At(omega, delta), x[static_cast<std::size_t>(j)]);
        sum = {sum.m_Re + term.m_Re, sum.m_Im + term.m_Im};
    }
    return sum;
}

// Stamps the circuit's parts and the linearised transistor, as ngspice's
// AC load does.
AcSystem BuildAcSystem(const Network& net, const TransistorSmallSignal& s, bool outputRun)
{
    using Part = AcSystem::Part;
    AcSystem system(net.Unknowns());
    for (std::size_t k = 0; k < net.m_Elements.size(); ++k) {
        const Element& e = net.m_Elements[k];
        double value = e.m_Value;
        // The output run has out open, whatever load the signal run had.
        if (outputRun && e.m_Role == Element::Role::Load) {
            value = OpenLoadResistance;
        }
        if (e.m_Capacitor) {
            system.Between(e.m_A, e.m_B, value, Part::C);
        } else {
            system.Between(e.m_A, e.m_B, 1 / value, Part::G);
        }
    }
    if (net.m_HasTransistor) {
        const int c = net.m_CollectorInner, b = net.m_BaseInner, e = net.m_EmitterInner;
        if (s.m_Rbb != 0) {
            system.Between(net.m_Base, b, 1 / s.m_Rbb, Part::G);
        }
        if (s.m_Rc != 0) {
            system.Between(net.m_Collector, c, 1 / s.m_Rc, Part::G);
        }
        if (s.m_Re != 0) {
            system.Between(net.m_Emitter, e, 1 / s.m_Re, Part::G);
        }
        system.Between(b, e, s.m_Gpi, Part::G);
        system.Between(b, c, s.m_Gmu, Part::G);
        system.Between(c, e, s.m_Go, Part::G);
        system.Controlled(c, e, b, e, s.m_Gm, Part::G);
        system.Controlled(c, e, b, e, 1.0, Part::X);
        system.SetExcessPhase(s.m_Gm + s.m_Go, s.m_ExcessPhaseDelay);
        system.Between(b, e, s.m_Cpi, Part::C);
        system.Controlled(b, e, b, c, s.m_CpiVbc, Part::C);
        system.Between(b, c, s.m_Cmu, Part::C);
        system.Between(net.m_Base, c, s.m_Cbx, Part::C);
        system.Between(net.m_SubstrateContact, Ground, s.m_Cjs, Part::C);
    }
    system.Compile(net.m_Out - FixedNodes);
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
    Network m_Net;
    OperatingPoint m_Operating;
    AcSystem m_Signal;
    AcSystem m_Output;
    std::vector<double> m_Frequency;
    double m_HighestMid = 0.0;
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
    impl->m_Net = Describe(circuit, options, card);
    if (const Status paths = CheckDcPaths(impl->m_Net); !paths) {
        return Failure{paths.Message()};
    }
    if (hasTransistor) {
        const DcProblem problem{impl->m_Net, card, Resistances(impl->m_Net), CriticalVoltage(card.m_Is)};
        const Expected<DcState> state = SolveOperatingPoint(problem, nullptr);
        if (!state) {
            return Failure{state.Message()};
        }
        const Bias bias = ReadBias(problem, *state);
        impl->m_Operating.m_Bias = bias.m_Point;
        impl->m_Operating.m_Vbe = bias.m_Vbe;
        impl->m_Operating.m_Vbc = bias.m_Vbc;
        impl->m_Operating.m_SmallSignal =
            Linearise(card, bias.m_Device, bias.m_Vbe, bias.m_Vbc, bias.m_Vbx, bias.m_Vsub);
    }
    impl->m_Signal = BuildAcSystem(impl->m_Net, impl->m_Operating.m_SmallSignal, false);
    impl->m_Output = BuildAcSystem(impl->m_Net, impl->m_Operating.m_SmallSignal, true);
    impl->m_Frequency = SweepFrequencies(circuit.m_LowerCutoff, options.m_PointsPerDecade);
    impl->m_HighestMid = MidbandLimitFactor * circuit.m_LowerCutoff;
    return SmallSignalCircuit(std::move(impl));
}

const OperatingPoint& SmallSignalCircuit::Operating() const
{
    return m_Impl->m_Operating;
}

FrequencyPoint SmallSignalCircuit::At(double frequency) const
{
    const Impl& m = *m_Impl;
    const double omega = TwoPi * frequency;
    AcWork work;
    std::vector<Cx> x;
    const auto voltage = [&](int node) {
        const Cx v = node == Driven ? Cx{1.0, 0.0} : x[static_cast<std::size_t>(node - FixedNodes)];
        return std::complex<double>(v.m_Re, v.m_Im);
    };
    FrequencyPoint point;
    m.m_Signal.Solve(omega, 1.0, 0.0, work, x);
    point.m_Gain = voltage(m.m_Net.m_Out);
    const Cx current = m.m_Signal.DrivenCurrent(omega, 1.0, x);
    point.m_InputImpedance = voltage(m.m_Net.m_In) / std::complex<double>(current.m_Re, current.m_Im);
    m.m_Output.Solve(omega, 0.0, 1.0, work, x);
    point.m_OutputImpedance = voltage(m.m_Net.m_Out);
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
        m_Impl->m_Signal.LastVoltages(omega.data(), count, 1.0, work, v.data());
        for (int l = 0; l < count; ++l) {
            gain[i + static_cast<std::size_t>(l)] = {v[static_cast<std::size_t>(l)].m_Re,
                                                     v[static_cast<std::size_t>(l)].m_Im};
        }
    }
}

Expected<SimulationResult> SmallSignalCircuit::Analyse(bool withBode) const
{
    const Impl& m = *m_Impl;
    std::vector<std::complex<double>> gain(m.m_Frequency.size());
    Gains(m.m_Frequency, gain);
    const PassBand band = FindPassBand(m.m_Frequency, gain, m.m_HighestMid);
    if (std::isnan(band.m_MidGainDb)) {
        return Failure{"the response has no pass band (no signal at the output)"};
    }
    const FrequencyPoint mid = At(band.m_MidFrequency);
    SimulationResult result;
    result.m_Outcome = {};
    result.m_Ic = m.m_Operating.m_Bias.m_Ic;
    result.m_Ib = m.m_Operating.m_Bias.m_Ib;
    result.m_Uce = m.m_Operating.m_Bias.m_Uce;
    result.m_MidbandFrequency = band.m_MidFrequency;
    result.m_GainDb = band.m_MidGainDb;
    result.m_LowerCutoff = band.m_LowerCutoff;
    result.m_UpperCutoff = band.m_UpperCutoff;
    result.m_InputImpedance = std::abs(mid.m_InputImpedance);
    result.m_OutputImpedance = std::abs(mid.m_OutputImpedance);
    if (withBode) {
        result.m_Bode = MakeBode(m.m_Frequency, gain, band.m_MidIndex);
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
    Network m_Net;
    GummelPoon m_Card;
    DcState m_NominalState;
    BiasPoint m_Nominal;
    std::vector<std::string> m_Parts; // their names
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
    impl->m_Card = ReadCard(circuit.m_Transistor);
    impl->m_Net = Describe(circuit, {}, impl->m_Card);
    if (const Status paths = CheckDcPaths(impl->m_Net); !paths) {
        return Failure{paths.Message()};
    }
    for (const CircuitPart& part : circuit.m_Parts) {
        impl->m_Parts.push_back(part.m_Name);
    }
    const DcProblem problem{impl->m_Net, impl->m_Card, Resistances(impl->m_Net),
                            CriticalVoltage(impl->m_Card.m_Is)};
    Expected<DcState> state = SolveOperatingPoint(problem, nullptr);
    if (!state) {
        return Failure{state.Message()};
    }
    impl->m_NominalState = std::move(state).Value();
    impl->m_Nominal = ReadBias(problem, impl->m_NominalState).m_Point;
    return BiasSolver(std::move(impl));
}

const BiasPoint& BiasSolver::Nominal() const
{
    return m_Impl->m_Nominal;
}

Expected<BiasPoint> BiasSolver::Solve(std::span<const double> partValues, double currentGainFactor) const
{
    const Impl& m = *m_Impl;
    if (partValues.size() != m.m_Parts.size()) {
        return Failure{"the circuit has " + std::to_string(m.m_Parts.size()) + " parts, not " +
                       std::to_string(partValues.size())};
    }
    if (!(currentGainFactor > 0) || !std::isfinite(currentGainFactor)) {
        return Failure{"the current gain factor is not a positive finite number"};
    }
    GummelPoon card = m.m_Card;
    card.m_Bf *= currentGainFactor;
    card.m_Is *= currentGainFactor;
    DcProblem problem{m.m_Net, card, Resistances(m.m_Net), CriticalVoltage(card.m_Is)};
    for (std::size_t k = 0; k < m.m_Net.m_Elements.size(); ++k) {
        const Element& e = m.m_Net.m_Elements[k];
        if (e.m_Role != Element::Role::Part || e.m_Capacitor) {
            continue;
        }
        const double value = partValues[static_cast<std::size_t>(e.m_Part)];
        if (!HasValue(value)) {
            return Failure{m.m_Parts[static_cast<std::size_t>(e.m_Part)] +
                           " is not a positive finite value (" + SpiceNumber(value) + ")"};
        }
        problem.m_Resistance[k] = value;
    }
    const Expected<DcState> state = SolveOperatingPoint(problem, &m.m_NominalState);
    if (!state) {
        return Failure{state.Message()};
    }
    return ReadBias(problem, *state).m_Point;
}

} // namespace norvane
