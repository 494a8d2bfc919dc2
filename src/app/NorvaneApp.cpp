#include "app/NorvaneApp.h"

#include "app/AboutDialog.h"
#include "app/MainWindow.h"
#include "app/NorvaneDoc.h"
#include "app/NorvaneView.h"
#include "app/Resources.h"
#include "app/VerificationWindow.h"
#include "format/EngineeringFormat.h"
#include "report/KicadSchematic.h"
#include "studies/Yield.h"
#include "workflow/DesignWorkflow.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QSessionManager>
#include <QSettings>

#include <algorithm>
#include <thread>

namespace norvane {

namespace {

constexpr const char* RecentFileGroup = "Recent File List";

// The verification of a design with the yield of its verdict, for a save
// made before they came back (known: the verdict, where only its yield is
// still to come), so that a report is the same whenever it is saved. Not
// on the GUI thread, which would stop painting for the
// simulation (and, while an analysis runs, for every wait on the
// simulator), nor queued on the analysis thread, where it could wait
// behind a long analysis: on a thread of its own, which takes its turn at
// the simulator between the analysis' runs, while the event loop goes on
// painting. User input waits until the save is done, so that nothing
// changes the design being saved in between.
Verification VerifyBeside(std::shared_ptr<const AmplifierDesign> design, std::optional<Verification> known)
{
    QEventLoop loop;
    const bool verdictKnown = known.has_value();
    Verification verification = known ? std::move(*known) : Verification{};
    std::thread worker([&loop, &verification, verdictKnown, design = std::move(design)] {
        if (!verdictKnown) {
            verification = Verify(*design);
        }
        if (verification.m_Verdict.m_Simulated) {
            verification.m_Verdict.m_Yield = AnalyseYield(*design, {}).m_Yield;
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    return verification;
}

} // namespace

CNorvaneApp::CNorvaneApp()
{
    InitResources();
    connect(&m_VerdictRunner, &CVerificationRunner::Finished, this,
            [this](const VerificationOutcome& outcome) {
                m_Verification = outcome.m_Verification;
                const Verdict& verdict = m_Verification.m_Verdict;
                m_VerdictState = !verdict.m_Simulated ? VerdictState::NotSimulated
                                 : verdict.m_Meets    ? VerdictState::Meets
                                                      : VerdictState::Misses;
                RepaintView();
                // The yield follows the verdict on the analysis thread.
                if (verdict.m_Simulated && CurrentDesign() != nullptr) {
                    m_VerdictRunner.StartYield(CurrentDesign()->Snapshot(), {}, std::nullopt, false);
                }
            });
    connect(&m_VerdictRunner, &CVerificationRunner::YieldFinished, this, [this](const YieldOutcome& outcome) {
        if (m_VerdictState == VerdictState::Meets || m_VerdictState == VerdictState::Misses) {
            m_Verification.m_Verdict.m_Yield = outcome.m_Yield;
            RepaintView();
        }
    });
}

CNorvaneApp::~CNorvaneApp()
{
    // The dialogs go with their design objects; the main window must not take
    // them along first.
    m_CommonBase.SetDialogOwner(nullptr);
    m_CommonEmitter.SetDialogOwner(nullptr);
    m_CommonCollector.SetDialogOwner(nullptr);
}

bool CNorvaneApp::InitInstance(const QStringList& arguments)
{
    // 1. Numbers print with "infinite" and the decimal point from here on.
    UseEnglishNumberFormat();

    // 2, 3. The widget toolkit needs nothing but the program's icon.
    if (QApplication::windowIcon().isNull()) {
        QApplication::setWindowIcon(ApplicationIcon());
    }

    // 4. The recent-file list.
    LoadRecentFileList();

    // 5, 6. The document, the main window with its view, and the command line:
    // a file named there becomes the document's file.
    m_pDocument = std::make_unique<CNorvaneDoc>(*this);
    m_pMainWindow = std::make_unique<CMainWindow>(*this, *m_pDocument);
    m_CommonBase.SetDialogOwner(m_pMainWindow.get());
    m_CommonEmitter.SetDialogOwner(m_pMainWindow.get());
    m_CommonCollector.SetDialogOwner(m_pMainWindow.get());

    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument.startsWith(QLatin1Char('-'))) {
            continue;
        }
        // A file that is no report leaves the document empty, as Open does.
        if (!m_pDocument->OpenDocumentFile(argument, false)) {
            QMessageBox box(QMessageBox::Critical, QStringLiteral("Norvane"), m_pDocument->LastOpenError(),
                            QMessageBox::Ok);
            box.exec();
        }
        break;
    }

    // Logging off or shutting down asks the same question as closing.
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(application, &QGuiApplication::commitDataRequest, this, [this](QSessionManager& manager) {
            if (manager.allowsInteraction()) {
                const bool mayClose = m_pDocument->SaveModified();
                manager.release();
                if (!mayClose) {
                    manager.cancel();
                }
            }
        });
    }

    // 7. Show the main window.
    m_pMainWindow->show();
    m_pMainWindow->setWindowTitle(QStringLiteral("Norvane"));
    return true;
}

void CNorvaneApp::LoadRecentFileList()
{
    QSettings settings;
    settings.beginGroup(QLatin1String(RecentFileGroup));
    m_RecentFiles.clear();
    for (int i = 1; i <= RecentFileCount; ++i) {
        const QString path = settings.value(QStringLiteral("File%1").arg(i)).toString();
        if (!path.isEmpty()) {
            m_RecentFiles.append(path);
        }
    }
}

void CNorvaneApp::AddToRecentFileList(const QString& path)
{
    m_RecentFiles.removeAll(path);
    m_RecentFiles.prepend(path);
    while (m_RecentFiles.size() > RecentFileCount) {
        m_RecentFiles.removeLast();
    }
    QSettings settings;
    settings.beginGroup(QLatin1String(RecentFileGroup));
    for (int i = 1; i <= RecentFileCount; ++i) {
        const QString key = QStringLiteral("File%1").arg(i);
        if (i <= m_RecentFiles.size()) {
            settings.setValue(key, m_RecentFiles.at(i - 1));
        } else {
            settings.remove(key);
        }
    }
}

const CDesignObject* CNorvaneApp::CurrentDesign() const
{
    switch (CircuitKindOfSchematic(m_SchematicId)) {
    case CircuitKind::CommonBase: return &m_CommonBase;
    case CircuitKind::CommonEmitter: return &m_CommonEmitter;
    case CircuitKind::CommonCollector: return &m_CommonCollector;
    case CircuitKind::None: break;
    }
    return nullptr;
}

ResultList CNorvaneApp::GetInputData() const
{
    const CDesignObject* design = CurrentDesign();
    return design ? design->GetInputData() : ResultList{};
}

ResultList CNorvaneApp::GetComponentValues() const
{
    const CDesignObject* design = CurrentDesign();
    return design ? design->GetComponentValues() : ResultList{};
}

ResultList CNorvaneApp::GetOperationPoint() const
{
    const CDesignObject* design = CurrentDesign();
    return design ? design->GetOperationPoint() : ResultList{};
}

std::vector<std::string> CNorvaneApp::GetNotes() const
{
    const CDesignObject* design = CurrentDesign();
    if (!design) {
        return {};
    }
    std::vector<std::string> notes = DesignNotes(design->Design());
    if (!m_OpenNote.empty()) {
        notes.push_back(m_OpenNote);
    }
    return notes;
}

bool CNorvaneApp::IsChangeNote(const std::string& note) const
{
    const CDesignObject* design = CurrentDesign();
    return design &&
           std::ranges::find(design->Design().ChangeNotes(), note) != design->Design().ChangeNotes().end();
}

Expected<std::string> CNorvaneApp::GetPartsListCsv() const
{
    const CDesignObject* design = CurrentDesign();
    if (design == nullptr) {
        return Failure{NothingCalculatedMessage};
    }
    return PartsListCsv(design->Design());
}

Expected<std::string> CNorvaneApp::GetKicadSchematic() const
{
    const CDesignObject* design = CurrentDesign();
    if (design == nullptr) {
        return Failure{NothingCalculatedMessage};
    }
    return KicadSchematic(design->Design());
}

ReportContent CNorvaneApp::GetReportContent() const
{
    const CDesignObject* design = CurrentDesign();
    if (!design) {
        return {};
    }
    ReportContent content = ReportContentOf(design->Design());
    content.m_Setup.m_Conditions = m_Conditions;
    return content;
}

std::optional<Verification> CNorvaneApp::GetReportSimulation() const
{
    const CDesignObject* design = CurrentDesign();
    if (!design || !IncludeSimulationInReports()) {
        return std::nullopt;
    }
    if (m_VerdictState == VerdictState::Simulating) {
        return VerifyBeside(design->Snapshot(), std::nullopt);
    }
    if (m_Verification.m_Verdict.m_Simulated && !m_Verification.m_Verdict.m_Yield) {
        return VerifyBeside(design->Snapshot(), m_Verification);
    }
    return m_Verification;
}

RobustnessResults CNorvaneApp::GetReportRobustness() const
{
    if (m_RobustnessGeneration != m_DesignGeneration || !CurrentDesign()) {
        return {};
    }
    return m_Robustness;
}

void CNorvaneApp::SetReportRobustness(std::uint64_t generation, RobustnessResults results)
{
    if (generation == m_DesignGeneration) {
        m_Robustness = std::move(results);
        m_RobustnessGeneration = generation;
    }
}

void CNorvaneApp::NotifyDesignChanged()
{
    ++m_DesignGeneration;
    m_Robustness = {};
    Q_EMIT DesignChanged();
}

void CNorvaneApp::SetVerificationConditions(std::uint64_t generation, VerificationOptions conditions)
{
    if (generation == m_DesignGeneration) {
        m_Conditions = std::move(conditions);
    }
}

bool CNorvaneApp::IncludeSimulationInReports() const
{
    return QSettings().value(QLatin1String(IncludeSimulationKey), true).toBool();
}

void CNorvaneApp::SetIncludeSimulationInReports(bool include)
{
    QSettings().setValue(QLatin1String(IncludeSimulationKey), include);
}

std::string CNorvaneApp::GetVerdictLine() const
{
    switch (m_VerdictState) {
    case VerdictState::None: return {};
    case VerdictState::Simulating: return SimulatingText;
    case VerdictState::Meets:
    case VerdictState::Misses:
    case VerdictState::NotSimulated: break;
    }
    return m_Verification.m_Verdict.Line();
}

std::shared_ptr<const AmplifierDesign> CNorvaneApp::CurrentSnapshot() const
{
    const CDesignObject* design = CurrentDesign();
    return design ? design->Snapshot() : nullptr;
}

void CNorvaneApp::ApplyPartValues(const std::vector<NamedValue>& values)
{
    if (m_LastOutcome != CalculationOutcome::Calculated || values.empty()) {
        return;
    }
    DesignObjectOf(m_CircuitKind).ApplyPartValues(values);
    // The what-if values were edits of the design before.
    m_Conditions.m_PartValues.clear();
    m_ResultUnsaved = true;
    StartVerdict();
    NotifyDesignChanged();
}

void CNorvaneApp::StartVerdict()
{
    m_VerdictState = VerdictState::Simulating;
    m_VerdictRunner.Start(CurrentDesign()->Snapshot(), {}, false);
    RepaintView();
}

void CNorvaneApp::RepaintView()
{
    if (m_pMainWindow) {
        m_pMainWindow->View()->updateGeometry();
        m_pMainWindow->View()->update();
    }
}

void CNorvaneApp::OnVerification()
{
    if (!m_pVerificationWindow) {
        m_pVerificationWindow = new CVerificationWindow(*this, m_pMainWindow.get());
    }
    m_pVerificationWindow->show();
    m_pVerificationWindow->raise();
    m_pVerificationWindow->activateWindow();
}

CDesignObject& CNorvaneApp::DesignObjectOf(CircuitKind kind)
{
    switch (kind) {
    case CircuitKind::CommonBase: return m_CommonBase;
    case CircuitKind::CommonEmitter: return m_CommonEmitter;
    case CircuitKind::CommonCollector:
    case CircuitKind::None: break;
    }
    return m_CommonCollector;
}

std::uint16_t CNorvaneApp::SchematicOf(const CDesignObject& object)
{
    return object.Design().SchematicId();
}

void CNorvaneApp::OnNewCommonBase()
{
    if (m_CommonBase.Calculate() == CalculationOutcome::Calculated) {
        RecordCalculation(CircuitKind::CommonBase, SchematicOf(m_CommonBase));
    }
}

void CNorvaneApp::OnNewCommonEmitter()
{
    if (m_CommonEmitter.Calculate() == CalculationOutcome::Calculated) {
        RecordCalculation(CircuitKind::CommonEmitter, SchematicOf(m_CommonEmitter));
    }
}

void CNorvaneApp::OnNewCommonCollector()
{
    if (m_CommonCollector.Calculate() == CalculationOutcome::Calculated) {
        RecordCalculation(CircuitKind::CommonCollector, SchematicOf(m_CommonCollector));
    }
}

bool CNorvaneApp::LoadDesign(const ReportRecipe& recipe, const QString& fileName)
{
    const CircuitKind kind = recipe.inputs.Kind();
    CDesignObject& object = DesignObjectOf(kind);
    object.CalculateFrom(recipe.inputs);
    object.ApplyPartValues(recipe.setup.m_Applied);
    m_Conditions = recipe.setup.m_Conditions;
    const AnalysisRequest& analyses = recipe.setup.m_Analyses;
    m_OpenedTolerance.reset();
    if (analyses.m_ToleranceRuns > 0) {
        m_OpenedTolerance = ToleranceOptions{analyses.m_ToleranceRuns, analyses.m_Seed};
    }
    RecordCalculation(kind, SchematicOf(object), true);
    const std::vector<std::string> differences = DifferencesFromReport(recipe, object.Design());
    if (differences.empty()) {
        return true;
    }
    m_OpenNote = DifferenceNote(fileName.toStdString(), differences);
    if (m_pMainWindow) {
        m_pMainWindow->View()->updateGeometry();
        m_pMainWindow->View()->repaint();
    }
    return false;
}

void CNorvaneApp::RecordCalculation(CircuitKind kind, std::uint16_t schematicId, bool opened)
{
    if (!opened) {
        m_Conditions.m_PartValues.clear();
        m_OpenedTolerance.reset();
    }
    m_LastOutcome = CalculationOutcome::Calculated;
    m_OpenNote.clear();
    m_SchematicId = schematicId;
    m_CircuitTitle = CircuitTitle(kind);
    if (m_CircuitKind != kind) {
        if (m_CircuitKind != CircuitKind::None) {
            // Another circuit starts a fresh, untitled document without
            // asking about the result it replaces.
            m_ResultUnsaved = false;
            m_pDocument->FileNew();
        }
        m_CircuitKind = kind;
    }
    m_ResultUnsaved = true;
    StartVerdict();
    if (m_pMainWindow) {
        m_pMainWindow->View()->updateGeometry();
        m_pMainWindow->View()->repaint();
    }
    NotifyDesignChanged();
}

void CNorvaneApp::OnAbout()
{
    CAboutDialog about(m_pMainWindow.get());
    about.exec();
}

void CNorvaneApp::OnFileNew()
{
    m_pDocument->FileNew();
}

void CNorvaneApp::OnFileOpen()
{
    m_pDocument->FileOpen();
}

} // namespace norvane
