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
 * Where the kernel allows it, each thread of the pool works with a descriptor table of its own, holding
 * only standard input, output and error besides what the thread opens itself: a thread that shares the
 * process's table pays for that on every open, close and descriptor call, and two threads opening and
 * closing small files one after another pay most. Such a thread sees no descriptor opened elsewhere (it
 * takes a copy of one with fetchDescriptor()), and what it opens is seen nowhere else: a task closes what
 * it opens before it ends and hands no descriptor to another thread.
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

    /*!
     * Queues task; a thread of the pool runs it, after the tasks queued before it. A task that hands its
     * thread back and goes on in a new task queues that one with wake false: the thread it is leaving takes
     * the queue's next task anyway, and waking another would only move the work from thread to thread.
     */
    void submit(std::function<void()> task, bool wake = true);

    /// Whether the calling thread is one of this pool's.
    [[nodiscard]] bool isPoolThread() const;

    /// Whether the pool's threads open their files in the process's descriptor table (no table of their own).
    [[nodiscard]] bool sharesDescriptors() const
    {
        return m_sharedTable;
    }

    /// Whether the calling thread has a descriptor table of its own (a pool thread where the kernel allows).
    [[nodiscard]] static bool hasOwnDescriptors();

    /*!
     * On a thread with a descriptor table of its own: a new descriptor in it for the open file that fd names
     * in the process's table, for the caller to close; -1 with errno set when there is none.
     */
    [[nodiscard]] static int fetchDescriptor(int fd);

private:
    void work();
    void takeOwnDescriptors();

    std::mutex m_mutex;
    std::condition_variable m_queued;
    std::deque<std::function<void()>> m_tasks;
    bool m_ending = false;
    int m_idle = 0;
    int m_settingUp = 0; // threads that have not yet taken their own descriptor table
    int m_processFd = -1; // a pidfd of this process, while the threads set up
    bool m_sharedTable = false; // a thread could not take a table of its own
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
