#pragma once

#include "checksumlist.h"
#include "integrity/failure.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace orvane {

/*!
 * A checksum list read from a descriptor one line at a time, in bounded memory however long the list or
 * its lines (one that never ends, /dev/zero, included): one read buffer and one line of at most
 * longestLine bytes. A longer line is not kept but passed over to its end, and comes out as not well
 * formed. A carriage return just before a line feed is not part of the line, so lists written on Windows
 * read as they were meant (a name's own carriage return is written as the "\r" escape). Empty lines are
 * passed over and counted.
 */
class ListReader
{
public:
    static constexpr std::size_t longestLine = 64 * 1024;

    /// Reads from fd. stopFd, unless -1, becomes readable when reading should stop: a read that waits
    /// for more of the list (a pipe, a terminal) waits for it too.
    explicit ListReader(int fd, int stopFd = -1);

    /// The next entry; none at the end of the list, after a failed read, or once stopFd is readable.
    [[nodiscard]] std::optional<ListEntry> next();

    /// Why reading ended before the end of the list, if a read failed.
    [[nodiscard]] const std::optional<Failure>& failure() const
    {
        return m_failure;
    }
    /// Whether reading ended because stopFd became readable.
    [[nodiscard]] bool stopped() const
    {
        return m_stopped;
    }

private:
    // Reads more of the list into the buffer; false at its end, on a failure or a stop.
    bool fill();
    ListEntry endLine();

    int m_fd;
    int m_stopFd;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_start = 0;
    std::size_t m_end = 0;
    bool m_ended = false;
    bool m_stopped = false;
    std::optional<Failure> m_failure;
    std::string m_line;
    bool m_tooLong = false;
    std::int64_t m_number = 0;
};

} // namespace orvane
