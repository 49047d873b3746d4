#include "workerpool.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sched.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <utility>

namespace orvane {

namespace {

thread_local const WorkerPool* currentPool = nullptr;

constexpr int mostDefaultJobs = 8;

// The contents of /sys/dev/block/MAJ:MIN/queue/rotational for the block device, or of its disk's for a
// partition: '1' for a rotational disk, '0' otherwise, 0 when the kernel says nothing (tmpfs, NFS, ...).
char rotationalFlag(dev_t device)
{
    const std::string base = "/sys/dev/block/" + std::to_string(major(device)) + ":" + std::to_string(minor(device));
    char flag = 0;
    if (std::ifstream(base + "/queue/rotational") >> flag)
        return flag;
    const std::unique_ptr<char, decltype(&std::free)> device_(::realpath(base.c_str(), nullptr), &std::free);
    if (!device_)
        return 0;
    std::string disk = device_.get();
    disk.erase(disk.find_last_of('/'));
    if (std::ifstream(disk + "/queue/rotational") >> flag)
        return flag;
    return 0;
}

} // namespace

WorkerPool::WorkerPool(int threads)
{
    const int count = std::max(threads, 1);
    m_threads.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        m_threads.emplace_back([this] { work(); });
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

void WorkerPool::submit(std::function<void()> task)
{
    bool wake = false;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_tasks.push_back(std::move(task));
        wake = m_idle > 0;
    }
    // Waking a thread costs a system call: only when one is waiting.
    if (wake)
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

int usableCpus()
{
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    if (::sched_getaffinity(0, sizeof cpus, &cpus) != 0)
        return 1;
    return std::clamp(CPU_COUNT(&cpus), 1, mostDefaultJobs);
}

int defaultJobs(const std::string& path)
{
    struct stat status = {};
    if (::stat(path.c_str(), &status) == 0 && rotationalFlag(status.st_dev) == '1')
        return 1;
    return usableCpus();
}

} // namespace orvane
