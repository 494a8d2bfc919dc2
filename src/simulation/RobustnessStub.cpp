// Stand-in results of plausible shape until the analyses are built.
#include "simulation/Robustness.h"

#include <cmath>

namespace norvane {

namespace {

Distribution Around(double nominal, double spread, std::mt19937_64& random, int runs)
{
    std::vector<double> values;
    for (int i = 0; i < runs; ++i) {
        values.push_back(DrawWithin(nominal, spread, random));
    }
    return MakeDistribution(values);
}

} // namespace

Expected<ToleranceAnalysis> AnalyseTolerances(const AmplifierDesign& design, const VerificationOptions&,
                                              const ToleranceOptions& options,
                                              const AnalysisProgress& progress)
{
    std::mt19937_64 random(options.m_Seed);
    ToleranceAnalysis a;
    a.m_Runs = options.m_Runs;
    a.m_Simulated = options.m_Runs;
    a.m_Meeting = options.m_Runs * 9 / 10;
    a.m_Seed = options.m_Seed;
    a.m_ResistorTolerance = ResistorTolerance(12 << design.Inputs().SeriesIndex());
    for (int i = 0; i < options.m_Runs; ++i) {
        if (progress && !progress(i, options.m_Runs)) {
            return Failure{AnalysisCancelled};
        }
    }
    a.m_Ic = Around(2.6e-3, 0.1, random, a.m_Runs);
    a.m_Uce = Around(5.8, 0.1, random, a.m_Runs);
    a.m_GainDb = Around(19.5, 0.03, random, a.m_Runs);
    a.m_InputImpedance = Around(42e3, 0.1, random, a.m_Runs);
    a.m_OutputImpedance = Around(2e3, 0.05, random, a.m_Runs);
    a.m_LowerCutoff = Around(8, 0.2, random, a.m_Runs);
    a.m_Misses = {{"Ic", 40}, {"gain", 10}};
    return a;
}

Expected<ToleranceAnalysis> RunTolerances(const AmplifierCircuit&, const SimulationOptions&, double,
                                          const ToleranceOptions&,
                                          const std::function<bool(const SimulationResult&)>&,
                                          const AnalysisProgress&)
{
    return Failure{"not built yet"};
}

Expected<TemperatureAnalysis> AnalyseTemperature(const AmplifierDesign&, const VerificationOptions&,
                                                 const AnalysisProgress&)
{
    TemperatureAnalysis a;
    a.m_MidbandFrequency = 1000;
    for (double t : AnalysisTemperatures) {
        a.m_Points.push_back(
            {t, 2.6e-3 * (1 + 0.001 * (t - 25)), 5.8 - 0.002 * (t - 25), 19.5 - 0.005 * (t - 25)});
    }
    return a;
}

Expected<DistortionAnalysis> MeasureDistortion(const AmplifierCircuit&, const SimulationOptions&,
                                               double outputAmplitude, double frequency,
                                               const AnalysisProgress&)
{
    DistortionAnalysis a;
    a.m_Headroom.m_Rising = 4.2;
    a.m_Headroom.m_RisingEdge = "cut-off";
    a.m_Headroom.m_Falling = 5.0;
    a.m_Headroom.m_FallingEdge = "saturation";
    a.m_Frequency = frequency;
    a.m_Amplitude = outputAmplitude;
    a.m_InputAmplitude = outputAmplitude / 9.4;
    a.m_ThdPercent = 0.0217;
    a.m_Harmonics = {0.5, 1e-4, 1e-5, 1e-6, 1e-6, 1e-6, 1e-6, 1e-6, 1e-6};
    const double period = 1 / frequency;
    for (int i = 0; i <= 200; ++i) {
        const double t = period * i / 200;
        a.m_Waveform.emplace_back(19 * period + t, -outputAmplitude * std::sin(2 * M_PI * i / 200.0));
    }
    for (int i = -100; i <= 100; ++i) {
        const double vin = i * 0.01;
        a.m_Transfer.emplace_back(vin, std::clamp(-9.4 * vin, -5.0, 4.2));
    }
    return a;
}

Expected<DistortionAnalysis> AnalyseDistortion(const AmplifierDesign& design, const VerificationOptions&,
                                               const AnalysisProgress& progress)
{
    return MeasureDistortion({}, {}, 0.5, 10 * design.Inputs().Value(InputField::LowerCutoff), progress);
}

Expected<NoiseAnalysis> MeasureNoise(const std::string&, double spotFrequency, double sourceResistance)
{
    NoiseAnalysis a;
    a.m_SourceResistance = sourceResistance;
    a.m_SpotFrequency = spotFrequency;
    a.m_InputDensity = 2.013e-9;
    a.m_InputTotal = 2.927e-7;
    a.m_OutputTotal = 2.75e-6;
    for (int i = 0; i <= 60; ++i) {
        const double f = 20 * std::pow(10.0, i / 20.0);
        a.m_Spectrum.emplace_back(f, 2e-9 * (1 + 100 / f));
    }
    return a;
}

Expected<NoiseAnalysis> AnalyseNoise(const AmplifierDesign& design, const VerificationOptions& verification,
                                     const AnalysisProgress&)
{
    return MeasureNoise({}, std::max(NoiseSpotFrequency, 10 * design.Inputs().Value(InputField::LowerCutoff)),
                        verification.m_SourceResistance);
}

} // namespace norvane
