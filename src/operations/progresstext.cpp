#include "progresstext.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace orvane {

namespace {

std::string format(const char* pattern, double value)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

std::string duration(double seconds)
{
    const auto whole = static_cast<long long>(seconds + 0.5);
    if (whole < 60)
        return std::to_string(whole) + " s";
    if (whole < 3600)
        return std::to_string((whole + 30) / 60) + " min";
    return std::to_string(whole / 3600) + " h " + std::to_string(whole % 3600 / 60) + " min";
}

} // namespace

std::string progressText(const RunProgress& progress, double seconds)
{
    const std::int64_t files = progress.filesDone;
    const std::int64_t bytes = progress.bytesDone;
    const std::int64_t filesTotal = progress.filesTotal;
    const std::int64_t bytesTotal = progress.bytesTotal;
    const double rate = seconds > 0 ? double(bytes) / seconds : 0;
    std::string line;
    if (filesTotal >= 0) {
        line = std::to_string(files) + " of " + std::to_string(filesTotal) + " files \u00B7 "
            + format("%.2f", double(bytes) / 1e9) + " of " + format("%.2f GB", double(bytesTotal) / 1e9);
    } else {
        line = std::to_string(files) + " files \u00B7 " + format("%.2f GB", double(bytes) / 1e9);
    }
    line += " \u00B7 " + format("%.0f MB/s", rate / 1e6);
    const double done = bytesTotal > 0 ? double(bytes) / double(bytesTotal)
        : filesTotal > 0               ? double(files) / double(filesTotal)
                                       : 0;
    if (filesTotal >= 0 && done > 0 && seconds >= 1)
        line += " \u00B7 about " + duration(seconds * std::max(0.0, 1 - done) / std::min(done, 1.0)) + " left";
    return line;
}

} // namespace orvane
