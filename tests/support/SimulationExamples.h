#pragma once

// The designs the simulation tests run, and the operating point that the
// design's own DC model gives for the circuit as built, with its resistors
// rounded to the series.

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "transistors/TransistorModel.h"
#include "transistors/TransistorTable.h"

#include <cmath>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace norvane::testing {

struct Example {
    std::string name;
    std::function<std::unique_ptr<AmplifierDesign>()> make;
};

inline void PrintTo(const Example& example, std::ostream* os)
{
    *os << example.name;
}

inline std::unique_ptr<AmplifierDesign> CommonEmitter(double gainDb, const char* transistor = "BC548B")
{
    auto design = std::make_unique<CommonEmitterDesign>();
    DesignInputs inputs(CircuitKind::CommonEmitter);
    inputs.SetValue(InputField::Gain, gainDb);
    inputs.SetTransistorIndex(FindTransistor(transistor));
    design->Compute(inputs);
    return design;
}

inline std::unique_ptr<AmplifierDesign> CommonBase(const char* transistor = "BC548B")
{
    auto design = std::make_unique<CommonBaseDesign>();
    DesignInputs inputs(CircuitKind::CommonBase);
    inputs.SetTransistorIndex(FindTransistor(transistor));
    design->Compute(inputs);
    return design;
}

inline std::unique_ptr<AmplifierDesign> CommonCollector(const char* transistor = "BC548B")
{
    auto design = std::make_unique<CommonCollectorDesign>();
    DesignInputs inputs(CircuitKind::CommonCollector);
    inputs.SetTransistorIndex(FindTransistor(transistor));
    design->Compute(inputs);
    return design;
}

// The DC side of all three circuits: a divider Rtop (rail to base) and
// Rbottom (base to ground), Rc from the rail to the collector (0 for the
// common-collector circuit), Re from the emitter to ground.
struct BiasNetwork {
    double supply = 0.0;
    double top = 0.0, bottom = 0.0, collector = 0.0, emitter = 0.0;
    int transistor = 0;
};

inline BiasNetwork BiasOf(const AmplifierDesign& design)
{
    if (const auto* ce = dynamic_cast<const CommonEmitterDesign*>(&design)) {
        const auto& r = ce->Results();
        return {ce->Inputs().Value(InputField::SupplyVoltage),
                r.m_R1,
                r.m_R2,
                r.m_R3,
                r.m_R4 + r.m_R5,
                ce->Inputs().TransistorIndex()};
    }
    if (const auto* cb = dynamic_cast<const CommonBaseDesign*>(&design)) {
        const auto& r = cb->Results();
        return {cb->Inputs().Value(InputField::SupplyVoltage),
                r.m_R3,
                r.m_R4,
                r.m_R2,
                r.m_R1,
                cb->Inputs().TransistorIndex()};
    }
    const auto& cc = dynamic_cast<const CommonCollectorDesign&>(design);
    const auto& r = cc.Results();
    return {cc.Inputs().Value(InputField::SupplyVoltage),
            r.m_R1,
            r.m_R2,
            0.0,
            r.m_R3,
            cc.Inputs().TransistorIndex()};
}

struct BiasPoint {
    double ic = 0.0, uce = 0.0, ib = 0.0;
};

// Solves the bias network with TransistorModel: the collector current at
// which the divider's Thevenin voltage, less the drop of the base current
// across its resistance, equals the transistor's base-emitter voltage
// (TransistorModel's, which leaves out the drop across the card's RE, so
// that is added) plus the drop across the emitter resistor. At each trial
// current the base current is iterated with Uce. The solution is
// bracketed on a logarithmic grid of currents first (a card whose leakage
// outweighs its base current at small currents has no model solution
// there), then found by bisection.
inline BiasPoint SolveBias(const BiasNetwork& net)
{
    TransistorModel model;
    model.SelectTransistor(net.transistor);
    const double cardRe = model.GetRecord().RE;
    const double thevenin = net.supply * net.bottom / (net.top + net.bottom);
    const double resistance = net.top * net.bottom / (net.top + net.bottom);

    enum class Side { Below, Above, Unknown };
    BiasPoint point;
    // Whether ic lies below or above the solution.
    const auto sideOf = [&](double ic) {
        double ib = 0.0;
        double uce = 0.0;
        double vbe = 0.0;
        for (int k = 0; k < 100; ++k) {
            uce = net.supply - ic * net.collector - (ic + ib) * net.emitter;
            if (uce < TransistorModel::LowestVoltage) {
                return Side::Above; // more current than the network can carry
            }
            model.SetOperatingPoint(ic, uce);
            const double next = model.GetBaseCurrent();
            vbe = model.GetBaseEmitterVoltage();
            if (next == ib) {
                break;
            }
            ib = next;
        }
        if (!model.IsValid()) {
            return Side::Unknown;
        }
        point = {ic, uce, ib};
        const double excess = thevenin - ib * resistance - vbe - (ic + ib) * (cardRe + net.emitter);
        return excess > 0 ? Side::Below : Side::Above;
    };

    double low = 0.0;
    double high = 0.0;
    const double top = net.supply / net.emitter;
    constexpr int GridPoints = 400;
    double previous = 0.0;
    for (int i = 0; i <= GridPoints && high == 0.0; ++i) {
        const double ic = 1e-9 * std::pow(top / 1e-9, static_cast<double>(i) / GridPoints);
        const Side side = sideOf(ic);
        if (side == Side::Below) {
            previous = ic;
        } else if (side == Side::Above && previous > 0.0) {
            low = previous;
            high = ic;
        }
    }
    for (int step = 0; step < 100 && high > 0.0; ++step) {
        const double ic = 0.5 * (low + high);
        if (sideOf(ic) == Side::Below) {
            low = ic;
        } else {
            high = ic;
        }
    }
    sideOf(low);
    return point;
}

} // namespace norvane::testing
