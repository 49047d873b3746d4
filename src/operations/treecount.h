#pragma once

#include "exclusions.h"
#include "runprogress.h"

#include <atomic>
#include <cstddef>
#include <string>

namespace orvane {

/*!
 * Counts what a folder run will meet below root, from metadata alone: every entry the walk hands to the
 * per-file step, and the sizes of the regular files among them (links followed). Nothing is opened or
 * read. When the walk has ended, and cancelled was not set meanwhile, the counts go to progress's totals.
 * Runs at the lowest priority, on the thread that calls it, with at most openFolders folders open. What
 * exclusions leave out is not counted.
 */
void countTree(const std::string& root,
    RunProgress& progress,
    const std::atomic<bool>& cancelled,
    std::size_t openFolders,
    const Exclusions* exclusions = nullptr);

} // namespace orvane
