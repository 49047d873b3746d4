#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

/*!
 * One JSON object on one line, built field by field, for JSON Lines reports. Keys are the caller's ASCII
 * words and go in as they are; values are escaped. The text is always valid UTF-8: a byte that does not
 * belong to a valid UTF-8 sequence becomes U+FFFD, and path() keeps such a value's exact bytes beside it.
 */
class JsonLine
{
public:
    JsonLine& text(std::string_view key, std::string_view value);
    /// The path as text under key and, when it is not valid UTF-8, its exact bytes in base64 under
    /// key + "_base64".
    JsonLine& path(std::string_view key, std::string_view bytes);
    JsonLine& number(std::string_view key, std::int64_t value);
    JsonLine& flag(std::string_view key, bool value);
    /// The object closed, with its newline.
    [[nodiscard]] std::string finish();

private:
    /// Appends value as a JSON string; true when a byte of it was not valid UTF-8 (written as U+FFFD).
    bool appendString(std::string_view value);
    void key(std::string_view key);

    std::string m_text = "{";
};

/// The bytes in base64 (RFC 4648, with padding).
[[nodiscard]] std::string base64(std::string_view bytes);

} // namespace orvane
