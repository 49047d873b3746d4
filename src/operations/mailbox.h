#pragma once

#include <deque>
#include <functional>
#include <mutex>

/*!
 * Blocks that pool threads hand to a window: put() from any thread, take() on the GUI thread, first in,
 * first out. The block passes between the threads under this mutex, in plain sight of ThreadSanitizer,
 * and so does whatever the wake-up that goes with it allocates.
 */
class Mailbox
{
public:
    /// Adds block and, still under the lock, calls wakeUp, which asks the window to take it.
    void put(std::function<void()> block, const std::function<void()>& wakeUp);
    /// The oldest block, or an empty function when there is none.
    [[nodiscard]] std::function<void()> take();

private:
    std::mutex m_mutex;
    std::deque<std::function<void()>> m_blocks;
};
