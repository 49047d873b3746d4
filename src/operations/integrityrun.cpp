#include "integrityrun.h"

#include "filestep.h"
#include "folderjobs.h"
#include "hashnumber.h"
#include "treecount.h"
#include "walk.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace orvane {

namespace {

// The count of a folder's files for the progress totals starts once its run has lasted this long: a shorter
// run needs no totals, and over a cached tree the count's walk takes processor time from the hashing (a
// tenth of a two-job Check of small files).
constexpr std::chrono::milliseconds countDelay { 1000 };

} // namespace

RunResult runSingleFile(
    Operation operation, const std::string& path, const RunSettings& settings, const RunObserver& observer)
{
    if (RunProgress* progress = settings.progress) {
        struct stat status = {};
        progress->bytesTotal = ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) ? status.st_size : 0;
        progress->filesTotal = 1;
    }
    RunState state(commandOf(operation), Variant::SingleFile);
    FileStep step(operation, Variant::SingleFile, settings);
    Outcome outcome;
    step.processFile(AT_FDCWD, path, path, false, outcome);
    commitOutcome(outcome, state, observer);
    return { std::nullopt, state.counters, false };
}

RunResult runFolder(
    Operation operation, const std::string& folder, const RunSettings& settings, const RunObserver& observer)
{
    if (auto failure = checkCryptoAvailable())
        return { failure, {}, false };
    RunProgress* progress = settings.progress;
    // On a thread of the pool itself, waiting for the pool could wait for ever: the run stays on it.
    const int inHand = std::max(settings.jobs, settings.ioDepth);
    const bool parallel = inHand > 1 && settings.pool && !settings.pool->isPoolThread();
    const DescriptorBudget budget =
        descriptorBudget(freeDescriptors(), parallel ? inHand : 1, progress && settings.countTotals);
    std::atomic<bool> countCancelled { false };
    std::mutex countMutex;
    std::condition_variable countWake;
    std::thread counter;
    if (progress && budget.countFolders > 0) {
        counter = std::thread([&] {
            {
                std::unique_lock<std::mutex> lock(countMutex);
                if (countWake.wait_for(lock, countDelay, [&countCancelled] { return countCancelled.load(); }))
                    return;
            }
            countTree(folder, *progress, countCancelled, budget.countFolders, settings.exclusions);
        });
    }

    RunState state(commandOf(operation), Variant::Folder);
    bool stopped = false;
    WalkCallbacks callbacks;
    std::int64_t excluded = 0; // counted on the walk's thread, added to the run's counts at the end
    callbacks.exclude = excludeFilter(settings.exclusions, &excluded);
    callbacks.stop = [progress, &stopped] {
        stopped = progress && progress->stopRequested.load(std::memory_order_relaxed);
        return stopped;
    };
    std::optional<Failure> failure;
    if (parallel) {
        struct stat status = {};
        FolderJobs jobs(
            operation, settings, state, observer, budget, ::stat(folder.c_str(), &status) == 0 ? status.st_dev : 0);
        callbacks.visitFile =
            [&jobs](int folderFd, const std::string& name, const std::string& path, bool regular, ino_t inode) {
                jobs.addFile(folderFd, name, path, regular, inode);
            };
        callbacks.unreadableFolder = [&jobs](const std::string& path, const Failure& why) {
            jobs.addOutcome(FileStep::unreadableFolder(path, why));
        };
        callbacks.closingFolder = [&jobs](int folderFd) { jobs.closingFolder(folderFd); };
        failure = walkTree(folder, callbacks, budget.walkFolders);
        stopped = jobs.finish() || stopped;
    } else {
        FileStep step(operation, Variant::Folder, settings);
        LinkedFiles links;
        step.shareLinkedFiles(&links);
        Outcome outcome;
        callbacks.visitFile = [&](int folderFd, const std::string& name, const std::string& path, bool regular, ino_t) {
            step.processFile(folderFd, name, path, regular, outcome);
            commitOutcome(outcome, state, observer);
        };
        callbacks.unreadableFolder = [&](const std::string& path, const Failure& why) {
            commitOutcome(FileStep::unreadableFolder(path, why), state, observer);
        };
        failure = walkTree(folder, callbacks, budget.walkFolders);
    }

    {
        const std::lock_guard<std::mutex> lock(countMutex);
        countCancelled = true;
    }
    countWake.notify_one();
    if (counter.joinable())
        counter.join();
    stopped = stopped && !failure;
    // A run that ended before its count did knows its totals itself.
    if (progress && !failure && !stopped && progress->filesTotal < 0) {
        progress->bytesTotal = progress->bytesDone.load();
        progress->filesTotal = state.counters.total;
    }
    state.counters.excluded = excluded;
    return { failure, state.counters, stopped };
}

RunResult runItem(Operation operation, const Item& item, const RunSettings& settings, const RunObserver& observer)
{
    if (!item.isFolder)
        return runSingleFile(operation, item.path, settings, observer);
    return runFolder(operation, item.path, settings, observer);
}

} // namespace orvane
