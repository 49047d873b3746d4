#pragma once

#include "checksumlist.h"
#include "integrityrun.h"

#include <string>
#include <vector>

namespace orvane {

/*!
 * Imports a checksum list into the digest attributes, one file at a time on the calling thread. For each
 * well-formed entry the file's digest is computed now; it is stored, by the write Tag uses, only when it
 * equals the listed one (Imported). Otherwise nothing is stored: Mismatched, Unreadable or NotTagged. A
 * malformed line is Malformed. A relative path is taken below base, an absolute one as it is. A stop request
 * ends the run before the next file (stopped).
 */
[[nodiscard]] RunResult runImport(const std::vector<ListEntry>& entries,
    const std::string& base,
    const RunSettings& settings,
    const RunObserver& observer = {});

} // namespace orvane
