#include "app/VerificationRunner.h"

#include "dialogs/AnalysisThread.h"
#include "workflow/DesignWorkflow.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace norvane {

CVerificationRunner::CVerificationRunner(QObject* parent) : QObject(parent)
{}

void CVerificationRunner::Start(std::shared_ptr<const AmplifierDesign> design, VerificationOptions options,
                                bool withTuning)
{
    const unsigned long long generation = ++*m_Generation;
    m_Running = true;
    auto* watcher = new QFutureWatcher<VerificationOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != *m_Generation) {
            return;
        }
        m_Running = false;
        Q_EMIT Finished(watcher->result());
    });
    watcher->setFuture(QtConcurrent::run(
        &AnalysisThreadPool(), [design = std::move(design), options = std::move(options), withTuning] {
            VerificationRun run = RunVerification(*design, options, withTuning);
            VerificationOutcome outcome;
            outcome.m_Verification = std::move(run.m_Verification);
            outcome.m_Tuning = std::move(run.m_Proposal);
            return outcome;
        }));
}

void CVerificationRunner::StartYield(std::shared_ptr<const AmplifierDesign> design,
                                     VerificationOptions options, std::optional<TuningProposal> tuning,
                                     bool withBias)
{
    const unsigned long long generation = *m_Generation;
    auto* watcher = new QFutureWatcher<YieldOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation == *m_Generation) {
            Q_EMIT YieldFinished(watcher->result());
        }
    });
    watcher->setFuture(QtConcurrent::run(
        &AnalysisThreadPool(), [design = std::move(design), options = std::move(options),
                                tuning = std::move(tuning), withBias, current = m_Generation, generation] {
            const AnalysisProgress goOn = [&](int, int) { return *current == generation; };
            YieldOutcome outcome;
            if (*current != generation) {
                return outcome;
            }
            const YieldAnalysis yield = AnalyseYield(*design, options, goOn);
            outcome.m_Yield = yield.m_Yield;
            outcome.m_Tuning = withBias ? AddBiasProposal(*design, options, tuning, yield, goOn) : tuning;
            return outcome;
        }));
}

void CVerificationRunner::Cancel()
{
    ++*m_Generation;
    m_Running = false;
}

} // namespace norvane
