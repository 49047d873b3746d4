#include "mailbox.h"

#include <utility>

void Mailbox::put(std::function<void()> block, const std::function<void()>& wakeUp)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_blocks.push_back(std::move(block));
    wakeUp();
}

std::function<void()> Mailbox::take()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_blocks.empty())
        return {};
    std::function<void()> block = std::move(m_blocks.front());
    m_blocks.pop_front();
    return block;
}
