#pragma once

#include "integrity/filedigest.h"
#include "integrity/tagstore.h"

#include <cstdint>
#include <functional>
#include <string>

namespace orvane {

/// The three things Orvane does to the files of an opened item.
enum class Operation
{
    Check, ///< compare each file's digest with the stored one; writes nothing
    Tag, ///< store each file's digest, replacing whatever was stored
    Retag, ///< store the digest where it is missing or differs; leave a matching one alone
};

/// A single file reports in its own words and has no totals; a folder run walks the tree and ends in totals.
enum class Variant
{
    SingleFile,
    Folder,
};

/// The counters of one run. Each operation shows some of them in its totals; the rest serve callers.
struct RunCounters
{
    std::int64_t total = 0; ///< every file met by a folder run, whatever its outcome
    std::int64_t matched = 0; ///< Check, Retag: stored digest equals the computed one
    std::int64_t mismatched = 0; ///< Check: a non-empty stored value differs
    std::int64_t noDigest = 0; ///< Check: no stored value could be read, or it is empty
    std::int64_t retagged = 0; ///< Retag: a differing stored digest was replaced
    std::int64_t firstTime = 0; ///< Retag: a digest was stored where none was, or after a failed write
    std::int64_t errors = 0; ///< Tag: writes that failed
    std::int64_t notTagged = 0; ///< Retag: files left with "Couldn't tag"
    std::int64_t unreadable = 0; ///< files whose digest could not be computed (no line)
    std::int64_t unlistedFolders = 0; ///< folders below the root whose contents could not be listed
};

/// What a run accumulates: its report text and its counters. A folder run's worker alone uses it until it
/// hands it over for the totals.
struct RunState
{
    std::string reportText;
    RunCounters counters;
};

/// What a run needs besides the item: the back-end, the buffer size and the attribute name.
struct RunSettings
{
    Backend backend = platformBackend();
    std::int64_t bufferSize = realBufferSize;
    std::string xattrName = theXattrName;
    ReadFunction read; ///< empty: read(2); tests put a failing reader here
};

/// Hooks through which a run tells its caller of things outside the report text.
struct RunObserver
{
    /// Text for the report at once, ahead of the run's own text: Tag's description of a failed write.
    std::function<void(const std::string& text)> directText;
    /// A file whose digest could not be computed; it gets no line.
    std::function<void(const std::string& path, const std::string& reason)> unreadable;
    /// A folder below the root whose contents were skipped because they could not be listed.
    std::function<void(const std::string& path, int error)> unlistedFolder;
};

/*!
 * The per-file step of one run: computes a file's digest, reads or writes its digest attribute, appends
 * the file's line to the run's report text and counts the outcome. Failures of one file never stop a run.
 */
class IntegrityRun
{
public:
    IntegrityRun(
        Operation operation, Variant variant, const RunSettings& settings, RunState& state, RunObserver observer);

    /// knownRegular: the walk listed the path as a regular file (see OpenedFile::open).
    void processFile(const std::string& path, bool knownRegular = false);

private:
    void check(const std::string& path, const OpenedFile& file, const Digest& digest);
    void tag(const std::string& path, const OpenedFile& file, const Digest& digest);
    void retag(const std::string& path, const OpenedFile& file, const Digest& digest);
    /// Opens the file and computes its digest; false (counted, reported to the observer) when none results.
    [[nodiscard]] bool computeDigest(const std::string& path, bool knownRegular, OpenedFile& file, Digest& digest);
    [[nodiscard]] bool tryWrite(const OpenedFile& file, const Digest& digest);
    void appendLine(const char* lead, const std::string& path, const char* tail = "\n");

    Operation m_operation;
    Variant m_variant;
    std::string m_xattrName;
    FileDigester m_digester;
    RunState& m_state;
    RunObserver m_observer;
};

/// Runs the single-file variant on the file at path; its line, if any, ends up in state.reportText.
void runSingleFile(Operation operation,
    const std::string& path,
    const RunSettings& settings,
    RunState& state,
    const RunObserver& observer = {});

/*!
 * Runs the folder variant: walks the tree below folder and runs the per-file step on every file. Returns
 * false, with the error number in *error, when the folder cannot be listed; then nothing is done. The
 * totals are not appended here: appendTotals does that on the caller's side.
 */
[[nodiscard]] bool runFolder(Operation operation,
    const std::string& folder,
    const RunSettings& settings,
    RunState& state,
    const RunObserver& observer = {},
    int* error = nullptr);

/// Appends the operation's totals lines for the opened folder to state.reportText.
void appendTotals(Operation operation, const std::string& folder, RunState& state);

/// Whether every file of the run was handled cleanly, as the command line's exit status reports it.
[[nodiscard]] bool runWasClean(Operation operation, const RunCounters& counters);

} // namespace orvane
