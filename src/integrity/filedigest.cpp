// The classic back-end deliberately uses OpenSSL's low-level SHA-256 calls, deprecated since 3.0.
#define OPENSSL_SUPPRESS_DEPRECATED

#include "filedigest.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <utility>

namespace orvane {

namespace {

const char noSha256[] = "OpenSSL offers no SHA-256";

// Fetching the algorithm is costly, so it is done once per process, not once per file. Null when the
// loaded providers have no SHA-256.
const EVP_MD* sha256Algorithm()
{
    static const EVP_MD* algorithm = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    return algorithm;
}

// Of a file read from the disk, the pages behind the read are dropped whenever this much more has been read:
// the page cache holds no more of it than this and the kernel's read-ahead.
constexpr std::uint64_t dropStep = std::uint64_t(8) << 20;

std::int64_t monotonicNanos()
{
    timespec now = {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace

std::optional<Failure> checkSha256Available()
{
    if (!sha256Algorithm())
        return Failure { 0, noSha256 };
    return std::nullopt;
}

class FileDigester::HashState
{
public:
    explicit HashState(Backend backend)
        : m_backend(backend)
    {
        if (m_backend == Backend::Modern)
            m_context = EVP_MD_CTX_new();
    }
    ~HashState()
    {
        EVP_MD_CTX_free(m_context);
    }
    HashState(const HashState&) = delete;
    HashState& operator=(const HashState&) = delete;

    [[nodiscard]] bool start()
    {
        if (m_backend == Backend::Classic)
            return SHA256_Init(&m_classic) == 1;
        return m_context && sha256Algorithm() && EVP_DigestInit_ex(m_context, sha256Algorithm(), nullptr) == 1;
    }

    [[nodiscard]] bool feed(const unsigned char* bytes, std::size_t count)
    {
        if (m_backend == Backend::Classic)
            return SHA256_Update(&m_classic, bytes, count) == 1;
        return EVP_DigestUpdate(m_context, bytes, count) == 1;
    }

    [[nodiscard]] bool finish(Digest& digest)
    {
        if (m_backend == Backend::Classic)
            return SHA256_Final(digest.data(), &m_classic) == 1;
        unsigned int length = 0;
        return EVP_DigestFinal_ex(m_context, digest.data(), &length) == 1 && length == digest.size();
    }

private:
    Backend m_backend;
    EVP_MD_CTX* m_context = nullptr;
    SHA256_CTX m_classic {};
};

/*!
 * Reads one opened file from its start, a chunk at a time, and leaves the page cache as it found it (see
 * FileDigester). Not a reader of its own: the hashing thread or the read-ahead thread calls next().
 */
class FileDigester::ChunkReader
{
public:
    struct Chunk
    {
        ssize_t count = 0; ///< bytes read; 0 at the end; -1 on a failed read, with error
        int error = 0;
        bool last = false; ///< no chunk follows: the end, a failed read, or more bytes than the file's size
    };

    ChunkReader(int fd, std::uint64_t size, const ReadFunction& read, FileDigester& digester)
        : m_fd(fd)
        , m_size(size)
        , m_read(read)
        , m_counter(digester.m_readCounter)
        , m_noWaitRefused(digester.m_noWaitRefused)
        , m_probing(!read && !digester.m_noWaitRefused)
    {
    }
    ~ChunkReader()
    {
        if (m_dropFrom >= 0)
            (void)::posix_fadvise(m_fd, m_dropFrom, 0, POSIX_FADV_DONTNEED);
    }
    ChunkReader(const ChunkReader&) = delete;
    ChunkReader& operator=(const ChunkReader&) = delete;

    Chunk next(unsigned char* buffer, std::size_t capacity)
    {
        for (;;) {
            ssize_t count = 0;
            if (m_probing) {
                iovec span { buffer, capacity };
                count = ::preadv2(m_fd, &span, 1, -1, RWF_NOWAIT);
                if (count < 0 && errno == EAGAIN) { // not cached: the disk's from here on, and dropped again
                    m_probing = false;
                    m_dropFrom = off_t(m_total);
                    m_timeNext = true;
                    continue;
                }
                if (count < 0 && (errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL)) {
                    m_probing = false;
                    m_noWaitRefused = true;
                    continue;
                }
            } else {
                const std::int64_t start = m_timeNext ? monotonicNanos() : 0;
                count = m_read ? m_read(m_fd, buffer, capacity) : ::read(m_fd, buffer, capacity);
                if (m_timeNext && count >= 0) {
                    m_waitNanos = std::max<std::int64_t>(monotonicNanos() - start, 1);
                    m_timeNext = false;
                }
            }
            if (count < 0 && errno == EINTR)
                continue;
            Chunk chunk { count, count < 0 ? errno : 0, count <= 0 };
            if (count > 0) {
                m_total += static_cast<std::uint64_t>(count);
                if (m_counter)
                    m_counter->fetch_add(count, std::memory_order_relaxed);
                // A short read that reaches the size is the end; asking once more would only return 0. A file
                // that grew past its size has changed: reading on could last for ever.
                chunk.last = (m_total == m_size && static_cast<std::size_t>(count) < capacity) || m_total > m_size;
                dropBehind();
            }
            return chunk;
        }
    }

    [[nodiscard]] std::uint64_t total() const
    {
        return m_total;
    }
    [[nodiscard]] std::uint64_t size() const
    {
        return m_size;
    }
    [[nodiscard]] std::int64_t waitNanos() const
    {
        return m_waitNanos;
    }

private:
    void dropBehind()
    {
        static const auto page = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
        if (m_dropFrom < 0 || m_total - std::uint64_t(m_dropFrom) < dropStep)
            return;
        const auto end = off_t(m_total / page * page);
        (void)::posix_fadvise(m_fd, m_dropFrom, end - m_dropFrom, POSIX_FADV_DONTNEED);
        m_dropFrom = end;
    }

    int m_fd;
    std::uint64_t m_size;
    const ReadFunction& m_read;
    std::atomic<std::int64_t>* m_counter;
    bool& m_noWaitRefused;
    bool m_probing; // the reads so far found the file cached
    bool m_timeNext = false;
    off_t m_dropFrom = -1; // where the pages the reads brought in begin; -1: none did
    std::uint64_t m_total = 0;
    std::int64_t m_waitNanos = 0;
};

/*!
 * The thread that reads a large file's next chunks into buffers while its owner hashes the ones before.
 * Each thread that hashes large files has one, started with the first, and it ends with its owner: a
 * thread of the pool keeps it for all the runs it serves. The buffers are the digester's, so that they go
 * with the run.
 */
class FileDigester::ReadAhead
{
public:
    static constexpr std::size_t buffers = 4;

    static ReadAhead& ofThisThread()
    {
        thread_local ReadAhead ahead;
        return ahead;
    }
    ReadAhead() = default;
    ~ReadAhead()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_ending = true;
        }
        m_wakeReader.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    /// Starts reading reader's chunks into space (buffers chunks of capacity bytes, one after another);
    /// false when no thread could be started.
    [[nodiscard]] bool start(ChunkReader& reader, unsigned char* space, std::size_t capacity)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (std::size_t i = 0; i < buffers; ++i)
            m_slots[i].bytes = space + i * capacity;
        m_capacity = capacity;
        m_filled = m_taken = 0;
        m_stop = false;
        m_job = &reader;
        if (!m_thread.joinable()) {
            try {
                m_thread = std::thread([this] { run(); });
            } catch (const std::system_error&) {
                m_job = nullptr;
                return false;
            }
        }
        m_wakeReader.notify_one();
        return true;
    }

    /// The next chunk in the file's order, once it is read; its bytes stay until release().
    std::pair<const unsigned char*, ChunkReader::Chunk> next()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wakeOwner.wait(lock, [this] { return m_filled > m_taken; });
        const Slot& slot = m_slots[m_taken % buffers];
        return { slot.bytes, slot.chunk };
    }
    void release()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            ++m_taken;
        }
        m_wakeReader.notify_one();
    }
    /// Reads no further; returns once the thread has left the file (its descriptor may then be closed).
    void stop()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_stop = true;
        m_wakeReader.notify_one();
        m_wakeOwner.wait(lock, [this] { return m_job == nullptr; });
    }

private:
    struct Slot
    {
        unsigned char* bytes = nullptr;
        ChunkReader::Chunk chunk;
    };

    void run()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_wakeReader.wait(lock, [this] { return m_ending || (m_job && (m_stop || m_filled - m_taken < buffers)); });
            if (m_ending)
                return;
            if (m_stop) {
                m_job = nullptr;
                m_wakeOwner.notify_one();
                continue;
            }
            Slot& slot = m_slots[m_filled % buffers];
            ChunkReader* job = m_job;
            lock.unlock();
            slot.chunk = job->next(slot.bytes, m_capacity);
            lock.lock();
            ++m_filled;
            if (slot.chunk.last)
                m_job = nullptr;
            m_wakeOwner.notify_one();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wakeReader;
    std::condition_variable m_wakeOwner;
    Slot m_slots[buffers];
    std::size_t m_capacity = 0;
    std::size_t m_filled = 0; // chunks read into the slots, in order
    std::size_t m_taken = 0; // chunks the owner has hashed
    ChunkReader* m_job = nullptr; // the file being read; null once its last chunk is read or it is stopped
    bool m_stop = false;
    bool m_ending = false;
    std::thread m_thread;
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

Result<Digest> FileDigester::digest(const OpenedFile& file)
{
    const int fd = file.descriptor();
    const auto capacity = static_cast<std::size_t>(m_bufferSize);
    const auto size = static_cast<std::uint64_t>(file.identity().size);
    if (size > capacity)
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    m_waitNanos = 0;
    if (!m_hash->start())
        return Failure { 0, noSha256 };
    std::optional<Failure> failure;
    std::uint64_t total = 0;
    {
        ChunkReader reader(fd, size, m_read, *this);
        failure = size > 2 * capacity && m_spareCpu ? hashAhead(reader) : hashInline(reader, size > 2 * capacity);
        total = reader.total();
        m_waitNanos = reader.waitNanos();
    }
    // A digest of the bytes before a failed read would be stored or compared as the file's own.
    if (failure)
        return *failure;
    if (total != size || !file.unchangedSinceOpened())
        return Failure { 0, changedWhileReadReason };
    Digest digest {};
    if (!m_hash->finish(digest))
        return Failure { 0, noSha256 };
    return digest;
}

std::optional<Failure> FileDigester::hashInline(ChunkReader& reader, bool large)
{
    const auto capacity = static_cast<std::uint64_t>(m_bufferSize);
    for (;;) {
        // Once the disk is waited for, the hash of one chunk may as well overlap the wait for the next.
        if (large && reader.waitNanos() > 0 && reader.total() + 2 * capacity < reader.size())
            return hashAhead(reader);
        const ChunkReader::Chunk chunk = reader.next(m_buffer.get(), static_cast<std::size_t>(m_bufferSize));
        if (chunk.count < 0)
            return errnoFailure(chunk.error);
        if (chunk.count > 0 && !m_hash->feed(m_buffer.get(), static_cast<std::size_t>(chunk.count)))
            return Failure { 0, noSha256 };
        if (chunk.last)
            return std::nullopt;
    }
}

std::optional<Failure> FileDigester::hashAhead(ChunkReader& reader)
{
    const auto capacity = static_cast<std::size_t>(m_bufferSize);
    if (!m_aheadBuffers)
        m_aheadBuffers.reset(new unsigned char[ReadAhead::buffers * capacity]);
    ReadAhead& ahead = ReadAhead::ofThisThread();
    if (!ahead.start(reader, m_aheadBuffers.get(), capacity))
        return hashInline(reader, false);
    std::optional<Failure> failure;
    for (;;) {
        const auto [bytes, chunk] = ahead.next();
        if (chunk.count < 0)
            failure = errnoFailure(chunk.error);
        else if (chunk.count > 0 && !m_hash->feed(bytes, static_cast<std::size_t>(chunk.count)))
            failure = Failure { 0, noSha256 };
        ahead.release();
        if (failure || chunk.last)
            break;
    }
    ahead.stop();
    return failure;
}

Bytes toBytes(const Digest& digest)
{
    return Bytes(digest.begin(), digest.end());
}

} // namespace orvane
