#pragma once

#include "integrity/tagstore.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <optional>
#include <string>
#include <sys/types.h>

namespace fixtures {

/// The path as the engine takes it: the file name bytes of the local encoding.
std::string local(const QString& path);

/// SHA-256 by Qt's own implementation, independent of the OpenSSL code under test.
QByteArray sha256(const QByteArray& contents);

/// Writes contents to path, creating missing parent folders. Fails the test on error.
void writeFile(const QString& path, const QByteArray& contents);

/// Deterministic pseudo-random bytes, so that a digest bug cannot hide behind uniform contents.
QByteArray patternBytes(qsizetype size, quint32 seed = 1);

bool setAttribute(const QString& path, const QByteArray& value, const std::string& name = orvane::theXattrName);
std::optional<QByteArray> attribute(const QString& path, const std::string& name = orvane::theXattrName);
/// Every extended attribute name on the file (llistxattr on the file itself, not a link's target).
QStringList attributeNames(const QString& path);

bool supportsUserAttributes(const QString& folder);

/// In initTestCase: skips the whole test program when the temporary folder takes no user.* attributes.
#define SKIP_WITHOUT_USER_ATTRIBUTES()                                                                                 \
    do {                                                                                                               \
        if (!fixtures::supportsUserAttributes(QTemporaryDir().path()))                                                 \
            QSKIP("the temporary folder's file system takes no user.* attributes");                                    \
    } while (false)

void makeFifo(const QString& path);

struct ProgramResult
{
    int exitCode = -1; // -1 also when the program crashed or hung
    QByteArray out, err;
};
/// Runs program with input on its standard input; setup, if given, runs in the child before it starts.
ProgramResult runProgram(const QString& program,
    const QStringList& arguments,
    const QString& workingDir = {},
    const std::function<void()>& setup = {},
    const QByteArray& input = {});
void makeSymlink(const QString& target, const QString& link);

/*!
 * A program started by fork and exec, with input as its standard input (none: /dev/null), its output into
 * a pipe of one page and its errors into a memory file. Until the test reads its output, a program that
 * writes more than a page waits: it is surely still running. Its peak resident memory is read while it
 * runs: the figure wait4 gives would count the test's own image, copied by the fork.
 */
class Spawned
{
public:
    Spawned(const QString& program, const QStringList& arguments, int input = -1);
    /// Kills the program if it still runs.
    ~Spawned();
    Spawned(const Spawned&) = delete;
    Spawned& operator=(const Spawned&) = delete;

    pid_t pid() const
    {
        return m_pid;
    }
    /// Waits for the program's first output; false when it ended without any.
    bool waitForOutput();
    /// The largest resident set the program has had so far (VmHWM), in KiB; -1 once it has ended.
    long peakKiB() const;
    /// Reads the rest of the output and waits for the program to end.
    ProgramResult finish();

private:
    pid_t m_pid = -1;
    int m_out = -1, m_err = -1;
    QByteArray m_output;
};

/// Effective ids of nobody for the object's life, so that permissions apply; valid only for root.
struct AsNobody
{
    AsNobody();
    ~AsNobody();
    AsNobody(const AsNobody&) = delete;
    const bool valid;
};

/// A throw-away 8 MiB tmpfs mounted for the object's life; needs CAP_SYS_ADMIN, else reason() says why.
class ScratchMount
{
public:
    explicit ScratchMount(const QString& where);
    ~ScratchMount();
    ScratchMount(const ScratchMount&) = delete;
    ScratchMount& operator=(const ScratchMount&) = delete;

    bool valid() const
    {
        return m_mounted;
    }
    QString reason() const
    {
        return m_reason;
    }
    bool makeReadOnly();

private:
    QString m_where;
    bool m_mounted = false;
    QString m_reason;
};

} // namespace fixtures
