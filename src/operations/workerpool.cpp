#include "workerpool.h"

#include <algorithm>
#include <cerrno>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <utility>

namespace orvane {

namespace {

thread_local const WorkerPool* currentPool = nullptr;

// On a pool thread with a descriptor table of its own: a pidfd of this process in that table, through
// which descriptors of the process's table are fetched. -1 elsewhere.
thread_local int ownTableProcessFd = -1;

// ThreadSanitizer keeps one record of each descriptor number for the whole process: the same number open
// in two tables would look to it like one descriptor used by two threads without order.
#if defined(__SANITIZE_THREAD__)
constexpr bool ownTablesAllowed = false;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool ownTablesAllowed = false;
#else
constexpr bool ownTablesAllowed = true;
#endif
#else
constexpr bool ownTablesAllowed = true;
#endif

// Called through syscall(): Debian 12's C library declares pidfd_open and pidfd_getfd without C linkage.
int openPidfd(pid_t pid)
{
    return static_cast<int>(::syscall(SYS_pidfd_open, pid, 0U));
}

int getPidfdDescriptor(int processFd, int fd)
{
    return static_cast<int>(::syscall(SYS_pidfd_getfd, processFd, fd, 0U));
}

// A pidfd of this process, when descriptors can be fetched through it (kernels from 5.6 allow it, a
// seccomp filter may not); -1 otherwise.
int openProcessFd()
{
    if (!ownTablesAllowed)
        return -1;
    const int processFd = openPidfd(::getpid());
    if (processFd < 0)
        return -1;
    const int probe = getPidfdDescriptor(processFd, processFd);
    if (probe < 0) {
        ::close(processFd);
        return -1;
    }
    ::close(probe);
    return processFd;
}

constexpr int mostDefaultJobs = 8;

} // namespace

WorkerPool::WorkerPool(int threads)
{
    const int count = std::max(threads, 1);
    m_processFd = openProcessFd();
    m_settingUp = count;
    m_threads.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        m_threads.emplace_back([this] { work(); });
    // Each thread keeps its copy of the pidfd; the process's own copy goes once all have taken theirs.
    std::unique_lock<std::mutex> lock(m_mutex);
    m_queued.wait(lock, [this] { return m_settingUp == 0; });
    if (m_processFd >= 0)
        ::close(m_processFd);
    m_processFd = -1;
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
        wake = wake && m_idle > 0;
    }
    // Waking a thread costs a system call: only when one is waiting.
    if (wake)
        m_queued.notify_one();
}

bool WorkerPool::isPoolThread() const
{
    return currentPool == this;
}

bool WorkerPool::hasOwnDescriptors()
{
    return ownTableProcessFd >= 0;
}

int WorkerPool::fetchDescriptor(int fd)
{
    return getPidfdDescriptor(ownTableProcessFd, fd);
}

void WorkerPool::takeOwnDescriptors()
{
    const int processFd = m_processFd;
    if (processFd < 0)
        return;
    // The copy keeps standard input, output and error and the pidfd. Everything else the process had open
    // is closed in it at once: a copy held here would keep a pipe, socket or file the rest of the program
    // closes open until the pool ends.
    const unsigned first = processFd < 3 ? 3 : static_cast<unsigned>(processFd) + 1;
    if (::close_range(first, ~0U, CLOSE_RANGE_UNSHARE) != 0)
        return; // the thread goes on with the process's table
    if (processFd > 3)
        ::close_range(3, static_cast<unsigned>(processFd) - 1, 0);
    ownTableProcessFd = processFd;
}

void WorkerPool::work()
{
    currentPool = this;
    takeOwnDescriptors();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_sharedTable = m_sharedTable || !hasOwnDescriptors();
    if (--m_settingUp == 0)
        m_queued.notify_all();
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
