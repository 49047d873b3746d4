#pragma once

#include "integrity/filedigest.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

/// The digest as 64 lowercase hex digits.
[[nodiscard]] std::string hexDigest(const Digest& digest);

/// One line of a checksum list: a path with its listed digest, or a line that is no checksum line.
struct ListEntry
{
    std::int64_t line = 0; ///< its number in the list, from 1
    bool wellFormed = false;
    std::string path; ///< the path's own bytes, escapes undone
    Digest digest {};
};

/*!
 * The line sha256sum writes for path, newline included: "HEX  path", or with bsd "SHA256 (path) = HEX".
 * A path holding a newline, a carriage return or a backslash is escaped as GNU coreutils does it: the line
 * begins with a backslash, and those bytes are written as "\n", "\r" and "\\".
 */
[[nodiscard]] std::string checksumLine(const std::string& path, const Digest& digest, bool bsd);

/*!
 * The entry of line number of a checksum list in either form (the line without its line feed). Hex
 * digits may be of either case and a "*" in place of the second space (binary mode) is taken. A line that
 * fits neither form, holds a NUL byte, or carries an escape other than "\n", "\r" and "\\" is not well
 * formed.
 */
[[nodiscard]] ListEntry parseChecksumLine(std::string_view line, std::int64_t number);

} // namespace orvane
