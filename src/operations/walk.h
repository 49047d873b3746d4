#pragma once

#include <functional>
#include <string>

namespace orvane {

/// Joins a folder path and a name below it with one slash ("/" itself gets none added).
[[nodiscard]] std::string childPath(const std::string& folder, const std::string& name);

struct WalkCallbacks
{
    /// Called for every entry below the root that is not a directory, with the root's path, a slash and
    /// the entry's relative path. Links to files, dangling links, FIFOs and other special files come here.
    /// regular is true when the folder listed the entry as a regular file (not a link).
    std::function<void(const std::string& path, bool regular)> visitFile;
    /// Called for a folder below the root whose contents could not be listed; the walk goes on without it.
    std::function<void(const std::string& path, int error)> unlistedFolder;
};

/*!
 * Walks the tree below root depth first, in the order the directories list their entries, and hands
 * every entry that is not a directory to visitFile. Hidden entries are included; nothing is sorted.
 * A symbolic link to a directory counts as a directory (no call) and is not entered, so links cannot
 * make the walk loop.
 *
 * Returns false, with the error number in *error, when root itself cannot be listed; nothing is visited.
 */
[[nodiscard]] bool walkTree(const std::string& root, const WalkCallbacks& callbacks, int* error = nullptr);

} // namespace orvane
