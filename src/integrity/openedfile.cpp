// Opening a file for its digest: only a regular file, never through a link root must not follow, and
// with the identity it had when opened, to tell afterwards whether it changed while read.

#include "filedigest.h"
#include "pseudofilesystem.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace orvane {

namespace {

// Opened for reading only. O_NONBLOCK keeps an open from blocking should a FIFO have taken a file's place
// since it was looked at.
const int readFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Links followed one after another at the most before giving up, as the kernel does.
constexpr int mostLinks = 40;

class Descriptor
{
public:
    explicit Descriptor(int fd)
        : fd(fd)
    {
    }
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int release()
    {
        return std::exchange(fd, -1);
    }
    int fd;
};

// Whether root may follow a link of owner to a file of target's owner.
bool mayFollow(uid_t owner, const struct stat& target)
{
    return owner == 0 || owner == target.st_uid;
}

// As root: the descriptor of the regular file that the link name (in folderFd) leads to, when the rule of
// OpenedFile::openAt lets root follow it. Nothing the rule refuses is opened unless the link changes
// between the look and the open, which the check of the opened file catches.
Result<int> openLinkAsRoot(int folderFd, const std::string& name, int depth)
{
    if (depth > mostLinks)
        return errnoFailure(ELOOP);
    // The link's text is taken from its own folder.
    const std::size_t slash = name.find_last_of('/');
    Descriptor ownFolder(-1);
    if (slash != std::string::npos) {
        const std::string folder = slash == 0 ? "/" : name.substr(0, slash);
        ownFolder.fd = ::openat(folderFd, folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
        if (ownFolder.fd < 0)
            return errnoFailure(errno);
    }
    const int folder = slash == std::string::npos ? folderFd : ownFolder.fd;
    const std::string base = slash == std::string::npos ? name : name.substr(slash + 1);

    // The owner and the text of one and the same link: a link's text never changes.
    struct stat status = {};
    Descriptor link(::openat(folder, base.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    if (link.fd < 0 || ::fstat(link.fd, &status) != 0)
        return errnoFailure(errno);
    if (!S_ISLNK(status.st_mode)) { // no longer a link
        const int fd = ::openat(folder, base.c_str(), readFlags | O_NOFOLLOW);
        return fd >= 0 ? Result<int>(fd) : Result<int>(errnoFailure(errno));
    }
    const uid_t owner = status.st_uid;
    std::string text(status.st_size > 0 ? static_cast<std::size_t>(status.st_size) + 1 : PATH_MAX, '\0');
    const ssize_t length = ::readlinkat(link.fd, "", text.data(), text.size());
    if (length < 0)
        return errnoFailure(errno);
    if (static_cast<std::size_t>(length) >= text.size())
        return Failure { 0, changedWhileReadReason };
    text.resize(static_cast<std::size_t>(length));

    Descriptor target(-1);
    if (::fstatat(folder, text.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
        return errnoFailure(errno);
    if (S_ISLNK(status.st_mode)) {
        Result<int> next = openLinkAsRoot(folder, text, depth + 1);
        if (!next)
            return next.failure();
        target.fd = next.value();
    } else if (!S_ISREG(status.st_mode)) {
        return Failure { 0, "not a regular file" };
    } else if (!mayFollow(owner, status)) {
        return Failure { 0, linkNotFollowedReason };
    } else {
        target.fd = ::openat(folder, text.c_str(), readFlags | O_NOFOLLOW);
        if (target.fd < 0)
            return errnoFailure(errno);
    }
    if (::fstat(target.fd, &status) != 0)
        return errnoFailure(errno);
    if (!mayFollow(owner, status))
        return Failure { 0, linkNotFollowedReason };
    return target.release();
}

FileTime fileTime(const timespec& time)
{
    return { std::int64_t(time.tv_sec), std::int64_t(time.tv_nsec) };
}

} // namespace

FileIdentity FileIdentity::of(const struct stat& status)
{
    return {
        status.st_dev, status.st_ino, std::int64_t(status.st_size), fileTime(status.st_mtim), fileTime(status.st_ctim)
    };
}

bool FileIdentity::operator==(const FileIdentity& other) const
{
    return device == other.device && inode == other.inode && size == other.size && modified == other.modified
        && changed == other.changed;
}

OpenedFile::~OpenedFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

OpenedFile::OpenedFile(OpenedFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_identity(other.m_identity)
    , m_links(other.m_links)
{
}

OpenedFile& OpenedFile::operator=(OpenedFile&& other) noexcept
{
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
        m_identity = other.m_identity;
        m_links = other.m_links;
    }
    return *this;
}

Result<OpenedFile> OpenedFile::open(const std::string& path)
{
    return openAt(AT_FDCWD, path);
}

Result<OpenedFile> OpenedFile::openAt(int folderFd, const std::string& name, bool knownRegular, FileSystemKind* kind)
{
    // Only regular files are opened: opening a FIFO could block, and opening some devices has effects.
    struct stat status = {};
    if (!knownRegular) {
        if (::fstatat(folderFd, name.c_str(), &status, 0) != 0)
            return errnoFailure(errno);
        if (!S_ISREG(status.st_mode))
            return Failure { 0, "not a regular file" };
    }

    OpenedFile file;
    file.m_fd = ::openat(folderFd, name.c_str(), readFlags | O_NOFOLLOW);
    if (file.m_fd < 0 && errno == ELOOP) {
        if (::geteuid() != 0) {
            file.m_fd = ::openat(folderFd, name.c_str(), readFlags);
        } else {
            Result<int> target = openLinkAsRoot(folderFd, name, 0);
            if (!target)
                return target.failure();
            file.m_fd = target.value();
        }
    }
    if (file.m_fd < 0)
        return errnoFailure(errno);
    if (::fstat(file.m_fd, &status) != 0)
        return errnoFailure(errno);
    if (!S_ISREG(status.st_mode))
        return Failure { 0, "not a regular file" };
    if (kind ? kind->onPseudoFileSystem(file.m_fd, status.st_dev) : onPseudoFileSystem(file.m_fd))
        return Failure { 0, pseudoFileSystemReason };
    file.m_identity = FileIdentity::of(status);
    file.m_links = status.st_nlink;
    return file;
}

bool OpenedFile::unchangedSinceOpened() const
{
    struct stat status = {};
    return ::fstat(m_fd, &status) == 0 && FileIdentity::of(status) == m_identity;
}

} // namespace orvane
