// Every transistor of the table in every circuit, at the dialog defaults and
// at both ends of every input range: the calculation ends, a usable design
// has finite values, an unusable one says so (its values may then read
// "undefined"), and no line reads "nan".

#include "design/CommonBaseDesign.h"
#include "design/CommonCollectorDesign.h"
#include "design/CommonEmitterDesign.h"
#include "design/InputChecks.h"
#include "format/EngineeringFormat.h"
#include "transistors/TransistorTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

namespace norvane {
namespace {

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Checks one computed design; returns false after the first complaint.
bool CheckDesign(const AmplifierDesign& design, const std::string& where)
{
    for (const ResultList& list :
         {design.GetInputData(), design.GetComponentValues(), design.GetOperationPoint()}) {
        for (const ResultItem& item : list) {
            const std::string value = Lower(item.value);
            const bool undefined = value.find("undefined") != std::string::npos;
            if (value.find("nan") != std::string::npos || (undefined && design.IsUsable())) {
                ADD_FAILURE() << where << ": " << item.name << " = " << item.value;
                return false;
            }
        }
    }
    const ResultList point = design.GetOperationPoint();
    const bool noted = point.back().name == DesignProblemItemName;
    if (noted == design.IsUsable()) {
        ADD_FAILURE() << where << ": usable " << design.IsUsable() << " but note " << noted;
        return false;
    }
    if (design.IsUsable()) {
        bool finite = std::isfinite(design.m_Ic) && std::isfinite(design.m_Uce)
                      && std::isfinite(design.m_P);
        for (const auto& [name, value] : design.ComponentNumbers()) {
            finite = finite && std::isfinite(value) && value >= 0;
        }
        if (!finite) {
            ADD_FAILURE() << where << ": usable design with a value that is no number";
            return false;
        }
    }
    return true;
}

// Each field at its lower and its upper bound, the others at their defaults.
template <typename Design>
void SweepCircuit(CircuitKind kind, const std::function<double&(Design&, InputField)>& field)
{
    const auto ranges = RangeCheckOrder(kind);
    int unusable = 0;
    int designs = 0;
    for (int t = 0; t < GetTransistorCount(); ++t) {
        std::vector<std::pair<InputField, double>> cases{{ranges[0].field, NAN}};
        for (const FieldRange& range : ranges) {
            cases.emplace_back(range.field, range.min);
            cases.emplace_back(range.field, range.max);
        }
        for (const auto& [changed, value] : cases) {
            Design design;
            design.m_Inputs.m_TransistorIndex = t;
            if (!std::isnan(value)) {
                field(design, changed) = value;
            }
            design.Compute();
            ++designs;
            unusable += design.IsUsable() ? 0 : 1;
            const std::string where = std::string(GetTransistorRecord(t).name) + " "
                                      + design.Title() + " field "
                                      + std::to_string(static_cast<int>(changed)) + " = "
                                      + FormatEngineering(value);
            if (!CheckDesign(design, where)) {
                return;
            }
        }
    }
    ::testing::Test::RecordProperty("designs", designs);
    ::testing::Test::RecordProperty("unusable", unusable);
}

class AllTransistors : public ::testing::Test {
protected:
    void SetUp() override { UseEnglishNumberFormat(); }
};

TEST_F(AllTransistors, CommonEmitter)
{
    SweepCircuit<CommonEmitterDesign>(
        CircuitKind::CommonEmitter, [](CommonEmitterDesign& d, InputField f) -> double& {
            switch (f) {
            case InputField::Gain: return d.m_Inputs.m_GainDb;
            case InputField::LowerCutoff: return d.m_Inputs.m_LowerCutoff;
            case InputField::SupplyVoltage: return d.m_Inputs.m_SupplyVoltage;
            case InputField::InputImpedance: return d.m_Inputs.m_InputImpedance;
            default: return d.m_Inputs.m_OutputImpedance;
            }
        });
}

TEST_F(AllTransistors, CommonBase)
{
    SweepCircuit<CommonBaseDesign>(
        CircuitKind::CommonBase, [](CommonBaseDesign& d, InputField f) -> double& {
            switch (f) {
            case InputField::LowerCutoff: return d.m_Inputs.m_LowerCutoff;
            case InputField::SupplyVoltage: return d.m_Inputs.m_SupplyVoltage;
            default: return d.m_Inputs.m_OutputImpedance;
            }
        });
}

TEST_F(AllTransistors, CommonCollector)
{
    SweepCircuit<CommonCollectorDesign>(
        CircuitKind::CommonCollector, [](CommonCollectorDesign& d, InputField f) -> double& {
            switch (f) {
            case InputField::LowerCutoff: return d.m_Inputs.m_LowerCutoff;
            case InputField::SupplyVoltage: return d.m_Inputs.m_SupplyVoltage;
            case InputField::InputImpedance: return d.m_Inputs.m_InputImpedance;
            default: return d.m_Inputs.m_CollectorCurrent;
            }
        });
}

} // namespace
} // namespace norvane
