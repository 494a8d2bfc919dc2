#include "analysis/RobustnessResults.h"

namespace norvane {

double ResistorTolerance(int series)
{
    switch (series) {
    case 12: return 0.10;
    case 48: return 0.02;
    case 96: return 0.01;
    default: return 0.05; // E24
    }
}

} // namespace norvane
