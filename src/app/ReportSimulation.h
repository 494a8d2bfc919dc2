#pragma once

// Result > Save with Result > "Include simulation in reports" on: the
// report of report/Report.h with, after the operating point, the section
// "Simulation (ngspice)" of the verification (its verdict, its table and
// its Bode plot as a second picture in the report's image folder). With
// the setting off the document writes the report of Report.h itself,
// byte for byte as before; this is the only place that adds the section.

#include "common/Outcome.h"
#include "report/Report.h"
#include "simulation/Verification.h"

#include <cstdint>
#include <span>
#include <string>

namespace norvane {

[[nodiscard]] Status WriteReportWithSimulation(const std::string& reportPath, const ReportContent& content,
                                               std::span<const std::uint8_t> schematicPng,
                                               const Verification& simulation);

} // namespace norvane
