#include "item.h"

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>

namespace orvane {

namespace {

Result<std::string> realPath(const std::string& path)
{
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    if (!resolved)
        return errnoFailure(errno);
    return std::string(resolved.get());
}

} // namespace

Result<Item> resolveItem(const std::string& path)
{
    if (path.empty())
        return Failure { EINVAL, "empty path" };

    // A last part of "." or "..", or a trailing slash, asks for a folder: the kernel resolves it whole.
    const std::size_t slash = path.find_last_of('/');
    const std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    struct stat status = {};
    if (last.empty() || last == "." || last == "..") {
        Result<std::string> folder = realPath(path);
        if (!folder)
            return folder.failure();
        return Item { folder.value(), true };
    }

    const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    Result<std::string> resolvedParent = realPath(parent);
    if (!resolvedParent)
        return resolvedParent.failure();
    std::string resolved = resolvedParent.value();
    if (resolved.back() != '/')
        resolved.push_back('/');
    resolved.append(last);

    if (::lstat(resolved.c_str(), &status) != 0)
        return errnoFailure(errno);
    struct stat target = {};
    const bool isFolder = ::stat(resolved.c_str(), &target) == 0 && S_ISDIR(target.st_mode);
    return Item { resolved, isFolder };
}

} // namespace orvane
