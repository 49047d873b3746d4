#pragma once

#include <string>
#include <string_view>

namespace orvane {

/*!
 * The path as report lines and diagnostics show it: every control character written byte by byte as a
 * backslash, "x" and two lowercase hex digits, so that a name cannot start a line of its own, send escape
 * sequences to a terminal or make a line read backwards. That is the C0 controls and DEL (0x01 to 0x1F,
 * 0x7F), the C1 controls (U+0080 to U+009F) and the bidirectional controls U+202A to U+202E and U+2066 to
 * U+2069. Every other byte, UTF-8 or not, stays as it is.
 */
[[nodiscard]] std::string printablePath(std::string_view path);
/// printablePath(path), appended to out.
void appendPrintablePath(std::string_view path, std::string& out);

/*!
 * Text as the window shows it: valid UTF-8, with each byte that belongs to no valid UTF-8 sequence written
 * as "\xHH", the way printablePath writes control characters, rather than as one replacement character
 * for any byte. The window keeps the bytes themselves beside the shown text wherever the two differ.
 */
[[nodiscard]] std::string shownText(std::string_view bytes);

} // namespace orvane
