#pragma once

namespace orvane {

/// The reason given for a file or folder that is not read because it lives on a pseudo file system.
inline constexpr const char* pseudoFileSystemReason = "on a pseudo file system";

/*!
 * Whether the open file or folder fd lives on one of the kernel's pseudo file systems (proc, sysfs,
 * debugfs, cgroup and the like). Their files are views of kernel state: some never end (pagemap reads a
 * quarter of a terabyte), some change as they are read, none carries user attributes worth a digest.
 */
[[nodiscard]] bool onPseudoFileSystem(int fd);

} // namespace orvane
