#include "design/DesignRules.h"

namespace norvane {

BaseDivider DesignBaseDivider(double supply, double baseVoltage, double baseCurrent, StandardSeries series)
{
    double upperCurrent = DividerCurrentInBaseCurrents * baseCurrent;
    double lowerCurrent = upperCurrent - baseCurrent;
    BaseDivider divider;
    divider.m_Lower = baseVoltage / lowerCurrent;
    RoundToSeries(divider.m_Lower, series);
    lowerCurrent = baseVoltage / divider.m_Lower;
    upperCurrent = lowerCurrent + baseCurrent;
    divider.m_Upper = (supply - baseVoltage) / upperCurrent;
    RoundToSeries(divider.m_Upper, series);
    return divider;
}

void LowerForInputImpedance(BaseDivider& divider, double supply, double baseVoltage, double baseCurrent,
                            double requiredImpedance, double baseResistance, StandardSeries series)
{
    if (!(requiredImpedance < 1 / BaseNodeConductance(divider, baseResistance))) {
        return;
    }
    const double parallel = 1 / (1 / requiredImpedance - 1 / baseResistance);
    divider.m_Upper = supply / (baseVoltage / parallel + baseCurrent);
    RoundToSeries(divider.m_Upper, series);
    const double upperCurrent = (supply - baseVoltage) / divider.m_Upper;
    const double lowerCurrent = upperCurrent - baseCurrent;
    divider.m_Lower = baseVoltage / lowerCurrent;
    RoundToSeries(divider.m_Lower, series);
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
