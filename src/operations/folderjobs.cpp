#include "folderjobs.h"

#include "workerpool.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <unordered_map>
#include <utility>
#include <vector>

namespace orvane {

namespace {

// A pool thread hashes at most this many files of one run before it lets the tasks of other runs have it.
constexpr int filesPerTurn = 64;

// The most files a pool thread takes from the queue at once: the outcomes after them wait for them.
constexpr std::size_t filesPerClaim = 4;

// The walk adds files to the window without the lock and makes them known this many at a time (or sooner
// when a pool thread waits for work, and at the end of each folder): one turn of the lock for a batch.
constexpr std::size_t filesPerBatch = 16;

// How long a pool thread waits for the walk to bring more files before it returns to the pool.
constexpr auto idleWait = std::chrono::milliseconds(20);

// How often the walk's thread looks at the stop request while it waits.
constexpr auto stopPoll = std::chrono::milliseconds(50);

// The share of the recent files that waited for the disk, in 1/1024, from which a run keeps more files in
// hand: a quarter. It moves by a sixteenth of the way to each file's 0 or 1024, so that a cold tree is
// known within a few files, and a file or two that the kernel has dropped among cached ones is not.
constexpr int coldShareFrom = 256;

// A folder holding queued files, open on a duplicate descriptor of its own: the walk closes its
// descriptors when it leaves a folder, and the number may then name another folder. The walk's thread
// alone creates and destroys Folders.
struct Folder
{
    explicit Folder(int descriptor)
        : fd(::fcntl(descriptor, F_DUPFD_CLOEXEC, 0))
        , error(fd < 0 ? errno : 0)
    {
    }
    ~Folder()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    int fd;
    int error; // why there is no descriptor (too many open, most likely)
};

enum class EntryState
{
    Queued,
    Running,
    Done,
    Skipped, // not started because of a stop request
};

struct Entry
{
    std::shared_ptr<Folder> folder;
    std::string name;
    std::string path;
    bool regular = false;
    ino_t inode = 0;
    EntryState state = EntryState::Queued;
    std::int64_t waitNanos = 0; // how long the file's first read that waited for the disk took
    Outcome outcome;
};

} // namespace

// What the walk's thread and the pool's threads share, under mutex. A task still queued in the pool when
// the run has ended keeps it alive and finds runEnded set.
struct FolderJobs::Shared
{
    Operation operation;
    RunSettings settings;
    RunState* state = nullptr;
    const RunObserver* observer = nullptr;
    LinkedFiles links;

    // Files in hand at most: while they come from the page cache, and while their reads wait for the disk.
    int cachedLimit = 1;
    int coldLimit = 1;
    bool fixedLimit = false; // --jobs N: N files in hand, whatever the disk
    DiskKind disk = DiskKind::SolidState;
    dev_t device = 0;
    int coldShare = 0; // of the recent files, the share that waited for the disk (in 1/1024)
    std::vector<std::int64_t> waits; // the first cold reads, timed, on a disk that claims to be rotational
    ino_t sweep = 0; // on a rotational disk: the inode number the last file claimed had

    std::mutex mutex;
    std::condition_variable walkerWakes;
    std::condition_variable workAdded;
    // The window, in walk order: a ring of capacity entries from head, count of them in use, started up to
    // firstQueued (counted from head). Entries are used again and again, so their strings keep their
    // buffers: a file costs no allocation here.
    std::vector<Entry> ring;
    std::size_t head = 0;
    std::size_t count = 0;
    std::size_t firstQueued = 0;
    std::vector<std::unique_ptr<FileStep>> idleSteps;
    int workers = 0; // tasks submitted and not yet ended
    std::atomic<int> workersWaiting { 0 }; // changed under mutex; the walk looks without it
    bool walkerWaiting = false;
    bool walkEnded = false;
    bool runEnded = false;
    bool committing = false; // a thread is committing outcomes; no other may, or the order could change
    bool skipped = false;

    // The walk's thread only: the folders by the walk's descriptor. The entries keep theirs until they are
    // used again or the run finishes.
    std::unordered_map<int, std::shared_ptr<Folder>> folders;

    Entry& at(std::size_t offset)
    {
        return ring[(head + offset) % ring.size()];
    }
    bool stopRequested() const
    {
        return settings.progress && settings.progress->stopRequested.load(std::memory_order_relaxed);
    }
    // Moves firstQueued to the next file not yet started, past outcomes known already; false when none is.
    bool hasQueued()
    {
        while (firstQueued < count && at(firstQueued).state != EntryState::Queued)
            ++firstQueued;
        return firstQueued < count;
    }
    bool frontFinished()
    {
        return count > 0 && at(0).state >= EntryState::Done;
    }
    int limit() const
    {
        return coldShare >= coldShareFrom && disk != DiskKind::ClaimsRotational ? coldLimit : cachedLimit;
    }
    // The next file to start: the first queued one, or on a rotational disk the queued one with the next
    // inode number up from the last, so that the reads sweep across the disk. Only while hasQueued().
    Entry& nextQueued()
    {
        if (disk != DiskKind::Rotational)
            return at(firstQueued++); // stays in place: the ring never grows
        Entry* next = nullptr;
        Entry* lowest = nullptr;
        for (std::size_t i = firstQueued; i < count; ++i) {
            Entry& entry = at(i);
            if (entry.state != EntryState::Queued)
                continue;
            if (!lowest || entry.inode < lowest->inode)
                lowest = &entry;
            if (entry.inode >= sweep && (!next || entry.inode < next->inode))
                next = &entry;
        }
        next = next ? next : lowest;
        sweep = next->inode;
        return *next;
    }
    // What a finished file says of the disk: whether it waited for it, and on a disk that claims to be
    // rotational, the time of its first cold read, until there are enough to tell how the disk answers.
    void noteWait(std::int64_t waitNanos)
    {
        coldShare += ((waitNanos > 0 ? 1024 : 0) - coldShare) / 16;
        if (waitNanos <= 0 || disk != DiskKind::ClaimsRotational)
            return;
        waits.push_back(waitNanos);
        if (waits.size() < std::size_t(probeReads))
            return;
        std::nth_element(waits.begin(), waits.begin() + probeReads / 2, waits.end());
        setDisk(waits[probeReads / 2] >= rotationalWaitNanos ? DiskKind::Rotational : DiskKind::SolidState);
        noteDiskKind(device, disk);
    }
    void setDisk(DiskKind kind)
    {
        disk = kind;
        if (disk == DiskKind::Rotational && !fixedLimit)
            coldLimit = std::min(coldLimit, rotationalIoDepth);
    }
    // The walk waits for room for a batch, not for each file: it goes on when the window is half empty.
    bool walkerMayGo() const
    {
        return count <= ring.size() / 2 || stopRequested();
    }
    void wakeWalker()
    {
        if (walkerWaiting && (walkerMayGo() || (count == 0 && !committing)))
            walkerWakes.notify_one();
    }

    /*!
     * The next free entry, once there is room; none when a stop was asked meanwhile. It joins the window
     * when count grows: the free entry after the window stays the same while outcomes leave its front.
     */
    Entry* reserve(std::unique_lock<std::mutex>& lock)
    {
        while (count >= ring.size()) {
            if (stopRequested())
                return nullptr;
            walkerWaiting = true;
            walkerWakes.wait_for(lock, stopPoll, [this] { return walkerMayGo(); });
            walkerWaiting = false;
        }
        return &at(count);
    }

    /*!
     * Commits the finished outcomes at the front of the window, in order, unless another thread is
     * committing: that one takes these too before it stops. The observer is called outside the lock; the
     * entries being committed stay in the window until then, so nothing else uses them.
     */
    void commitFront(std::unique_lock<std::mutex>& lock)
    {
        if (committing)
            return;
        committing = true;
        while (frontFinished()) {
            std::size_t finished = 0;
            while (finished < count && at(finished).state >= EntryState::Done)
                ++finished;
            const std::size_t first = head;
            lock.unlock();
            bool leftOut = false;
            for (std::size_t i = 0; i < finished; ++i) {
                Entry& entry = ring[(first + i) % ring.size()];
                if (entry.state == EntryState::Skipped)
                    leftOut = true;
                else
                    commitOutcome(entry.outcome, *state, *observer);
            }
            lock.lock();
            head = (head + finished) % ring.size();
            count -= finished;
            firstQueued = firstQueued > finished ? firstQueued - finished : 0;
            skipped = skipped || leftOut;
        }
        committing = false;
        wakeWalker();
    }
};

FolderJobs::FolderJobs(Operation operation,
    const RunSettings& settings,
    RunState& state,
    const RunObserver& observer,
    const DescriptorBudget& budget,
    dev_t device)
    : m_shared(std::make_shared<Shared>())
{
    Shared& s = *m_shared;
    s.operation = operation;
    s.settings = settings;
    s.state = &state;
    s.observer = &observer;
    const int most = std::min(std::max(budget.workers, 1), settings.pool ? settings.pool->threads() : 1);
    s.cachedLimit = std::clamp(settings.jobs, 1, most);
    s.fixedLimit = settings.ioDepth <= 0;
    s.coldLimit = s.fixedLimit ? s.cachedLimit : std::clamp(settings.ioDepth, 1, most);
    s.device = device;
    s.setDisk(diskKind(device));
    // The window serves the files hashed at once; a few more in hand while the disk is waited for need no more.
    const std::size_t window = windowPerJob * std::size_t(std::max(s.cachedLimit, 2));
    s.ring.resize(std::clamp<std::size_t>(budget.window, 1, std::max(window, std::size_t(s.coldLimit))));
}

FolderJobs::~FolderJobs()
{
    finish();
}

void FolderJobs::work(const std::shared_ptr<Shared>& shared)
{
    Shared& s = *shared;
    std::unique_lock<std::mutex> lock(s.mutex);
    std::unique_ptr<FileStep> step;
    std::vector<Entry*> claimed;
    int handled = 0;
    while (!s.runEnded && !s.stopRequested() && s.workers <= s.limit()) {
        if (!s.hasQueued()) {
            if (s.walkEnded)
                break;
            ++s.workersWaiting;
            const bool more =
                s.workAdded.wait_for(lock, idleWait, [&s] { return s.hasQueued() || s.walkEnded || s.runEnded; });
            --s.workersWaiting;
            if (!more)
                break;
            continue;
        }
        if (handled >= filesPerTurn) {
            ++s.workers;
            s.settings.pool->submit([shared] { work(shared); }, false);
            break;
        }
        if (!step) {
            if (s.idleSteps.empty()) {
                step = std::make_unique<FileStep>(s.operation, Variant::Folder, s.settings);
                step->shareLinkedFiles(&s.links);
            } else {
                step = std::move(s.idleSteps.back());
                s.idleSteps.pop_back();
            }
        }
        // A few files at a time while many are queued: fewer turns of the lock, the same order.
        const std::size_t queued = s.count - s.firstQueued;
        const std::size_t share = s.disk == DiskKind::Rotational
            ? 1
            : std::clamp<std::size_t>(queued / (2 * std::size_t(s.limit())), 1, filesPerClaim);
        claimed.clear();
        while (claimed.size() < share && s.hasQueued()) {
            Entry& entry = s.nextQueued();
            entry.state = EntryState::Running;
            claimed.push_back(&entry);
        }
        lock.unlock();
        std::size_t done = 0;
        // The run cannot end while entries of it are running, so its progress is there to ask.
        for (; done < claimed.size() && (done == 0 || !s.stopRequested()); ++done) {
            Entry& entry = *claimed[done];
            const Folder& folder = *entry.folder;
            entry.waitNanos = 0;
            if (folder.fd < 0) {
                step->fileNotReached(entry.path, errnoFailure(folder.error), entry.outcome);
            } else {
                step->processFile(folder.fd, entry.name, entry.path, entry.regular, entry.outcome);
                entry.waitNanos = step->lastWaitNanos();
            }
        }
        lock.lock();
        for (std::size_t i = 0; i < claimed.size(); ++i) {
            claimed[i]->state = i < done ? EntryState::Done : EntryState::Skipped;
            if (i < done)
                s.noteWait(claimed[i]->waitNanos);
        }
        handled += static_cast<int>(done);
        // Files that waited for the disk: more of them in hand, up to the cold limit.
        while (s.workers < s.limit() && s.count - s.firstQueued > std::size_t(s.workers)) {
            ++s.workers;
            s.settings.pool->submit([shared] { work(shared); });
        }
        s.commitFront(lock);
    }
    if (step)
        s.idleSteps.push_back(std::move(step));
    --s.workers;
    s.wakeWalker();
}

void FolderJobs::startWorkers()
{
    Shared& s = *m_shared;
    if (s.workersWaiting > 0) {
        s.workAdded.notify_one();
    } else if (s.workers < s.limit()) {
        ++s.workers;
        s.settings.pool->submit([shared = m_shared] { work(shared); });
    }
}

void FolderJobs::addFile(int folderFd, const std::string& name, const std::string& path, bool regular, ino_t inode)
{
    Shared& s = *m_shared;
    std::shared_ptr<Folder>& folder = s.folders[folderFd];
    if (!folder)
        folder = std::make_shared<Folder>(folderFd);
    if (m_room == 0) {
        std::unique_lock<std::mutex> lock(s.mutex);
        publish();
        const Entry* next = s.reserve(lock);
        if (!next)
            return; // the walk stops before its next file; this one is not started
        m_room = s.ring.size() - s.count;
        m_tail = static_cast<std::size_t>(next - s.ring.data());
    }
    // The entries after the window are the walk's alone: the pool's threads look only inside it, and
    // outcomes leaving its front do not move its end.
    Entry& entry = s.ring[m_tail];
    m_tail = (m_tail + 1) % s.ring.size();
    --m_room;
    ++m_pending;
    entry.folder = folder;
    entry.name.assign(name);
    entry.path.assign(path);
    entry.regular = regular;
    entry.inode = inode;
    entry.state = EntryState::Queued;
    if (m_pending >= filesPerBatch || s.workersWaiting.load(std::memory_order_relaxed) > 0) {
        const std::lock_guard<std::mutex> lock(s.mutex);
        publish();
    }
}

void FolderJobs::publish()
{
    Shared& s = *m_shared;
    const std::size_t added = m_pending;
    s.count += added;
    m_pending = 0;
    for (std::size_t i = 0; i < std::min(added, std::size_t(s.limit())); ++i)
        startWorkers();
}

void FolderJobs::addOutcome(Outcome outcome)
{
    Shared& s = *m_shared;
    std::unique_lock<std::mutex> lock(s.mutex);
    publish();
    m_room = 0; // the entry below is taken from the room
    Entry* entry = s.reserve(lock);
    if (!entry) {
        s.skipped = true; // stopped: left out as the files after it are
        return;
    }
    entry->folder.reset();
    entry->state = EntryState::Done; // the workers pass over it
    entry->outcome = std::move(outcome);
    ++s.count;
    s.commitFront(lock);
}

void FolderJobs::closingFolder(int folderFd)
{
    Shared& s = *m_shared;
    if (m_pending > 0) {
        const std::lock_guard<std::mutex> lock(s.mutex);
        publish();
    }
    s.folders.erase(folderFd);
}

bool FolderJobs::finish()
{
    Shared& s = *m_shared;
    if (m_finished)
        return s.skipped;
    m_finished = true;
    s.folders.clear();
    std::unique_lock<std::mutex> lock(s.mutex);
    publish();
    s.walkEnded = true;
    s.workAdded.notify_all();
    for (;;) {
        if (s.stopRequested()) {
            for (std::size_t i = s.firstQueued; i < s.count; ++i) {
                if (s.at(i).state == EntryState::Queued)
                    s.at(i).state = EntryState::Skipped;
            }
        }
        s.commitFront(lock);
        if (s.count == 0 && !s.committing)
            break;
        s.walkerWaiting = true;
        s.walkerWakes.wait_for(lock, stopPoll);
        s.walkerWaiting = false;
    }
    s.runEnded = true;
    s.workAdded.notify_all();
    for (Entry& entry : s.ring)
        entry.folder.reset();
    return s.skipped;
}

} // namespace orvane
