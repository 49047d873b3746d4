#pragma once

#include <string>

namespace orvane {

/// Why something in the engine could not be done: the errno value (0 when the failure has none) and the
/// text shown to people, which for an errno value is the C library's message for it.
struct Failure
{
    int code = 0;
    std::string reason;
};

/// The failure for an errno value, with strerror's text (thread-safe).
[[nodiscard]] Failure errnoFailure(int code);

} // namespace orvane
