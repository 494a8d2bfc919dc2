#include "circuit/BiasPoint.h"

#include "transistors/TransistorModel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace norvane {

namespace {

// The DC network of a designed circuit: its resistors, the capacitors
// open, solved in magnitudes (the supply at +UB for either polarity) for
// given transistor currents.
class BiasNetwork {
public:
    explicit BiasNetwork(const AmplifierCircuit& circuit) : m_Supply(circuit.m_SupplyVoltage)
    {
        for (const std::string& node : {circuit.m_Base, circuit.m_Collector, circuit.m_Emitter}) {
            Node(node);
        }
        for (const CircuitPart& part : circuit.m_Parts) {
            if (part.m_Name.starts_with('R')) {
                m_Resistors.push_back({Node(part.m_NodeA), Node(part.m_NodeB), 1 / part.m_Value});
            }
        }
        m_Base = Node(circuit.m_Base);
        m_Collector = Node(circuit.m_Collector);
        m_Emitter = Node(circuit.m_Emitter);
    }

    // Node voltages with Ic drawn from the collector, Ib from the base and
    // their sum driven into the emitter; false when the network has no
    // solution.
    bool Solve(double ic, double ib)
    {
        const std::size_t n = m_Names.size();
        // Known nodes take their voltage; the others form G v = i.
        std::vector<std::vector<double>> g(n, std::vector<double>(n + 1, 0.0));
        const auto add = [&](int a, int b, double conductance) {
            g[a][a] += conductance;
            g[a][b] -= conductance;
        };
        for (const Resistor& r : m_Resistors) {
            add(r.m_NodeA, r.m_NodeB, r.m_Conductance);
            add(r.m_NodeB, r.m_NodeA, r.m_Conductance);
        }
        if (m_Collector >= 0 && !IsKnown(m_Collector)) {
            g[m_Collector][n] -= ic;
        }
        g[m_Base][n] -= ib;
        g[m_Emitter][n] += ic + ib;
        for (std::size_t k = 0; k < n; ++k) {
            if (IsKnown(static_cast<int>(k))) {
                std::ranges::fill(g[k], 0.0);
                g[k][k] = 1;
                g[k][n] = KnownVoltage(static_cast<int>(k));
            }
        }
        // Gaussian elimination with partial pivoting; a handful of nodes.
        for (std::size_t col = 0; col < n; ++col) {
            std::size_t pivot = col;
            for (std::size_t row = col + 1; row < n; ++row) {
                if (std::abs(g[row][col]) > std::abs(g[pivot][col])) {
                    pivot = row;
                }
            }
            if (!(std::abs(g[pivot][col]) > 0)) {
                return false;
            }
            std::swap(g[col], g[pivot]);
            for (std::size_t row = 0; row < n; ++row) {
                if (row != col && g[row][col] != 0) {
                    const double f = g[row][col] / g[col][col];
                    for (std::size_t c = col; c <= n; ++c) {
                        g[row][c] -= f * g[col][c];
                    }
                }
            }
        }
        m_Voltages.resize(n);
        for (std::size_t k = 0; k < n; ++k) {
            m_Voltages[k] = g[k][n] / g[k][k];
        }
        return true;
    }

    double Vbe() const { return m_Voltages[m_Base] - m_Voltages[m_Emitter]; }
    double Vce() const { return m_Voltages[m_Collector] - m_Voltages[m_Emitter]; }

    // Every node with its voltage of the last solve, in magnitudes.
    std::vector<std::pair<std::string, double>> Voltages() const
    {
        std::vector<std::pair<std::string, double>> voltages;
        for (std::size_t k = 0; k < m_Names.size(); ++k) {
            voltages.emplace_back(m_Names[k], m_Voltages[k]);
        }
        return voltages;
    }

private:
    struct Resistor {
        int m_NodeA;
        int m_NodeB;
        double m_Conductance; // siemens
    };

    int Node(const std::string& name)
    {
        const auto found = std::ranges::find(m_Names, name);
        if (found != m_Names.end()) {
            return static_cast<int>(found - m_Names.begin());
        }
        m_Names.push_back(name);
        return static_cast<int>(m_Names.size() - 1);
    }
    bool IsKnown(int node) const { return m_Names[node] == "0" || m_Names[node] == "vcc"; }
    double KnownVoltage(int node) const { return m_Names[node] == "vcc" ? m_Supply : 0.0; }

    double m_Supply;
    std::vector<std::string> m_Names;
    std::vector<Resistor> m_Resistors;
    std::vector<double> m_Voltages;
    int m_Base = -1;
    int m_Collector = -1;
    int m_Emitter = -1;
};

// How far the junction voltage the network leaves (V(base) - V(emitter))
// lies above the one the transistor needs for ic; negative where the
// current is more than the network can drive, including where the
// transistor saturates or cannot carry it. vce is where the model starts
// (the last solve's, which lies close) and receives the network's.
double BiasResidual(BiasNetwork& network, TransistorModel& model, double ic, double& vce)
{
    constexpr int VceRefinements = 2; // Ib moves Vce by far less than Vce moves Ib
    double residual = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < VceRefinements; ++i) {
        model.SetOperatingPoint(ic, vce);
        if (!model.IsValid()) {
            return -std::numeric_limits<double>::infinity();
        }
        const double ib = model.GetBaseCurrent();
        if (!network.Solve(ic, ib)) {
            return std::numeric_limits<double>::quiet_NaN();
        }
        residual = network.Vbe() - model.GetBaseEmitterVoltage();
        vce = std::max(network.Vce(), TransistorModel::LowestVoltage);
    }
    return residual;
}

// The DC operating point of a design, with the card's BF scaled.
class BiasSolver {
public:
    BiasSolver(const AmplifierDesign& design, const AmplifierCircuit& circuit, double bfFactor)
        : m_Network(circuit), m_Vce(design.Uce())
    {
        TransistorRecord record = circuit.m_Transistor;
        record.BF *= bfFactor;
        m_Model.SelectRecord(record);
    }
    double operator()(double ic) { return BiasResidual(m_Network, m_Model, ic, m_Vce); }

private:
    BiasNetwork m_Network;
    TransistorModel m_Model;
    double m_Vce;
};

constexpr double BiasTolerance = 1e-7; // on log Ic: relative, on Ic
constexpr double FirstSecantStep = 0.01;

// Secant steps on log Ic from the designed current: the current where
// they meet the tolerance; NaN when a step meets no number or the steps
// run out.
double SecantBiasCurrent(const AmplifierDesign& design, BiasSolver& residual, int steps)
{
    double x0 = std::log(design.Ic());
    double x1 = x0 + FirstSecantStep;
    double r0 = residual(std::exp(x0));
    double r1 = residual(std::exp(x1));
    for (int i = 0; i < steps && std::isfinite(r0) && std::isfinite(r1) && r1 != r0; ++i) {
        const double x2 = x1 - r1 * (x1 - x0) / (r1 - r0);
        if (std::abs(x2 - x1) < BiasTolerance) {
            return std::exp(x2);
        }
        x0 = x1;
        r0 = r1;
        x1 = x2;
        r1 = residual(std::exp(x1));
    }
    return std::numeric_limits<double>::quiet_NaN();
}

} // namespace

double NodeVoltages::At(std::string_view node) const
{
    const auto found = std::ranges::find(m_Voltages, node, &std::pair<std::string, double>::first);
    return found == m_Voltages.end() ? 0.0 : found->second;
}

Expected<NodeVoltages> SolveNodeVoltages(const AmplifierCircuit& circuit, double ic, double ib)
{
    BiasNetwork network(circuit);
    if (!network.Solve(ic, ib)) {
        return Failure{"the resistor network has no DC solution"};
    }
    std::vector<std::pair<std::string, double>> voltages = network.Voltages();
    for (auto& [node, voltage] : voltages) {
        if (!std::isfinite(voltage)) {
            return Failure{"the resistor network has no DC solution"};
        }
        // Solved in magnitudes: a PNP circuit has every voltage mirrored.
        voltage = circuit.m_IsPnp ? -voltage : voltage;
    }
    return NodeVoltages(std::move(voltages));
}

Expected<double> SolveBiasCurrent(const AmplifierDesign& design, double bfFactor)
{
    const AmplifierCircuit circuit = DescribeCircuit(design);
    if (!design.IsUsable() || !CheckCircuit(circuit)) {
        return Failure{"the design cannot be built"};
    }
    BiasSolver residual(design, circuit, bfFactor);
    constexpr double Tolerance = BiasTolerance;

    // The residual is smooth in log Ic and the solution lies near the
    // designed current: the secant method from there gets it in a handful
    // of steps.
    constexpr int SecantSteps = 12;
    if (const double ic = SecantBiasCurrent(design, residual, SecantSteps); std::isfinite(ic)) {
        return ic;
    }

    // Where it does not (the model fails on the way, the transistor
    // saturates): bracket the current around the designed one and close in
    // by regula falsi on log Ic (the Illinois variant, which halves the
    // weight of an end that stays put).
    constexpr double BracketStep = 4;
    constexpr int BracketTries = 12;
    constexpr int MaxSteps = 200;
    double low = std::log(design.Ic() / BracketStep);
    double high = std::log(design.Ic() * BracketStep);
    double rLow = residual(std::exp(low));
    double rHigh = residual(std::exp(high));
    for (int i = 0; i < BracketTries && !(rLow > 0); ++i) {
        low -= std::log(BracketStep);
        rLow = residual(std::exp(low));
    }
    for (int i = 0; i < BracketTries && !(rHigh < 0); ++i) {
        high += std::log(BracketStep);
        rHigh = residual(std::exp(high));
    }
    if (!(rLow > 0) || !(rHigh < 0)) {
        return Failure{"the DC model finds no operating point"};
    }
    // An end where the model fails counts as "too much current"; regula
    // falsi needs a number there, bisection does not.
    int side = 0;
    double previous = low;
    for (int i = 0; i < MaxSteps && high - low > Tolerance; ++i) {
        const double x =
            std::isfinite(rHigh) ? (low * rHigh - high * rLow) / (rHigh - rLow) : (low + high) / 2;
        const double r = residual(std::exp(x));
        if (std::isnan(r)) {
            return Failure{"the DC model finds no operating point"};
        }
        if (r == 0 || std::abs(x - previous) < Tolerance) {
            return std::exp(x);
        }
        previous = x;
        if (r > 0) {
            low = x;
            rLow = r;
            if (side == 1) {
                rHigh /= 2;
            }
            side = 1;
        } else {
            high = x;
            rHigh = r;
            if (side == -1) {
                rLow /= 2;
            }
            side = -1;
        }
    }
    return std::exp((low + high) / 2);
}

double BiasStability(const AmplifierDesign& design)
{
    const Expected<double> nominal = SolveBiasCurrent(design, 1.0);
    const Expected<double> halved = SolveBiasCurrent(design, 0.5);
    const Expected<double> doubled = SolveBiasCurrent(design, 2.0);
    if (!nominal || !halved || !doubled) {
        return std::numeric_limits<double>::infinity();
    }
    return std::abs(*doubled - *halved) / *nominal;
}

} // namespace norvane
