#include "transistors/TransistorTable.h"

// Generated at build time from resources/transistors/norvane-bjt.lib.
#include "transistors/TransistorTableData.h"

#include <iterator>
#include <vector>

namespace norvane {

namespace {

constexpr const StoredTransistorRecord* Records = generated::TransistorRecords;
constexpr int RecordCount = generated::TransistorRecordCount;

static_assert(std::size(generated::TransistorRecords) == static_cast<std::size_t>(RecordCount));

// Byte-wise comparison of unsigned bytes: the first differing byte decides,
// a name that is a prefix of another sorts first.
constexpr int CompareNames(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        const auto x = static_cast<unsigned char>(*a);
        const auto y = static_cast<unsigned char>(*b);
        if (x != y) {
            return x < y ? -1 : 1;
        }
        if (x == 0) {
            return 0;
        }
    }
}

constexpr bool IsStrictlySorted()
{
    for (int i = 1; i < RecordCount; ++i) {
        if (CompareNames(Records[i - 1].name, Records[i].name) >= 0) {
            return false;
        }
    }
    return true;
}

// FindTransistor's binary search depends on this order.
static_assert(IsStrictlySorted(), "transistor table not strictly sorted by name");

constexpr double TransistorRecord::*ParameterMembers[TransistorParameterCount] = {
    &TransistorRecord::AF,  &TransistorRecord::BF,  &TransistorRecord::BR,  &TransistorRecord::CJC,
    &TransistorRecord::CJE, &TransistorRecord::CJS, &TransistorRecord::FC,  &TransistorRecord::IKF,
    &TransistorRecord::IKR, &TransistorRecord::IRB, &TransistorRecord::IS,  &TransistorRecord::ISC,
    &TransistorRecord::ISE, &TransistorRecord::ITF, &TransistorRecord::KF,  &TransistorRecord::MJC,
    &TransistorRecord::MJE, &TransistorRecord::MJS, &TransistorRecord::NC,  &TransistorRecord::NE,
    &TransistorRecord::NF,  &TransistorRecord::NR,  &TransistorRecord::PTF, &TransistorRecord::RB,
    &TransistorRecord::RBM, &TransistorRecord::RC,  &TransistorRecord::RE,  &TransistorRecord::TF,
    &TransistorRecord::TR,  &TransistorRecord::VAF, &TransistorRecord::VAR, &TransistorRecord::VJC,
    &TransistorRecord::VJE, &TransistorRecord::VJS, &TransistorRecord::VTF, &TransistorRecord::XCJC,
    &TransistorRecord::XTB, &TransistorRecord::XTF, &TransistorRecord::XTI,
};

} // namespace

const char* const TransistorParameterNames[TransistorParameterCount] = {
    "AF",  "BF", "BR",  "CJC", "CJE", "CJS", "FC",  "IKF", "IKR", "IRB",  "IS",  "ISC", "ISE",
    "ITF", "KF", "MJC", "MJE", "MJS", "NC",  "NE",  "NF",  "NR",  "PTF",  "RB",  "RBM", "RC",
    "RE",  "TF", "TR",  "VAF", "VAR", "VJC", "VJE", "VJS", "VTF", "XCJC", "XTB", "XTF", "XTI",
};

double TransistorParameter(const TransistorRecord& record, int k)
{
    return record.*ParameterMembers[k];
}

int GetTransistorCount()
{
    return RecordCount;
}

TransistorRecord GetTransistorRecord(int index)
{
    const StoredTransistorRecord& stored = Records[index];
    TransistorRecord record{};
    record.name = stored.name;
    record.polarity = stored.polarity;
    for (int k = 0; k < TransistorParameterCount; ++k) {
        record.*ParameterMembers[k] = stored.parameters[k];
    }
    return record;
}

std::span<const TransistorRecord> TransistorTable()
{
    static const std::vector<TransistorRecord> records = [] {
        std::vector<TransistorRecord> all;
        all.reserve(RecordCount);
        for (int i = 0; i < RecordCount; ++i) {
            all.push_back(GetTransistorRecord(i));
        }
        return all;
    }();
    return records;
}

int FindTransistor(const char* name)
{
    if (name == nullptr) {
        return -1;
    }
    int lo = 0;
    int hi = GetTransistorCount() - 1;
    int result = -1;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int order = CompareNames(name, Records[mid].name);
        if (order == 0) {
            result = mid;
            break;
        }
        if (order < 0) {
            hi = mid - 1;
        } else {
            lo = mid + 1;
        }
    }
    return result;
}

int FindTransistor(std::string_view name)
{
    if (name.find('\0') != std::string_view::npos) {
        return -1;
    }
    return FindTransistor(std::string(name).c_str());
}

bool IsPnpTransistor(int index)
{
    return (Records[index].polarity & 0xFF) == 'P';
}

bool IsGermaniumTransistor(int index)
{
    return Records[index].name[0] == 'A';
}

double GetNominalBaseEmitterVoltage(int index)
{
    return IsGermaniumTransistor(index) ? 0.2 : 0.6;
}

} // namespace norvane
