#pragma once

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QThreadPool>

#include <memory>
#include <utility>

/*!
 * Hands work to a thread pool and what it produces back to an object on the GUI thread. A job returns its
 * result by value, and the result is delivered to the receiver through the GUI thread's event queue, in the
 * order of posting, unless the receiver has gone meanwhile (a QPointer made on the GUI thread guards it). A
 * job may post values on its way too.
 *
 * Qt's queues order each hand-over, but Qt is not built with ThreadSanitizer, which would take every one for a
 * race. The tracker tells it of each: a release where a value is handed over, an acquire where it is taken.
 * Its callers need no lock and no annotation of their own.
 */
namespace JobTracker {

namespace detail {
void handedOver(const void* value);
void takenOver(const void* value);
} // namespace detail

/// Delivers value as deliver(value) on the GUI thread, if receiver is still there; callable from any thread.
template <typename T, typename Deliver> void post(const QPointer<QObject>& receiver, T value, Deliver deliver)
{
    auto box = std::make_shared<T>(std::move(value));
    detail::handedOver(box.get());
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [receiver, box, deliver = std::move(deliver)]() mutable {
            detail::takenOver(box.get());
            if (receiver)
                deliver(std::move(*box));
        },
        Qt::QueuedConnection);
}

/// Runs job() on pool, then delivers its result as done(result) on the GUI thread if receiver is still there.
template <typename Job, typename Done> void start(QThreadPool& pool, QObject* receiver, Job job, Done done)
{
    struct Task
    {
        Job job;
        Done done;
    };
    auto task = std::make_shared<Task>(Task { std::move(job), std::move(done) });
    const QPointer<QObject> guard(receiver);
    detail::handedOver(task.get());
    pool.start([task, guard] {
        detail::takenOver(task.get());
        post(guard, task->job(), std::move(task->done));
    });
}

} // namespace JobTracker
