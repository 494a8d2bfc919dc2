#pragma once

// "norvane-cli design": designs through the design workflow
// (workflow/DesignWorkflow.h), writes the files asked for together, and
// prints the result as text or JSON.

#include "cli/DesignOptions.h"
#include "design/CircuitKind.h"

#include <optional>
#include <ostream>

namespace norvane::cli {

// errIsTerminal: err shows the analyses' progress, unless the output is
// JSON.
[[nodiscard]] Status RunDesign(std::optional<CircuitKind> kind, const DesignOptions& options,
                               std::ostream& out, std::ostream& err, bool errIsTerminal = false);

} // namespace norvane::cli
