#pragma once

#include "operations/outcome.h"

#include <QString>

/*!
 * A folder run told in one line, for a desktop notification: what ran where, then the outcome from the same
 * counters as the report's totals. "Check of Photos: 2 possibly damaged, 3 modified since tagged, 1 couldn't
 * be read" names every count of files that got a warning or an error, possible damage first; a run without any says so
 * ("all 1,234 files matched", "1,234 files tagged"); a stopped run says "stopped after N files", as its stop line does.
 */
namespace RunSummary {

[[nodiscard]] QString text(
    orvane::Operation operation, const QString& folderName, const orvane::RunCounters& counters, bool stopped);

} // namespace RunSummary
