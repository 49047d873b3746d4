#include "workerpool.h"

#include <algorithm>
#include <sched.h>
#include <sys/resource.h>
#include <system_error>
#include <utility>

namespace orvane {

namespace {

thread_local const WorkerPool* currentPool = nullptr;

constexpr int mostDefaultJobs = 8;

} // namespace

WorkerPool::WorkerPool(int threads)
    : m_most(std::max(threads, 1))
{
    m_threads.reserve(static_cast<std::size_t>(m_most));
}

WorkerPool::~WorkerPool()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_ending = true;
    }
    m_queued.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

void WorkerPool::submit(std::function<void()> task, bool wake)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_tasks.push_back(std::move(task));
        if (!wake)
            return;
        // More tasks waiting than threads waiting for them: one more thread, while the pool has room. The
        // first must start, or nothing would run the task; a later one that cannot leaves it to the others.
        if (m_tasks.size() > std::size_t(m_idle) && m_threads.size() < std::size_t(m_most)) {
            try {
                m_threads.emplace_back([this] { work(); });
            } catch (const std::system_error&) {
                if (m_threads.empty())
                    throw;
            }
        }
        if (m_idle == 0)
            return;
    }
    // Waking a thread costs a system call: only when one is waiting.
    m_queued.notify_one();
}

bool WorkerPool::isPoolThread() const
{
    return currentPool == this;
}

void WorkerPool::work()
{
    currentPool = this;
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        ++m_idle;
        m_queued.wait(lock, [this] { return m_ending || !m_tasks.empty(); });
        --m_idle;
        if (m_ending)
            return;
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        lock.unlock();
        task();
        task = nullptr; // whatever the task holds goes before the lock is taken again
        lock.lock();
    }
}

void raiseDescriptorLimit()
{
    struct rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        (void)::setrlimit(RLIMIT_NOFILE, &limit);
    }
}

int usableCpus()
{
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    if (::sched_getaffinity(0, sizeof cpus, &cpus) != 0)
        return 1;
    return std::clamp(CPU_COUNT(&cpus), 1, mostDefaultJobs);
}

} // namespace orvane
