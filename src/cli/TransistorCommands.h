#pragma once

// The commands about the transistor library: "transistors" (the list),
// "transistor NAME" (a model card) and "model NAME --ic --vce" (the DC
// model at an operating point). As JSON the list and the card carry each
// type's absolute maximum ratings: "ratings" with "vceo", "ic_max", "ptot"
// (V, A, W; null where no source states one), "package" and "source"
// (the sources of each, as TransistorRatings.h has them; null for none).

#include "common/Outcome.h"

#include <ostream>
#include <string>

namespace norvane::cli {

[[nodiscard]] Status RunTransistors(bool asJson, std::ostream& out);
[[nodiscard]] Status RunTransistor(const std::string& name, bool asJson, std::ostream& out);
[[nodiscard]] Status RunModel(const std::string& name, const std::string& icText, const std::string& vceText,
                              bool asJson, std::ostream& out);

} // namespace norvane::cli
