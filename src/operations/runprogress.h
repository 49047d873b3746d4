#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace orvane {

/*!
 * How far a run has come, shared by the run and whoever watches it; every member may be used from any
 * thread. The totals stay -1 until the metadata-only count of the tree has finished, so a watcher shows
 * an indeterminate progress until then. Setting stopRequested asks the run to stop: the files in hand
 * are finished, no other is started.
 */
struct RunProgress
{
    std::atomic<std::int64_t> filesDone { 0 };
    std::atomic<std::int64_t> bytesDone { 0 };
    std::atomic<std::int64_t> filesTotal { -1 };
    std::atomic<std::int64_t> bytesTotal { -1 };
    std::atomic<bool> stopRequested { false };

    /// The file in hand, as the run names it (its bytes); set for every file, so kept as given.
    void setCurrentPath(const std::string& path);
    /// The file in hand as a report line shows it (printablePath), for a watcher a few times a second.
    [[nodiscard]] std::string currentPath() const;

private:
    mutable std::mutex m_mutex;
    std::string m_currentPath;
};

} // namespace orvane
