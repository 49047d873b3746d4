#pragma once

#include "integrity/filedigest.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

// Reads wait until the test opens the gate, or it goes: a run surely walking, without sleeping and hoping.
class ReadGate
{
public:
    ~ReadGate()
    {
        open();
    }

    /// Holds the reads of every file, or only those of the file at path.
    [[nodiscard]] orvane::ReadFunction reader(const char* path = nullptr) const
    {
        struct stat held = {};
        const bool all = !path || ::stat(path, &held) != 0;
        return [state = m_state, all, held](int fd, void* buffer, std::size_t count) -> ssize_t {
            struct stat file = {};
            if (!all && (::fstat(fd, &file) != 0 || file.st_ino != held.st_ino || file.st_dev != held.st_dev))
                return ::read(fd, buffer, count);
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
