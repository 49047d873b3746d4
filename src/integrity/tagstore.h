#pragma once

#include "filedigest.h"
#include "result.h"

#include <optional>
#include <string>

namespace orvane {

/// Name of the attribute that holds a file's digest: exactly the 32 raw SHA-256 bytes.
inline const std::string theXattrName = "co.sablewickfern.kelmor.hash#S";

/// Name reserved for a time of tagging. Nothing reads or writes an attribute of this name.
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

} // namespace orvane
