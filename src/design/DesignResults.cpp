#include "design/DesignResults.h"

#include "format/EngineeringFormat.h"

namespace norvane {

void ResultItem::SetQuantity(const std::string& itemName, double number, const std::string& unit)
{
    name = itemName;
    value = FormatEngineering(number);
    if (!value.empty() && value.back() >= '0' && value.back() <= '9') {
        value += ' ';
    }
    value += unit;
}

void ResultItem::SetNumber(const std::string& itemName, double number)
{
    name = itemName;
    value = FormatEngineering(number);
}

void ResultItem::SetText(const std::string& itemName, const std::string& text)
{
    name = itemName;
    value = text;
}

std::string SeriesLabel(int seriesCount)
{
    std::string label = "E";
    label += std::to_string(seriesCount);
    return label;
}

} // namespace norvane
