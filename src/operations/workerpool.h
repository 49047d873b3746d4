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
 */
class WorkerPool
{
public:
    /// Starts threads threads (at least one). The destructor drops the tasks not started and joins them.
    explicit WorkerPool(int threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    [[nodiscard]] int threads() const
    {
        return static_cast<int>(m_threads.size());
    }

    /// Queues task; a thread of the pool runs it, after the tasks queued before it.
    void submit(std::function<void()> task);

    /// Whether the calling thread is one of this pool's.
    [[nodiscard]] bool isPoolThread() const;

private:
    void work();

    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::deque<std::function<void()>> m_tasks;
    bool m_ending = false;
    int m_idle = 0;
    std::vector<std::thread> m_threads;
};

/// The CPUs this process may use (sched_getaffinity), at most 8: the size of a pool shared by every run.
[[nodiscard]] int usableCpus();

/*!
 * The default number of files hashed at once for the item at path: the CPUs this process may use
 * (sched_getaffinity), at most 8; 1 when the item lives on a rotational disk, where reading several files
 * at once makes the head seek between them. A partition is followed to its disk.
 */
[[nodiscard]] int defaultJobs(const std::string& path);

} // namespace orvane
