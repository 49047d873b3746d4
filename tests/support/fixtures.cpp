#include "fixtures.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/limits.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fixtures {

std::string local(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

QByteArray sha256(const QByteArray& contents)
{
    return QCryptographicHash::hash(contents, QCryptographicHash::Sha256);
}

void writeFile(const QString& path, const QByteArray& contents)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        QFAIL(qPrintable("cannot write " + path + ": " + file.errorString()));
}

QByteArray patternBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = seed * 2654435761u + 1;
    for (qsizetype i = 0; i < size; ++i) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        bytes[i] = char(state & 0xff);
    }
    return bytes;
}

bool setAttribute(const QString& path, const QByteArray& value, const std::string& name)
{
    const std::string attribute = orvane::platformAttributeName(name);
    return ::setxattr(local(path).c_str(), attribute.c_str(), value.constData(), size_t(value.size()), 0) == 0;
}

std::optional<QByteArray> attribute(const QString& path, const std::string& name)
{
    QByteArray value(XATTR_SIZE_MAX, '\0');
    const ssize_t size = ::getxattr(
        local(path).c_str(), orvane::platformAttributeName(name).c_str(), value.data(), size_t(value.size()));
    if (size < 0)
        return std::nullopt;
    value.resize(size);
    return value;
}

QByteArray timeValueOf(const QString& path)
{
    struct stat status = {};
    if (::stat(local(path).c_str(), &status) != 0)
        return {};
    QByteArray bytes;
    for (const qint64 part : { qint64(status.st_mtim.tv_sec), qint64(status.st_mtim.tv_nsec) })
        for (int shift = 0; shift < 64; shift += 8)
            bytes += char(quint64(part) >> shift);
    return bytes;
}

QStringList attributeNames(const QString& path)
{
    QByteArray names(XATTR_LIST_MAX, '\0');
    names.resize(qMax<ssize_t>(::llistxattr(local(path).c_str(), names.data(), size_t(names.size())), 0));
    QStringList result;
    for (const QByteArray& name : names.split('\0'))
        if (!name.isEmpty())
            result << QString::fromUtf8(name);
    result.sort();
    return result;
}

bool supportsUserAttributes(const QString& folder)
{
    const QString probe = folder + "/.xattr-probe";
    writeFile(probe, "probe");
    const bool ok = ::setxattr(local(probe).c_str(), "user.orvane-probe", "1", 1, 0) == 0;
    QFile::remove(probe);
    return ok;
}

ProgramResult runProgram(const QString& program,
    const QStringList& arguments,
    const QString& workingDir,
    const std::function<void()>& setup,
    const QByteArray& input)
{
    QProcess process;
    process.setWorkingDirectory(workingDir);
    if (setup)
        process.setChildProcessModifier(setup);
    process.start(program, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return {}; // hung: QProcess kills it
    const int exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return { exitCode, process.readAllStandardOutput(), process.readAllStandardError() };
}

void makeFifo(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    if (::mkfifo(local(path).c_str(), 0644) != 0)
        QFAIL(qPrintable("mkfifo " + path + ": " + QString::fromLocal8Bit(std::strerror(errno))));
}

void makeDeepTree(const QString& root, int levels, int nameLength)
{
    int fd = ::open(local(root).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int level = 0; level < levels && fd >= 0; ++level) {
        const std::string name = QString::number(level).repeated(nameLength).left(nameLength).toStdString();
        const int child = ::mkdirat(fd, name.c_str(), 0755) == 0 ? ::openat(fd, name.c_str(), O_RDONLY) : -1;
        ::close(fd);
        fd = child;
    }
    const int file = ::openat(fd, "file", O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    const QByteArray digest = sha256("");
    const std::string attribute = orvane::platformAttributeName(orvane::theXattrName);
    if (file < 0 || ::fsetxattr(file, attribute.c_str(), digest.constData(), size_t(digest.size()), 0) != 0)
        qFatal("cannot build a deep tree");
    ::close(file);
    ::close(fd);
}

void makeSymlink(const QString& target, const QString& link)
{
    if (::symlink(local(target).c_str(), local(link).c_str()) != 0)
        QFAIL(qPrintable("symlink " + link + ": " + QString::fromLocal8Bit(std::strerror(errno))));
}

long peakKiB(qint64 pid)
{
    QFile status(QString("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

AsNobody::AsNobody()
    : valid(::geteuid() == 0 && ::setegid(65534) == 0 && ::seteuid(65534) == 0)
{
}

AsNobody::~AsNobody()
{
    if (valid && (::seteuid(0) != 0 || ::setegid(0) != 0))
        qFatal("cannot return to root");
}

ScratchMount::ScratchMount(const QString& where)
    : m_where(where)
{
    QDir().mkpath(where);
    if (::mount("orvane-test", local(where).c_str(), "tmpfs", 0, "size=8m,mode=0755") == 0)
        m_mounted = true;
    else
        m_reason = "cannot mount a tmpfs here (" + QString::fromLocal8Bit(std::strerror(errno)) + ")";
}

ScratchMount::~ScratchMount()
{
    if (m_mounted)
        ::umount2(local(m_where).c_str(), MNT_DETACH);
}

bool ScratchMount::makeReadOnly()
{
    if (::mount(nullptr, local(m_where).c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0)
        return true;
    m_reason = "cannot remount read-only (" + QString::fromLocal8Bit(std::strerror(errno)) + ")";
    return false;
}

} // namespace fixtures
