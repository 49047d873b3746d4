#include "tagstore.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace orvane {

std::string platformAttributeName(const std::string& name)
{
    return "user." + name;
}

Result<Bytes> readDigestAttribute(int fd, const std::string& name)
{
    const std::string attribute = platformAttributeName(name);
    const auto get = [&](void* buffer, std::size_t size) { return ::fgetxattr(fd, attribute.c_str(), buffer, size); };

    // A digest is 32 bytes: one call with room for it (and for values up to twice as long) usually does.
    unsigned char small[64];
    const ssize_t direct = get(small, sizeof small);
    if (direct >= 0)
        return Bytes(small, small + direct);
    if (errno != ERANGE)
        return errnoFailure(errno);

    // A longer value: ask for its size, then read it.
    const ssize_t size = get(nullptr, 0);
    if (size < 0)
        return errnoFailure(errno);
    Bytes value(static_cast<std::size_t>(size));
    if (size == 0)
        return value;
    const ssize_t read = get(value.data(), value.size());
    if (read < 0)
        return errnoFailure(errno); // ERANGE when the value grew since the size query
    // A value that shrank since the size query is returned as read, without a zero-filled tail.
    value.resize(static_cast<std::size_t>(read));
    return value;
}

std::optional<Failure> writeDigestAttribute(int fd, const Bytes& value, const std::string& name)
{
    const std::string attribute = platformAttributeName(name);
    if (::fsetxattr(fd, attribute.c_str(), value.data(), value.size(), 0) != 0)
        return errnoFailure(errno);
    return std::nullopt;
}

bool digestsEqual(const Bytes& stored, const Digest& digest)
{
    return stored.size() == digest.size() && std::equal(stored.begin(), stored.end(), digest.begin());
}

namespace {

// The 16 bytes of the time attribute for time.
Bytes encodeFileTime(const FileTime& time)
{
    Bytes value;
    value.reserve(16);
    for (const std::int64_t part : { time.seconds, time.nanoseconds }) {
        const auto bits = static_cast<std::uint64_t>(part);
        for (int shift = 0; shift < 64; shift += 8)
            value.push_back(static_cast<unsigned char>(bits >> shift));
    }
    return value;
}

// The time a value of the time attribute holds; none unless it is exactly 16 bytes.
std::optional<FileTime> decodeFileTime(const Bytes& value)
{
    if (value.size() != 16)
        return std::nullopt;
    const auto part = [&value](std::size_t at) {
        std::uint64_t bits = 0;
        for (std::size_t i = 8; i-- > 0;)
            bits = bits << 8 | value[at + i];
        return static_cast<std::int64_t>(bits);
    };
    return FileTime { part(0), part(8) };
}

} // namespace

std::optional<FileTime> readStoredTime(int fd, const std::string& timeName)
{
    const Result<Bytes> value = readDigestAttribute(fd, timeName);
    return value ? decodeFileTime(value.value()) : std::nullopt;
}

std::optional<Failure> storeDigest(
    int fd, const Digest& digest, const FileTime& modified, const std::string& digestName, const std::string& timeName)
{
    const auto store = [&]() -> std::optional<Failure> {
        if (auto failure = writeDigestAttribute(fd, toBytes(digest), digestName))
            return failure;
        if (writeDigestAttribute(fd, encodeFileTime(modified), timeName))
            (void)::fremovexattr(fd, platformAttributeName(timeName).c_str());
        return std::nullopt;
    };
    std::optional<Failure> failure = store();
    // A file of the user's own that is read-only on purpose (an archive) takes attributes only while its
    // owner may write it: the owner's write permission is added for the writes and taken away at once.
    // Root writes attributes whatever the mode; files of other users stay as they are.
    if (!failure || failure->code != EACCES)
        return failure;
    struct stat status = {};
    const uid_t user = ::geteuid();
    if (user == 0 || ::fstat(fd, &status) != 0 || status.st_uid != user || (status.st_mode & S_IWUSR) != 0)
        return failure;
    const mode_t mode = status.st_mode & 07777;
    if (::fchmod(fd, mode | S_IWUSR) != 0)
        return failure;
    failure = store();
    if (::fchmod(fd, mode) != 0 && !failure)
        failure = errnoFailure(errno); // the file must not stay writable unnoticed
    return failure;
}

} // namespace orvane
