#include "walk.h"

#include "descriptorbudget.h"
#include "integrity/filedigest.h"
#include "integrity/pseudofilesystem.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace orvane {

namespace {

const int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

struct Entry
{
    std::string name;
    unsigned char type;
    ino_t inode;
};

// A folder of the walk's stack. It keeps no path of its own: a path per level would make memory grow with
// the square of the depth. The walk's one path buffer holds the current folder's path; pathSize is its
// length while this level is the current one.
struct Level
{
    std::size_t pathSize = 0;
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
    std::vector<Entry> entries;
    std::size_t next = 0;
};

void appendName(std::string& path, const std::string& name)
{
    if (path.empty() || path.back() != '/')
        path.push_back('/');
    path.append(name);
}

// Takes the open folder fd into level and reads its whole listing, so the walk never holds a DIR stream
// open. Returns the failure that kept it from the folder or cut its listing short.
std::optional<Failure> enter(Level& level, int fd)
{
    level.fd = fd;
    struct stat status = {};
    if (::fstat(fd, &status) != 0)
        return errnoFailure(errno);
    level.device = status.st_dev;
    level.inode = status.st_ino;
    if (onPseudoFileSystem(fd))
        return Failure { 0, pseudoFileSystemReason };
    const int listing = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    DIR* folder = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!folder) {
        const int error = errno;
        if (listing >= 0)
            ::close(listing);
        return errnoFailure(error);
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(folder);
        if (!entry)
            break;
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        level.entries.push_back({ name, entry->d_type, entry->d_ino });
    }
    const int error = errno;
    ::closedir(folder);
    if (error != 0)
        return errnoFailure(error);
    return std::nullopt;
}

void closeLevel(Level& level, const WalkCallbacks* callbacks = nullptr)
{
    if (level.fd < 0)
        return;
    if (callbacks && callbacks->closingFolder)
        callbacks->closingFolder(level.fd);
    ::close(std::exchange(level.fd, -1));
}

// Reopens parent, whose descriptor was closed to bound their number, from its child through "..". The
// folder reached must be the one left; if it was moved meanwhile, the rest of its listing is not walked.
std::optional<Failure> reopen(Level& parent, const Level& child)
{
    const int fd = child.fd >= 0 ? ::openat(child.fd, "..", folderFlags) : -1;
    if (fd < 0)
        return Failure { 0, changedWhileReadReason };
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || status.st_dev != parent.device || status.st_ino != parent.inode) {
        ::close(fd);
        return Failure { 0, changedWhileReadReason };
    }
    parent.fd = fd;
    return std::nullopt;
}

} // namespace

std::optional<Failure> walkTree(const std::string& root, const WalkCallbacks& callbacks, std::size_t openFolders)
{
    // Folders above the ones being walked have their descriptors closed beyond this many open ones, and are
    // reopened through ".." on the way back up.
    const std::size_t openFolderLimit =
        openFolders > 0 ? openFolders : descriptorBudget(freeDescriptors(), 1, false).walkFolders;
    const auto unreadable = [&callbacks](const std::string& path, const Failure& failure) {
        if (callbacks.unreadableFolder)
            callbacks.unreadableFolder(path, failure);
    };

    const std::size_t rootPrefix = root.size() + (!root.empty() && root.back() == '/' ? 0 : 1);
    const auto excluded = [&callbacks, rootPrefix](const std::string& path, bool folder) {
        return callbacks.exclude && path.size() > rootPrefix
            && callbacks.exclude(std::string_view(path).substr(rootPrefix), folder);
    };

    std::string folderPath = root;
    std::string entryPath;
    std::vector<Level> stack(1);
    stack.front().pathSize = root.size();
    const int rootFd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0)
        return errnoFailure(errno);
    if (auto failure = enter(stack.front(), rootFd)) {
        if (stack.front().entries.empty()) {
            closeLevel(stack.front());
            return failure;
        }
        unreadable(root, *failure); // a listing cut short is still walked as far as it was read
    }

    std::size_t lowestOpen = 0;
    while (!stack.empty()) {
        Level& level = stack.back();
        folderPath.resize(level.pathSize);
        if (level.next == level.entries.size()) {
            const std::size_t top = stack.size() - 1;
            if (top > 0 && top - 1 < lowestOpen) {
                Level& parent = stack[top - 1];
                if (auto failure = reopen(parent, level)) {
                    unreadable(folderPath.substr(0, parent.pathSize), *failure);
                    parent.next = parent.entries.size();
                }
                lowestOpen = top - 1;
            }
            closeLevel(stack.back(), &callbacks);
            stack.pop_back();
            continue;
        }
        if (callbacks.stop && callbacks.stop()) {
            for (Level& open : stack)
                closeLevel(open, &callbacks);
            break;
        }
        const Entry& entry = level.entries[level.next++];
        const int folderFd = level.fd;

        bool folder = entry.type == DT_DIR || entry.type == DT_UNKNOWN;
        if (folder) {
            const int fd = ::openat(folderFd, entry.name.c_str(), folderFlags);
            if (fd >= 0) {
                Level child;
                appendName(folderPath, entry.name);
                if (excluded(folderPath, true)) {
                    ::close(fd);
                    continue;
                }
                child.pathSize = folderPath.size();
                if (auto failure = enter(child, fd)) {
                    unreadable(folderPath, *failure);
                    if (child.entries.empty()) {
                        closeLevel(child);
                        continue;
                    }
                }
                if (stack.size() - lowestOpen >= openFolderLimit)
                    closeLevel(stack[lowestOpen++], &callbacks);
                stack.push_back(std::move(child)); // invalidates `level` and `entry`
                continue;
            }
            if (errno != ENOTDIR && errno != ELOOP) {
                const int error = errno;
                entryPath.assign(folderPath);
                appendName(entryPath, entry.name);
                if (!excluded(entryPath, true))
                    unreadable(entryPath, errnoFailure(error));
                continue;
            }
            // Not a folder when opened: listed otherwise, or swapped for a link or file since the listing.
        }
        if (folder || entry.type == DT_LNK) {
            struct stat status = {};
            if (::fstatat(folderFd, entry.name.c_str(), &status, 0) == 0 && S_ISDIR(status.st_mode))
                continue; // a link to a folder: not entered, no line
        }
        entryPath.assign(folderPath);
        appendName(entryPath, entry.name);
        if (callbacks.visitFile && !excluded(entryPath, false))
            callbacks.visitFile(folderFd, entry.name, entryPath, entry.type == DT_REG, entry.inode);
    }
    return std::nullopt;
}

} // namespace orvane
