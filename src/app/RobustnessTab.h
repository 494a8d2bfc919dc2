#pragma once

// One tab of the verification window per robustness analysis
// (studies/Robustness.h). "Run" (the tolerances also take the number of
// runs and the seed) starts it on a worker thread; a progress bar and
// "Cancel" show while it runs. Then the analysis' summary line, its table
// and its plot (app/AnalysisCharts.h draws them):
// - Tolerances: a histogram of one quantity over the runs, chosen in a
//   combo box, its median and its 1st and 99th percentile marked;
// - Temperature: Ic, Uce and the mid-band gain against the temperature;
// - Distortion: the output over the last period of the transient;
// - Noise: the input-referred noise density over frequency, log-log;
// - Worst case: the table alone, each quantity's extremes and their corners.
//
// The tab knows neither the design nor the options: "Run" asks the window
// (RunRequested), which starts the analysis through Start or says through
// ShowProblem why it cannot. Cancel leaves "Cancelled" and no result; Clear
// forgets the result and drops a run still going, whose result would
// belong to a design or options no longer shown.

#include "app/PlotView.h"
#include "app/RobustnessRunner.h"
#include "present/RobustnessText.h"

#include <QWidget>

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTableWidget;

namespace norvane {

enum class RobustnessKind { Tolerance, Temperature, Distortion, Noise, WorstCase };
inline constexpr RobustnessKind RobustnessKinds[] = {RobustnessKind::Tolerance, RobustnessKind::Temperature,
                                                     RobustnessKind::Distortion, RobustnessKind::Noise,
                                                     RobustnessKind::WorstCase};

// The tab's title: "Tolerances", "Temperature", "Distortion", "Noise",
// "Worst case".
QString RobustnessTitle(RobustnessKind kind);
// The same with its mnemonic, as the tab shows it: "&Tolerances",
// "T&emperature", "&Distortion", "No&ise".
QString RobustnessTabLabel(RobustnessKind kind);

// What a Run of kind computes, on copies of the design and the options.
RobustnessJob MakeRobustnessJob(RobustnessKind kind, std::shared_ptr<const AmplifierDesign> design,
                                VerificationOptions options, ToleranceOptions tolerance = {});

inline constexpr const char* CancelledText = "Cancelled";

class CRobustnessTab : public QWidget {
    Q_OBJECT
public:
    explicit CRobustnessTab(RobustnessKind kind, QWidget* parent = nullptr);
    ~CRobustnessTab() override;

    RobustnessKind Kind() const { return m_Kind; }
    // The number of runs and the seed typed in the tolerance tab (the
    // defaults elsewhere), or why they are none.
    [[nodiscard]] Expected<ToleranceOptions> ReadToleranceOptions() const;
    // Puts runs and seed into the tolerance tab's fields (nothing elsewhere).
    void SetToleranceOptions(const ToleranceOptions& options);

    void Start(RobustnessJob job);
    // No run: says why.
    void ShowProblem(const QString& problem);
    void Clear();

    // What the tab shows: its member of the results, the others empty.
    const RobustnessResults& Result() const { return m_Result; }
    bool IsRunning() const { return m_Runner.IsRunning(); }
    QString LineText() const;
    QPushButton* RunButton() const { return m_pRun; }
    QPushButton* CancelButton() const { return m_pCancel; }
    QProgressBar* ProgressBar() const { return m_pProgress; }
    QTableWidget* Table() const { return m_pTable; }
    CPlotView* ChartView() const { return m_pChartView; }
    QComboBox* QuantityBox() const { return m_pQuantity; } // tolerances only
    QSpinBox* RunsEdit() const { return m_pRuns; }         // tolerances only
    QLineEdit* SeedEdit() const { return m_pSeed; }        // tolerances only

Q_SIGNALS:
    void RunRequested();
    // A run finished with a result, or the result was cleared.
    void ResultChanged();

private:
    void OnProgress(int done, int total);
    void OnFinished(const RobustnessResults& results);
    void SetRunning(bool running);
    void SetLine(const QString& text, const QColor& colour);
    void ShowResult();
    void FillTable(const TextTable& table);
    // The plot of the result shown (app/AnalysisCharts.h).
    void DrawPlot();

    RobustnessKind m_Kind;
    CRobustnessRunner m_Runner;
    RobustnessResults m_Result;

    QPushButton* m_pRun = nullptr;
    QSpinBox* m_pRuns = nullptr;
    QLineEdit* m_pSeed = nullptr;
    QProgressBar* m_pProgress = nullptr;
    QPushButton* m_pCancel = nullptr;
    QLabel* m_pLine = nullptr;
    QComboBox* m_pQuantity = nullptr;
    QChart* m_pChart = nullptr;
    CPlotView* m_pChartView = nullptr;
    QTableWidget* m_pTable = nullptr;
    QSplitter* m_pSplitter = nullptr;
};

} // namespace norvane
