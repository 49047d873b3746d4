#include "descriptorbudget.h"

#include "folderjobs.h"

#include <algorithm>
#include <dirent.h>
#include <sys/resource.h>

namespace orvane {

namespace {

// The most folders a walk keeps open: more would save few reopenings through "..".
constexpr std::size_t mostWalkFolders = 64;
constexpr std::size_t countFolders = 8;

// Kept for what the run opens besides its shares: a list or report file, a link's folder on the way to
// its target, /proc/self for the pseudo file system check.
constexpr std::size_t reserve = 3;

// A pool thread holds the file it hashes, and for a while a second one (Retag's second attempt) or a
// link's folder.
constexpr std::size_t perWorker = 3;

} // namespace

std::size_t freeDescriptors()
{
    struct rlimit limit = {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return static_cast<std::size_t>(-1);
    std::size_t open = 0;
    if (DIR* table = ::opendir("/proc/thread-self/fd")) {
        while (const dirent* entry = ::readdir(table))
            open += entry->d_name[0] != '.' ? 1 : 0;
        ::closedir(table);
        open -= open > 0 ? 1 : 0; // the listing's own
    } else {
        open = 16; // no /proc: a guess on the safe side
    }
    return limit.rlim_cur > open ? static_cast<std::size_t>(limit.rlim_cur - open) : 0;
}

DescriptorBudget descriptorBudget(std::size_t free, int jobs, bool counting)
{
    const int wantedJobs = std::max(jobs, 1);
    std::size_t left = free > reserve ? free - reserve : 0;
    DescriptorBudget budget;
    // Workers take at most half; the rest goes to the walk and the files in flight.
    budget.workers = static_cast<int>(std::clamp<std::size_t>(left / 2 / perWorker, 1, std::size_t(wantedJobs)));
    left -= std::min(left, budget.workers * perWorker);
    // A count is a courtesy of the progress display: only where it is cheap.
    if (counting && left >= 8 * mostWalkFolders) {
        budget.countFolders = countFolders;
        left -= countFolders + 2;
    }
    // The walk holds its open folders, two more while it enters one (the folder and its listing), and a
    // duplicate of each open folder with files in flight.
    budget.walkFolders = std::clamp<std::size_t>(left / 4, 1, mostWalkFolders);
    left -= std::min(left, 2 * budget.walkFolders + 2);
    // Each file in flight may hold its folder open.
    budget.window = std::clamp<std::size_t>(left, 1, static_cast<std::size_t>(wantedJobs) * FolderJobs::windowPerJob);
    return budget;
}

} // namespace orvane
