// Temporary seed: the four reference records, until the generated table is wired in.
#include "transistors/TransistorTable.h"
#include <cstring>
namespace norvane {
namespace {
constexpr TransistorRecord Records[] = {
    {"2N3904", 'N', 1.0, 416.4, 0.7371, 3.638e-12, 4.493e-12, 0.0, 0.5, 0.06678, 0.0, 1.7e+308, 6.734e-15, 0.0, 6.734e-15, 0.4, 0.0, 0.3085, 0.2593, 0.2593, 2.0, 1.259, 1.0, 1.0, 0.0, 10.0, 10.0, 1.0, 0.0, 3.012e-10, 2.395e-07, 74.03, 1.7e+308, 0.75, 0.75, 0.75, 4.0, 1.0, 1.5, 2.0, 3.0},
    {"AC187K", 'N', 0.0, 132.0, 1.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.7e+308, 1.435, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1e+20, 1e+20, 3.324, 1e+20, 0.0, 44.6, 0.0, 0.0, 0.0, 0.0, 0.0, 1e+20, 1e+20, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0},
    {"BC548B", 'N', 1.0, 294.3, 7.946, 3.728e-12, 1.358e-11, 0.0, 0.9579, 0.1357, 0.1144, 1e-06, 2.39e-14, 6.272e-14, 3.545e-15, 0.7495, 0.0, 0.2955, 0.3279, 0.3279, 1.243, 1.541, 1.008, 1.004, 0.0, 1.0, 1.0, 0.85, 0.4683, 4.391e-10, 1e-32, 63.2, 25.9, 0.3997, 0.65, 0.75, 2.643, 0.6193, 0.0, 120.0, 3.0},
    {"BC558B", 'P', 1.0, 238.0, 8.07, 1.02e-11, 1.54e-11, 0.0, 0.66, 0.3, 1.0, 1.12, 1.69e-14, 1e-13, 1e-17, 0.95, 0.0, 0.345, 0.419, 0.419, 2.0, 2.0, 1.01, 1.0, 0.0, 50.0, 10.0, 1.49, 0.095, 5.64e-10, 0.0, 100.0, 50.0, 0.3, 0.8, 0.75, 1.47, 1.0, 0.0, 55.1, 3.0},
};
}
const char* const TransistorParameterNames[TransistorParameterCount] = {"AF", "BF", "BR", "CJC", "CJE", "CJS", "FC", "IKF", "IKR", "IRB", "IS", "ISC", "ISE", "ITF", "KF", "MJC", "MJE", "MJS", "NC", "NE", "NF", "NR", "PTF", "RB", "RBM", "RC", "RE", "TF", "TR", "VAF", "VAR", "VJC", "VJE", "VJS", "VTF", "XCJC", "XTB", "XTF", "XTI"};
double TransistorParameter(const TransistorRecord& r, int k) { return (&r.AF)[k]; }
std::span<const TransistorRecord> TransistorTable() { return Records; }
int GetTransistorCount() { return static_cast<int>(std::size(Records)); }
TransistorRecord GetTransistorRecord(int i) { return Records[i]; }
int FindTransistor(const char* name) {
    int lo = 0, hi = GetTransistorCount() - 1;
    while (lo <= hi) { int mid = (lo + hi) / 2; int c = std::strcmp(name, Records[mid].name);
        if (c == 0) { return mid; }
        if (c < 0) { hi = mid - 1; } else { lo = mid + 1; } }
    return -1; }
bool IsPnpTransistor(int i) { return (Records[i].polarity & 0xff) == 'P'; }
bool IsGermaniumTransistor(int i) { return Records[i].name[0] == 'A'; }
double GetNominalBaseEmitterVoltage(int i) { return IsGermaniumTransistor(i) ? 0.2 : 0.6; }
}
