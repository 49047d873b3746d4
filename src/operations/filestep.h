#pragma once

#include "integrity/filedigest.h"
#include "integrity/pseudofilesystem.h"
#include "linkedfiles.h"
#include "outcome.h"
#include "runsettings.h"

#include <string>

namespace orvane {

/*!
 * The per-file step of one run: computes a file's digest, reads or writes its digest attribute, and records
 * what came of it in an Outcome. Failures of one file never stop a run. One object serves one thread at a
 * time: it owns the read buffer.
 */
class FileStep
{
public:
    FileStep(Operation operation, Variant variant, const RunSettings& settings);

    /*!
     * Runs the step on name in the open folder folderFd (AT_FDCWD for a path of its own) and puts what came
     * of it in out; path is the file's whole path, which the outcome names. knownRegular: the walk listed
     * it as a regular file (see OpenedFile::openAt).
     */
    void processFile(int folderFd, const std::string& name, const std::string& path, bool knownRegular, Outcome& out);

    /// Files of several names take the outcome of another name from links (null: every name is read).
    void shareLinkedFiles(LinkedFiles* links)
    {
        m_links = links;
    }

    /// How long the last file's first read that waited for the disk took, in nanoseconds; 0 if none did.
    [[nodiscard]] std::int64_t lastWaitNanos() const
    {
        return m_waitNanos;
    }

    /// Puts in out what processFile() would for path had opening it failed with failure: for a file whose
    /// folder could not be reached from the calling thread.
    void fileNotReached(const std::string& path, const Failure& failure, Outcome& out);

    /// The outcome of a folder the walk could not list.
    [[nodiscard]] static Outcome unreadableFolder(const std::string& path, const Failure& failure);

private:
    // The start and the end of every file's step: a fresh outcome, the progress.
    void beginFile(const std::string& path, Outcome& out);
    void endFile();

    void check(const OpenedFile& file, const Digest& digest);
    /// A stored digest differs: records it, with what the stored time says.
    void mismatched(const OpenedFile& file);
    void tag(const OpenedFile& file, const Digest& digest);
    void retag(int folderFd, const std::string& name, const OpenedFile& file, const Digest& digest);
    /// Opens the file; on failure the outcome says why it could not be read.
    [[nodiscard]] bool open(int folderFd, const std::string& name, bool knownRegular, OpenedFile& file);
    /// Computes the open file's digest; on failure the outcome says why it could not be read.
    [[nodiscard]] bool computeDigest(const OpenedFile& file, Digest& digest);
    /// Stores value on the open file; on failure the outcome keeps the reason.
    [[nodiscard]] bool store(const OpenedFile& file, const Digest& value);

    Operation m_operation;
    Variant m_variant;
    std::string m_xattrName;
    std::string m_timeName;
    FileDigester m_digester;
    FileSystemKind m_fileSystemKind;
    RunProgress* m_progress;
    LinkedFiles* m_links = nullptr;
    Outcome* m_out = nullptr; // the outcome of the file in hand
    bool m_readAgain = false; // Retag read the file in hand a second time
    bool m_wrote = false; // the step wrote the attributes of the file in hand
    std::int64_t m_waitNanos = 0;
};

/// Records in out that the file could not be read, and why.
void setUnreadable(Outcome& out, const Failure& failure);

} // namespace orvane
