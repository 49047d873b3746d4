#include "runprogress.h"

#include <utility>

namespace orvane {

void RunProgress::setCurrentPath(std::string path)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_currentPath = std::move(path);
}

std::string RunProgress::currentPath() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_currentPath;
}

} // namespace orvane
