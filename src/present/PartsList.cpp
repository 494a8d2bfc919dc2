#include "present/PartsList.h"

#include "format/Units.h"

#include "analysis/RobustnessResults.h"
#include "circuit/Netlist.h"
#include "format/EngineeringFormat.h"
#include "transistors/TransistorTable.h"

#include <cmath>

namespace norvane {

namespace {

// A rating as the data sheets write it: "0.125 W", "6.3 V"; "-" for none.
std::string RatingText(double rating, const char* unit)
{
    return std::isfinite(rating) ? FormatGeneral(rating, 4) + " " + unit : "-";
}

// A node as a builder finds it on the board.
std::string NodeCaption(const std::string& node)
{
    if (node == "0") {
        return "ground";
    }
    if (node == "vcc") {
        return "supply";
    }
    if (node == "in") {
        return "input";
    }
    if (node == "out") {
        return "output";
    }
    if (node == "emitter2") {
        return "R4/R5 junction";
    }
    return node;
}

// T1's three figures, each with its name and unit, in the order the
// line and the rating text name them.
struct TransistorFigure {
    const char* m_Rating;
    const char* m_Figure;
    const char* m_Unit;
    const CheckedRating TransistorStress::*m_Check;
    const char* m_Condition; // of the rating, in the line
};
constexpr TransistorFigure TransistorFigures[]{
    {"VCEO", "Uce up to", "V", &TransistorStress::m_Voltage, ""},
    {"IC max", "Ic", "A", &TransistorStress::m_Current, ""},
    {"Ptot", "P", "W", &TransistorStress::m_Power, " at 25 degC"},
};

std::string TransistorRatingText(const TransistorStress& t1)
{
    std::string text;
    for (const TransistorFigure& f : TransistorFigures) {
        const double rating = (t1.*f.m_Check).m_Rating;
        if (std::isfinite(rating)) {
            text +=
                (text.empty() ? "" : ", ") + std::string(f.m_Rating) + " " + QuantityOrDash(rating, f.m_Unit);
        }
    }
    return text.empty() ? "not known" : text;
}

// The names of the ratings whose check came out so: "VCEO", "VCEO and
// Ptot", "VCEO, IC max and Ptot"; empty for none.
std::string RatingsChecked(const TransistorStress& t1, RatingCheck check)
{
    std::vector<std::string> names;
    for (const TransistorFigure& f : TransistorFigures) {
        if ((t1.*f.m_Check).Check() == check) {
            names.emplace_back(f.m_Rating);
        }
    }
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == names.size() ? " and " : ", ") + names[i];
    }
    return text;
}

// "exceeds VCEO and Ptot", "Ptot not known", both with "; " between.
std::string TransistorNote(const TransistorStress& t1)
{
    const std::string exceeded = RatingsChecked(t1, RatingCheck::Exceeded);
    const std::string unknown = RatingsChecked(t1, RatingCheck::Unknown);
    std::string note = exceeded.empty() ? "" : "exceeds " + exceeded;
    if (!unknown.empty()) {
        note += (note.empty() ? "" : "; ") + unknown + " not known";
    }
    return note;
}

std::string TransistorLine(const std::string& type, const TransistorStress& t1)
{
    std::string line = "T1 " + type + ":";
    const char* separator = " ";
    for (const TransistorFigure& f : TransistorFigures) {
        const CheckedRating& check = t1.*f.m_Check;
        line += separator + std::string(f.m_Figure) + " " + QuantityOrDash(check.m_Figure, f.m_Unit);
        separator = "; ";
        switch (check.Check()) {
        case RatingCheck::Within: line += " within "; break;
        case RatingCheck::Exceeded: line += " exceeds "; break;
        case RatingCheck::Unknown: line += ", " + std::string(f.m_Rating) + " not known"; continue;
        }
        line += std::string(f.m_Rating) + " " + QuantityOrDash(check.m_Rating, f.m_Unit) + f.m_Condition;
    }
    return line;
}

PartsListRow TransistorRow(const AmplifierDesign& design, const std::optional<TransistorStress>& t1)
{
    const int index = design.Inputs().TransistorIndex();
    PartsListRow row;
    row.m_Reference = "T1";
    row.m_Kind = PartKind::Transistor;
    row.m_ValueText = GetTransistorRecord(index).name;
    const std::string_view package = GetTransistorRatings(index).m_Package;
    row.m_Description = std::string(IsPnpTransistor(index) ? "PNP" : "NPN") + " transistor" +
                        (package.empty() ? "" : ", " + std::string(package));
    row.m_StressText = "-";
    row.m_RatingText = "-";
    if (t1) {
        row.m_Stress = t1->m_Power.m_Figure;
        row.m_StressText = "Uce " + QuantityOrDash(t1->m_Uce, "V") + " (up to " +
                           QuantityOrDash(t1->m_Voltage.m_Figure, "V") + "), Ic " +
                           QuantityOrDash(t1->m_Current.m_Figure, "A") + ", P " +
                           QuantityOrDash(t1->m_Power.m_Figure, "W");
        row.m_RatingText = TransistorRatingText(*t1);
        row.m_Note = TransistorNote(*t1);
    }
    return row;
}

// A resistor or capacitor with its value and tolerance; the stress and
// rating follow where they are known.
PartsListRow PassiveRow(const CircuitPart& part, double resistorTolerance)
{
    PartsListRow row;
    row.m_Reference = part.m_Name;
    row.m_Value = part.m_Value;
    row.m_ValueText = PartItem(part.m_Name, part.m_Value).value;
    const bool resistor = part.m_Name.starts_with('R');
    row.m_Kind = resistor ? PartKind::Resistor : PartKind::Capacitor;
    row.m_Tolerance = resistor ? resistorTolerance : CapacitorTolerance;
    row.m_ToleranceText = TolerancePercent(row.m_Tolerance);
    row.m_StressText = "-";
    row.m_RatingText = "-";
    if (resistor) {
        // What the tolerances are sold as.
        constexpr double MetalFilmFrom = 0.02;
        row.m_Description =
            resistorTolerance > MetalFilmFrom ? "carbon film resistor" : "metal film resistor";
    } else {
        row.m_Description = UsualDielectric(part.m_Value) == Dielectric::Electrolytic
                                ? "aluminium electrolytic capacitor"
                                : "ceramic C0G or film capacitor";
    }
    return row;
}

// The stress and the rating to buy, both in unit; where no standard
// rating up to the largest is enough, the note says so.
void SetStress(PartsListRow& row, double stress, double rating, const char* unit, double largest)
{
    row.m_Stress = stress;
    row.m_Rating = rating;
    row.m_StressText = QuantityOrDash(stress, unit);
    row.m_RatingText = RatingText(rating, unit);
    if (!std::isfinite(rating)) {
        row.m_Note = "needs more than " + RatingText(largest, unit);
    }
}

void AddStress(PartsListRow& row, const ResistorStress& r)
{
    SetStress(row, r.m_Dissipation, r.m_Rating, "W", ResistorPowerRatings.back());
}

void AddStress(PartsListRow& row, const CapacitorStress& c)
{
    SetStress(row, c.m_Voltage, c.m_WorkingVoltage, "V", CapacitorWorkingVoltages.back());
    row.m_PositiveNode = c.m_PositiveNode;
    if (row.m_Note.empty() && c.IsPolarised() && !c.m_PositiveNode.empty()) {
        row.m_Note = "+ at " + NodeCaption(c.m_PositiveNode);
    }
}

// A CSV field as RFC 4180 writes it.
std::string CsvField(const std::string& text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (const char c : text) {
        quoted += c == '"' ? "\"\"" : std::string(1, c);
    }
    return quoted + "\"";
}

} // namespace

const char* PartKindName(PartKind kind)
{
    switch (kind) {
    case PartKind::Transistor: return "transistor";
    case PartKind::Capacitor: return "capacitor";
    case PartKind::Resistor: break;
    }
    return "resistor";
}

PartsList PartsListOf(const AmplifierDesign& design)
{
    PartsList list;
    const Expected<PartStresses> stresses = PartStressesOf(design);
    if (stresses) {
        list.m_Transistor = stresses->m_Transistor;
        list.m_Line = TransistorLine(GetTransistorRecord(design.Inputs().TransistorIndex()).name,
                                     stresses->m_Transistor);
        list.m_Exceeded = !RatingsChecked(stresses->m_Transistor, RatingCheck::Exceeded).empty();
    } else {
        list.m_Problem = stresses.Message();
        list.m_Line = "Stresses and ratings not known: " + list.m_Problem;
    }
    list.m_Rows.push_back(TransistorRow(design, list.m_Transistor));

    const double resistorTolerance = ResistorTolerance(SeriesCounts.at(design.Inputs().SeriesIndex()));
    std::size_t resistor = 0;
    std::size_t capacitor = 0;
    for (const CircuitPart& part : DescribeCircuit(design).m_Parts) {
        PartsListRow row = PassiveRow(part, resistorTolerance);
        if (stresses && row.m_Kind == PartKind::Resistor) {
            AddStress(row, stresses->m_Resistors.at(resistor++));
        } else if (stresses) {
            AddStress(row, stresses->m_Capacitors.at(capacitor++));
        }
        list.m_Rows.push_back(std::move(row));
    }
    return list;
}

TextTable PartsListTable(const PartsList& list)
{
    TextTable table{{"Part", "Value", "Tolerance", "Stress", "Rating", "Type", "Note"}};
    for (const PartsListRow& row : list.m_Rows) {
        table.push_back({row.m_Reference, row.m_ValueText, row.m_ToleranceText, row.m_StressText,
                         row.m_RatingText, row.m_Description, row.m_Note});
    }
    return table;
}

std::string BomCsv(const PartsList& list)
{
    std::string csv = "Reference,Value,Qty,Tolerance,Rating,Description\r\n";
    for (const PartsListRow& row : list.m_Rows) {
        const std::string description = row.m_Description + (row.m_Note.empty() ? "" : ", " + row.m_Note);
        for (const std::string& field :
             {row.m_Reference, row.m_ValueText, std::string("1"), row.m_ToleranceText, row.m_RatingText}) {
            csv += CsvField(field) + ",";
        }
        csv += CsvField(description) + "\r\n";
    }
    return csv;
}

} // namespace norvane
