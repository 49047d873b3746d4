#pragma once

#include "integrity/filedigest.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unistd.h>

// Reads wait until the test opens the gate, or it goes: a run surely walking, without sleeping and hoping.
class ReadGate
{
public:
    ~ReadGate()
    {
        open();
    }

    [[nodiscard]] orvane::ReadFunction reader() const
    {
        return [state = m_state](int fd, void* buffer, std::size_t count) -> ssize_t {
            std::unique_lock<std::mutex> lock(state->mutex);
            state->peak = std::max(state->peak, ++state->waiting);
            state->opened.wait(lock, [&state] { return state->isOpen; });
            --state->waiting;
            lock.unlock();
            return ::read(fd, buffer, count);
        };
    }
    void open()
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->isOpen = true;
        m_state->opened.notify_all();
    }
    [[nodiscard]] int waiting() const
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->waiting;
    }
    [[nodiscard]] int peak() const
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->peak;
    }

private:
    struct State
    {
        std::mutex mutex;
        std::condition_variable opened;
        bool isOpen = false;
        int waiting = 0;
        int peak = 0;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};
