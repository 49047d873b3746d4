#pragma once

#include "integrity/result.h"
#include "item.h"
#include "outcome.h"
#include "runsettings.h"
#include "runstate.h"

#include <optional>
#include <string>

namespace orvane {

/// How a run ended: its counts, whether a stop request cut it short, and the failure that kept a folder
/// from being walked at all.
struct RunResult
{
    std::optional<Failure> failure;
    RunCounters counters;
    bool stopped = false;
};

/*!
 * Runs the single-file variant on the file at path, on the calling thread; its outcome goes to the
 * observer. A stop request lets the file finish.
 */
[[nodiscard]] RunResult runSingleFile(
    Operation operation, const std::string& path, const RunSettings& settings, const RunObserver& observer = {});

/*!
 * Runs the folder variant: walks the tree below folder and runs the per-file step on every file, up to
 * settings.jobs of them at once on settings.pool. The outcomes reach the observer in walk order, the same
 * whatever the number of jobs. With settings.progress, a count of the tree runs alongside and fills in the
 * totals; a stop request ends the run once the files in hand are finished (stopped). Returns only when no
 * file of the run is in hand any more.
 *
 * Returns the failure, having done nothing, when the folder cannot be listed or OpenSSL lacks what a run
 * needs.
 */
[[nodiscard]] RunResult runFolder(
    Operation operation, const std::string& folder, const RunSettings& settings, const RunObserver& observer = {});

/// Runs the operation on an opened item, as the window and the command line do: a folder's tree, or a file.
[[nodiscard]] RunResult runItem(
    Operation operation, const Item& item, const RunSettings& settings, const RunObserver& observer = {});

} // namespace orvane
