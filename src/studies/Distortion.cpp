#include "studies/Distortion.h"

#include "ngspice/LogRules.h"
#include "studies/StudySupport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <numbers>

namespace norvane {

using namespace robustness;

namespace {

// The headroom sweep runs out from the operating point in steps of
// HeadroomRange / HeadroomSteps of the input, HeadroomChunk steps to a DC
// analysis, until an edge is passed: the transistor is never driven far
// past it (a junction forced several volts forward by an ideal source
// would ask for currents no simulator converges on).
constexpr int HeadroomSteps = 200;
constexpr int HeadroomChunk = 5;
// The input range: a little more than the supply over the stage's gain
// (the output can swing no further than the supply), and what the
// transistor's own exponential needs on top to take its current down to
// CutoffCurrentShare (ln 100 x VT = 0.12 V at 25 degC, with room for
// emission coefficients above 1 and for the cold).
constexpr double HeadroomRange = 1.1;
constexpr double HeadroomJunctionRange = 0.25; // V

// The transient of the distortion run: this many periods, the last of
// which fourier reads (the coupling capacitors settle by then), at most
// a step of a period over TransientStepsPerPeriod.
constexpr int TransientPeriods = 40;
constexpr int TransientStepsPerPeriod = 500;
// The time points the transient may take: the work of those periods
// bounds it, not the clock. The designs of every circuit at the bounds of
// their requirements take 20,008 to 20,034 points (the steps and the
// source's breakpoints), 0.5 to 0.7 s; a circuit whose time steps collapse
// (capacitors of megafarads at an f_min of 1e-8 Hz took 30,000 points for
// the first 0.02 % of its time) is stopped at twice that work, within
// 1.5 s, where the clock alone let it run 20 s and fill 300 MB.
constexpr int TransientPointBudget = 2 * TransientPeriods * TransientStepsPerPeriod;

// Sorted by input voltage.
using Curve = std::vector<std::pair<double, double>>;

// Where along one direction of the sweep the transistor leaves the active
// region: the output change there (V, signed) and which edge it is.
struct Edge {
    double m_Output = std::numeric_limits<double>::quiet_NaN();
    std::string m_Kind = "none";
};

// Walks the sweep from vin = 0 in direction (+1 or -1) until an edge.
Expected<Edge> WalkToEdge(SimulationSession& session, const AmplifierCircuit& circuit, double direction,
                          double range, double quiescentIc, Curve& transfer,
                          const std::function<bool()>& cancelled)
{
    const double step = range / HeadroomSteps;
    const double sign = circuit.m_IsPnp ? -1.0 : 1.0;
    double previousOut = 0.0, previousSat = 0.0, previousIc = 0.0, out0 = 0.0;
    bool first = true;
    Edge edge;
    for (int chunk = 0; chunk * HeadroomChunk < HeadroomSteps; ++chunk) {
        if (cancelled()) {
            return CancelledFailure();
        }
        const double from = direction * chunk * HeadroomChunk * step;
        const double to = direction * (chunk + 1) * HeadroomChunk * step;
        session.ForgetResults();
        if (const Status ran = session.Analyse("dc vin " + SpiceNumber(from) + " " + SpiceNumber(to) + " " +
                                                   SpiceNumber(direction * step),
                                               SimulationTimeLimit, cancelled);
            !ran) {
            if (ran.Is(FailureKind::Cancelled)) {
                return CancelledFailure();
            }
            // Past the operating point's neighbourhood a sweep that stops
            // converging ends the walk where it got to.
            if (first) {
                return Failure{"not simulated: headroom sweep: " + ran.Message()};
            }
            edge.m_Output = previousOut - out0;
            return edge;
        }
        const Expected<std::vector<double>> readVin = session.ReadReal("v-sweep");
        const Expected<std::vector<double>> readOut = session.ReadReal("out");
        const Expected<std::vector<double>> readBase = session.ReadReal(circuit.m_Base);
        const Expected<std::vector<double>> readCollector = session.ReadReal(circuit.m_Collector);
        const Expected<std::vector<double>> readIc = session.ReadReal("@q1[ic]");
        if (!readVin || !readOut || !readBase || !readCollector || !readIc) {
            return Failure{"not simulated: the headroom sweep gave no usable numbers"};
        }
        const std::vector<double>& vin = *readVin;
        const std::vector<double>& out = *readOut;
        const std::vector<double>& base = *readBase;
        const std::vector<double>& collector = *readCollector;
        const std::vector<double>& ic = *readIc;
        if (out.size() != vin.size() || base.size() != vin.size() || collector.size() != vin.size() ||
            ic.size() != vin.size()) {
            return Failure{"not simulated: the headroom sweep gave no usable numbers"};
        }
        // Each sweep starts where the one before ended.
        for (std::size_t i = chunk == 0 ? 0 : 1; i < vin.size(); ++i) {
            const double saturation = sign * (base[i] - collector[i]); // base-collector forward voltage
            const double current = sign * ic[i];
            if (first) {
                out0 = out[i];
                first = false;
            } else {
                // Where the two criteria cross, by linear interpolation.
                double at = 2.0;
                if (saturation >= SaturationJunctionVoltage) {
                    at = (SaturationJunctionVoltage - previousSat) / (saturation - previousSat);
                    edge.m_Kind = "saturation";
                }
                const double cutoff = CutoffCurrentShare * quiescentIc;
                if (current <= cutoff) {
                    const double atCutoff = (previousIc - cutoff) / (previousIc - current);
                    if (atCutoff < at) {
                        at = atCutoff;
                        edge.m_Kind = "cut-off";
                    }
                }
                if (at <= 1.0) {
                    at = std::clamp(at, 0.0, 1.0);
                    edge.m_Output = previousOut + at * (out[i] - previousOut) - out0;
                    transfer.emplace_back(vin[i] - (1 - at) * direction * step, edge.m_Output);
                    return edge;
                }
            }
            transfer.emplace_back(vin[i], out[i] - out0);
            previousOut = out[i];
            previousSat = saturation;
            previousIc = current;
        }
    }
    edge.m_Output = previousOut - out0;
    return edge;
}

// The headroom of the circuit; the session holds the circuit itself, and
// is left holding the frozen one.
Expected<Headroom> FindHeadroom(SimulationSession& session, const AmplifierCircuit& circuit,
                                const SimulationOptions& simulation, double gain, Curve& transfer,
                                const std::function<bool()>& cancelled)
{
    session.ForgetResults();
    if (const Status ran = session.Analyse("op", SimulationTimeLimit, cancelled); !ran) {
        return NotSimulated(ran);
    }
    const auto voltage = [&](const std::string& node) {
        return node == "0" ? Expected<double>(0.0) : session.ReadValue(node);
    };
    // Every capacitor held at its operating-point voltage: a DC source
    // named after it (C1 -> VC1) between the same nodes.
    AmplifierCircuit frozen = circuit;
    for (CircuitPart& part : frozen.m_Parts) {
        if (part.m_Name.starts_with('C')) {
            const Expected<double> a = voltage(part.m_NodeA);
            const Expected<double> b = voltage(part.m_NodeB);
            if (!a || !b) {
                return Failure{"not simulated: the operating point is incomplete"};
            }
            part.m_Name = "V" + part.m_Name;
            part.m_Value = *a - *b;
        }
    }
    const Expected<double> ic = session.ReadValue("@q1[ic]");
    if (!ic) {
        return Failure{"not simulated: the operating point is incomplete"};
    }
    const double quiescentIc = std::fabs(*ic);
    if (const Status loaded = session.Load(SessionNetlist(frozen, simulation)); !loaded) {
        return NotSimulated(loaded);
    }
    if (const Status saved = session.Change("save all @q1[ic]"); !saved) {
        return NotSimulated(saved);
    }
    const double range = HeadroomRange * circuit.m_SupplyVoltage / gain + HeadroomJunctionRange;
    Curve rising, falling;
    Expected<Edge> up = WalkToEdge(session, circuit, 1.0, range, quiescentIc, rising, cancelled);
    if (!up) {
        return Failure{up.Message()};
    }
    Expected<Edge> down = WalkToEdge(session, circuit, -1.0, range, quiescentIc, falling, cancelled);
    if (!down) {
        return Failure{down.Message()};
    }
    transfer.assign(falling.rbegin(), falling.rend());
    if (!transfer.empty() && !rising.empty()) {
        transfer.pop_back(); // the operating point, in both
    }
    transfer.insert(transfer.end(), rising.begin(), rising.end());

    // Which direction of the input moves the output up depends on the
    // stage (a common-emitter stage inverts).
    Headroom headroom;
    for (const Edge* edge : {&*up, &*down}) {
        if (edge->m_Output >= 0) {
            headroom.m_Rising = edge->m_Output;
            headroom.m_RisingEdge = edge->m_Kind;
        } else {
            headroom.m_Falling = -edge->m_Output;
            headroom.m_FallingEdge = edge->m_Kind;
        }
    }
    return headroom;
}

// Transient and fourier at outputAmplitude; gain is |H| at frequency.
Status MeasureThd(SimulationSession& session, const AmplifierCircuit& circuit,
                  const SimulationOptions& simulation, double outputAmplitude, double frequency, double gain,
                  DistortionAnalysis& analysis, const std::function<bool()>& cancelled)
{
    analysis.m_Frequency = frequency;
    analysis.m_Amplitude = outputAmplitude;
    analysis.m_InputAmplitude = outputAmplitude / gain;
    NetlistOptions netlist;
    netlist.m_SafeAreaCheck = true;
    netlist.m_SineAmplitude = analysis.m_InputAmplitude;
    netlist.m_SineFrequency = frequency;
    if (const Status loaded = session.Load(SessionNetlist(circuit, simulation, netlist)); !loaded) {
        return NotSimulated(loaded);
    }
    const double period = 1.0 / frequency;
    const double step = period / TransientStepsPerPeriod;
    const double stop = TransientPeriods * period;
    for (const char* setting : {"set nfreqs = 10", "set fourgridsize = 1000"}) {
        if (const Status set = session.Change(setting); !set) {
            return NotSimulated(set);
        }
    }
    session.ForgetResults();
    // ngspice pauses the run at the point budget (a breakpoint of the
    // circuit, gone with it).
    if (const Status budget = session.Change("stop after " + std::to_string(TransientPointBudget)); !budget) {
        return NotSimulated(budget);
    }
    const std::size_t logStart = session.Log().size();
    if (const Status ran =
            session.Analyse("tran " + SpiceNumber(step) + " " + SpiceNumber(stop) + " 0 " + SpiceNumber(step),
                            LongAnalysisLimit, cancelled);
        !ran) {
        return NotSimulated(ran);
    }
    const Expected<std::vector<double>> readTime = session.ReadReal("time");
    const Expected<std::vector<double>> readOut = session.ReadReal("out");
    if (!readTime || !readOut || readTime->size() != readOut->size()) {
        return Failure{"not simulated: the transient gave no usable numbers"};
    }
    if (readTime->back() < stop * (1 - 1e-9)) {
        return Failure{"not simulated: the transient needed more than " +
                       std::to_string(TransientPointBudget) + " time points for " +
                       std::to_string(TransientPeriods) + " periods and was stopped"};
    }
    analysis.m_SafeArea = ngspice::ReadSafeAreaExcursions(session.Log().substr(logStart));
    const std::vector<double>& time = *readTime;
    const std::vector<double>& out = *readOut;
    for (std::size_t i = 0; i < time.size(); ++i) {
        if (time[i] >= stop - period * (1 + 1e-9)) {
            analysis.m_Waveform.emplace_back(time[i], out[i]);
        }
    }
    Expected<std::string> fourier = session.Print("fourier " + SpiceNumber(frequency) + " v(out)");
    if (!fourier) {
        return NotSimulated(fourier);
    }
    const Expected<ngspice::FourierTable> table = ngspice::ReadFourier(*fourier, DistortionHarmonics);
    if (!table) {
        return NotSimulated(table);
    }
    analysis.m_ThdPercent = table->m_ThdPercent;
    analysis.m_Harmonics = table->m_Magnitudes;
    return {};
}

// The THD (%) of a sine of inputAmplitude (V peak) through the transfer
// curve of the headroom sweep, straight between its points; NaN where the
// sine leaves the curve.
double TransferThd(const Curve& transfer, double inputAmplitude)
{
    if (transfer.size() < 2 || !(inputAmplitude > 0) || inputAmplitude > -transfer.front().first ||
        inputAmplitude > transfer.back().first) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    constexpr int Samples = 256;
    std::array<std::complex<double>, DistortionHarmonics + 1> harmonics{};
    for (int i = 0; i < Samples; ++i) {
        const double phase = 2 * std::numbers::pi * i / Samples;
        const double input = inputAmplitude * std::sin(phase);
        const auto upper = std::upper_bound(transfer.begin() + 1, transfer.end() - 1, input,
                                            [](double v, const auto& point) { return v < point.first; });
        const auto& [x1, y1] = *upper;
        const auto& [x0, y0] = *(upper - 1);
        const double output = x1 > x0 ? y0 + (input - x0) / (x1 - x0) * (y1 - y0) : y1;
        for (int k = 1; k <= DistortionHarmonics; ++k) {
            harmonics[static_cast<std::size_t>(k)] += output * std::polar(1.0, -k * phase);
        }
    }
    double rest = 0.0;
    for (int k = 2; k <= DistortionHarmonics; ++k) {
        rest += std::norm(harmonics[static_cast<std::size_t>(k)]);
    }
    return 100.0 * std::sqrt(rest) / std::abs(harmonics[1]);
}

// Where the first transient of the search goes: the output peak at which
// the transfer curve, scaled by how far it was off at the distortion run,
// gives CleanThdPercent; the clipping limit where it stays below that.
double FirstGuess(const Curve& transfer, const DistortionAnalysis& measured, double gain,
                  double clippingLimit)
{
    const double scale = measured.m_ThdPercent / TransferThd(transfer, measured.m_InputAmplitude);
    if (!(scale > 0) || !std::isfinite(scale) || transfer.empty()) {
        return measured.m_Amplitude * CleanThdPercent / measured.m_ThdPercent;
    }
    const double reach = std::min(-transfer.front().first, transfer.back().first);
    const auto distorts = [&](double input) {
        return !(scale * TransferThd(transfer, input) < CleanThdPercent);
    };
    if (!distorts(reach)) {
        return clippingLimit;
    }
    double below = 0.0;
    double above = reach;
    for (int halving = 0; halving < 40; ++halving) {
        const double middle = (below + above) / 2;
        (distorts(middle) ? above : below) = middle;
    }
    return below * gain;
}

// The output peak where the stage distorts by CleanThdPercent, from the
// distortion run in `measured` on (RobustnessResults.h); NaN where the
// clipping limit comes first.
Expected<double> CleanAmplitude(SimulationSession& session, const AmplifierCircuit& circuit,
                                const SimulationOptions& simulation, double frequency, double gain,
                                const DistortionAnalysis& measured, double clippingLimit,
                                const std::function<bool()>& cancelled)
{
    double amplitude = measured.m_Amplitude;
    double thd = measured.m_ThdPercent;
    if (!(thd > 0) || !(amplitude > 0)) {
        return DistortionAnalysis::NaN;
    }
    double slope = 1.0;
    for (int run = 0; run < CleanAmplitudeRuns; ++run) {
        if (std::fabs(thd / CleanThdPercent - 1) <= CleanThdMatch) {
            return amplitude;
        }
        double next = run == 0 ? FirstGuess(measured.m_Transfer, measured, gain, clippingLimit)
                               : amplitude * std::pow(CleanThdPercent / thd, 1 / slope);
        if (next >= clippingLimit) {
            if (amplitude >= clippingLimit) {
                return DistortionAnalysis::NaN; // below the aim at the clipping limit itself
            }
            next = clippingLimit;
        }
        DistortionAnalysis trial;
        if (const Status ran =
                MeasureThd(session, circuit, simulation, next, frequency, gain, trial, cancelled);
            !ran) {
            return Failure{ran.Message()};
        }
        if (trial.m_ThdPercent > 0 && next != amplitude) {
            const double fitted = std::log(trial.m_ThdPercent / thd) / std::log(next / amplitude);
            slope = fitted > 0.2 ? fitted : 1.0;
        }
        amplitude = next;
        thd = trial.m_ThdPercent;
    }
    return std::fabs(thd / CleanThdPercent - 1) <= CleanThdMatch ? amplitude : DistortionAnalysis::NaN;
}

// |V(out) / V(driven)| at frequency, from the circuit loaded in session.
Expected<double> GainAt(SimulationSession& session, const SimulationOptions& simulation, double frequency,
                        const std::function<bool()>& cancelled)
{
    session.ForgetResults();
    const std::string f = SpiceNumber(frequency);
    if (const Status ran = session.Analyse("ac lin 1 " + f + " " + f, SimulationTimeLimit, cancelled); !ran) {
        return NotSimulated(ran);
    }
    const Expected<std::vector<std::complex<double>>> out = session.ReadComplex("out");
    const Expected<std::vector<std::complex<double>>> driven =
        session.ReadComplex(DrivenNode(simulation.m_SourceResistance));
    if (!out || !driven || std::abs(driven->front()) == 0 || std::abs(out->front()) == 0) {
        return Failure{"not simulated: the stage passes no signal at " + f + " Hz"};
    }
    return std::abs(out->front() / driven->front());
}

// Headroom, then distortion at the amplitude that amplitudeFor gives for
// the headroom found.
Expected<DistortionAnalysis> Distortion(const AmplifierCircuit& circuit, const SimulationOptions& simulation,
                                        double frequency, const std::function<double(double)>& amplitudeFor,
                                        const AnalysisProgress& progress)
{
    constexpr int Steps = 4;
    int done = 0;
    const auto cancelled = [&] { return !GoOn(progress, done, Steps); };
    SimulationSession session;
    if (!session.Ready()) {
        return SessionFailure(session);
    }
    if (const Status loaded = session.Load(SessionNetlist(circuit, simulation)); !loaded) {
        return NotSimulated(loaded);
    }
    const Expected<double> gain = GainAt(session, simulation, frequency, cancelled);
    if (!gain) {
        return Failure{gain.Message()};
    }
    ++done;
    DistortionAnalysis analysis;
    Expected<Headroom> headroom =
        FindHeadroom(session, circuit, simulation, *gain, analysis.m_Transfer, cancelled);
    if (!headroom) {
        return Failure{headroom.Message()};
    }
    analysis.m_Headroom = *headroom;
    ++done;
    if (cancelled()) {
        return CancelledFailure();
    }
    const double amplitude = amplitudeFor(headroom->Amplitude());
    if (!(amplitude > 0)) {
        return Failure{"not simulated: the stage has no headroom for a signal"};
    }
    if (const Status measured =
            MeasureThd(session, circuit, simulation, amplitude, frequency, *gain, analysis, cancelled);
        !measured) {
        return Failure{measured.Message()};
    }
    ++done;
    Expected<double> clean = CleanAmplitude(session, circuit, simulation, frequency, *gain, analysis,
                                            headroom->Amplitude(), cancelled);
    if (!clean) {
        return Failure{clean.Message()};
    }
    analysis.m_CleanAmplitude = *clean;
    ++done;
    GoOn(progress, done, Steps);
    return analysis;
}

} // namespace

Expected<DistortionAnalysis> MeasureDistortion(const AmplifierCircuit& circuit,
                                               const SimulationOptions& simulation, double outputAmplitude,
                                               double frequency, const AnalysisProgress& progress)
{
    if (const Status check = CheckCircuit(circuit); !check) {
        return NotSimulated(check);
    }
    return Distortion(
        circuit, simulation, frequency, [&](double) { return outputAmplitude; }, progress);
}

Expected<DistortionAnalysis> AnalyseDistortion(const AmplifierDesign& design,
                                               const VerificationOptions& verification,
                                               const AnalysisProgress& progress)
{
    Expected<AmplifierCircuit> circuit = CircuitFor(design, verification);
    if (!circuit) {
        return Failure{circuit.Message()};
    }
    return Distortion(
        *circuit, SimulationOf(verification), 10.0 * circuit->m_LowerCutoff,
        [](double headroom) { return std::fmin(DistortionAmplitude, headroom / 2); }, progress);
}

} // namespace norvane
