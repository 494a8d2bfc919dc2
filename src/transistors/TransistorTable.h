#pragma once

// The built-in library of bipolar transistor models: one constant table of
// Gummel-Poon model cards, sorted by type name. Everything else names a
// transistor type by its index in this table.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace norvane {

// One model card. The 39 parameters follow the alphabetical order of their
// SPICE names, in SI base units. 1.7e308 stands for an infinite value
// (a parameter left at its infinite default).
// The parameters keep the names SPICE gives them, so that a record reads
// like its card (card.BF, card.IS); name and polarity stay plain beside
// them.
// NOLINTBEGIN(readability-identifier-naming)
struct TransistorRecord {
    const char* name;      // type name, e.g. "BC548B"
    std::int32_t polarity; // 'N' (NPN) or 'P' (PNP)
    double AF;
    double BF;
    double BR;
    double CJC;
    double CJE;
    double CJS;
    double FC;
    double IKF;
    double IKR;
    double IRB;
    double IS;
    double ISC;
    double ISE;
    double ITF;
    double KF;
    double MJC;
    double MJE;
    double MJS;
    double NC;
    double NE;
    double NF;
    double NR;
    double PTF;
    double RB;
    double RBM;
    double RC;
    double RE;
    double TF;
    double TR;
    double VAF;
    double VAR;
    double VJC;
    double VJE;
    double VJS;
    double VTF;
    double XCJC;
    double XTB;
    double XTF;
    double XTI;
};
// NOLINTEND(readability-identifier-naming)

inline constexpr int TransistorParameterCount = 39;

// The value that stands for an infinite parameter.
inline constexpr double InfiniteParameter = 1.7e308;

// SPICE names of the 39 parameters, in record order.
extern const char* const TransistorParameterNames[TransistorParameterCount];

// Reads parameter k (0 to 38, in record order) of a record.
double TransistorParameter(const TransistorRecord& record, int k);

// The whole table (generated at build time), sorted strictly ascending by
// the byte-wise order of the names. The table stores its cards in another
// form (transistors/StoredTransistorRecord.h says why): these records are
// made from them on the first call, as by GetTransistorRecord.
std::span<const TransistorRecord> TransistorTable();

int GetTransistorCount();

// A copy of the record; the index is not checked. Its name points into the
// table, which lives as long as the program.
TransistorRecord GetTransistorRecord(int index);

// Index of the record whose name equals name exactly, or -1.
int FindTransistor(const char* name);
// The same for a typed text: a text holding a NUL byte names no type (it
// would otherwise match the name before the NUL).
int FindTransistor(std::string_view name);

bool IsPnpTransistor(int index);

// Germanium types are the ones whose name begins with 'A'.
bool IsGermaniumTransistor(int index);

// 0.2 V for germanium types, 0.6 V otherwise.
double GetNominalBaseEmitterVoltage(int index);

} // namespace norvane
