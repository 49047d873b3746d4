#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace orvane {

/*!
 * The threads that hash files: one pool per process, shared by every run. A run puts tasks in the queue;
 * each task hashes a bounded number of files and then hands its thread back, so runs that share the pool
 * take turns. Tasks never wait for one another, so runs that share it cannot deadlock.
 *
 * Threads are started as tasks need them, up to the pool's size: a run that finds its files in the page
 * cache uses as many as it hashes files at once, and only one that waits for the disk starts the rest.
 */
class WorkerPool
{
public:
    /// A pool of at most threads threads (at least one). The destructor drops the tasks not started and
    /// joins the threads.
    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    /// The most threads the pool runs.
    [[nodiscard]] int threads() const
    {
        return m_most;
    }

    /*!
     * Queues task; a thread of the pool runs it, after the tasks queued before it. A task that hands its
     * thread back and goes on in a new task queues that one with wake false: the thread it is leaving takes
     * the queue's next task anyway, and waking another would only move the work from thread to thread.
     */
    void submit(std::function<void()> task, bool wake = true);

    /// Whether the calling thread is one of this pool's.
    [[nodiscard]] bool isPoolThread() const;

private:
    void work();

    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::deque<std::function<void()>> m_tasks;
    bool m_ending = false;
    int m_idle = 0;
    int m_most = 1;
    std::vector<std::thread> m_threads;
};

/*!
 * Raises this process's soft limit of open descriptors to its hard limit. A folder run shares what the
 * limit leaves (DescriptorBudget): the higher it is, the more folders it keeps open and files in flight.
 */
void raiseDescriptorLimit();

/// The CPUs this process may use (sched_getaffinity), at most 8: the files a run hashes at once by default.
[[nodiscard]] int usableCpus();

} // namespace orvane
