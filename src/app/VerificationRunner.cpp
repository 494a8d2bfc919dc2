#include "app/VerificationRunner.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

namespace norvane {

CVerificationRunner::CVerificationRunner(QObject* parent) : QObject(parent)
{}

void CVerificationRunner::Start(std::shared_ptr<const AmplifierDesign> design, VerificationOptions options,
                                bool withTuning)
{
    const unsigned long long generation = ++m_Generation;
    m_Running = true;
    auto* watcher = new QFutureWatcher<VerificationOutcome>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, generation] {
        watcher->deleteLater();
        if (generation != m_Generation) {
            return;
        }
        m_Running = false;
        Q_EMIT Finished(watcher->result());
    });
    watcher->setFuture(
        QtConcurrent::run([design = std::move(design), options = std::move(options), withTuning] {
            VerificationOutcome outcome;
            outcome.m_Verification = Verify(*design, options);
            const Verdict& verdict = outcome.m_Verification.m_Verdict;
            if (withTuning && verdict.m_Simulated && !verdict.m_Meets) {
                outcome.m_Tuning = ProposeTuning(*design, options);
            }
            return outcome;
        }));
}

void CVerificationRunner::Cancel()
{
    ++m_Generation;
    m_Running = false;
}

} // namespace norvane
