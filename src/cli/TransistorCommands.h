#pragma once

// The commands about the transistor library: "transistors" (the list),
// "transistor NAME" (a model card) and "model NAME --ic --vce" (the DC
// model at an operating point).

#include <ostream>
#include <string>

namespace norvane::cli {

int RunTransistors(bool asJson, std::ostream& out);
int RunTransistor(const std::string& name, bool asJson, std::ostream& out, std::ostream& err);
int RunModel(const std::string& name, const std::string& icText, const std::string& vceText, bool asJson,
             std::ostream& out, std::ostream& err);

} // namespace norvane::cli
