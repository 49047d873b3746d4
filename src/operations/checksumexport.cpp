#include "checksumexport.h"

#include "checksumlist.h"
#include "integrity/tagstore.h"
#include "walk.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>

namespace orvane {

Result<Digest> storedDigest(
    int folderFd, const std::string& name, bool regular, const std::string& xattrName, FileSystemKind* kind)
{
    const Result<OpenedFile> file = OpenedFile::openAt(folderFd, name, regular, kind);
    if (!file)
        return file.failure();
    const Result<Bytes> stored = readDigestAttribute(file.value().descriptor(), xattrName);
    if (!stored)
        return stored.failure().code == ENODATA ? Failure { ENODATA, "no digest stored" } : stored.failure();
    Digest digest;
    if (stored.value().size() != digest.size())
        return Failure { 0, "the stored value is " + std::to_string(stored.value().size()) + " bytes, not a digest" };
    std::copy(stored.value().begin(), stored.value().end(), digest.begin());
    return digest;
}

std::optional<Failure> exportChecksums(
    const Item& item, bool bsd, const std::string& xattrName, const ExportSinks& sinks, const Exclusions* exclusions)
{
    FileSystemKind kind;
    const auto list =
        [&](int folderFd, const std::string& name, const std::string& path, const std::string& listed, bool regular) {
            const Result<Digest> digest = storedDigest(folderFd, name, regular, xattrName, &kind);
            if (digest)
                sinks.line(checksumLine(listed, digest.value(), bsd));
            else
                sinks.problem(path, digest.failure().reason);
        };
    if (!item.isFolder) {
        const std::size_t slash = item.path.find_last_of('/');
        list(AT_FDCWD, item.path, item.path, item.path.substr(slash == std::string::npos ? 0 : slash + 1), false);
        return std::nullopt;
    }
    const std::size_t prefix = item.path.back() == '/' ? item.path.size() : item.path.size() + 1;
    WalkCallbacks callbacks;
    callbacks.visitFile = [&](int folderFd, const std::string& name, const std::string& path, bool regular, ino_t) {
        list(folderFd, name, path, path.substr(prefix), regular);
    };
    callbacks.unreadableFolder = [&sinks](const std::string& path, const Failure& failure) {
        sinks.problem(path, "couldn't read folder: " + failure.reason);
    };
    callbacks.exclude = excludeFilter(exclusions);
    return walkTree(item.path, callbacks);
}

} // namespace orvane
