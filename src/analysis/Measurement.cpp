#include "analysis/Measurement.h"

#include <algorithm>
#include <cmath>

namespace norvane {

bool AllFinite(const std::vector<std::complex<double>>& values)
{
    return std::all_of(values.begin(), values.end(), [](const std::complex<double>& v) {
        return std::isfinite(v.real()) && std::isfinite(v.imag());
    });
}

void SweepFigures::CopyTo(SimulationResult& result) const
{
    result.m_MidbandFrequency = m_MidbandFrequency;
    result.m_GainDb = m_GainDb;
    result.m_LowerCutoff = m_LowerCutoff;
    result.m_UpperCutoff = m_UpperCutoff;
    result.m_InputImpedance = m_InputImpedance;
    result.m_Bode = m_Bode;
}

Expected<SweepFigures> MeasureSweep(const SignalSweep& sweep, double highestMidFrequency, bool withBode)
{
    const std::size_t n = sweep.m_Frequency.size();
    if (n < 2 || sweep.m_In.size() != n || sweep.m_Driven.size() != n || sweep.m_Out.size() != n ||
        sweep.m_SourceCurrent.size() != n || !AllFinite(sweep.m_In) || !AllFinite(sweep.m_Out) ||
        !AllFinite(sweep.m_Driven) || !AllFinite(sweep.m_SourceCurrent)) {
        return Failure{"the simulation results are no usable numbers"};
    }
    std::vector<std::complex<double>> gain(n);
    for (std::size_t i = 0; i < n; ++i) {
        gain[i] = sweep.m_Out[i] / sweep.m_Driven[i];
    }
    const PassBand band = FindPassBand(sweep.m_Frequency, gain, highestMidFrequency);
    if (std::isnan(band.m_MidGainDb)) {
        return Failure{"the simulated response has no pass band (no signal at the output)"};
    }
    SweepFigures figures;
    figures.m_MidIndex = band.m_MidIndex;
    figures.m_MidbandFrequency = band.m_MidFrequency;
    figures.m_GainDb = band.m_MidGainDb;
    figures.m_LowerCutoff = band.m_LowerCutoff;
    figures.m_UpperCutoff = band.m_UpperCutoff;
    // The current into the circuit is the one VIN drives out of its +
    // terminal: -I(VIN).
    figures.m_InputImpedance =
        std::abs(sweep.m_In[band.m_MidIndex] / -sweep.m_SourceCurrent[band.m_MidIndex]);
    if (withBode) {
        figures.m_Bode = MakeBode(sweep.m_Frequency, gain, band.m_MidIndex);
    }
    return figures;
}

} // namespace norvane
