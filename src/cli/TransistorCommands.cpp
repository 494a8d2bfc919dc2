#include "cli/TransistorCommands.h"

#include "cli/CommandLine.h"
#include "cli/JsonNumber.h"
#include "design/DesignInputs.h"
#include "design/InputChecks.h"
#include "format/EngineeringFormat.h"
#include "transistors/TransistorModel.h"
#include "transistors/TransistorTable.h"

#include <nlohmann/json.hpp>

#include <optional>

namespace norvane::cli {

namespace {

using json = nlohmann::ordered_json;

std::string Polarity(int index)
{
    return IsPnpTransistor(index) ? "PNP" : "NPN";
}

// "%.17g": enough digits to read the same double back.
std::string Exact(double value)
{
    return FormatGeneral(value, 17);
}

int FindOrComplain(const std::string& name, std::ostream& err)
{
    const int index = FindTransistor(std::string_view(name));
    if (index < 0) {
        err << UnknownTransistorMessage << '\n';
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
// naming it by label. ExitOk, or ExitBadInput with the message on err.
int ReadModelValue(const std::string& text, InputField rangeOf, const char* label, double& value,
                   std::ostream& err)
{
    const FieldInfo& info = FieldInfoOf(rangeOf);
    const std::optional<double> read = ReadEngineering(text);
    if (!read) {
        err << NotANumberMessage(label) << '\n';
        return ExitBadInput;
    }
    value = *read;
    if (!(info.min <= value && value <= info.max)) {
        err << RangeMessage(label, info.min, info.max) << '\n';
        return ExitBadInput;
    }
    return ExitOk;
}

} // namespace

int RunTransistors(bool asJson, std::ostream& out)
{
    if (asJson) {
        json list = json::array();
        for (int i = 0; i < GetTransistorCount(); ++i) {
            list.push_back({{"name", GetTransistorRecord(i).name}, {"polarity", Polarity(i)}});
        }
        out << list.dump(2) << '\n';
        return ExitOk;
    }
    for (int i = 0; i < GetTransistorCount(); ++i) {
        out << GetTransistorRecord(i).name << ' ' << Polarity(i) << '\n';
    }
    return ExitOk;
}

int RunTransistor(const std::string& name, bool asJson, std::ostream& out, std::ostream& err)
{
    const int index = FindOrComplain(name, err);
    if (index < 0) {
        return ExitBadInput;
    }
    const TransistorRecord record = GetTransistorRecord(index);
    if (asJson) {
        json parameters = json::object();
        for (int k = 0; k < TransistorParameterCount; ++k) {
            parameters[TransistorParameterNames[k]] = TransistorParameter(record, k);
        }
        out << json{{"name", record.name}, {"polarity", Polarity(index)}, {"parameters", parameters}}.dump(2)
            << '\n';
        return ExitOk;
    }
    out << record.name << ' ' << Polarity(index) << '\n';
    for (int k = 0; k < TransistorParameterCount; ++k) {
        out << TransistorParameterNames[k] << " = " << Exact(TransistorParameter(record, k)) << '\n';
    }
    return ExitOk;
}

int RunModel(const std::string& name, const std::string& icText, const std::string& vceText, bool asJson,
             std::ostream& out, std::ostream& err)
{
    // Read as the design's fields are: the collector current in its range,
    // the voltage in the range of a supply that could give it.
    double ic = 0.0;
    double vce = 0.0;
    if (const int status = ReadModelValue(icText, InputField::CollectorCurrent,
                                          FieldInfoOf(InputField::CollectorCurrent).rangeLabel, ic, err);
        status != ExitOk) {
        return status;
    }
    if (const int status =
            ReadModelValue(vceText, InputField::SupplyVoltage, "of collector-emitter voltage", vce, err);
        status != ExitOk) {
        return status;
    }
    const int index = FindOrComplain(name, err);
    if (index < 0) {
        return ExitBadInput;
    }
    TransistorModel model;
    model.SelectTransistor(index);
    model.SetOperatingPoint(ic, vce);
    const double vbe = model.GetBaseEmitterVoltage();
    const double ib = model.GetBaseCurrent();
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
        return ExitOk;
    }
    out << "Vbe = " << Exact(vbe) << " V\n";
    out << "Ib = " << Exact(ib) << " A\n";
    out << "valid = " << (valid ? "yes" : "no") << '\n';
    out << "status = " << status << '\n';
    return ExitOk;
}

} // namespace norvane::cli
