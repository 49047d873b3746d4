#pragma once

#include "integrity/filedigest.h"

#include <cstdint>
#include <string>

namespace orvane {

/// The three things Orvane does to the files of an opened item.
enum class Operation
{
    Check, ///< compare each file's digest with the stored one; writes nothing
    Tag, ///< store each file's digest, replacing whatever was stored
    Retag, ///< store the digest where it is missing or differs; leave a matching one alone
};

/// What made a run's outcomes: one of the operations, or the import of a checksum list. The reports of each
/// word their lines and totals in their own way.
enum class Command
{
    Check,
    Tag,
    Retag,
    Import,
};

[[nodiscard]] Command commandOf(Operation operation);

/// A single file reports in its own words and has no totals; a folder run walks the tree and ends in totals.
enum class Variant
{
    SingleFile,
    Folder,
};

/// What came of one file, or of a folder the walk could not list, or of a line of a list.
enum class FileResult
{
    None,
    Matched, ///< the stored digest equals the computed one
    Mismatched, ///< Check: the stored digest differs; import: the listed one differs
    NoDigest, ///< Check: no stored value, or an empty one
    Tagged, ///< Tag: the digest was stored
    Retagged, ///< Retag: a differing stored digest was replaced
    FirstTagged, ///< Retag: a digest was stored where none was
    NotTagged, ///< the digest could not be stored
    Imported, ///< import: the digest equalled the listed one and was stored
    Unreadable, ///< the file's digest could not be computed
    UnreadableFolder, ///< the walk could not list the folder
    Malformed, ///< import: a line of the list that is no checksum line
};

/// The name of a result in machine-readable reports: "matched", "no_digest", "tagged_first_time", ...
[[nodiscard]] const char* resultName(FileResult result);

/// Whether a result is a file that is fine: what --quiet and the window's problems filter leave out.
[[nodiscard]] bool resultIsFine(FileResult result);

/// What the modification time stored beside a digest says of a file whose contents no longer match it.
enum class SinceTagged : std::uint8_t
{
    Unknown, ///< no time was stored with the digest (or not one of 16 bytes)
    Modified, ///< the file's modification time is not the stored one: it was edited
    NotModified, ///< the same to the nanosecond: the contents changed without an edit, possibly damage
};

/*!
 * One outcome of a run, as data: the record every report is made from (the text report, JSON Lines, the
 * window). Nothing here is worded; ReportFormat and JsonReport word it.
 */
struct Outcome
{
    std::string path; ///< the file's or folder's path in its own bytes; empty for a line of a list
    FileResult result = FileResult::None;
    std::string reason; ///< why it could not be read, listed or tagged; empty otherwise
    bool hasDigest = false; ///< digest holds the digest of the contents just read
    Digest digest {};
    std::int64_t hashNumber = 0; ///< Tag of a folder: the number its line shows for the digest
    std::int64_t line = 0; ///< import: the line of the list the file was named on
    /// Mismatched: what the stored time says. A Retag that leaves a NotModified file alone is Mismatched too.
    SinceTagged sinceTagged = SinceTagged::Unknown;

    /// Empties the record for the next file, keeping its strings' buffers.
    void clear();
};

/// The counts of a run. Each command's totals show some of them; the rest serve callers.
struct RunCounters
{
    std::int64_t total = 0; ///< every file met by a folder run or named by a list, whatever its outcome
    std::int64_t matched = 0; ///< Check, Retag: stored digest equals the computed one
    std::int64_t mismatched = 0; ///< Check: a non-empty stored value differs; import: the list's differs
    std::int64_t noDigest = 0; ///< Check: no stored value could be read, or it is empty
    std::int64_t retagged = 0; ///< Retag: a differing stored digest was replaced
    std::int64_t firstTime = 0; ///< Retag: a digest was stored where none was, or after a failed write
    std::int64_t errors = 0; ///< Tag: writes that failed
    std::int64_t notTagged = 0; ///< Retag, import: files left with "Couldn't tag"
    std::int64_t unreadable = 0; ///< files whose digest could not be computed ("Couldn't read")
    std::int64_t unreadableFolders = 0; ///< folders that could not be listed ("Couldn't read folder")
    std::int64_t imported = 0; ///< import: the digest equalled the listed one and was stored
    std::int64_t malformed = 0; ///< import: lines of the list that are no checksum line
    std::int64_t modifiedSinceTagged = 0; ///< Check: mismatched, and edited since the digest was stored
    std::int64_t possiblyDamaged = 0; ///< Check, Retag: mismatched without an edit (Retag left them alone)
    std::int64_t excluded = 0; ///< files and folders a folder run left out (a folder once)

    /// Counts the outcome as command's totals count it; a folder run counts every file in total.
    void count(Command command, Variant variant, const Outcome& outcome);
};

/// Whether every file of the run was handled cleanly, as the command line's exit status reports it.
[[nodiscard]] bool runWasClean(Command command, const RunCounters& counters);

} // namespace orvane
