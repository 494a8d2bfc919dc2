#include "cli/TransistorCommands.h"

#include "cli/CommandLine.h"
#include "cli/JsonNumber.h"
#include "design/DesignInputs.h"
#include "design/InputChecks.h"
#include "format/EngineeringFormat.h"
#include "transistors/TransistorModel.h"
#include "transistors/TransistorRatings.h"
#include "transistors/TransistorTable.h"

#include <nlohmann/json.hpp>

#include <cmath>

#include <optional>

namespace norvane::cli {

namespace {

using json = nlohmann::ordered_json;

std::string Polarity(int index)
{
    return IsPnpTransistor(index) ? "PNP" : "NPN";
}

// A text of the ratings record as it is; null where it is empty (no
// package, no source).
json TextOrNull(std::string_view text)
{
    return text.empty() ? json(nullptr) : json(text);
}

// The absolute maximum ratings: each figure in V, A or W, null where no
// source states it, the package and the sources of each.
json RatingsJson(int index)
{
    const TransistorRatings r = GetTransistorRatings(index);
    return {{"vceo", Number(r.m_Vceo)},
            {"ic_max", Number(r.m_IcMax)},
            {"ptot", Number(r.m_Ptot)},
            {"package", TextOrNull(r.m_Package)},
            {"source",
             {{"vceo", TextOrNull(r.m_VceoSources)},
              {"ic_max", TextOrNull(r.m_IcMaxSources)},
              {"ptot", TextOrNull(r.m_PtotSources)},
              {"package", TextOrNull(r.m_PackageSources)}}}};
}

// "%.17g": enough digits to read the same double back.
std::string Exact(double value)
{
    return FormatGeneral(value, 17);
}

// The index of the type named, or refused as unknown.
Expected<int> Find(const std::string& name)
{
    const int index = FindTransistor(std::string_view(name));
    if (index < 0) {
        return Refused(UnknownTransistorMessage);
    }
    return index;
}

const char* StatusText(ModelStatus status)
{
    switch (status) {
    case ModelStatus::Solved: return "solved";
    case ModelStatus::OutsideLimits: return "outside the model's limits (Ic >= 1 pA, Vce >= 1 V)";
    case ModelStatus::NotConverged: return "the transistor cannot carry this current";
    case ModelStatus::NoNumber: return "the equations have no finite solution here";
    }
    return "";
}

// Reads a value with the dialogs' rules against the range of a field,
// naming it by label; refused where it is no number or out of range.
Expected<double> ReadModelValue(const std::string& text, InputField rangeOf, const char* label)
{
    const FieldInfo& info = FieldInfoOf(rangeOf);
    const std::optional<double> read = ReadEngineering(text);
    if (!read) {
        return Refused(NotANumberMessage(label));
    }
    if (!(info.min <= *read && *read <= info.max)) {
        return Refused(RangeMessage(label, info.min, info.max));
    }
    return *read;
}

} // namespace

Status RunTransistors(bool asJson, std::ostream& out)
{
    if (asJson) {
        json list = json::array();
        for (int i = 0; i < GetTransistorCount(); ++i) {
            list.push_back({{"name", GetTransistorRecord(i).name},
                            {"polarity", Polarity(i)},
                            {"ratings", RatingsJson(i)}});
        }
        out << list.dump(2) << '\n';
        return {};
    }
    for (int i = 0; i < GetTransistorCount(); ++i) {
        out << GetTransistorRecord(i).name << ' ' << Polarity(i) << '\n';
    }
    return {};
}

Status RunTransistor(const std::string& name, bool asJson, std::ostream& out)
{
    const Expected<int> found = Find(name);
    if (!found) {
        return found.AsStatus();
    }
    const int index = *found;
    const TransistorRecord record = GetTransistorRecord(index);
    if (asJson) {
        json parameters = json::object();
        for (int k = 0; k < TransistorParameterCount; ++k) {
            parameters[TransistorParameterNames[k]] = TransistorParameter(record, k);
        }
        out << json{{"name", record.name},
                    {"polarity", Polarity(index)},
                    {"parameters", parameters},
                    {"ratings", RatingsJson(index)}}
                   .dump(2)
            << '\n';
        return {};
    }
    out << record.name << ' ' << Polarity(index) << '\n';
    for (int k = 0; k < TransistorParameterCount; ++k) {
        out << TransistorParameterNames[k] << " = " << Exact(TransistorParameter(record, k)) << '\n';
    }
    return {};
}

Status RunModel(const std::string& name, const std::string& icText, const std::string& vceText, bool asJson,
                std::ostream& out)
{
    // Read as the design's fields are: the collector current in its range,
    // the voltage in the range of a supply that could give it.
    const Expected<double> readIc = ReadModelValue(icText, InputField::CollectorCurrent,
                                                   FieldInfoOf(InputField::CollectorCurrent).rangeLabel);
    if (!readIc) {
        return readIc.AsStatus();
    }
    const Expected<double> readVce =
        ReadModelValue(vceText, InputField::SupplyVoltage, "of collector-emitter voltage");
    if (!readVce) {
        return readVce.AsStatus();
    }
    const double ic = *readIc;
    const double vce = *readVce;
    const Expected<int> found = Find(name);
    if (!found) {
        return found.AsStatus();
    }
    const int index = *found;
    TransistorModel model;
    model.SelectTransistor(index);
    model.SetOperatingPoint(ic, vce);
    // Where the equations have no solution the model holds zeros, which
    // are no figures: null in the JSON, "-" in the text.
    const double vbe = model.IsValid() ? model.GetBaseEmitterVoltage() : std::nan("");
    const double ib = model.IsValid() ? model.GetBaseCurrent() : std::nan("");
    // The model gives a negative base current where leakage outweighs the
    // forward base current; that is no operating point to bias for.
    const bool positiveBase = ib > 0;
    const bool valid = model.IsValid() && positiveBase;
    const char* status =
        model.IsValid() && !positiveBase ? "the base current is not positive" : StatusText(model.GetStatus());
    if (asJson) {
        out << json{{"name", GetTransistorRecord(index).name},
                    {"vbe", Number(vbe)},
                    {"ib", Number(ib)},
                    {"valid", valid},
                    {"status", status}}
                   .dump(2)
            << '\n';
        return {};
    }
    out << "Vbe = " << (std::isfinite(vbe) ? Exact(vbe) + " V" : "-") << '\n';
    out << "Ib = " << (std::isfinite(ib) ? Exact(ib) + " A" : "-") << '\n';
    out << "valid = " << (valid ? "yes" : "no") << '\n';
    out << "status = " << status << '\n';
    return {};
}

} // namespace norvane::cli
