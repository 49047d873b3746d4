#include "fixtures.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <linux/limits.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

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

QStringList attributeNames(const QString& path)
{
    QByteArray names(XATTR_LIST_MAX, '\0');
    names.resize(qMax<ssize_t>(::llistxattr(local(path).c_str(), names.data(), size_t(names.size())), 0));
    QStringList result;
    for (const QByteArray& name : names.split('\0'))
        if (!name.isEmpty())
            result << QString::fromUtf8(name);
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

void makeSymlink(const QString& target, const QString& link)
{
    if (::symlink(local(target).c_str(), local(link).c_str()) != 0)
        QFAIL(qPrintable("symlink " + link + ": " + QString::fromLocal8Bit(std::strerror(errno))));
}

Spawned::Spawned(const QString& program, const QStringList& arguments, int input)
    : m_err(::memfd_create("err", MFD_CLOEXEC))
{
    std::vector<QByteArray> words { QFile::encodeName(program) };
    for (const QString& argument : arguments)
        words.push_back(QFile::encodeName(argument));
    std::vector<char*> argv;
    for (QByteArray& word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    int out[2] = { -1, -1 };
    if (::pipe2(out, O_CLOEXEC) != 0 || ::fcntl(out[0], F_SETPIPE_SZ, 4096) < 0)
        return;
    const int none = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(input >= 0 ? input : none, STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        ::dup2(m_err, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(none);
    ::close(out[1]);
    m_out = out[0];
}

Spawned::~Spawned()
{
    if (m_pid > 0) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
    ::close(m_out);
    ::close(m_err);
}

bool Spawned::waitForOutput()
{
    char buffer[4096];
    ssize_t count = -1;
    while ((count = ::read(m_out, buffer, sizeof buffer)) < 0 && errno == EINTR) { }
    m_output.append(buffer, qMax<ssize_t>(count, 0));
    return count > 0;
}

long Spawned::peakKiB() const
{
    QFile status(QString("/proc/%1/status").arg(m_pid));
    if (m_pid <= 0 || !status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

ProgramResult Spawned::finish()
{
    while (waitForOutput()) { }
    int status = 0;
    while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) { }
    m_pid = -1;
    QFile errors;
    (void)errors.open(m_err, QIODevice::ReadOnly);
    errors.seek(0);
    return { WIFEXITED(status) ? WEXITSTATUS(status) : -1, m_output, errors.readAll() };
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
