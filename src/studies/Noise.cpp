#include "studies/Noise.h"

#include "studies/StudySupport.h"

namespace norvane {

using namespace robustness;

Expected<NoiseAnalysis> MeasureNoise(const std::string& netlist, double spotFrequency,
                                     double sourceResistance)
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
    // 61 points, each a small-signal solve: within the limit of any
    // simulation.
    if (const Status ran = session.Analyse("noise v(out) vin dec 20 " + SpiceNumber(NoiseBandLow) + " " +
                                           SpiceNumber(NoiseBandHigh));
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
        simulation.m_SourceResistance > 0 ? simulation.m_SourceResistance : 0.0);
    GoOn(progress, 1, 1);
    return noise;
}

} // namespace norvane
