#pragma once

#include "integrity/filedigest.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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
 * Every line of a checksum list in either form, in order, with its number; empty lines are passed over.
 * Hex digits may be of either case, a "*" in place of the second space (binary mode) is taken, and a line
 * that fits neither form, or carries an escape other than "\n", "\r" and "\\", is not well formed.
 */
[[nodiscard]] std::vector<ListEntry> parseChecksumList(std::string_view text);

} // namespace orvane
