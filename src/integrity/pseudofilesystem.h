#pragma once

#include <sys/types.h>

namespace orvane {

/// The reason given for a file or folder that is not read because it lives on a pseudo file system.
inline constexpr const char* pseudoFileSystemReason = "on a pseudo file system";

/*!
 * Whether the open file or folder fd lives on one of the kernel's pseudo file systems (proc, sysfs,
 * debugfs, cgroup and the like). Their files are views of kernel state: some never end (pagemap reads a
 * quarter of a terabyte), some change as they are read, none carries user attributes worth a digest.
 */
[[nodiscard]] bool onPseudoFileSystem(int fd);

/*!
 * onPseudoFileSystem for the files of one run, asked once per file system instead of once per file: the
 * answer for the last device seen is kept. One run's files mostly share their folder's file system, and a
 * device number is only reused after an unmount, so the answer is not kept beyond the run.
 */
class FileSystemKind
{
public:
    /// Whether fd, open on a file of device (its st_dev), lives on a pseudo file system.
    [[nodiscard]] bool onPseudoFileSystem(int fd, dev_t device);

private:
    dev_t m_device = 0;
    bool m_known = false;
    bool m_pseudo = false;
};

} // namespace orvane
