#include "design/StandardSeries.h"

#include <array>
#include <cmath>
#include <stdexcept>
#include <string>

namespace norvane {

namespace {

constexpr std::array<int, 13> E12{100, 120, 150, 180, 220, 270, 330, 390, 470, 560, 680, 820, 1000};

constexpr std::array<int, 25> E24{100, 110, 120, 130, 150, 160, 180, 200, 220, 240, 270, 300, 330,
                                  360, 390, 430, 470, 510, 560, 620, 680, 750, 820, 910, 1000};

constexpr std::array<int, 49> E48{100, 105, 110, 115, 121, 127, 133, 140, 147, 154, 162, 169, 178,
                                  187, 196, 205, 215, 226, 237, 249, 261, 274, 287, 301, 316, 332,
                                  348, 365, 383, 402, 422, 442, 464, 487, 511, 536, 562, 590, 619,
                                  649, 681, 715, 750, 787, 825, 866, 909, 953, 1000};

constexpr std::array<int, 97> E96{
    100, 102, 105, 107, 110, 113, 115, 118, 121, 124, 127, 130, 133, 137, 140, 143, 147, 150, 154, 158,
    162, 165, 169, 174, 178, 182, 187, 191, 196, 200, 205, 210, 215, 221, 226, 232, 237, 243, 249, 255,
    261, 267, 274, 280, 287, 294, 301, 309, 316, 324, 332, 340, 348, 357, 365, 374, 383, 392, 402, 412,
    422, 432, 442, 453, 464, 475, 487, 499, 511, 523, 536, 549, 562, 576, 590, 604, 619, 634, 649, 665,
    681, 698, 715, 732, 750, 768, 787, 806, 825, 845, 866, 887, 909, 931, 953, 976, 1000};

} // namespace

bool IsValidSeries(StandardSeries count)
{
    return count == 12 || count == 24 || count == 48 || count == 96;
}

std::span<const int> SeriesTable(StandardSeries count)
{
    switch (count) {
    case 12: return E12;
    case 24: return E24;
    case 48: return E48;
    case 96: return E96;
    default:
        throw std::invalid_argument("invalid standard series E" + std::to_string(count) +
                                    " (valid: E12, E24, E48, E96)");
    }
}

SeriesValue::SeriesValue(StandardSeries count, double value)
{
    SetSeries(count);
    SetValue(value);
}

void SeriesValue::SetSeries(StandardSeries count)
{
    SeriesTable(count); // throws for an invalid count before anything changes
    m_Count = count;
    if (m_HasValue) {
        SetValue(m_Requested);
    }
}

double SeriesValue::SetValue(double x)
{
    m_HasValue = true;
    if (x < 1e-20) {
        m_Index = -1;
        m_Scale = 1.0;
        m_Requested = 0.0;
        return GetValue();
    }
    if (std::isinf(x)) {
        // The decade search below would never end; infinity stays infinity.
        m_Requested = x;
        m_Index = 0;
        m_Scale = x;
        return GetValue();
    }
    const double a = x < 1e-12 ? 1e-12 : x;

    double m = a;
    while (m >= 1000.0) {
        m = m * 0.1;
    }
    while (m < 100.0) {
        m = m * 10.0;
    }

    const std::span<const int> table = SeriesTable(m_Count);
    int i = 1;
    while (i < m_Count && table[i] <= m) {
        ++i;
    }
    if ((m - table[i - 1]) < (table[i] - m)) {
        --i;
    }

    m_Requested = x;
    m_Index = i;
    m_Scale = a / m;
    return GetValue();
}

double SeriesValue::GetValue() const
{
    if (m_Index == -1) {
        return 0.0;
    }
    return SeriesTable(m_Count)[m_Index] * m_Scale;
}

void RoundToSeries(double& value, StandardSeries count)
{
    value = SeriesValue(count, value).GetValue();
}

} // namespace norvane
