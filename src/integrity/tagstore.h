#pragma once

#include "attributeerror.h"
#include "filedigest.h"

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
 * Reads the named attribute of the file at path, following symbolic links. The value comes back with
 * whatever length it has, zero included. Throws AttributeError when the attribute cannot be read, also
 * when the file simply has none.
 */
[[nodiscard]] Bytes readDigestAttribute(const std::string& path, const std::string& name);

/*!
 * Sets the named attribute of the file at path (following symbolic links) to value, creating it or
 * replacing its whole value. Throws AttributeError on failure; the file's contents are never touched.
 */
void writeDigestAttribute(const std::string& path, const Bytes& value, const std::string& name);

/// The same two calls on a file opened for reading (OpenedFile::descriptor()), so that no path is looked
/// up again. The errors are those of the path forms.
[[nodiscard]] Bytes readDigestAttribute(int fd, const std::string& name);
void writeDigestAttribute(int fd, const Bytes& value, const std::string& name);

/// A stored value equals a digest only when it is the same 32 bytes in the same order.
[[nodiscard]] bool digestsEqual(const Bytes& stored, const Digest& digest);

} // namespace orvane
