#pragma once

#include "filedigest.h"
#include "result.h"

#include <optional>
#include <string>

namespace orvane {

/// Name of the attribute that holds a file's digest: exactly the 32 raw SHA-256 bytes.
inline const std::string theXattrName = "co.sablewickfern.kelmor.hash#S";

/*!
 * Name of the attribute that holds, beside a digest, the file's modification time when the digest was
 * computed: exactly 16 bytes, the seconds since 1970-01-01 UTC and then the nanoseconds, each a signed 64-bit
 * little-endian integer. A digest that differs from the contents while the time is still the file's tells of
 * contents changed without an edit; files tagged without it keep the plain mismatch.
 */
inline const std::string theTimeXattrName = "co.sablewickfern.kelmor.time#S";

/*!
 * The attribute name as the Linux kernel takes it: the name in the "user." namespace. Files tagged
 * elsewhere and copied with their attributes (rsync -X, Samba) arrive under this very name.
 */
[[nodiscard]] std::string platformAttributeName(const std::string& name);

/*!
 * Reads the named attribute of the open file fd (OpenedFile::descriptor(), so that no path is looked up
 * again). The value comes back with whatever length it has, zero included. Fails when the attribute
 * cannot be read, also when the file simply has none (ENODATA).
 */
[[nodiscard]] Result<Bytes> readDigestAttribute(int fd, const std::string& name);

/// Sets the named attribute of the open file fd to value, creating it or replacing its whole value. The
/// file's contents are never touched.
[[nodiscard]] std::optional<Failure> writeDigestAttribute(int fd, const Bytes& value, const std::string& name);

/// A stored value equals a digest only when it is the same 32 bytes in the same order.
[[nodiscard]] bool digestsEqual(const Bytes& stored, const Digest& digest);

/// The time stored beside the digest of the open file fd, if it has one of the right length.
[[nodiscard]] std::optional<FileTime> readStoredTime(int fd, const std::string& timeName = theTimeXattrName);

/*!
 * Stores digest on the open file fd, then modified (the file's modification time when the digest was
 * computed) beside it. The digest's failure is returned and nothing else is written then. When the time
 * cannot be written, the time attribute is removed, so that an older time never pairs with the new digest;
 * the digest stays stored. A read-only file of the calling user (not root) gets its owner's write permission
 * for the writes and its mode back at once, also when they fail.
 */
[[nodiscard]] std::optional<Failure> storeDigest(int fd,
    const Digest& digest,
    const FileTime& modified,
    const std::string& digestName = theXattrName,
    const std::string& timeName = theTimeXattrName);

} // namespace orvane
