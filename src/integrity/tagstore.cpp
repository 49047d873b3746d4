#include "tagstore.h"

#include <algorithm>
#include <cerrno>
#include <sys/xattr.h>

namespace orvane {

std::string platformAttributeName(const std::string& name)
{
    return "user." + name;
}

Bytes readDigestAttribute(const std::string& path, const std::string& name)
{
    const std::string attribute = platformAttributeName(name);
    const ssize_t size = ::getxattr(path.c_str(), attribute.c_str(), nullptr, 0);
    if (size < 0)
        throw AttributeError(errno);

    Bytes value(static_cast<std::size_t>(size));
    if (size == 0)
        return value;
    const ssize_t read = ::getxattr(path.c_str(), attribute.c_str(), value.data(), value.size());
    if (read < 0)
        throw AttributeError(errno); // ERANGE when the value grew since the size query
    // A value that shrank since the size query is returned as read, without a zero-filled tail.
    value.resize(static_cast<std::size_t>(read));
    return value;
}

void writeDigestAttribute(const std::string& path, const Bytes& value, const std::string& name)
{
    const std::string attribute = platformAttributeName(name);
    if (::setxattr(path.c_str(), attribute.c_str(), value.data(), value.size(), 0) != 0)
        throw AttributeError(errno);
}

bool digestsEqual(const Bytes& stored, const Digest& digest)
{
    return stored.size() == digest.size() && std::equal(stored.begin(), stored.end(), digest.begin());
}

} // namespace orvane
