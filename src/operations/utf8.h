#pragma once

#include <cstddef>
#include <string_view>

namespace orvane {

/// The length of the valid UTF-8 sequence that starts at bytes[at], or 0 when none does: no overlong
/// forms, surrogates or code points above U+10FFFF.
[[nodiscard]] std::size_t utf8SequenceLength(std::string_view bytes, std::size_t at);

/// Whether bytes are valid UTF-8 throughout.
[[nodiscard]] bool isValidUtf8(std::string_view bytes);

} // namespace orvane
