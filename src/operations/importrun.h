#pragma once

#include "integrityrun.h"
#include "listreader.h"

#include <string>

namespace orvane {

/*!
 * Imports a checksum list into the digest attributes as it is read, one file at a time on the calling
 * thread, without holding the list: memory stays the same however long it is. For each
 * well-formed entry the file's digest is computed now; it is stored, by the write Tag uses, only when it
 * equals the listed one (Imported). Otherwise nothing is stored: Mismatched, Unreadable or NotTagged. A
 * malformed line is Malformed. A relative path is taken below base, an absolute one as it is. A stop request
 * ends the run before the next file, as does a stop of the reader or a failed read (stopped; the reader
 * tells the failure). The progress has no totals: they would take reading the list twice.
 */
[[nodiscard]] RunResult runImport(
    ListReader& list, const std::string& base, const RunSettings& settings, const RunObserver& observer = {});

} // namespace orvane
