#include "failure.h"

#include <cstring>

namespace orvane {

Failure errnoFailure(int code)
{
    // strerror_r (GNU form) is safe on the worker threads that run folders concurrently.
    char buffer[256];
    return { code, ::strerror_r(code, buffer, sizeof buffer) };
}

} // namespace orvane
