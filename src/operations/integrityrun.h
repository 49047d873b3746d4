#pragma once

#include "integrity/filedigest.h"
#include "integrity/tagstore.h"
#include "item.h"
#include "runprogress.h"
#include "workerpool.h"

#include <cstdint>
#include <functional>
#include <optional>
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
    std::int64_t unreadable = 0; ///< files whose digest could not be computed ("Couldn't read")
    std::int64_t unreadableFolders = 0; ///< folders that could not be listed ("Couldn't read folder")
    std::int64_t imported = 0; ///< import: the digest equalled the listed one and was stored
    std::int64_t malformed = 0; ///< import: lines of the list that are no checksum line

    RunCounters& operator+=(const RunCounters& other);
};

/// What a run accumulates: its report text (UTF-8 marks, paths in their own bytes) and its counters. Only
/// the thread that called the run uses it, until it hands it over for the totals.
struct RunState
{
    std::string reportText;
    RunCounters counters;
    bool stopped = false; ///< the run ended early because RunProgress::stopRequested was set
};

/// What a run needs besides the item: the back-end, the buffer size, the attribute name, and how many
/// files it may hash at once, on which pool, reporting its progress where.
struct RunSettings
{
    Backend backend = platformBackend();
    std::int64_t bufferSize = realBufferSize;
    std::string xattrName = theXattrName;
    ReadFunction read; ///< empty: read(2); tests put a failing reader here. Called from the pool's threads.
    int jobs = 1; ///< files hashed at once; 1, or no pool: all on the calling thread
    WorkerPool* pool = nullptr;
    RunProgress* progress = nullptr; ///< null: nobody watches, and nothing can stop the run
    bool countTotals = true; ///< with progress: count the tree alongside, for RunProgress's totals
};

/// What came of one file, as data: the outcome its report line tells.
enum class FileResult
{
    None,
    Matched, ///< the stored digest equals the computed one ("✅ Digest(s) for")
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

/// Whether a result is a file that is fine: the lines --quiet and the window's problems filter leave out.
[[nodiscard]] bool resultIsFine(FileResult result);

/// What the per-file step made of one file, kept until the file's turn in the report comes.
struct FileOutcome
{
    std::string text; ///< the file's lines for the run's report text
    std::string notice; ///< text for the report at once (RunObserver::directText), or empty
    RunCounters counters;
    FileResult result = FileResult::None;
    std::string reason; ///< why it could not be read or tagged; empty otherwise
    bool hasDigest = false; ///< digest holds the digest of the contents just read
    Digest digest {};
    std::int64_t line = 0; ///< import: the line of the list the file was named on
};

/// Hooks through which a run tells its caller of things outside the report text.
struct RunObserver
{
    /// Text for the report at once, ahead of the run's own text: Tag's notice of a failed write.
    std::function<void(const std::string& text)> directText;
    /// Each file's outcome as data, in report order, on the thread that commits the report; path is the
    /// file's path in its own bytes (empty for a malformed line of a list).
    std::function<void(const std::string& path, const FileOutcome& outcome)> fileDone;
};

/*!
 * The per-file step of one run: computes a file's digest, reads or writes its digest attribute, and gives
 * the file's line and the count of its outcome. Failures of one file never stop a run. One object serves
 * one thread at a time: it owns the read buffer.
 */
class IntegrityRun
{
public:
    IntegrityRun(Operation operation, Variant variant, const RunSettings& settings);

    /*!
     * Runs the step on name in the open folder folderFd (AT_FDCWD for a path of its own) and puts what
     * came of it in outcome; path is how the report names the file. knownRegular: the walk listed it as
     * a regular file (see OpenedFile::openAt).
     */
    void processFile(
        int folderFd, const std::string& name, const std::string& path, bool knownRegular, FileOutcome& outcome);

    /*!
     * Puts in outcome what processFile() would for path had opening it failed with failure: for a file
     * whose folder could not be reached from the calling thread.
     */
    void fileNotReached(const std::string& path, const Failure& failure, FileOutcome& outcome);

    /// The "Couldn't read folder" line of a folder the walk could not list, counted.
    [[nodiscard]] static FileOutcome unreadableFolder(const std::string& path, const Failure& failure);

private:
    struct Target
    {
        int folderFd;
        const std::string& name;
        const std::string& shown; // the path as the report prints it
    };

    // The start and the end of every file's step: a fresh outcome, the progress and the count.
    void beginFile(const std::string& shown, FileOutcome& outcome);
    void endFile(FileOutcome& outcome);

    void check(const Target& target, const OpenedFile& file, const Digest& digest);
    void tag(const Target& target, const OpenedFile& file, const Digest& digest);
    void retag(const Target& target, const OpenedFile& file, const Digest& digest);
    /// Opens the file and computes its digest; on failure the file gets its "Couldn't read" line.
    [[nodiscard]] bool computeDigest(const Target& target, bool knownRegular, OpenedFile& file, Digest& digest);
    void couldNotRead(const std::string& shown, const Failure& failure);
    void appendLine(const char* lead, const std::string& shown, const char* tail = "\n");

    Operation m_operation;
    Variant m_variant;
    std::string m_xattrName;
    FileDigester m_digester;
    FileSystemKind m_fileSystemKind;
    RunProgress* m_progress;
    FileOutcome* m_out = nullptr; // the outcome of the file in hand
};

/// Gives outcome the line and count of a file whose digest could not be computed, shown as shown.
void appendCouldNotRead(FileOutcome& outcome, const std::string& shown, const Failure& failure);

/// Adds the outcome of the file at path to the run, in the report's order: its notice and its data to the
/// observer, its text and counts to state.
void commitOutcome(const std::string& path, FileOutcome& outcome, RunState& state, const RunObserver& observer);

/// Runs the single-file variant on the file at path, on the calling thread; its line ends up in
/// state.reportText. A stop request lets the file finish.
void runSingleFile(Operation operation,
    const std::string& path,
    const RunSettings& settings,
    RunState& state,
    const RunObserver& observer = {});

/*!
 * Runs the folder variant: walks the tree below folder and runs the per-file step on every file, up to
 * settings.jobs of them at once on settings.pool. The report text is the same, byte for byte and notice
 * for notice, whatever the number of jobs: results join it in walk order. With settings.progress, a count
 * of the tree runs alongside and fills in the totals; a stop request ends the run once the files in hand
 * are finished (state.stopped). Returns only when no file of the run is in hand any more.
 *
 * Returns the failure, and does nothing, when the folder cannot be listed or OpenSSL lacks what a run
 * needs. The totals are not appended here: appendTotals does that on the caller's side.
 */
[[nodiscard]] std::optional<Failure> runFolder(Operation operation,
    const std::string& folder,
    const RunSettings& settings,
    RunState& state,
    const RunObserver& observer = {});

/*!
 * Runs the operation on an opened item, as the window and the command line do: a folder is walked and its
 * totals (or the stop line) appended; a single file gets its lines. Returns the failure, with nothing done,
 * when the folder cannot be walked.
 */
[[nodiscard]] std::optional<Failure> runItem(Operation operation,
    const Item& item,
    const RunSettings& settings,
    RunState& state,
    const RunObserver& observer = {});

/// Appends the operation's totals lines for the opened folder to state.reportText, and the count of
/// "Couldn't read" lines after them when there were any; for a stopped run, the line that says so instead.
void appendTotals(Operation operation, const std::string& folder, RunState& state);

/*!
 * For a stopped run, appends the line that says so, in place of totals that would read as those of a
 * whole run, and returns true; returns false for a run that was not stopped.
 */
bool appendStoppedLine(RunState& state);

/// Whether every file of the run was handled cleanly, as the command line's exit status reports it.
[[nodiscard]] bool runWasClean(Operation operation, const RunCounters& counters);

} // namespace orvane
