#include "app/RobustnessRunner.h"

#include "dialogs/AnalysisThread.h"

#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>

#include <atomic>
#include <mutex>

namespace norvane {

// What the runner and the worker of one run share. The worker posts its
// progress to owner under the mutex; Drop and the destructor clear owner
// under it, so that nothing is posted to a runner that is gone.
struct CRobustnessRunner::Run {
    std::mutex m_Mutex;
    CRobustnessRunner* m_pOwner = nullptr;
    std::atomic<bool> m_Stop{false};
    int m_PostedPercent = -1; // worker only
};

CRobustnessRunner::CRobustnessRunner(QObject* parent) : QObject(parent)
{}

CRobustnessRunner::~CRobustnessRunner()
{
    Drop();
}

void CRobustnessRunner::Start(RobustnessJob job)
{
    Drop();
    auto run = std::make_shared<Run>();
    run->m_pOwner = this;
    m_pCurrent = run;

    const AnalysisProgress progress = [run](int done, int total) {
        const int percent = total > 0 ? static_cast<int>(100LL * done / total) : 0;
        if (percent != run->m_PostedPercent) {
            run->m_PostedPercent = percent;
            const std::lock_guard lock(run->m_Mutex);
            if (CRobustnessRunner* owner = run->m_pOwner) {
                // Delivered only while owner lives (Qt drops the events
                // posted to an object it deletes).
                QMetaObject::invokeMethod(
                    owner,
                    [owner, run, done, total] {
                        if (owner->m_pCurrent == run) {
                            Q_EMIT owner->Progress(done, total);
                        }
                    },
                    Qt::QueuedConnection);
            }
        }
        return !run->m_Stop;
    };

    auto* watcher = new QFutureWatcher<RobustnessResults>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, run] {
        watcher->deleteLater();
        if (m_pCurrent != run) {
            return;
        }
        m_pCurrent.reset();
        Q_EMIT Finished(watcher->result());
    });
    watcher->setFuture(
        QtConcurrent::run(&AnalysisThreadPool(), [job = std::move(job), progress] { return job(progress); }));
}

void CRobustnessRunner::Cancel()
{
    if (m_pCurrent) {
        m_pCurrent->m_Stop = true;
    }
}

void CRobustnessRunner::Drop()
{
    if (!m_pCurrent) {
        return;
    }
    m_pCurrent->m_Stop = true;
    {
        const std::lock_guard lock(m_pCurrent->m_Mutex);
        m_pCurrent->m_pOwner = nullptr;
    }
    m_pCurrent.reset();
}

} // namespace norvane
