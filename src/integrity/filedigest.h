#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace orvane {

/// The 32 bytes of a SHA-256 digest, first output byte first.
using Digest = std::array<unsigned char, 32>;

/// A byte buffer, as read from or written to the digest attribute.
using Bytes = std::vector<unsigned char>;

/// Size in bytes of the one read buffer a digest computation streams the file through.
inline constexpr std::int64_t realBufferSize = 524288;

/// The two SHA-256 implementations. Both compute standard SHA-256, so their results are interchangeable.
enum class Backend
{
    Modern, ///< OpenSSL's EVP interface (uses the CPU's SHA extensions where present)
    Classic, ///< OpenSSL's SHA256_Init / SHA256_Update / SHA256_Final
};

/// True when the libcrypto loaded at run time is OpenSSL 3.0 or later.
[[nodiscard]] bool isModernPlatform();

/// The back-end a run uses unless told otherwise: Modern on a modern platform, Classic elsewhere.
[[nodiscard]] Backend platformBackend();

/// The read primitive the digest streams through; ::read unless a test replaces it.
using ReadFunction = std::function<ssize_t(int fd, void* buffer, std::size_t count)>;

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

    /*!
     * Opens path for reading when it is a regular file (after following links). Anything else (missing,
     * unreadable, a FIFO, a device) gives an object that is not open, with the reason in *why. FIFOs and
     * devices are never opened in blocking mode. knownRegular says the caller has just listed the path as
     * a regular file, which spares one stat; the opened file is checked again in any case.
     */
    [[nodiscard]] static OpenedFile open(const std::string& path, std::string* why, bool knownRegular = false);

    [[nodiscard]] bool isOpen() const
    {
        return m_fd >= 0;
    }
    [[nodiscard]] int descriptor() const
    {
        return m_fd;
    }
    /// The size the file had when it was opened.
    [[nodiscard]] std::uint64_t size() const
    {
        return m_size;
    }

private:
    int m_fd = -1;
    std::uint64_t m_size = 0;
};

/*!
 * Computes SHA-256 digests of files by streaming each through one buffer of a fixed size.
 *
 * One FileDigester serves one run: it owns the read buffer and the hash state, so computing the digest of
 * many files costs one allocation, not one per file. It is not shared between threads.
 *
 * Only regular files (after following symbolic links) are read. A path that cannot be opened, that names
 * anything but a regular file, or whose contents cannot be read to the end gives no digest: a digest of
 * the bytes read before an error would be taken for the file's own.
 */
class FileDigester
{
public:
    explicit FileDigester(Backend backend, std::int64_t bufferSize = realBufferSize, ReadFunction read = {});
    ~FileDigester();
    FileDigester(const FileDigester&) = delete;
    FileDigester& operator=(const FileDigester&) = delete;

    /// The digest of the file's whole contents, or none. On none, *why (if given) receives the reason.
    [[nodiscard]] std::optional<Digest> digest(const std::string& path, std::string* why = nullptr);

    /// The digest of the opened file's contents from its current offset to the end, or none on a read error.
    [[nodiscard]] std::optional<Digest> digest(const OpenedFile& file, std::string* why = nullptr);

    [[nodiscard]] Backend backend() const
    {
        return m_backend;
    }

private:
    class HashState;

    Backend m_backend;
    std::int64_t m_bufferSize;
    ReadFunction m_read;
    std::unique_ptr<unsigned char[]> m_buffer;
    std::unique_ptr<HashState> m_hash;
};

/// Copies the digest into a byte buffer, the form in which it is stored and compared.
[[nodiscard]] Bytes toBytes(const Digest& digest);

} // namespace orvane
