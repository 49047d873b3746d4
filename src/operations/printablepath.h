#pragma once

#include <string>

namespace orvane {

/*!
 * The path as report lines and diagnostics show it: every control byte (0x01 to 0x1F and 0x7F) written
 * as a backslash, "x" and two lowercase hex digits, so that a name cannot start a line of its own or
 * send escape sequences to a terminal. Every other byte, UTF-8 or not, stays as it is.
 */
[[nodiscard]] std::string printablePath(const std::string& path);

} // namespace orvane
