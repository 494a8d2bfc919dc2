#pragma once

// One robustness analysis (studies/Robustness.h) at a time on a worker
// thread, so that the verification window never waits for ngspice.
//
// The analysis reports its progress through AnalysisProgress on the worker;
// the runner posts it to the GUI thread (queued, at most once per percent)
// and answers the analysis with its stop flag. Cancel sets that flag: the
// analysis stops at its next step and finishes failing with
// AnalysisCancelled, which is reported like any result. Drop sets it too and
// forgets the run: neither its progress nor its result is reported, as for a
// run that belongs to a design or options no longer shown. A later Start
// drops the run before it.

#include "studies/Robustness.h"

#include <QObject>

#include <functional>
#include <memory>

namespace norvane {

// An analysis to run; its result comes back in the member of its kind.
using RobustnessJob = std::function<RobustnessResults(const AnalysisProgress&)>;

class CRobustnessRunner : public QObject {
    Q_OBJECT
public:
    explicit CRobustnessRunner(QObject* parent = nullptr);
    ~CRobustnessRunner() override;

    void Start(RobustnessJob job);
    void Cancel();
    void Drop();
    bool IsRunning() const { return m_pCurrent != nullptr; }

Q_SIGNALS:
    void Progress(int done, int total);
    void Finished(const norvane::RobustnessResults& results);

private:
    struct Run;
    std::shared_ptr<Run> m_pCurrent; // shared with its worker
};

} // namespace norvane
