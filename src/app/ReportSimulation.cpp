// Until the report builder writes the simulation section, the report
// carries the verdict line as one more note below its heading.

#include "app/ReportSimulation.h"

namespace norvane {

Status WriteReportWithSimulation(const std::string& reportPath, const ReportContent& content,
                                 std::span<const std::uint8_t> schematicPng, const Verification& simulation)
{
    ReportContent withVerdict = content;
    withVerdict.notes.push_back(simulation.m_Verdict.Line());
    return WriteReport(reportPath, withVerdict, schematicPng);
}

} // namespace norvane
