#pragma once

// Result > Verification...: a window beside the main window that follows
// the current design and shows what ngspice makes of it, on the same
// Gummel-Poon card the design used.
//
// - The verdict line (or why there is no simulation), its yield once the
//   tolerance runs behind it are back, and, where the design misses its
//   requirements through its capacitors or its builds miss Ic, the tuning
//   proposal (capacitors with margin, the stiffer divider) with "Apply",
//   which puts it into the current design.
// - The Bode plot (app/BodeChart.h): gain in dB (left axis) and phase in
//   degrees (right axis) over a logarithmic frequency axis, f_min and the
//   -3 dB points marked; every plot reads out what lies under the mouse,
//   zooms and pans (app/PlotView.h).
// - The verification table (quantity, requirement, designed, simulated,
//   verdict).
// - What-if: every part value of the design in an editable field. An edit
//   simulates again at once; fields whose value differs from the design
//   are marked, "Back to design" restores them all. Text that is no number,
//   or no positive finite value, is refused and leaves no plot.
// - Load and source resistance (empty: none), for the plot, the table and
//   the verdict.
// - Export of what is shown: the SPICE netlist (edits and load included),
//   the Bode table as CSV, the plot of the tab in front as PNG and SVG.
// - Beside the Bode plot's tab, one tab per robustness analysis
//   (app/RobustnessTab.h), each run on demand with the options above.
//   Whatever changes the design, a part value, the load or the source
//   clears them: their results belong to what was shown when they ran. The
//   window hands the results it shows to the application for the report.
//
// Keyboard: Tab moves through every control (out of the tables too), Alt
// and a letter brings a tab to the front, Escape or "Close" closes the
// window.
//
// Simulations run on a worker thread; what comes back for older values is
// dropped. A failed simulation shows its reason and clears plot and table.

#include "app/PlotView.h"
#include "app/RobustnessTab.h"
#include "app/VerificationRunner.h"
#include "common/Outcome.h"

#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QChart;
class QChartView;
class QGridLayout;
class QIODevice;
class QLabel;
class QLineEdit;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTableWidget;

class QKeyEvent;

namespace norvane {

class CNorvaneApp;

inline constexpr const char* VerificationTitle = "Verification";

// The status while the user types a what-if value.
inline constexpr const char* PreviewText =
    "Typing: the plot shows the in-process model; ngspice simulates when you pause";

class CVerificationWindow : public QWidget {
    Q_OBJECT
public:
    // Asks for a file name to export to: (owner, caption, suggested name,
    // filter) -> the chosen path, empty when cancelled.
    using FileChooser = std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;

    CVerificationWindow(CNorvaneApp& app, QWidget* parent);
    ~CVerificationWindow() override;

    // Takes the current design of the application, its part values in the
    // fields, and simulates it with the present load and source.
    void FollowDesign();

    // The options the fields give, or why they give none.
    [[nodiscard]] Expected<VerificationOptions> ReadOptions() const;

    // What the window shows, for the tests and the exports.
    // Also while typing: ngspice runs once the user stops.
    bool IsSimulating() const { return m_Runner.IsRunning() || m_pTypingPause->isActive(); }
    const std::optional<VerificationOutcome>& Shown() const { return m_Shown; }
    QString StatusText() const;
    QLineEdit* PartEdit(const QString& part) const;
    QLineEdit* LoadEdit() const { return m_pLoad; }
    QLineEdit* SourceEdit() const { return m_pSource; }
    QPushButton* BackButton() const { return m_pBack; }
    QPushButton* ApplyButton() const { return m_pApply; }
    QLabel* TuningLabel() const { return m_pTuning; }
    QTableWidget* Table() const { return m_pTable; }
    CPlotView* ChartView() const { return m_pChartView; }
    // The Bode plot's tab first, then one per analysis.
    QTabWidget* Tabs() const { return m_pTabs; }
    CRobustnessTab* AnalysisTab(RobustnessKind kind) const;

    // The exports; failures carry the message shown to the user.
    [[nodiscard]] Status ExportNetlist(const std::string& path) const;
    [[nodiscard]] Status ExportBodeCsv(const std::string& path) const;
    [[nodiscard]] Status ExportPng(const std::string& path) const;
    [[nodiscard]] Status ExportSvg(const std::string& path) const;

    void SetFileChooser(FileChooser chooser) { m_Chooser = std::move(chooser); }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct PartField {
        std::string m_Name;
        double m_Designed = 0.0; // ohm or farad
        QLineEdit* m_pEdit = nullptr;
    };

    void Simulate();
    // A keystroke in a what-if field: the fields marked, the plot from the
    // in-process model, ngspice after the pause.
    void Edited();
    void MarkFields();
    // The fields read and handed to the application; nullopt (and the
    // problem shown) where one is refused, or there is no design.
    std::optional<VerificationOptions> TakeOptions();
    void Preview(const VerificationOptions& options);
    void Show(const VerificationOutcome& outcome);
    // The yield after the verdict, and the proposal with the divider.
    void ShowYield(const YieldOutcome& outcome);
    void ShowProblem(const QString& problem);
    void ClearResult();
    void FillTable(const Verification& verification);
    void BackToDesign();
    void ApplyTuning();
    // Starts the analysis of tab on the design and options shown.
    void RunAnalysis(CRobustnessTab* tab);
    // Clears the analyses unless options are those they ran with.
    void KeepAnalysesFor(const Expected<VerificationOptions>& options);
    void ClearAnalyses();
    void HandOverAnalyses();
    // Writes the picture draw puts on a device, when a plot is shown.
    [[nodiscard]] Status ExportPlot(const std::string& path,
                                    const std::function<void(QIODevice&)>& draw) const;
    // The analysis tab in front; nullptr for the Bode plot's.
    const CRobustnessTab* AnalysisInFront() const;
    // The plot of the tab in front, for the picture exports.
    QChartView* PlotInFront() const;
    // Runs the chooser and the export; shows a failure.
    void Export(const QString& caption, const QString& suggested, const QString& filter,
                Status (CVerificationWindow::*exporter)(const std::string&) const);

    CNorvaneApp& m_App;
    CVerificationRunner m_Runner;
    std::shared_ptr<const AmplifierDesign> m_Design;
    std::uint64_t m_DesignGeneration = 0; // the application's, of m_Design
    // The options the analyses shown ran with (or will run with).
    std::optional<VerificationOptions> m_AnalysedOptions;
    std::optional<VerificationOutcome> m_Shown;
    VerificationOptions m_Requested; // of the simulation asked for last
    FileChooser m_Chooser;

    QLabel* m_pStatus = nullptr;
    QLabel* m_pTuning = nullptr;
    QPushButton* m_pApply = nullptr;
    QChart* m_pChart = nullptr;
    CPlotView* m_pChartView = nullptr;
    QSplitter* m_pSplitter = nullptr;
    QTableWidget* m_pTable = nullptr;
    QTabWidget* m_pTabs = nullptr;
    std::vector<CRobustnessTab*> m_AnalysisTabs; // in RobustnessKinds order
    QGridLayout* m_pPartGrid = nullptr;
    std::vector<PartField> m_Parts;
    // Restarted by every keystroke in the what-if fields; ngspice runs when
    // it runs out.
    QTimer* m_pTypingPause = nullptr;
    QLineEdit* m_pLoad = nullptr;
    QLineEdit* m_pSource = nullptr;
    QPushButton* m_pBack = nullptr;
    std::vector<QPushButton*> m_ExportButtons;
};

} // namespace norvane
