#include "format/Units.h"

#include "format/EngineeringFormat.h"

#include <cmath>

namespace norvane {

std::string Quantity(double value, std::string_view unit)
{
    std::string text = FormatEngineering(value);
    if (unit.empty()) {
        return text;
    }
    // A prefix letter joins the unit ("2.6 mA"); a bare number is set apart
    // ("12 V").
    if (!text.empty() && text.back() >= '0' && text.back() <= '9') {
        text += ' ';
    }
    return text += unit;
}

std::string QuantityOrDash(double value, std::string_view unit)
{
    return std::isfinite(value) ? Quantity(value, unit) : "-";
}

std::string Amperes(double value)
{
    return Quantity(value, "A");
}

std::string Volts(double value)
{
    return Quantity(value, "V");
}

std::string Hertz(double value)
{
    return Quantity(value, "Hz");
}

std::string Ohms(double value)
{
    return Quantity(value, "ohm");
}

std::string Decibels(double db)
{
    return FormatFixed(db, 2) + " dB";
}

} // namespace norvane
