#include "dialogs/AnalysisThread.h"

#include <QThreadPool>

namespace norvane {

QThreadPool& AnalysisThreadPool()
{
    static QThreadPool* const pool = [] {
        // Never deleted: the program's last queued work may still run while
        // static objects are torn down after main.
        auto* p = new QThreadPool;
        p->setMaxThreadCount(1);
        p->setObjectName(QStringLiteral("Norvane analyses"));
        return p;
    }();
    return *pool;
}

} // namespace norvane
