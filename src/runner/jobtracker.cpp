#include "jobtracker.h"

#include <QCoreApplication>
#include <QEvent>

#if defined(__SANITIZE_THREAD__)
#define ORVANE_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORVANE_TSAN 1
#endif
#endif

#ifdef ORVANE_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace JobTracker::detail {

namespace {

void handedOver([[maybe_unused]] void* what)
{
#ifdef ORVANE_TSAN
    __tsan_release(what);
#endif
}

void takenOver([[maybe_unused]] void* what)
{
#ifdef ORVANE_TSAN
    __tsan_acquire(what);
#endif
}

// Work for the GUI thread, built whole on the thread that posts it.
class Delivery : public QEvent
{
public:
    explicit Delivery(std::function<void()> work)
        : QEvent(type())
        , m_work(std::move(work))
    {
    }
    static QEvent::Type type()
    {
        static const auto registered = QEvent::Type(QEvent::registerEventType());
        return registered;
    }
    void run()
    {
        m_work();
    }

private:
    std::function<void()> m_work;
};

// Receives deliveries on the GUI thread.
class Courier : public QObject
{
public:
    bool event(QEvent* event) override
    {
        takenOver(event); // before the first look at it
        if (event->type() != Delivery::type())
            return QObject::event(event);
        static_cast<Delivery*>(event)->run();
        return true;
    }
};

Courier* courier = nullptr; // made on the GUI thread before the first job starts, and kept

// A job built whole on the GUI thread and run on a thread of the pool.
class Job : public QRunnable
{
public:
    explicit Job(std::function<void()> work)
        : m_work(std::move(work))
    {
    }
    void run() override
    {
        takenOver(this);
        m_work();
    }

private:
    std::function<void()> m_work;
};

} // namespace

void deliver(std::function<void()> work)
{
    auto* event = new Delivery(std::move(work));
    handedOver(event);
    QCoreApplication::postEvent(courier, event);
}

void run(QThreadPool& pool, std::function<void()> job)
{
    if (!courier)
        courier = new Courier;
    auto* task = new Job(std::move(job));
    handedOver(task);
    pool.start(task);
}

} // namespace JobTracker::detail
