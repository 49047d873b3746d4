#include "runprogress.h"

#include "printablepath.h"

namespace orvane {

void RunProgress::setCurrentPath(const std::string& path)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_currentPath.assign(path); // into the buffer the path before used: no allocation a file
}

std::string RunProgress::currentPath() const
{
    std::string path;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        path = m_currentPath;
    }
    return printablePath(path);
}

} // namespace orvane
