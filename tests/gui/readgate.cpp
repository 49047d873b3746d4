#include "readgate.h"

#include <algorithm>
#include <unistd.h>

ReadGate::~ReadGate()
{
    open();
}

orvane::ReadFunction ReadGate::reader() const
{
    return [state = m_state](int fd, void* buffer, std::size_t count) -> ssize_t {
        {
            std::unique_lock<std::mutex> lock(state->mutex);
            ++state->waiting;
            state->peak = std::max(state->peak, state->waiting);
            state->opened.wait(lock, [&state] { return state->isOpen; });
            --state->waiting;
        }
        return ::read(fd, buffer, count);
    };
}

void ReadGate::open()
{
    {
        const std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->isOpen = true;
    }
    m_state->opened.notify_all();
}

int ReadGate::waiting() const
{
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->waiting;
}

int ReadGate::peak() const
{
    const std::lock_guard<std::mutex> lock(m_state->mutex);
    return m_state->peak;
}
