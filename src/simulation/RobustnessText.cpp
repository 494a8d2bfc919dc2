// Stand-in until the formatting is written.
#include "simulation/RobustnessText.h"

namespace norvane {

std::string ToleranceLine(const ToleranceAnalysis&)
{
    return "Tolerances: (not formatted yet)";
}
TextTable ToleranceTable(const ToleranceAnalysis&)
{
    return {{"Quantity", "Median", "1 %", "99 %"}};
}
std::string TemperatureLine(const TemperatureAnalysis&)
{
    return "Temperature: (not formatted yet)";
}
TextTable TemperatureTable(const TemperatureAnalysis&)
{
    return {{"Temperature", "Ic", "Uce", "Gain"}};
}
std::string DistortionLine(const DistortionAnalysis&)
{
    return "Distortion: (not formatted yet)";
}
TextTable DistortionTable(const DistortionAnalysis&)
{
    return {{"Quantity", "Value"}};
}
std::string NoiseLine(const NoiseAnalysis&)
{
    return "Noise: (not formatted yet)";
}
TextTable NoiseTable(const NoiseAnalysis&)
{
    return {{"Quantity", "Value"}};
}

} // namespace norvane
