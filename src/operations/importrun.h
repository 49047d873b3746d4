#pragma once

#include "checksumlist.h"
#include "integrityrun.h"

#include <string>
#include <vector>

namespace orvane {

/*!
 * Imports a checksum list into the digest attributes, one file at a time on the calling thread. For each
 * well-formed entry the file's digest is computed now; it is stored, by the write Tag uses, only when it
 * equals the listed one: "✅ Imported P". Otherwise nothing is stored: "❌ Digest for P doesn't match the
 * list", "⚠️ Couldn't read P (reason)" or "❌ Couldn't tag P (reason)". A malformed line gets "⚠️ Line N of
 * the list isn't a checksum line". A relative path is taken below base, an absolute one as it is. A stop
 * request ends the run before the next file (state.stopped). The totals are appended by
 * appendImportTotals.
 */
void runImport(const std::vector<ListEntry>& entries,
    const std::string& base,
    const RunSettings& settings,
    RunState& state,
    const RunObserver& observer = {});

/// Appends import's totals for the list named listName, or the line of a stopped run.
void appendImportTotals(const std::string& listName, RunState& state);

/// Whether every line of the list was a file that was imported.
[[nodiscard]] bool importWasClean(const RunCounters& counters);

} // namespace orvane
