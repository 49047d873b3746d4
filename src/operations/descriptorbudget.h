#pragma once

#include <cstddef>

namespace orvane {

/*!
 * How a folder run shares the descriptors the process may still open, so that it completes under any
 * limit of 16 or more (RLIMIT_NOFILE): the folders the walk keeps open, the files between the walk and
 * the report (each may keep its folder open), the folders the count of the tree keeps open, and the files
 * the pool's threads have open. A generous limit leaves each its full share.
 */
struct DescriptorBudget
{
    std::size_t walkFolders = 0;
    std::size_t window = 0;
    int workers = 0;
    std::size_t countFolders = 0; ///< 0: no room for a count alongside
};

/// The descriptors the calling thread may still open: the soft limit less those open in its table now.
[[nodiscard]] std::size_t freeDescriptors();

/// The shares for a run of up to jobs files in hand at once with free descriptors left, counting the tree
/// alongside or not.
[[nodiscard]] DescriptorBudget descriptorBudget(std::size_t free, int jobs, bool counting);

} // namespace orvane
