#include "itemname.h"

#include "operations/printablepath.h"

namespace ItemName {

QString displayName(const std::string& path)
{
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    const std::size_t slash = folder.find_last_of('/');
    return shownPath(folder == "/" || slash == std::string::npos ? folder : folder.substr(slash + 1));
}

QString shownPath(const std::string& path)
{
    const std::string shown = orvane::shownText(orvane::printablePath(path));
    return QString::fromUtf8(shown.data(), qsizetype(shown.size()));
}

} // namespace ItemName
