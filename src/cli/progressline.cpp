#include "progressline.h"

#include "operations/progresstext.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr auto redrawInterval = std::chrono::milliseconds(100);
const char eraseLine[] = "\r\x1b[K";

// Columns a UTF-8 string takes: one per character. Paths come through printablePath, so they hold no
// control characters.
std::size_t columns(const std::string& text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xc0) != 0x80; }));
}

// The first count characters of text, or the last count when fromEnd; never a part of a UTF-8 sequence.
std::string characters(const std::string& text, std::size_t count, bool fromEnd)
{
    std::size_t seen = 0;
    if (fromEnd) {
        std::size_t i = text.size();
        while (i > 0 && seen < count) {
            --i;
            if ((static_cast<unsigned char>(text[i]) & 0xc0) != 0x80)
                ++seen;
        }
        return text.substr(i);
    }
    std::size_t i = 0;
    for (; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xc0) != 0x80 && seen++ == count)
            break;
    }
    return text.substr(0, i);
}

} // namespace

ProgressLine::ProgressLine(const orvane::RunProgress& progress, int fd)
    : m_progress(progress)
    , m_fd(fd)
{
    draw(); // at once: a run shorter than the interval shows its line too
    m_thread = std::thread([this] {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_wake.wait_for(lock, redrawInterval, [this] { return m_ending; }))
            draw();
    });
}

ProgressLine::~ProgressLine()
{
    stop();
}

void ProgressLine::stop()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_ending)
            return;
        m_ending = true;
    }
    m_wake.notify_all();
    m_thread.join();
    erase();
}

void ProgressLine::withLineErased(const std::function<void()>& write)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    erase();
    write();
}

std::string ProgressLine::text(
    const orvane::RunProgress& progress, std::chrono::duration<double> elapsed, const std::string& path, int width)
{
    const std::string line = orvane::progressText(progress, elapsed.count());

    // One column is kept free: writing into the last one makes some terminals wrap the line.
    const std::size_t room = static_cast<std::size_t>(std::max(width - 1, 0));
    const std::size_t used = columns(line) + 2;
    if (path.empty() || used + 5 > room)
        return characters(line, room, false);
    const std::size_t left = room - used;
    if (columns(path) <= left)
        return line + "  " + path;
    const std::size_t head = (left - 1) / 2;
    return line + "  " + characters(path, head, false) + "\u2026" + characters(path, left - 1 - head, true);
}

void ProgressLine::draw()
{
    winsize size = {};
    const int width = ::ioctl(m_fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
    writeAll("\r" + text(m_progress, std::chrono::steady_clock::now() - m_start, m_progress.currentPath(), width)
        + "\x1b[K");
    m_shown = true;
}

void ProgressLine::erase()
{
    if (m_shown)
        writeAll(eraseLine);
    m_shown = false;
}

void ProgressLine::writeAll(const std::string& bytes) const
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = ::write(m_fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return; // progress is a courtesy: a terminal that went away does not end the run
        written += static_cast<std::size_t>(count);
    }
}
