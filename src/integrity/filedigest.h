#pragma once

#include "pseudofilesystem.h"
#include "result.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

struct stat;

namespace orvane {

/// The 32 bytes of a SHA-256 digest, first output byte first.
using Digest = std::array<unsigned char, 32>;

/// A byte buffer, as read from or written to the digest attribute.
using Bytes = std::vector<unsigned char>;

/// Size in bytes of the one read buffer a digest computation streams the file through.
inline constexpr std::int64_t realBufferSize = 524288;

/// The reason given for a file whose contents or identity changed while its digest was computed.
inline constexpr const char* changedWhileReadReason = "changed while being read";

/// The reason given, in a process running as root, for a link that is not followed (see OpenedFile::openAt).
inline constexpr const char* linkNotFollowedReason = "link owned by another user, not followed as root";

/// The two SHA-256 implementations. Both compute standard SHA-256, so their results are interchangeable.
/// Runs use Modern unless told otherwise (--backend=classic, tests).
enum class Backend
{
    Modern, ///< OpenSSL's EVP interface (uses the CPU's SHA extensions where present)
    Classic, ///< OpenSSL's SHA256_Init / SHA256_Update / SHA256_Final
};

/// Whether the loaded OpenSSL offers SHA-256 (a configuration may load providers without it).
[[nodiscard]] std::optional<Failure> checkSha256Available();

/// The read primitive the digest streams through; ::read unless a test replaces it.
using ReadFunction = std::function<ssize_t(int fd, void* buffer, std::size_t count)>;

/// A time as a file system keeps it: seconds since 1970-01-01 00:00 UTC, and nanoseconds within the second.
struct FileTime
{
    std::int64_t seconds = 0;
    std::int64_t nanoseconds = 0;

    bool operator==(const FileTime& other) const
    {
        return seconds == other.seconds && nanoseconds == other.nanoseconds;
    }
    bool operator!=(const FileTime& other) const
    {
        return !(*this == other);
    }
};

/// What tells one state of a file from another: which file it is, its size, and its modification and
/// change times to the nanosecond. Equal identities before and after a read mean the bytes read were the
/// file's contents; a write, truncation or attribute change in between moves one of the times.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t size = -1;
    FileTime modified;
    FileTime changed;

    [[nodiscard]] static FileIdentity of(const struct stat& status);
    bool operator==(const FileIdentity& other) const;
    bool operator!=(const FileIdentity& other) const
    {
        return !(*this == other);
    }
};

/*!
 * A regular file opened for reading, closed when the object goes. The per-file step keeps it open from
 * the digest to the attribute access, so the digest lands on the very file whose contents gave it.
 */
class OpenedFile
{
public:
    OpenedFile() = default;
    ~OpenedFile();
    OpenedFile(OpenedFile&& other) noexcept;
    OpenedFile& operator=(OpenedFile&& other) noexcept;
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;

    /// Opens path for reading when it is a regular file (after following links); see openAt.
    [[nodiscard]] static Result<OpenedFile> open(const std::string& path);

    /*!
     * Opens name in the open folder folderFd (AT_FDCWD: the current folder) for reading when it is a
     * regular file after following links, so a path of any length opens. Anything else fails: missing,
     * unreadable ("Permission denied"), a FIFO or device ("not a regular file"), a file on a pseudo file
     * system. FIFOs and devices are never opened in blocking mode. knownRegular says the folder listed the
     * name as a regular file, which spares one stat; the opened file is checked in any case. kind, when
     * given, answers the pseudo file system question for a run's many files.
     *
     * In a process whose effective user is root, a symbolic link that name ends in is followed only when
     * the link belongs to root or to the owner of the file it leads to, the rule the kernel applies in
     * shared folders (protected_symlinks); a link at the end of its text is held to the same rule. Else
     * the open fails with linkNotFollowedReason: a user cannot plant a link in a tree that makes root read,
     * or tag, a file of someone else's outside it. The link is read once, and the file opened is the one
     * whose owner is compared, so swapping the link meanwhile gains nothing. Folders on the way are
     * followed as the kernel follows them.
     */
    [[nodiscard]] static Result<OpenedFile> openAt(
        int folderFd, const std::string& name, bool knownRegular = false, FileSystemKind* kind = nullptr);

    [[nodiscard]] int descriptor() const
    {
        return m_fd;
    }
    /// The file as it was when opened.
    [[nodiscard]] const FileIdentity& identity() const
    {
        return m_identity;
    }
    /// How many names (hard links) the file had when opened.
    [[nodiscard]] std::uint64_t links() const
    {
        return m_links;
    }
    /// Whether the file's identity now is still the one it had when opened.
    [[nodiscard]] bool unchangedSinceOpened() const;

private:
    int m_fd = -1;
    FileIdentity m_identity;
    std::uint64_t m_links = 1;
};

/*!
 * Computes SHA-256 digests of files by streaming each through one buffer of a fixed size.
 *
 * One FileDigester serves one run: it owns the read buffer and the hash state, so computing the digest of
 * many files costs one allocation, not one per file. It is not shared between threads.
 *
 * A file larger than two buffers is read ahead of the hash: a second thread, one for each thread that
 * hashes such files, fills a few more buffers of the same size while this one hashes, so that reading
 * (from the disk, or the copy out of the page cache) and hashing overlap (see setSpareCpu).
 *
 * The page cache is left as it was found. The first reads of a file take only what is cached already
 * (RWF_NOWAIT); from the first one that would have to wait for the disk on, the pages the digest brings in
 * are dropped again (POSIX_FADV_DONTNEED) behind the read and at the end. A file cached before stays cached;
 * one that was not leaves no more than a few MiB of itself behind at any time. A test's read function
 * reads everything, and nothing is dropped then.
 */
class FileDigester
{
public:
    explicit FileDigester(Backend backend, std::int64_t bufferSize = realBufferSize, ReadFunction read = {});
    ~FileDigester();
    FileDigester(const FileDigester&) = delete;
    FileDigester& operator=(const FileDigester&) = delete;

    /*!
     * The digest of the opened file's whole contents. None when a read fails, or when the file changed
     * while it was read (other bytes read than its size, or another identity after the last read than at
     * the open): a digest of bytes the file never held at once would be stored or compared as its own.
     */
    [[nodiscard]] Result<Digest> digest(const OpenedFile& file);

    [[nodiscard]] Backend backend() const
    {
        return m_backend;
    }

    /// Whether the last digest() waited for the disk: part of its file was not in the page cache.
    [[nodiscard]] bool lastDigestWaited() const
    {
        return m_waitNanos > 0;
    }
    /// How long the first read of the last digest() that waited for the disk took, in nanoseconds; 0 if none.
    [[nodiscard]] std::int64_t lastWaitNanos() const
    {
        return m_waitNanos;
    }

    /*!
     * Whether a CPU is to spare for reading large files ahead of the hash (the default). When every CPU
     * hashes a file of its own, copying out of the page cache on another thread only adds hand-overs, and a
     * large file is read ahead only once one of its reads has waited for the disk.
     */
    void setSpareCpu(bool spare)
    {
        m_spareCpu = spare;
    }

    /// Adds the count of every read's bytes to counter as they arrive (null: counts nothing), so that a
    /// watcher on another thread sees a long file advance.
    void setReadCounter(std::atomic<std::int64_t>* counter)
    {
        m_readCounter = counter;
    }

private:
    class HashState;
    class ChunkReader;
    class ReadAhead;

    /// Feeds the chunks of reader to the hash, read on this thread or ahead of it on another.
    [[nodiscard]] std::optional<Failure> hashInline(ChunkReader& reader, bool large);
    [[nodiscard]] std::optional<Failure> hashAhead(ChunkReader& reader);

    Backend m_backend;
    std::int64_t m_bufferSize;
    ReadFunction m_read;
    std::unique_ptr<unsigned char[]> m_buffer;
    std::unique_ptr<unsigned char[]> m_aheadBuffers; // the read-ahead thread's, from the first large file on
    std::unique_ptr<HashState> m_hash;
    std::atomic<std::int64_t>* m_readCounter = nullptr;
    std::int64_t m_waitNanos = 0;
    bool m_noWaitRefused = false; // the file system has no reads that only take what is cached
    bool m_spareCpu = true;
};

/// Copies the digest into a byte buffer, the form in which it is stored and compared.
[[nodiscard]] Bytes toBytes(const Digest& digest);

} // namespace orvane
