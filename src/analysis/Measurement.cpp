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

Expected<std::size_t> MeasureSweep(const SignalSweep& sweep, double highestMidFrequency, bool withBode,
                                   SimulationResult& result)
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
    const std::size_t mid = band.m_MidIndex;
    result.m_MidbandFrequency = band.m_MidFrequency;
    result.m_GainDb = band.m_MidGainDb;
    result.m_LowerCutoff = band.m_LowerCutoff;
    result.m_UpperCutoff = band.m_UpperCutoff;
    // The current into the circuit is the one VIN drives out of its +
    // terminal: -I(VIN).
    result.m_InputImpedance = std::abs(sweep.m_In[mid] / -sweep.m_SourceCurrent[mid]);
    if (withBode) {
        result.m_Bode = MakeBode(sweep.m_Frequency, gain, mid);
    }
    return mid;
}

} // namespace norvane
