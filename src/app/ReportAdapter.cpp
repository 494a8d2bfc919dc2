#include "app/ReportAdapter.h"

#include "app/Resources.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

// Interim writer, used until the core's report writer is linked in: a
// plain XHTML page with the three sections and the schematic copied from
// the compiled-in pictures, with the same file and folder names.

namespace norvane {

namespace {

constexpr const char* WebAddress = "https://norvane.example.org/";

std::string Rows(const ResultList& items)
{
    std::string text;
    for (const ResultItem& item : items) {
        text += "<tr><td>" + item.name + " :</td><td>" + item.value + "</td></tr>\n";
    }
    return text;
}

} // namespace

ReportWriteOutcome WriteDesignReport(const std::string& reportPath, const DesignReport& report,
                                     std::uint16_t schematicId)
{
    const QString path = QFile::decodeName(reportPath.c_str());
    const QFileInfo info(path);
    const std::string name = QFile::encodeName(info.completeBaseName()).toStdString();

    std::string page = "<?xml version=\"1.0\"?>\n\n<html xmlns=\"http://www.w3.org/1999/xhtml\">\n"
                       "<head>\n<title>Norvane-Design \"" + name + "\"</title>\n</head>\n<body>\n"
                       "<h1>Norvane-Design \"" + name + "\"</h1>\n<h2>Input data</h2>\n<table>\n"
                       "<tr><td>Circuit :</td><td>" + report.circuitTitle + "</td></tr>\n"
                       + Rows(report.inputData) + "</table>\n<h2>Circuit</h2>\n<p><img src=\""
                       + name + "-Files/" + name + ".png\" alt=\"circuit\" /></p>\n"
                       "<h2>Component values</h2>\n<table>\n" + Rows(report.componentValues)
                       + "</table>\n<h2>Operation point</h2>\n<table>\n"
                       + Rows(report.operationPoint) + "</table>\n</body>\n</html>\n";

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(page.data(), static_cast<qint64>(page.size())) != static_cast<qint64>(page.size())
        || !file.commit()) {
        return {false, "The report \"" + reportPath + "\" could not be written."};
    }

    const QString folder = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("-Files");
    QDir().mkpath(folder);
    QFile picture(SchematicPicturePath(schematicId));
    if (picture.open(QIODevice::ReadOnly)) {
        QFile image(folder + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".png"));
        if (image.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            image.write(picture.readAll());
        }
    }
    return {true, {}};
}

const char* ProgramVersionText() { return "1.0.4"; }

const char* ProductWebAddressText() { return WebAddress; }

const char* AuthorNoticeText() { return "Written by the Norvane authors"; }

} // namespace norvane
