#include "app/ReportAdapter.h"

#include "report/Report.h"
#include "report/SchematicImages.h"

#include <cctype>
#include <string>

namespace norvane {

ReportWriteOutcome WriteDesignReport(const std::string& reportPath, const DesignReport& report,
                                     std::uint16_t schematicId)
{
    const ReportContent content{report.circuitTitle, report.inputData, report.componentValues,
                                report.operationPoint};
    const WriteOutcome outcome = WriteReport(reportPath, content, SchematicPng(schematicId));
    return {outcome.ok, outcome.message};
}

const char* ProgramVersionText() { return ProgramVersion; }

const char* ProductWebAddressText() { return ProductWebAddress; }

const char* AuthorNoticeText()
{
    // The report's footer continues "Created using Norvane 1.0.4" with the
    // notice; standing alone it starts as a sentence.
    static const std::string notice = [] {
        std::string text = AuthorNotice;
        const std::size_t start = text.find_first_not_of(", ");
        text = start == std::string::npos ? std::string() : text.substr(start);
        if (!text.empty()) {
            text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
        }
        return text;
    }();
    return notice.c_str();
}

} // namespace norvane
