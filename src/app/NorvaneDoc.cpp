#include "app/NorvaneDoc.h"

#include "app/MainWindow.h"
#include "app/NorvaneApp.h"
#include "common/FileWriter.h"
#include "report/Report.h"
#include "report/ReportReader.h"
#include "report/SchematicImages.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace norvane {

QString AskSaveFileName(QWidget* owner, const QString& caption, const QString& suggested,
                        const QString& filter)
{
    QFileDialog dialog(owner, caption, suggested, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // A name typed without an extension gets the one of the kind of file
    // being saved ("amp" becomes "amp.kicad_sch" for a schematic).
    dialog.setDefaultSuffix(QFileInfo(suggested).suffix());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

namespace {

QString AskOpenFileName(QWidget* owner, const QString& caption, const QString& directory,
                        const QString& filter)
{
    return QFileDialog::getOpenFileName(owner, caption, directory, filter);
}

void ShowError(QWidget* owner, const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

} // namespace

QString WithDocumentExtension(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) {
        return path;
    }
    return path + QLatin1String(DocumentExtension);
}

CNorvaneDoc::CNorvaneDoc(CNorvaneApp& app)
    : m_App(app), m_Title(QLatin1String(UntitledTitle)), m_SaveChooser(AskSaveFileName),
      m_OpenChooser(AskOpenFileName)
{}

CNorvaneDoc::~CNorvaneDoc() = default;

ResultList CNorvaneDoc::GetInputData() const
{
    return m_App.GetInputData();
}
ResultList CNorvaneDoc::GetComponentValues() const
{
    return m_App.GetComponentValues();
}
ResultList CNorvaneDoc::GetOperationPoint() const
{
    return m_App.GetOperationPoint();
}
std::vector<std::string> CNorvaneDoc::GetNotes() const
{
    return m_App.GetNotes();
}
bool CNorvaneDoc::IsChangeNote(const std::string& note) const
{
    return m_App.IsChangeNote(note);
}
std::string CNorvaneDoc::GetVerdictLine() const
{
    return m_App.GetVerdictLine();
}
VerdictState CNorvaneDoc::GetVerdictState() const
{
    return m_App.GetVerdictState();
}
std::string CNorvaneDoc::GetCircuitTitle() const
{
    return m_App.GetCircuitTitle();
}
std::uint16_t CNorvaneDoc::GetSchematicId() const
{
    return m_App.GetSchematicId();
}
CalculationOutcome CNorvaneDoc::GetLastOutcome() const
{
    return m_App.GetLastOutcome();
}

QWidget* CNorvaneDoc::Owner() const
{
    return m_App.MainWindow();
}

void CNorvaneDoc::OnSaveResult()
{
    if (GetLastOutcome() != CalculationOutcome::Calculated) {
        ShowError(Owner(), QLatin1String(SaveCaption), QLatin1String(NothingCalculatedMessage));
        return;
    }
    DoFileSave();
}

void CNorvaneDoc::OnSaveResultAs()
{
    if (GetLastOutcome() != CalculationOutcome::Calculated) {
        ShowError(Owner(), QLatin1String(SaveAsCaption), QLatin1String(NothingCalculatedMessage));
        return;
    }
    DoSave(QString());
}

void CNorvaneDoc::OnExportPartsList()
{
    Export(PartsListCaption, PartsListFilter, "-parts", ".csv", [this] { return m_App.GetPartsListCsv(); });
}

void CNorvaneDoc::OnExportKicadSchematic()
{
    Export(KicadCaption, KicadFilter, "", ".kicad_sch", [this] { return m_App.GetKicadSchematic(); });
}

void CNorvaneDoc::Export(const char* caption, const char* filter, const char* nameEnd, const char* extension,
                         const std::function<Expected<std::string>()>& content)
{
    if (GetLastOutcome() != CalculationOutcome::Calculated) {
        ShowError(Owner(), QLatin1String(caption), QLatin1String(NothingCalculatedMessage));
        return;
    }
    const Expected<std::string> bytes = content();
    if (!bytes) {
        ShowError(Owner(), QLatin1String(caption), QString::fromStdString(bytes.Message()));
        return;
    }
    const QFileInfo document(m_PathName.isEmpty() ? WithDocumentExtension(m_Title) : m_PathName);
    const QString suggested = document.dir().filePath(document.completeBaseName() + QLatin1String(nameEnd) +
                                                      QLatin1String(extension));
    QString path = m_SaveChooser(Owner(), QLatin1String(caption), suggested, QLatin1String(filter));
    if (path.isEmpty()) {
        return;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QLatin1String(extension);
    }
    if (const Status written = WriteFileAtomically(QFile::encodeName(path).toStdString(), *bytes); !written) {
        ShowError(Owner(), QLatin1String(caption), QString::fromStdString(written.Message()));
    }
}

bool CNorvaneDoc::DoFileSave()
{
    // A file that has become read-only is saved under a new name.
    const QFileInfo info(m_PathName);
    if (m_PathName.isEmpty() || (info.exists() && !info.isWritable())) {
        return DoSave(QString());
    }
    return DoSave(m_PathName);
}

bool CNorvaneDoc::DoSave(const QString& path)
{
    QString target = path;
    if (target.isEmpty()) {
        // Suggest the document's own file, or its title as a file name.
        QString suggested = m_PathName;
        if (suggested.isEmpty()) {
            suggested = WithDocumentExtension(m_Title);
        }
        target = m_SaveChooser(Owner(), QStringLiteral("Save As"), suggested, QLatin1String(DocumentFilter));
        if (target.isEmpty()) {
            return false;
        }
        target = QFileInfo(WithDocumentExtension(target)).absoluteFilePath();
    }
    if (!OnSaveDocument(target)) {
        return false;
    }
    SetPathName(target);
    return true;
}

bool CNorvaneDoc::OnSaveDocument(const QString& path)
{
    const std::string target = QFile::encodeName(path).toStdString();
    // With "Include simulation in reports" on, the section of the
    // verification follows the operation point; off, the report is the
    // plain one, byte for byte.
    ReportContent content = m_App.GetReportContent();
    if (const std::optional<Verification> simulation = m_App.GetReportSimulation()) {
        const RobustnessResults robustness = m_App.GetReportRobustness();
        content.m_Simulation = ReportSimulationOf(*simulation, nullptr, &robustness);
        AnalysisRequest& analyses = content.m_Setup.m_Analyses;
        if (robustness.m_Tolerance && *robustness.m_Tolerance) {
            analyses.m_ToleranceRuns = (*robustness.m_Tolerance)->m_Runs;
            analyses.m_Seed = (*robustness.m_Tolerance)->m_Seed;
        }
        analyses.m_Temperature = robustness.m_Temperature.has_value();
        analyses.m_Distortion = robustness.m_Distortion.has_value();
        analyses.m_Noise = robustness.m_Noise.has_value();
    }
    const Status outcome = WriteReport(target, content, SchematicPng(GetSchematicId()));
    if (!outcome) {
        QString message = QString::fromStdString(outcome.Message());
        if (message.isEmpty()) {
            message = QStringLiteral("The file \"%1\" could not be written.").arg(path);
        }
        ShowError(Owner(), QStringLiteral("Norvane"), message);
        return false;
    }
    m_App.ClearResultUnsaved();
    return true;
}

bool CNorvaneDoc::SaveModified()
{
    if (!m_App.IsResultUnsaved()) {
        return true;
    }
    QMessageBox box(QMessageBox::Question, QLatin1String(UnsavedCaption), QLatin1String(UnsavedQuestion),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, Owner());
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes: OnSaveResultAs(); return !m_App.IsResultUnsaved();
    case QMessageBox::No: return true;
    default: return false;
    }
}

bool CNorvaneDoc::FileNew()
{
    if (!SaveModified()) {
        return false;
    }
    ResetToUntitled();
    return true;
}

void CNorvaneDoc::FileOpen()
{
    const QString path = m_OpenChooser(Owner(), QStringLiteral("Open"), QFileInfo(m_PathName).path(),
                                       QLatin1String(DocumentFilter));
    if (path.isEmpty()) {
        return;
    }
    if (!SaveModified()) {
        return;
    }
    OpenDocumentFile(path);
}

bool CNorvaneDoc::OpenDocumentFile(const QString& path, bool reportFailure)
{
    // A file that is no report, or one that cannot be read, changes
    // nothing: the document and the design stay as they were.
    const Expected<ReportRecipe> recipe = ReadReportFile(QFile::encodeName(path).toStdString());
    if (!recipe) {
        m_LastOpenError = QString::fromStdString(recipe.Message());
        if (reportFailure) {
            ShowError(Owner(), QStringLiteral("Norvane"), m_LastOpenError);
        }
        return false;
    }
    const QFileInfo info(path);
    if (m_App.LoadDesign(*recipe, info.fileName())) {
        SetPathName(info.absoluteFilePath());
        m_App.ClearResultUnsaved();
    } else {
        ResetToUntitled();
    }
    return true;
}

void CNorvaneDoc::SetPathName(const QString& path)
{
    m_PathName = path;
    m_Title = QFileInfo(path).fileName();
    m_App.AddToRecentFileList(path);
    Q_EMIT TitleChanged(m_Title);
}

void CNorvaneDoc::ResetToUntitled()
{
    m_PathName.clear();
    m_Title = QLatin1String(UntitledTitle);
    Q_EMIT TitleChanged(m_Title);
}

} // namespace norvane
