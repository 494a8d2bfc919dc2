#pragma once

// DC model of one bipolar transistor at an operating point: for a collector
// current and a collector-emitter voltage it finds the base current and the
// base-emitter voltage from the Gummel-Poon equations, solving for the
// internal base-emitter voltage by bisection. PNP types are evaluated with
// positive magnitudes like NPN types.

#include "transistors/TransistorTable.h"

namespace norvane {

// How the last solve ended.
enum class ModelStatus {
    Solved,        // the bisection met its tolerance
    OutsideLimits, // collector current below 1e-12 A or voltage below 1 V
    NotConverged,  // the transistor cannot carry the current with up to
                   // 1.5 V at its junction; results are the interval's top
    NoNumber,      // the equations gave no finite result at this point
};

class TransistorModel {
public:
    static constexpr double KelvinOffset = 273.15;
    static constexpr double BoltzmannOverCharge = 8.617343e-5; // V/K
    static constexpr double LowestCurrent = 1e-12;             // A
    static constexpr double LowestVoltage = 1.0;               // V
    static constexpr double MaxJunctionVoltage = 1.5;          // V
    static constexpr int MaxBisectionSteps = 10000;
    static constexpr double RelativeTolerance = 1e-10;

    TransistorModel();

    void SelectTransistor(int index);
    // Evaluates a card that is not (or not as it stands) in the table; the
    // index becomes -1.
    void SelectRecord(const TransistorRecord& record);
    // Takes effect at the next solve.
    void SetTemperature(double celsius);
    double GetThermalVoltage() const;
    void SetOperatingPoint(double collectorCurrent, double collectorEmitterVoltage);
    void Recompute();

    double GetBaseEmitterVoltage();
    double GetBaseCurrent();

    // True when the base current and base-emitter voltage belong to the
    // present operating point and are finite numbers. Otherwise the getters
    // return the results of the last good solve (0 if there was none).
    bool IsValid() const { return m_Valid; }
    ModelStatus GetStatus() const { return m_Status; }

    // The operating point last set.
    double GetCollectorEmitterVoltage() const { return m_Vce; }

    int GetIndex() const { return m_Index; }
    const TransistorRecord& GetRecord() const { return m_Record; }

private:
    // One bisection over the junction voltage; returns whether it met the
    // tolerance. With guardBaseCurrent, a base current left behind by a
    // trial far off the solution (larger than the collector current, or no
    // number) is reset to its starting value before the next trial.
    bool Bisect(bool guardBaseCurrent);
    bool ResultIsPlausible() const;
    double CollectorCurrentAt(double v);
    double BaseResistance() const;

    TransistorRecord m_Record{};
    double m_Temperature = 25.0;
    int m_Index = 0;
    double m_Ic = 0.0;
    double m_Vce = 0.0;
    double m_Ib = 0.0;
    double m_Vbe = 0.0;
    double m_Qb = 1.0;
    bool m_Valid = false;
    ModelStatus m_Status = ModelStatus::OutsideLimits;
    // The temperature changed since the last solve.
    bool m_TemperatureChanged = false;
};

} // namespace norvane
