#pragma once

// The application object: starts the program, owns the three design
// objects, runs the "New Amplifier" commands and keeps the state of the
// current design (its circuit, schematic, title, whether one has been
// calculated and whether the latest result is still unsaved). The
// document and the view ask it for the result of the current design.

#include "app/DesignObjects.h"
#include "app/VerificationRunner.h"
#include "report/Report.h"
#include "report/ReportReader.h"

#include <QObject>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace norvane {

class CMainWindow;
class CNorvaneDoc;
class CVerificationWindow;

inline constexpr int RecentFileCount = 4;

// The settings key of Result > "Include simulation in reports" (on when
// absent).
inline constexpr const char* IncludeSimulationKey = "Report/IncludeSimulation";

// What the verdict line below the title says of the current design.
enum class VerdictState {
    None,       // nothing calculated
    Simulating, // the simulation has not come back yet
    Meets,
    Misses,
    NotSimulated, // no simulation to judge by; the line says why
};

inline constexpr const char* SimulatingText = "Simulating...";

class CNorvaneApp : public QObject {
    Q_OBJECT
public:
    CNorvaneApp();
    ~CNorvaneApp() override;

    // Start-up; arguments as QCoreApplication::arguments() gives them.
    // False when the program must end (the reason has been shown).
    bool InitInstance(const QStringList& arguments);

    // Queries of the current design.
    ResultList GetInputData() const;
    ResultList GetComponentValues() const;
    ResultList GetOperationPoint() const;
    // The notes shown below the title: that the current design cannot be
    // built and why, or what is doubtful about it, and, for a design opened
    // from a report that it no longer matches, what differs. Empty before
    // the first calculation.
    std::vector<std::string> GetNotes() const;
    // Whether a note of GetNotes() tells what the user changed (a tuning
    // applied) rather than a doubt about the design.
    bool IsChangeNote(const std::string& note) const;
    // What a saved report of the current design shows.
    ReportContent GetReportContent() const;
    // The parts list of the current design as CSV; fails without one.
    [[nodiscard]] Expected<std::string> GetPartsListCsv() const;
    // The KiCad schematic of the current design; fails without one.
    [[nodiscard]] Expected<std::string> GetKicadSchematic() const;
    // The verification a saved report shows in its simulation section:
    // none when the reports leave it out (or nothing was calculated), else
    // that of the current design, without load, as the verdict line has it.
    // Asked before that verdict is back, it simulates the design on a
    // thread of its own and waits with the event loop painting (user
    // input waits until it is done).
    std::optional<Verification> GetReportSimulation() const;
    // The robustness analyses run in the verification window for the
    // current design, for the report's simulation section; empty when none
    // were run since the design last changed.
    RobustnessResults GetReportRobustness() const;
    // A number that changes whenever the current design does
    // (DesignChanged): what a result of the design is kept with.
    std::uint64_t DesignGeneration() const { return m_DesignGeneration; }
    // The verification window hands over the analyses it shows for the
    // design of generation (all of them, each time they change); results
    // of an older design are ignored.
    void SetReportRobustness(std::uint64_t generation, RobustnessResults results);
    // The load, source and what-if values the verification window
    // simulates the current design with: what it last read from its
    // fields, or what an opened report brought back. A new design keeps
    // the load and the source and drops the what-if values.
    const VerificationOptions& VerificationConditions() const { return m_Conditions; }
    void SetVerificationConditions(std::uint64_t generation, VerificationOptions conditions);
    // The runs and seed of the tolerance analysis in an opened report, for
    // the verification window's tab; none after any other calculation.
    std::optional<ToleranceOptions> OpenedToleranceOptions() const { return m_OpenedTolerance; }
    bool IncludeSimulationInReports() const;
    void SetIncludeSimulationInReports(bool include);

    // The verdict line below the title: "Simulating..." until the
    // simulation of the current design is back, then its Verdict::Line().
    // The simulation runs on a worker thread; the view repaints when it
    // lands, and a result for an older design is dropped.
    std::string GetVerdictLine() const;
    VerdictState GetVerdictState() const { return m_VerdictState; }

    // A copy of the current design; none before the first calculation.
    std::shared_ptr<const AmplifierDesign> CurrentSnapshot() const;
    // Applies part values (a tuning proposal) to the current design: the
    // result counts as unsaved, its notes name each change, the verdict is
    // simulated again.
    void ApplyPartValues(const std::vector<NamedValue>& values);

    // The verification window, created at its first opening.
    CVerificationWindow* VerificationWindow() const { return m_pVerificationWindow; }
    std::string GetCircuitTitle() const { return m_CircuitTitle; }
    std::uint16_t GetSchematicId() const { return m_SchematicId; }
    CalculationOutcome GetLastOutcome() const { return m_LastOutcome; }
    bool IsResultUnsaved() const { return m_ResultUnsaved; }
    void ClearResultUnsaved() { m_ResultUnsaved = false; }
    CircuitKind GetCircuitKind() const { return m_CircuitKind; }

    // Computes the design of an opened report as the current design, its
    // dialog holding the report's requirements, with the part values its
    // setup applied, and takes the setup's verification conditions and
    // analysis settings. True when the new result equals what the file
    // shows; otherwise a note names what differs.
    bool LoadDesign(const ReportRecipe& recipe, const QString& fileName);

    CCommonBaseObject& CommonBase() { return m_CommonBase; }
    CCommonEmitterObject& CommonEmitter() { return m_CommonEmitter; }
    CCommonCollectorObject& CommonCollector() { return m_CommonCollector; }

    CNorvaneDoc* Document() const { return m_pDocument.get(); }
    CMainWindow* MainWindow() const { return m_pMainWindow.get(); }

    // The recent-file list kept in the settings, newest first; no menu
    // shows it.
    QStringList RecentFiles() const { return m_RecentFiles; }
    void AddToRecentFileList(const QString& path);

public Q_SLOTS:
    void OnNewCommonBase();
    void OnNewCommonEmitter();
    void OnNewCommonCollector();
    void OnAbout();
    // The document's New and Open (Ctrl+N, Ctrl+O).
    void OnFileNew();
    void OnFileOpen();
    // Result > Verification... (F5): shows the verification window.
    void OnVerification();

Q_SIGNALS:
    // The current design is another one, or has other values.
    void DesignChanged();

private:
    // Counts the change of the current design and tells the followers.
    void NotifyDesignChanged();
    // Starts the simulation behind the verdict line of the current design.
    void StartVerdict();
    void RepaintView();
    // The design object that answers the result queries: the one of the
    // current schematic, none before the first calculation.
    const CDesignObject* CurrentDesign() const;
    CDesignObject& DesignObjectOf(CircuitKind kind);
    // The schematic of the design object's present result.
    static std::uint16_t SchematicOf(const CDesignObject& object);
    void LoadRecentFileList();
    // Records a confirmed calculation of kind with its schematic; opened:
    // the conditions came with the design from a report and stay.
    void RecordCalculation(CircuitKind kind, std::uint16_t schematicId, bool opened = false);

    // The document and the main window come first, so that they outlive the
    // design objects, whose dialogs are owned by the main window while it lives.
    std::unique_ptr<CNorvaneDoc> m_pDocument;
    std::unique_ptr<CMainWindow> m_pMainWindow;
    QStringList m_RecentFiles;

    CircuitKind m_CircuitKind = CircuitKind::None;
    CCommonBaseObject m_CommonBase;
    std::string m_CircuitTitle;
    CCommonEmitterObject m_CommonEmitter;
    CCommonCollectorObject m_CommonCollector;
    std::uint16_t m_SchematicId = 0;
    CalculationOutcome m_LastOutcome = CalculationOutcome::None;
    // Set by LoadDesign when the opened report and its new result differ.
    std::string m_OpenNote;
    bool m_ResultUnsaved = false;

    CVerificationRunner m_VerdictRunner;
    VerdictState m_VerdictState = VerdictState::None;
    Verification m_Verification; // of the current design, once m_VerdictState is past Simulating
    CVerificationWindow* m_pVerificationWindow = nullptr; // owned by the main window
    std::uint64_t m_DesignGeneration = 0;
    // What the verification window handed over, for the design of
    // m_RobustnessGeneration.
    RobustnessResults m_Robustness;
    std::uint64_t m_RobustnessGeneration = 0;
    VerificationOptions m_Conditions;
    std::optional<ToleranceOptions> m_OpenedTolerance;
};

} // namespace norvane
