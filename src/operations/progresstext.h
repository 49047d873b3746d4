#pragma once

#include "operations/runprogress.h"

#include <string>

namespace orvane {

/*!
 * The figures of a run's progress as the window and the command line show them: "n of N files · X of Y GB ·
 * Z MB/s · about T left" once the count of the tree has finished, "n files · X GB · Z MB/s" before it.
 * seconds is the time since the run started; the time left follows from the share done, by bytes where
 * there are any, by files otherwise.
 */
[[nodiscard]] std::string progressText(const RunProgress& progress, double seconds);

} // namespace orvane
