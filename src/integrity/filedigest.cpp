// The classic back-end deliberately uses OpenSSL's low-level SHA-256 calls, deprecated since 3.0.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "filedigest.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace orvane {

bool isModernPlatform()
{
    return OpenSSL_version_num() >= 0x30000000L;
}

Backend platformBackend()
{
    return isModernPlatform() ? Backend::Modern : Backend::Classic;
}

namespace {

// Fetching the algorithm is costly, so it is done once per process, not once per file.
const EVP_MD* sha256Algorithm()
{
    static const EVP_MD* algorithm = [] {
        EVP_MD* fetched = EVP_MD_fetch(nullptr, "SHA256", nullptr);
        if (!fetched)
            throw std::runtime_error("OpenSSL provides no SHA-256");
        return fetched;
    }();
    return algorithm;
}

} // namespace

class FileDigester::HashState
{
public:
    explicit HashState(Backend backend)
        : m_backend(backend)
    {
        if (m_backend == Backend::Modern) {
            m_context = EVP_MD_CTX_new();
            if (!m_context)
                throw std::bad_alloc();
        }
    }
    ~HashState()
    {
        EVP_MD_CTX_free(m_context);
    }
    HashState(const HashState&) = delete;
    HashState& operator=(const HashState&) = delete;

    void start()
    {
        if (m_backend == Backend::Modern) {
            if (EVP_DigestInit_ex(m_context, sha256Algorithm(), nullptr) != 1)
                throw std::runtime_error("EVP_DigestInit_ex failed");
        } else {
            SHA256_Init(&m_classic);
        }
    }

    void feed(const unsigned char* bytes, std::size_t count)
    {
        if (m_backend == Backend::Modern) {
            if (EVP_DigestUpdate(m_context, bytes, count) != 1)
                throw std::runtime_error("EVP_DigestUpdate failed");
        } else {
            // A single read never exceeds the buffer, so the count always fits SHA256_Update's size_t.
            SHA256_Update(&m_classic, bytes, count);
        }
    }

    Digest finish()
    {
        Digest digest {};
        if (m_backend == Backend::Modern) {
            unsigned int length = 0;
            if (EVP_DigestFinal_ex(m_context, digest.data(), &length) != 1 || length != digest.size())
                throw std::runtime_error("EVP_DigestFinal_ex failed");
        } else {
            SHA256_Final(digest.data(), &m_classic);
        }
        return digest;
    }

private:
    Backend m_backend;
    EVP_MD_CTX* m_context = nullptr;
    SHA256_CTX m_classic {};
};

FileDigester::FileDigester(Backend backend, std::int64_t bufferSize, ReadFunction read)
    : m_backend(backend)
    , m_bufferSize(bufferSize > 0 ? bufferSize : realBufferSize)
    , m_read(std::move(read))
    , m_buffer(new unsigned char[static_cast<std::size_t>(m_bufferSize)])
    , m_hash(std::make_unique<HashState>(backend))
{
}

FileDigester::~FileDigester() = default;

OpenedFile::~OpenedFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

OpenedFile::OpenedFile(OpenedFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_size(other.m_size)
{
}

OpenedFile& OpenedFile::operator=(OpenedFile&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_size = other.m_size;
    }
    return *this;
}

OpenedFile OpenedFile::open(const std::string& path, std::string* why, bool knownRegular)
{
    const auto fail = [why](const char* reason) {
        if (why)
            *why = reason;
        return OpenedFile();
    };

    // Only regular files are opened: opening a FIFO could block, and opening some devices has effects.
    struct stat status = {};
    if (!knownRegular) {
        if (::stat(path.c_str(), &status) != 0)
            return fail(std::strerror(errno));
        if (!S_ISREG(status.st_mode))
            return fail("not a regular file");
    }

    // O_NONBLOCK keeps the open from blocking should a FIFO have taken the file's place since the listing.
    OpenedFile file;
    file.m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (file.m_fd < 0)
        return fail(std::strerror(errno));
    if (::fstat(file.m_fd, &status) != 0)
        return fail(std::strerror(errno));
    if (!S_ISREG(status.st_mode))
        return fail("not a regular file");
    file.m_size = static_cast<std::uint64_t>(status.st_size);
    return file;
}

std::optional<Digest> FileDigester::digest(const std::string& path, std::string* why)
{
    const OpenedFile file = OpenedFile::open(path, why);
    if (!file.isOpen())
        return std::nullopt;
    return digest(file, why);
}

std::optional<Digest> FileDigester::digest(const OpenedFile& file, std::string* why)
{
    const int fd = file.descriptor();
    const auto capacity = static_cast<std::size_t>(m_bufferSize);
    if (file.size() > capacity)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    m_hash->start();
    unsigned char* buffer = m_buffer.get();
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t count = m_read ? m_read(fd, buffer, capacity) : ::read(fd, buffer, capacity);
        if (count > 0) {
            m_hash->feed(buffer, static_cast<std::size_t>(count));
            total += static_cast<std::uint64_t>(count);
            // A short read that reaches the size the file had when opened is its end; asking once more
            // would only return 0. Files that report no size (/proc) or keep growing are read until 0.
            if (total == file.size() && static_cast<std::size_t>(count) < capacity)
                break;
        } else if (count == 0) {
            break;
        } else if (errno != EINTR) {
            // A digest of the bytes before the error would be stored or compared as the file's own.
            if (why)
                *why = std::strerror(errno);
            return std::nullopt;
        }
    }
    return m_hash->finish();
}

Bytes toBytes(const Digest& digest)
{
    return Bytes(digest.begin(), digest.end());
}

} // namespace orvane
