#include "jobtracker.h"

#if defined(__SANITIZE_THREAD__)
#define ORVANE_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define ORVANE_TSAN 1
#endif
#endif

#ifdef ORVANE_TSAN
#include <sanitizer/tsan_interface.h>
#endif

namespace JobTracker::detail {

void handedOver([[maybe_unused]] const void* value)
{
#ifdef ORVANE_TSAN
    __tsan_release(const_cast<void*>(value));
#endif
}

void takenOver([[maybe_unused]] const void* value)
{
#ifdef ORVANE_TSAN
    __tsan_acquire(const_cast<void*>(value));
#endif
}

} // namespace JobTracker::detail
