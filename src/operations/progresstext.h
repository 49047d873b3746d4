#pragma once

#include <cstdint>
#include <string>

namespace orvane {

/// What a progress line shows: counts so far, totals (-1 while the tree is still being counted) and the
/// seconds since the run started.
struct ProgressFigures
{
    std::int64_t filesDone = 0;
    std::int64_t bytesDone = 0;
    std::int64_t filesTotal = -1;
    std::int64_t bytesTotal = -1;
    double seconds = 0;
};

/*!
 * The one line of progress the window and the command line show: "n of N files · X of Y GB · Z MB/s · about
 * T left" once the totals are known, "n files · X GB · Z MB/s" before. Sizes and the rate are decimal
 * (1 MB = 10^6 bytes), in the unit that suits the total; the rate and the time left are left out until
 * there is something to base them on.
 */
[[nodiscard]] std::string progressText(const ProgressFigures& figures);

} // namespace orvane
