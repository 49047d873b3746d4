#pragma once

#include <QObject>
#include <QPointer>
#include <QRunnable>
#include <QThreadPool>

#include <functional>
#include <utility>

/*!
 * Hands work to a thread pool and what it produces back to an object on the GUI thread. A job returns its
 * result by value, and the result is delivered to the receiver through the GUI thread's event queue, in the
 * order of posting, unless the receiver has gone meanwhile (a QPointer made on the GUI thread guards it). A
 * job may post values on its way too.
 *
 * Qt's queues order each hand-over, but Qt is not built with ThreadSanitizer, which would take every one for a
 * race. The tracker tells it of each: whatever crosses is built whole first, then released, and acquired
 * before it is used on the other side. Its callers need no lock and no annotation of their own.
 */
namespace JobTracker {

namespace detail {

/// Runs work on the GUI thread, later, after what was posted before it. start() must have run once.
void deliver(std::function<void()> work);
/// Runs job on pool, told to ThreadSanitizer as a hand-over. On the GUI thread.
void run(QThreadPool& pool, std::function<void()> job);

} // namespace detail

/*!
 * Delivers value as deliver(value) on the GUI thread, if receiver is still there; callable from any thread.
 * The guard is moved, not copied, so that its count of references is only touched on the GUI thread.
 */
template <typename T, typename Deliver> void post(QPointer<QObject> receiver, T value, Deliver deliver)
{
    detail::deliver([receiver = std::move(receiver), value = std::move(value), deliver = std::move(deliver)]() mutable {
        if (receiver)
            deliver(std::move(value));
    });
}

/// Runs job() on pool, then delivers its result as done(result) on the GUI thread if receiver is still there.
template <typename Job, typename Done> void start(QThreadPool& pool, QObject* receiver, Job job, Done done)
{
    detail::run(pool, [guard = QPointer<QObject>(receiver), job = std::move(job), done = std::move(done)]() mutable {
        post(std::move(guard), job(), std::move(done));
    });
}

} // namespace JobTracker
