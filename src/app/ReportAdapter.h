#pragma once

// The one place where the desktop program meets the report writer and the
// product constants that the report shares with the About box.

#include "design/DesignResults.h"

#include <cstdint>
#include <string>

namespace norvane {

struct DesignReport {
    std::string circuitTitle;
    ResultList inputData;
    ResultList componentValues;
    ResultList operationPoint;
};

struct ReportWriteOutcome {
    bool ok = false;
    std::string message;  // names the file when ok is false
};

// Writes the report at reportPath and the schematic of schematicId into
// the report's "-Files" folder.
ReportWriteOutcome WriteDesignReport(const std::string& reportPath, const DesignReport& report,
                                     std::uint16_t schematicId);

// "1.0.4".
const char* ProgramVersionText();
const char* ProductWebAddressText();
// The notice line of the About box ("Written by ...").
const char* AuthorNoticeText();

} // namespace norvane
