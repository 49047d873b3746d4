#include "progressline.h"

#include "operations/progresstext.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr auto redrawInterval = std::chrono::milliseconds(100);
const char eraseLine[] = "\r\x1b[K";

// A character of a text: where it starts and the columns a terminal gives it.
struct Character
{
    std::size_t start;
    std::size_t width;
};

// The characters of text in the locale's encoding with their widths (wcwidth): two for most CJK, none for
// a combining mark. A byte that starts no valid character, and a character without a width, take one
// column: paths come through printablePath, so they hold no control characters.
std::vector<Character> characters(const std::string& text)
{
    std::vector<Character> result;
    std::mbstate_t state {};
    for (std::size_t at = 0; at < text.size();) {
        wchar_t wide = 0;
        std::size_t length = std::mbrtowc(&wide, text.data() + at, text.size() - at, &state);
        int width = 1;
        if (length == 0 || length > text.size() - at) { // a NUL, an invalid or an unfinished sequence
            state = {};
            length = 1;
        } else {
            width = ::wcwidth(wide);
        }
        result.push_back({ at, static_cast<std::size_t>(width < 0 ? 1 : width) });
        at += length;
    }
    return result;
}

std::size_t columns(const std::vector<Character>& characters)
{
    std::size_t sum = 0;
    for (const Character& character : characters)
        sum += character.width;
    return sum;
}

// As much of the start of text as fits in width columns, or of its end when fromEnd; never a part of a
// character. Gives the columns taken through used.
std::string fit(const std::string& text,
    const std::vector<Character>& characters,
    std::size_t width,
    bool fromEnd,
    std::size_t& used)
{
    used = 0;
    if (fromEnd) {
        std::size_t first = characters.size();
        while (first > 0 && used + characters[first - 1].width <= width)
            used += characters[--first].width;
        return first < characters.size() ? text.substr(characters[first].start) : std::string();
    }
    std::size_t end = 0;
    while (end < characters.size() && used + characters[end].width <= width)
        used += characters[end++].width;
    return text.substr(0, end < characters.size() ? characters[end].start : text.size());
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
    const std::vector<Character> lineCharacters = characters(line);
    const std::size_t used = columns(lineCharacters) + 2;
    std::size_t taken = 0;
    if (path.empty() || used + 5 > room)
        return fit(line, lineCharacters, room, false, taken);
    const std::size_t left = room - used;
    const std::vector<Character> pathCharacters = characters(path);
    if (columns(pathCharacters) <= left)
        return line + "  " + path;
    // The middle gives way to an ellipsis: the start and the end of a path tell most.
    const std::string head = fit(path, pathCharacters, (left - 1) / 2, false, taken);
    return line + "  " + head + "\u2026" + fit(path, pathCharacters, left - 1 - taken, true, taken);
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
