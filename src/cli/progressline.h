#pragma once

#include "operations/runprogress.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

/*!
 * The run's progress as one line on a terminal, rewritten at most ten times a second by a thread of its
 * own and erased when the run ends: "n of N files · X of Y GB · Z MB/s · about T left" and the current
 * path, elided in the middle to the terminal's width. Until the count of the tree has finished it shows
 * what is done only.
 */
class ProgressLine
{
public:
    /// Starts drawing progress on the descriptor fd (standard error).
    ProgressLine(const orvane::RunProgress& progress, int fd);
    /// Stops as stop() does.
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    /// Stops drawing and erases the line.
    void stop();

    /// Runs write while the line is erased, so that other text for the same terminal starts a line of
    /// its own; the line comes back at the next redraw.
    void withLineErased(const std::function<void()>& write);

    /*!
     * The line's text for a width in columns: the counts, then the path elided in the middle so that the
     * whole fits, as the terminal counts columns (wcwidth, in the locale of LC_CTYPE). elapsed is the time
     * since the run started.
     */
    [[nodiscard]] static std::string text(
        const orvane::RunProgress& progress, std::chrono::duration<double> elapsed, const std::string& path, int width);

private:
    void draw();
    void erase();
    void writeAll(const std::string& bytes) const;

    const orvane::RunProgress& m_progress;
    const int m_fd;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_ending = false;
    bool m_shown = false;
    std::thread m_thread;
};
