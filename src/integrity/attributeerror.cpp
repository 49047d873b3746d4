#include "attributeerror.h"

#include <cstring>

namespace orvane {

namespace {

std::string messageFor(int code)
{
    // strerror_r (GNU form) is safe on the worker threads that tag files concurrently.
    char buffer[256];
    return ::strerror_r(code, buffer, sizeof buffer);
}

} // namespace

AttributeError::AttributeError(int code)
    : std::runtime_error(messageFor(code))
    , m_code(code)
{
}

} // namespace orvane
