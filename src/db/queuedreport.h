// The reports of a background run, handed to the thread of the object that started it, where
// those of a run that is no longer wanted are dropped.
#pragma once

#include <QMetaObject>
#include <QObject>

#include <utility>

namespace quirelle::db {

// Calls `report` on `owner`'s thread, unless the owner's `current` run is no longer `run` by
// then. `current` belongs to the owner: a report still queued when the owner is deleted is
// dropped with it.
template<typename Report>
void postReport(QObject* owner, const quint64& current, quint64 run, Report report)
{
    QMetaObject::invokeMethod(
        owner,
        [&current, run, report = std::move(report)] {
            if (run == current)
                report();
        },
        Qt::QueuedConnection);
}

} // namespace quirelle::db
