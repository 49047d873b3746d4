#pragma once

#include "integrity/failure.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace orvane {

struct WalkCallbacks
{
    /*!
     * Called for every entry below the root that is not a directory. folderFd is the open folder the
     * entry is in and name its name there, so the file opens with openat whatever the length of its path;
     * path is the root's path, a slash and the entry's relative path, for the report. Links to files,
     * dangling links, FIFOs and other special files come here. regular is true when the folder listed the
     * entry as a regular file (not a link); inode is the entry's inode number as the folder lists it.
     */
    std::function<void(int folderFd, const std::string& name, const std::string& path, bool regular, ino_t inode)>
        visitFile;
    /// Called for a folder whose contents could not be listed (or only in part), with the reason; the walk
    /// goes on without the part it could not list.
    std::function<void(const std::string& path, const Failure& failure)> unreadableFolder;
    /// Called with a folder descriptor that visitFile was given, just before the walk closes it: whoever
    /// still needs the folder keeps a duplicate.
    std::function<void(int folderFd)> closingFolder;
    /// Asked before each entry; the walk ends early, without a failure, once it returns true.
    std::function<bool()> stop;
    /*!
     * Asked for every file and folder below the root, with its path relative to the root (no leading "/");
     * an entry it leaves out gets no call, and a folder it leaves out is not entered.
     */
    std::function<bool(std::string_view relativePath, bool folder)> exclude;
};

/*!
 * Walks the tree below root depth first, in the order the folders list their entries, and hands every
 * entry that is not a directory to visitFile. Hidden entries are included; nothing is sorted.
 *
 * The walk goes from folder descriptor to folder descriptor and enters a subfolder only if it is a folder
 * when it is opened (O_NOFOLLOW): a folder swapped for a symbolic link behind the walk's back is not
 * followed out of the tree. A symbolic link to a directory counts as a directory (no call) and is not
 * entered, so links cannot make the walk loop. Folders on pseudo file systems (/proc, /sys) are not
 * entered. Depth is not limited by PATH_MAX; a deep tree holds a bounded number of descriptors, and memory
 * in proportion to its depth: the listings of the folders on the way down, and one path, built up as the
 * walk goes down and cut back as it comes up.
 *
 * openFolders is the most folders the walk keeps open at once (two more while it enters one); 0 takes a
 * share of the descriptors the thread may still open. Folders above them are reopened through "..".
 *
 * Returns the failure, and visits nothing, when root itself cannot be listed.
 */
[[nodiscard]] std::optional<Failure> walkTree(
    const std::string& root, const WalkCallbacks& callbacks, std::size_t openFolders = 0);

} // namespace orvane
