#include "design/DesignRules.h"

namespace norvane {

BaseDivider DesignBaseDivider(double supply, double baseVoltage, double baseCurrent, StandardSeries series)
{
    double upperCurrent = DividerCurrentInBaseCurrents * baseCurrent;
    double lowerCurrent = upperCurrent - baseCurrent;
    BaseDivider divider;
    divider.lower = baseVoltage / lowerCurrent;
    RoundToSeries(divider.lower, series);
    lowerCurrent = baseVoltage / divider.lower;
    upperCurrent = lowerCurrent + baseCurrent;
    divider.upper = (supply - baseVoltage) / upperCurrent;
    RoundToSeries(divider.upper, series);
    return divider;
}

void LowerForInputImpedance(BaseDivider& divider, double supply, double baseVoltage, double baseCurrent,
                            double requiredImpedance, double baseResistance, StandardSeries series)
{
    if (!(requiredImpedance < 1 / BaseNodeConductance(divider, baseResistance))) {
        return;
    }
    const double parallel = 1 / (1 / requiredImpedance - 1 / baseResistance);
    divider.upper = supply / (baseVoltage / parallel + baseCurrent);
    RoundToSeries(divider.upper, series);
    const double upperCurrent = (supply - baseVoltage) / divider.upper;
    const double lowerCurrent = upperCurrent - baseCurrent;
    divider.lower = baseVoltage / lowerCurrent;
    RoundToSeries(divider.lower, series);
}

double CornerFrequency::Capacitor(double conductance) const
{
    double c = (1 / m_Omega) * conductance;
    RoundToSeries(c, CapacitorSeries);
    return c;
}

double CornerFrequency::CapacitorAgainst(double resistance) const
{
    double c = 1 / (m_Omega * resistance);
    RoundToSeries(c, CapacitorSeries);
    return c;
}

} // namespace norvane
