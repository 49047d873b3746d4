#include "treecount.h"

#include "walk.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orvane {

void countTree(const std::string& root,
    RunProgress& progress,
    const std::atomic<bool>& cancelled,
    std::size_t openFolders,
    const Exclusions* exclusions)
{
    // The count takes only what the hashing leaves of the processors: a short run ends before it, and its
    // totals are then not needed. The nice value belongs to the calling thread alone.
    (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 19);
    std::int64_t files = 0;
    std::int64_t bytes = 0;
    WalkCallbacks callbacks;
    callbacks.visitFile = [&](int folderFd, const std::string& name, const std::string&, bool, ino_t) {
        ++files;
        struct stat status = {};
        if (::fstatat(folderFd, name.c_str(), &status, 0) == 0 && S_ISREG(status.st_mode))
            bytes += status.st_size;
    };
    callbacks.stop = [&cancelled] { return cancelled.load(std::memory_order_relaxed); };
    callbacks.exclude = excludeFilter(exclusions);
    if (walkTree(root, callbacks, openFolders) || cancelled)
        return;
    progress.bytesTotal = bytes;
    progress.filesTotal = files;
}

} // namespace orvane
