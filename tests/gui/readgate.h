#pragma once

#include "integrity/filedigest.h"

#include <condition_variable>
#include <memory>
#include <mutex>

/*!
 * Holds folder runs in the middle of their walk: every read a run makes waits at the gate until the test
 * opens it. So a test sees a run that is surely still walking, without sleeping and hoping. The gate
 * opens by itself when it goes out of scope, so a failing test cannot leave workers stuck.
 */
class ReadGate
{
public:
    ReadGate() = default;
    ~ReadGate();
    ReadGate(const ReadGate&) = delete;
    ReadGate& operator=(const ReadGate&) = delete;

    /// The read function to give the runs.
    [[nodiscard]] orvane::ReadFunction reader() const;
    void open();
    /// Reads waiting at the gate now, and the most that ever waited at once.
    [[nodiscard]] int waiting() const;
    [[nodiscard]] int peak() const;

private:
    struct State
    {
        mutable std::mutex mutex;
        std::condition_variable opened;
        bool isOpen = false;
        int waiting = 0;
        int peak = 0;
    };
    std::shared_ptr<State> m_state = std::make_shared<State>();
};
