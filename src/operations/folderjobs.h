#pragma once

#include "descriptorbudget.h"
#include "diskkind.h"
#include "filestep.h"
#include "runsettings.h"
#include "runstate.h"

#include <cstddef>
#include <memory>
#include <string>

namespace orvane {

/*!
 * The files of one folder run, hashed up to RunSettings::jobs at once on the shared WorkerPool and put
 * back in walk order. The walk's thread adds files as it meets them; the pool's threads run the per-file
 * step and commit each outcome as soon as every outcome before it has been committed, one thread at a
 * time, so the report, the notices and the counts are those of a run on one thread.
 *
 * While files are found missing from the page cache, up to RunSettings::ioDepth of them are in hand at
 * once, so that the disk has reads enough to serve while the processors wait; when most recent files are
 * found cached again, the run goes back to RunSettings::jobs. On a disk that claims to be rotational the first cold
 * reads are timed before more are in hand: one that answers like a spinning disk (DiskKind) gets at most
 * rotationalIoDepth, and its files are started in the order of their inode numbers, not in walk order.
 *
 * Memory is bounded: one per-file step (and so one read buffer) per job; at most windowPerJob files per
 * job between being met by the walk and being committed (the walk waits while that many are waiting), or
 * fewer when the limit of open descriptors is low;
 * and of those, finished outcomes wait only for the few files claimed before them that are still in hand.
 */
class FolderJobs
{
public:
    static constexpr int windowPerJob = 128;

    /// budget gives the window's size and the most pool threads hashing at once; device is the folder's.
    FolderJobs(Operation operation,
        const RunSettings& settings,
        RunState& state,
        const RunObserver& observer,
        const DescriptorBudget& budget,
        dev_t device);
    /// Waits as finish() does.
    ~FolderJobs();
    FolderJobs(const FolderJobs&) = delete;
    FolderJobs& operator=(const FolderJobs&) = delete;

    /// A file the walk met (see WalkCallbacks::visitFile). Returns at once unless the window is full.
    void addFile(int folderFd, const std::string& name, const std::string& path, bool regular, ino_t inode);
    /// An outcome known already (a folder that could not be listed), for its place in the report.
    void addOutcome(Outcome outcome);
    /// The walk is about to close folderFd: files still to be opened in it get a duplicate.
    void closingFolder(int folderFd);

    /*!
     * Waits until no file is in hand and every outcome is committed. After a stop request the files not
     * yet started are left out; returns whether there were such files.
     */
    bool finish();

private:
    struct Shared;
    static void work(const std::shared_ptr<Shared>& shared);
    void startWorkers();
    // Makes the files added since the last time known to the pool's threads. Under the lock.
    void publish();

    std::shared_ptr<Shared> m_shared;
    bool m_finished = false;
    // The walk's thread only: the files added and not yet made known, the free entries known after them,
    // and the ring's index of the next.
    std::size_t m_pending = 0;
    std::size_t m_room = 0;
    std::size_t m_tail = 0;
};

} // namespace orvane
