#include "walk.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace orvane {

std::string childPath(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && folder.back() == '/')
        return folder + name;
    return folder + '/' + name;
}

namespace {

struct Entry
{
    std::string name;
    unsigned char type;
};

struct Level
{
    std::string path;
    std::vector<Entry> entries;
    std::size_t next = 0;
};

// Reads a whole directory listing and closes it at once, so a deep tree holds no descriptors open.
// Returns whether the folder could be opened; error is non-zero when its listing is missing or incomplete.
bool listFolder(const std::string& path, std::vector<Entry>& entries, int& error)
{
    DIR* folder = ::opendir(path.c_str());
    if (!folder) {
        error = errno;
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(folder);
        if (!entry)
            break;
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
            continue;
        entries.push_back({ name, entry->d_type });
    }
    error = errno;
    ::closedir(folder);
    return true;
}

enum class Kind
{
    Folder, // a real directory: entered
    LinkedFolder, // a link that resolves to a directory: skipped, never entered
    Other, // everything else goes to the per-file step
};

Kind kindOf(const std::string& path, unsigned char type)
{
    switch (type) {
    case DT_DIR:
        return Kind::Folder;
    case DT_LNK:
        break;
    case DT_UNKNOWN: {
        struct stat status = {};
        if (::lstat(path.c_str(), &status) != 0)
            return Kind::Other;
        if (S_ISDIR(status.st_mode))
            return Kind::Folder;
        if (!S_ISLNK(status.st_mode))
            return Kind::Other;
        break;
    }
    default:
        return Kind::Other;
    }
    struct stat target = {};
    if (::stat(path.c_str(), &target) == 0 && S_ISDIR(target.st_mode))
        return Kind::LinkedFolder;
    return Kind::Other;
}

} // namespace

bool walkTree(const std::string& root, const WalkCallbacks& callbacks, int* error)
{
    std::vector<Level> stack(1);
    stack.front().path = root;
    int listError = 0;
    if (!listFolder(root, stack.front().entries, listError)) {
        if (error)
            *error = listError;
        return false;
    }
    // A listing cut short by an error is still walked as far as it was read.
    if (listError != 0 && callbacks.unlistedFolder)
        callbacks.unlistedFolder(root, listError);

    while (!stack.empty()) {
        Level& level = stack.back();
        if (level.next == level.entries.size()) {
            stack.pop_back();
            continue;
        }
        const Entry& entry = level.entries[level.next++];
        std::string path = childPath(level.path, entry.name);
        switch (kindOf(path, entry.type)) {
        case Kind::Folder: {
            Level child;
            child.path = std::move(path);
            listFolder(child.path, child.entries, listError);
            if (listError != 0 && callbacks.unlistedFolder)
                callbacks.unlistedFolder(child.path, listError);
            stack.push_back(std::move(child)); // invalidates `level` and `entry`
            break;
        }
        case Kind::LinkedFolder:
            break;
        case Kind::Other:
            if (callbacks.visitFile)
                callbacks.visitFile(path, entry.type == DT_REG);
            break;
        }
    }
    return true;
}

} // namespace orvane
