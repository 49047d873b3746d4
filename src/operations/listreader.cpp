#include "listreader.h"

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <unistd.h>

namespace orvane {

namespace {

constexpr std::size_t bufferSize = 64 * 1024;

} // namespace

ListReader::ListReader(int fd, int stopFd)
    : m_fd(fd)
    , m_stopFd(stopFd)
    , m_buffer(new char[bufferSize])
{
    m_line.reserve(longestLine + 1);
}

std::optional<ListEntry> ListReader::next()
{
    for (;;) {
        if (m_start == m_end) {
            if (!m_ended && !m_stopped && !m_failure && fill())
                continue;
            // A last line without a line feed is a line all the same; nothing more comes after a stop, and
            // a line cut short by a failed read is not one.
            if (m_stopped || m_failure || (m_line.empty() && !m_tooLong))
                return std::nullopt;
            return endLine();
        }
        const char* from = m_buffer.get() + m_start;
        const std::size_t count = m_end - m_start;
        const char* feed = static_cast<const char*>(std::memchr(from, '\n', count));
        const std::size_t part = feed ? static_cast<std::size_t>(feed - from) : count;
        // One byte over the limit is kept: it may be the carriage return before the line feed.
        if (!m_tooLong && m_line.size() + part > longestLine + 1) {
            m_tooLong = true;
            m_line.clear();
        }
        if (!m_tooLong)
            m_line.append(from, part);
        m_start += part;
        if (!feed)
            continue;
        ++m_start;
        if (!m_tooLong && !m_line.empty() && m_line.back() == '\r')
            m_line.pop_back();
        if (m_line.empty() && !m_tooLong) {
            ++m_number;
            continue;
        }
        return endLine();
    }
}

ListEntry ListReader::endLine()
{
    ++m_number;
    m_tooLong = m_tooLong || m_line.size() > longestLine;
    ListEntry entry;
    entry.line = m_number;
    if (!m_tooLong)
        entry = parseChecksumLine(m_line, m_number);
    m_line.clear();
    m_tooLong = false;
    return entry;
}

bool ListReader::fill()
{
    m_start = m_end = 0;
    if (m_stopFd >= 0) {
        pollfd waits[2] = { { m_fd, POLLIN, 0 }, { m_stopFd, POLLIN, 0 } };
        while (::poll(waits, 2, -1) < 0) {
            if (errno != EINTR) {
                m_failure = errnoFailure(errno);
                return false;
            }
        }
        if (waits[1].revents != 0) {
            m_stopped = true;
            return false;
        }
    }
    for (;;) {
        const ssize_t count = ::read(m_fd, m_buffer.get(), bufferSize);
        if (count > 0) {
            m_end = static_cast<std::size_t>(count);
            return true;
        }
        if (count == 0) {
            m_ended = true;
            return false;
        }
        if (errno != EINTR) {
            m_failure = errnoFailure(errno);
            return false;
        }
    }
}

} // namespace orvane
