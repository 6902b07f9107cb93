// Work that must not run on the window's thread (it holds a transaction of its own), run on a
// thread of its own while the window's event loop keeps a progress dialog moving.
#pragma once

#include <QEventLoop>
#include <QString>
#include <QThread>

#include <atomic>
#include <exception>
#include <memory>

namespace quirelle {

// Runs `work` on a new thread named `name` and returns once it is over; what it threw is thrown
// here. The loop ends only on the thread's queued `finished`, so no result is read early; when
// the loop is left otherwise (the program ending), `cancelled` asks the work to stop.
template<class Work>
void runOffThread(const QString& name, std::atomic<bool>& cancelled, Work&& work)
{
    std::exception_ptr thrown;
    QEventLoop loop;
    const std::unique_ptr<QThread> thread(QThread::create([&] {
        try {
            work();
        } catch (...) {
            thrown = std::current_exception();
        }
    }));
    thread->setObjectName(name);
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    thread->start();
    loop.exec();
    if (!thread->isFinished())
        cancelled = true;
    thread->wait();
    if (thrown)
        std::rethrow_exception(thrown);
}

} // namespace quirelle
