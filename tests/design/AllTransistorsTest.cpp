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
    const bool noted = !design.ProblemNote().empty();
    if (noted == design.IsUsable() || design.GetOperationPoint().size() != 3) {
        ADD_FAILURE() << where << ": usable " << design.IsUsable() << " but note " << noted;
        return false;
    }
    if (design.IsUsable()) {
        bool finite = std::isfinite(design.Ic()) && std::isfinite(design.Uce()) && std::isfinite(design.P());
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
void SweepCircuit(CircuitKind kind)
{
    const auto fields = CircuitInfoOf(kind).testOrder;
    int unusable = 0;
    int designs = 0;
    for (int t = 0; t < GetTransistorCount(); ++t) {
        std::vector<std::pair<InputField, double>> cases{{fields[0], NAN}};
        for (const InputField field : fields) {
            cases.emplace_back(field, FieldInfoOf(field).min);
            cases.emplace_back(field, FieldInfoOf(field).max);
        }
        for (const auto& [changed, value] : cases) {
            Design design;
            DesignInputs inputs(kind);
            inputs.SetTransistorIndex(t);
            if (!std::isnan(value)) {
                inputs.SetValue(changed, value);
            }
            design.Compute(inputs);
            ++designs;
            unusable += design.IsUsable() ? 0 : 1;
            const std::string where = std::string(GetTransistorRecord(t).name) + " " + design.Title() +
                                      " field " + std::to_string(static_cast<int>(changed)) + " = " +
                                      FormatEngineering(value);
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
    SweepCircuit<CommonEmitterDesign>(CircuitKind::CommonEmitter);
}

TEST_F(AllTransistors, CommonBase)
{
    SweepCircuit<CommonBaseDesign>(CircuitKind::CommonBase);
}

TEST_F(AllTransistors, CommonCollector)
{
    SweepCircuit<CommonCollectorDesign>(CircuitKind::CommonCollector);
}

} // namespace
} // namespace norvane
