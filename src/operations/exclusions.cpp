#include "exclusions.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvane {

namespace {

constexpr std::size_t mostIgnoreFileBytes = 1 << 20;
// Patterns beyond these cannot mean anything for a tree, and would only make every file's look slow.
constexpr std::size_t longestPattern = 4096;
constexpr std::size_t mostPatterns = 10000;

} // namespace

Glob::Glob(std::string_view pattern)
{
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        Token token;
        const char c = pattern[i];
        if (c == '*') {
            // A run of stars is one star; two or more in a row cross "/".
            std::size_t last = i;
            while (last + 1 < pattern.size() && pattern[last + 1] == '*')
                ++last;
            token.kind = last > i ? Kind::DeepStar : Kind::Star;
            i = last;
            // "**/" also matches nothing at all: the state after it can skip the slash.
            token.skipsSlash = token.kind == Kind::DeepStar && i + 1 < pattern.size() && pattern[i + 1] == '/';
        } else if (c == '?') {
            token.set.set();
        } else if (c != '[' || !classAt(pattern, i, token.set)) {
            token.set.set(static_cast<unsigned char>(c));
            token.literalSlash = c == '/';
        }
        m_tokens.push_back(token);
    }
}

// Reads the class that opens at pattern[at], moving at to its "]"; false, with nothing read, when none closes.
bool Glob::classAt(std::string_view pattern, std::size_t& at, std::bitset<256>& set)
{
    std::size_t i = at + 1;
    const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    if (negated)
        ++i;
    std::bitset<256> chosen;
    for (bool first = true; i < pattern.size() && (first || pattern[i] != ']'); first = false, ++i) {
        const auto low = static_cast<unsigned char>(pattern[i]);
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            for (unsigned high = static_cast<unsigned char>(pattern[i + 2]), c = low; c <= high; ++c)
                chosen.set(c);
            i += 2;
        } else {
            chosen.set(low);
        }
    }
    if (i >= pattern.size())
        return false;
    set = negated ? ~chosen : chosen;
    at = i;
    return true;
}

// Follows the glob as a set of states, one a token, over the text: time in proportion to the glob's length
// times the text's, whatever the pattern (no backtracking that a pattern of many stars could make explode).
bool Glob::matches(std::string_view text) const
{
    const std::size_t end = m_tokens.size();
    // Asked for every entry of a tree against every pattern: the state sets are kept by the thread, not
    // allocated anew for each question (the walk and the count of the tree share one Exclusions).
    thread_local std::vector<char> now, next;
    thread_local std::vector<std::size_t> pending;
    now.assign(end + 1, 0);
    next.assign(end + 1, 0);
    // Adds state and those a star (taking nothing) or a skipped slash reaches from it.
    const auto add = [this, end](std::vector<char>& states, std::size_t first) {
        pending.assign(1, first);
        while (!pending.empty()) {
            const std::size_t state = pending.back();
            pending.pop_back();
            if (state > end || states[state])
                continue;
            states[state] = 1;
            if (state == end || m_tokens[state].kind == Kind::One)
                continue;
            pending.push_back(state + 1);
            if (m_tokens[state].skipsSlash)
                pending.push_back(state + 2);
        }
    };
    add(now, 0);
    for (const char c : text) {
        std::fill(next.begin(), next.end(), 0);
        const auto byte = static_cast<unsigned char>(c);
        bool alive = false;
        for (std::size_t state = 0; state < end; ++state) {
            if (!now[state])
                continue;
            const Token& token = m_tokens[state];
            if (token.kind == Kind::One && token.set.test(byte) && (c != '/' || token.literalSlash)) {
                add(next, state + 1);
                alive = true;
            } else if (token.kind == Kind::DeepStar || (token.kind == Kind::Star && c != '/')) {
                add(next, state); // the star takes the character and stays
                alive = true;
            }
        }
        if (!alive)
            return false;
        std::swap(now, next);
    }
    return now[end] != 0;
}

void Exclusions::add(std::string_view pattern)
{
    if (pattern.size() > longestPattern || m_patterns.size() >= mostPatterns)
        return;
    Pattern entry;
    entry.foldersOnly = !pattern.empty() && pattern.back() == '/';
    if (entry.foldersOnly)
        pattern.remove_suffix(1);
    const bool anchored = !pattern.empty() && pattern.front() == '/';
    if (anchored)
        pattern.remove_prefix(1);
    if (pattern.empty())
        return;
    entry.anywhere = !anchored && pattern.find('/') == std::string_view::npos;
    entry.glob = Glob(pattern);
    m_patterns.push_back(std::move(entry));
}

std::string ignoreFilePath(const std::string& folder)
{
    return folder + (!folder.empty() && folder.back() == '/' ? "" : "/") + theIgnoreFileName;
}

std::optional<Failure> Exclusions::addIgnoreFile(const std::string& folder)
{
    const std::string path = ignoreFilePath(folder);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return errno == ENOENT ? std::nullopt : std::optional<Failure>(errnoFailure(errno));
    // As root, a list of what to leave out is taken only from root or the folder's owner: another user able
    // to write in the folder must not be able to hide files from root's runs.
    struct stat file = {};
    struct stat top = {};
    if (::fstat(fd, &file) != 0 || !S_ISREG(file.st_mode)) {
        ::close(fd);
        return Failure { 0, "not a regular file" };
    }
    if (::geteuid() == 0 && file.st_uid != 0 && (::stat(folder.c_str(), &top) != 0 || top.st_uid != file.st_uid)) {
        ::close(fd);
        return Failure { EPERM, "owned by another user, not taken as root" };
    }
    std::string text;
    char buffer[65536];
    ssize_t got = 0;
    while ((got = ::read(fd, buffer, sizeof buffer)) != 0) {
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || text.size() + std::size_t(got) > mostIgnoreFileBytes) {
            const Failure failure = got < 0 ? errnoFailure(errno) : Failure { EFBIG, "larger than 1 MiB" };
            ::close(fd);
            return failure;
        }
        text.append(buffer, std::size_t(got));
    }
    ::close(fd);
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (!line.empty() && line.front() != '#')
            add(line);
    }
    return std::nullopt;
}

bool Exclusions::excludes(std::string_view relativePath, bool folder) const
{
    const std::size_t slash = relativePath.find_last_of('/');
    const std::string_view name = slash == std::string_view::npos ? relativePath : relativePath.substr(slash + 1);
    for (const Pattern& pattern : m_patterns) {
        if (pattern.foldersOnly && !folder)
            continue;
        if (pattern.glob.matches(pattern.anywhere ? name : relativePath))
            return true;
    }
    return false;
}

std::function<bool(std::string_view, bool)> excludeFilter(const Exclusions* exclusions, std::int64_t* excluded)
{
    if (!exclusions || exclusions->isEmpty())
        return {};
    return [exclusions, excluded](std::string_view path, bool folder) {
        const bool out = exclusions->excludes(path, folder);
        if (excluded && out)
            ++*excluded;
        return out;
    };
}

} // namespace orvane
