#pragma once

#include "integrity/result.h"

#include <bitset>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

/// The name of the file at the top of an opened folder that lists what runs leave out, one pattern a line.
inline const std::string theIgnoreFileName = ".orvane-ignore";

/// The path of the ignore file at the top of folder.
[[nodiscard]] std::string ignoreFilePath(const std::string& folder);

/// A shell glob: "*" and "?" do not match "/", "**" does ("**/" also matches nothing), "[...]" a class.
class Glob
{
public:
    Glob() = default;
    explicit Glob(std::string_view pattern);
    [[nodiscard]] bool matches(std::string_view text) const;

private:
    enum class Kind : std::uint8_t
    {
        One, ///< one character of set
        Star, ///< any characters but "/"
        DeepStar, ///< any characters
    };
    struct Token
    {
        Kind kind = Kind::One;
        bool skipsSlash = false; // DeepStar followed by "/": that slash may be skipped with it
        bool literalSlash = false; // One: the character "/" itself, which only it may match
        std::bitset<256> set;
    };
    static bool classAt(std::string_view pattern, std::size_t& at, std::bitset<256>& set);

    std::vector<Token> m_tokens;
};

/*!
 * What a run leaves out of a folder: shell globs on paths relative to the opened folder. "*" and "?" do not
 * cross "/", "**" does ("**" then "/" also matches nothing at all), "[...]" is a class of characters. A
 * pattern with no "/" but a trailing one matches a name at any depth; one with a "/" elsewhere matches the
 * whole relative path, as does one that begins with "/" (the top). A trailing "/" matches folders only.
 */
class Exclusions
{
public:
    /// Adds a pattern; an empty one (or only "/") is passed over.
    void add(std::string_view pattern);

    /*!
     * Adds the patterns of the ignore file at the top of folder: one a line, blank lines and lines that begin
     * with "#" passed over, a CR before the line feed dropped. A missing file adds nothing; a file that
     * cannot be read, is not a regular file (a link is not followed), holds more than 1 MiB, or, for root, is
     * owned by neither root nor the folder's owner, adds nothing and is a failure. Patterns of more than 4 KiB,
     * and those after the first 10,000, are passed over.
     */
    [[nodiscard]] std::optional<Failure> addIgnoreFile(const std::string& folder);

    [[nodiscard]] bool isEmpty() const
    {
        return m_patterns.empty();
    }

    /// Whether the entry at the relative path (no leading "/") is left out; folder: it is a folder.
    [[nodiscard]] bool excludes(std::string_view relativePath, bool folder) const;

private:
    struct Pattern
    {
        Glob glob;
        bool anywhere = false; // matched against the last part of the path only
        bool foldersOnly = false;
    };
    std::vector<Pattern> m_patterns;
};

/*!
 * The walk's exclude callback for exclusions (see WalkCallbacks::exclude): none when there is nothing to leave
 * out. When excluded is given, each entry left out adds one to it (on the walk's thread).
 */
[[nodiscard]] std::function<bool(std::string_view relativePath, bool folder)> excludeFilter(
    const Exclusions* exclusions, std::int64_t* excluded = nullptr);

} // namespace orvane
