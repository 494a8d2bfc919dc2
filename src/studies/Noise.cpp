#include "studies/Noise.h"

#include "studies/StudySupport.h"

#include <cmath>
#include <tuple>

namespace norvane {

using namespace robustness;

namespace {

// The band the totals are taken over (RobustnessResults.h), from a sweep of
// the stage's gain, the output over the input noise of a noise analysis.
Expected<std::pair<double, double>> NoiseBandOf(SimulationSession& session, double lowerCorner)
{
    const double high = std::fmax(NoiseBandHigh, NoisePassBandSpan * lowerCorner);
    if (const Status ran =
            session.Analyse("noise v(out) vin dec 20 " + SpiceNumber(std::fmin(NoiseBandLow, lowerCorner)) +
                            " " + SpiceNumber(high));
        !ran) {
        return NotSimulated(ran);
    }
    const Expected<std::vector<double>> input = session.ReadReal("inoise_spectrum");
    const Expected<std::vector<double>> output = session.ReadReal("onoise_spectrum");
    const Expected<std::vector<double>> frequency = session.ReadReal("frequency");
    session.ForgetResults();
    if (!input || !output || !frequency || input->size() != frequency->size() ||
        output->size() != frequency->size()) {
        return Failure{"not simulated: the noise analysis gave no numbers"};
    }
    // The upper corner: where the gain, past its largest at or above the
    // lower corner, has fallen by 3 dB.
    double largest = 0.0;
    double upper = high;
    for (std::size_t i = 0; i < frequency->size(); ++i) {
        const double gain = (*input)[i] > 0 ? (*output)[i] / (*input)[i] : 0.0;
        if ((*frequency)[i] < lowerCorner * (1 - 1e-9)) {
            continue;
        }
        if (gain > largest) {
            largest = gain;
        } else if (gain < largest / std::sqrt(2.0)) {
            upper = (*frequency)[i];
            break;
        }
    }
    if (lowerCorner <= NoiseBandLow && upper >= NoiseBandHigh) {
        return std::pair{NoiseBandLow, NoiseBandHigh};
    }
    return std::pair{lowerCorner, upper};
}

} // namespace

Expected<NoiseAnalysis> MeasureNoise(const std::string& netlist, double spotFrequency,
                                     double sourceResistance, double lowerCorner)
{
    SimulationSession session;
    if (!session.Ready()) {
        return SessionFailure(session);
    }
    if (const Status loaded = session.Load(netlist); !loaded) {
        return NotSimulated(loaded);
    }
    NoiseAnalysis analysis;
    analysis.m_SourceResistance = sourceResistance;
    analysis.m_SpotFrequency = spotFrequency;
    const std::string spot = SpiceNumber(spotFrequency);
    if (const Status ran = session.Analyse("noise v(out) vin lin 1 " + spot + " " + spot); !ran) {
        return NotSimulated(ran);
    }
    const Expected<double> spotDensity = session.ReadValue("inoise_spectrum");
    if (!spotDensity) {
        return Failure{"not simulated: the noise analysis gave no numbers"};
    }
    analysis.m_InputDensity = *spotDensity;
    session.ForgetResults();
    if (lowerCorner > 0 && std::isfinite(lowerCorner)) {
        const Expected<std::pair<double, double>> band = NoiseBandOf(session, lowerCorner);
        if (!band) {
            return Failure{band.Message()};
        }
        std::tie(analysis.m_BandLow, analysis.m_BandHigh) = *band;
        analysis.m_AudioBand = analysis.m_BandLow == NoiseBandLow && analysis.m_BandHigh == NoiseBandHigh;
    }
    // 20 points a decade, each a small-signal solve: within the limit of
    // any simulation.
    if (const Status ran = session.Analyse("noise v(out) vin dec 20 " + SpiceNumber(analysis.m_BandLow) +
                                           " " + SpiceNumber(analysis.m_BandHigh));
        !ran) {
        return NotSimulated(ran);
    }
    const Expected<std::vector<double>> density = session.ReadReal("inoise_spectrum");
    const Expected<std::vector<double>> frequency = session.ReadReal("frequency");
    const Expected<double> outputTotal = session.ReadValue("onoise_total");
    if (!density || !frequency || frequency->size() != density->size() || !outputTotal) {
        return Failure{"not simulated: the noise analysis gave no numbers"};
    }
    analysis.m_OutputTotal = *outputTotal;
    for (std::size_t i = 0; i < frequency->size(); ++i) {
        analysis.m_Spectrum.emplace_back((*frequency)[i], (*density)[i]);
    }
    analysis.m_InputTotal = IntegrateDensity(analysis.m_Spectrum);
    return analysis;
}

Expected<NoiseAnalysis> AnalyseNoise(const AmplifierDesign& design, const VerificationOptions& verification,
                                     const AnalysisProgress& progress)
{
    Expected<AmplifierCircuit> circuit = CircuitFor(design, verification);
    if (!circuit) {
        return Failure{circuit.Message()};
    }
    if (!GoOn(progress, 0, 1)) {
        return CancelledFailure();
    }
    const SimulationOptions simulation = SimulationOf(verification);
    Expected<NoiseAnalysis> noise = MeasureNoise(
        SessionNetlist(*circuit, simulation), std::fmax(NoiseSpotFrequency, 10.0 * circuit->m_LowerCutoff),
        simulation.m_SourceResistance > 0 ? simulation.m_SourceResistance : 0.0, circuit->m_LowerCutoff);
    GoOn(progress, 1, 1);
    return noise;
}

} // namespace norvane
