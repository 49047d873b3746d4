#pragma once

// Work passes between the GUI thread and the pool threads through Qt: QThreadPool's queue one way, the event
// queue the other. Qt orders both with locks of its own, and Qt is not built with ThreadSanitizer, so TSan
// cannot see that order and would take every hand-over for a race. Under TSan the calls below declare it;
// elsewhere they compile to nothing.

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>

extern "C" {
void AnnotateIgnoreReadsBegin(const char* file, int line);
void AnnotateIgnoreReadsEnd(const char* file, int line);
}
#endif

namespace orvane {

#if defined(__SANITIZE_THREAD__)
inline char theHandOffKey;
#endif

/// Right before QThreadPool::start(): all that this thread did so far happens before the task runs.
inline void handOffRelease()
{
#if defined(__SANITIZE_THREAD__)
    __tsan_release(&theHandOffKey);
#endif
}

/// First thing in a pool task. The key is a fixed address, not one carried by the task, because reading the
/// task's own fields before this call would already be the race.
inline void handOffAcquire()
{
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(&theHandOffKey);
#endif
}

/// Copies a value that Qt's event queue delivered inside a posted functor (a lambda's capture). Qt built the
/// functor on the posting thread and handed it over under its own lock.
template <typename T> T deliveredByQt(const T& captured)
{
#if defined(__SANITIZE_THREAD__)
    AnnotateIgnoreReadsBegin(__FILE__, __LINE__);
#endif
    T value = captured;
#if defined(__SANITIZE_THREAD__)
    AnnotateIgnoreReadsEnd(__FILE__, __LINE__);
#endif
    return value;
}

} // namespace orvane
