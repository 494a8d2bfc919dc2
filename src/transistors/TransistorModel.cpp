#include "transistors/TransistorModel.h"

#include <cmath>

namespace norvane {

namespace {

// Presence threshold of IKF and IKR: a smaller value leaves the term out.
constexpr double RollOffThreshold = 1e-20;
// IRB above this selects the simple base-resistance formula.
constexpr double InfiniteIrb = 1e20;
// Four and five digits of 144/pi^2 and pi^2/24.
constexpr double BaseResistanceK1 = 14.59;
constexpr double BaseResistanceK2 = 0.41123;

} // namespace

TransistorModel::TransistorModel()
{
    SelectTransistor(0);
}

void TransistorModel::SelectTransistor(int index)
{
    m_Index = index;
    m_Record = GetTransistorRecord(index);
    Recompute();
}

void TransistorModel::SelectRecord(const TransistorRecord& record)
{
    m_Index = -1;
    m_Record = record;
    Recompute();
}

void TransistorModel::SetTemperature(double celsius)
{
    m_Temperature = celsius;
    m_TemperatureChanged = true;
}

double TransistorModel::GetThermalVoltage() const
{
    return (m_Temperature + KelvinOffset) * BoltzmannOverCharge;
}

void TransistorModel::SetOperatingPoint(double collectorCurrent, double collectorEmitterVoltage)
{
    m_Ic = collectorCurrent;
    m_Vce = collectorEmitterVoltage;
    Recompute();
}

void TransistorModel::Recompute()
{
    m_TemperatureChanged = false;
    if (!(m_Ic >= LowestCurrent) || !(m_Vce >= LowestVoltage)) {
        m_Valid = false;
        m_Status = ModelStatus::OutsideLimits;
        return;
    }
    const double previousIb = m_Ib;
    const double previousVbe = m_Vbe;
    const double previousQb = m_Qb;

    // The plain bisection carries the base current of one trial into the
    // emitter-resistance drop of the next. When a trial near the top of the
    // interval leaves a huge base current behind, the next trial's
    // exponentials overflow and the search ends on no number, or on a base
    // current above the collector current. Only then is the search run
    // again with the base current guarded; wherever the plain search gives
    // a sensible answer, that answer stands unchanged.
    bool converged = Bisect(false);
    if (!ResultIsPlausible()) {
        converged = Bisect(true);
    }
    if (!ResultIsPlausible()) {
        m_Ib = previousIb;
        m_Vbe = previousVbe;
        m_Qb = previousQb;
        m_Valid = false;
        m_Status = ModelStatus::NoNumber;
        return;
    }
    m_Valid = true;
    m_Status = converged ? ModelStatus::Solved : ModelStatus::NotConverged;
}

bool TransistorModel::Bisect(bool guardBaseCurrent)
{
    double lo = 0.0;
    double hi = MaxJunctionVoltage;
    double v = (lo + hi) * 0.5;
    const double tolerance = m_Ic * RelativeTolerance;
    const double startIb = m_Ic / m_Record.BF;
    m_Ib = startIb;

    bool converged = false;
    for (int step = 0; step < MaxBisectionSteps; ++step) {
        if (guardBaseCurrent && !(std::fabs(m_Ib) < m_Ic)) {
            m_Ib = startIb;
        }
        const double ibBefore = m_Ib;
        const double vBefore = v;
        const double loBefore = lo;
        const double hiBefore = hi;
        const double i = CollectorCurrentAt(v);
        if (std::fabs(i - m_Ic) < tolerance) {
            converged = true;
            break;
        }
        if (i <= m_Ic) {
            lo = v;
        } else {
            hi = v;
        }
        v = (lo + hi) * 0.5;
        // Once the interval cannot shrink any further and the base current
        // repeats, every remaining step would repeat this one exactly.
        if (v == vBefore && lo == loBefore && hi == hiBefore &&
            (m_Ib == ibBefore || (std::isnan(m_Ib) && std::isnan(ibBefore)))) {
            break;
        }
    }
    m_Vbe = v + m_Ib * BaseResistance();
    return converged;
}

// Finite, and a base current below the collector current: no card of the
// library has a current gain below one.
bool TransistorModel::ResultIsPlausible() const
{
    return std::isfinite(m_Vbe) && std::isfinite(m_Ib) && m_Ib < m_Ic;
}

double TransistorModel::GetBaseEmitterVoltage()
{
    if (!m_Valid && m_TemperatureChanged) {
        Recompute();
    }
    return m_Vbe;
}

double TransistorModel::GetBaseCurrent()
{
    if (!m_Valid && m_TemperatureChanged) {
        Recompute();
    }
    return m_Ib;
}

double TransistorModel::CollectorCurrentAt(double v)
{
    const TransistorRecord& r = m_Record;
    const double vt = GetThermalVoltage();
    const double forward = r.IS * (std::exp(v / (r.NF * vt)) - 1);
    const double vbc = v - (m_Vce - m_Ic * r.RC - (m_Ic + m_Ib) * r.RE);
    const double reverse = r.IS * (std::exp(vbc / (r.NR * vt)) - 1);
    const double leakageC = r.ISC * (std::exp(vbc / (r.NC * vt)) - 1);
    const double leakageE = r.ISE * (std::exp(v / (r.NE * vt)) - 1);
    m_Ib = forward / r.BF + reverse / r.BR + leakageE + leakageC;
    const double q1 = 1 / (1 - vbc / r.VAF - v / r.VAR);
    double q2 = 0;
    if (r.IKF >= RollOffThreshold) {
        q2 = q2 + forward / r.IKF;
    }
    if (r.IKR >= RollOffThreshold) {
        q2 = q2 + reverse / r.IKR;
    }
    m_Qb = q1 * (1 + std::pow(1 + 4 * q2, 0.5)) * 0.5;
    return (forward - reverse) / m_Qb - reverse / r.BR - leakageC;
}

double TransistorModel::BaseResistance() const
{
    const TransistorRecord& r = m_Record;
    // An IRB of 0 (or below) means "not given" in SPICE, that is infinite.
    if (r.IRB > InfiniteIrb || !(r.IRB > 0)) {
        return r.RBM + (r.RB - r.RBM) / m_Qb;
    }
    const double x = m_Ib / r.IRB;
    if (!(x > 0)) {
        // No base current flows in (leakage dominates): the current-dependent
        // resistance takes its zero-current limit, RB.
        return r.RB;
    }
    const double z = (std::pow(1 + BaseResistanceK1 * x, 0.5) - 1) * BaseResistanceK2 / std::pow(x, 0.5);
    if (!(z > 0)) {
        return r.RB; // x too small to move the square root: the same limit
    }
    const double tanZ = std::tan(z);
    return r.RBM + 3 * (r.RB - r.RBM) * (tanZ - z) / (z * std::pow(tanZ, 2));
}

} // namespace norvane
