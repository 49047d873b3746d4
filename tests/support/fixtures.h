#pragma once

#include "integrity/tagstore.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <optional>
#include <string>

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
/// The value of the time attribute that says the file has not been modified since: its modification time now.
QByteArray timeValueOf(const QString& path);
/// Every extended attribute name on the file (llistxattr on the file itself, not a link's target), sorted.
QStringList attributeNames(const QString& path);

bool supportsUserAttributes(const QString& folder);

/// In initTestCase: skips the whole test program when the temporary folder takes no user.* attributes.
#define SKIP_WITHOUT_USER_ATTRIBUTES()                                                                                 \
    do {                                                                                                               \
        if (!fixtures::supportsUserAttributes(QTemporaryDir().path()))                                                 \
            QSKIP("the temporary folder's file system takes no user.* attributes");                                    \
    } while (false)

void makeFifo(const QString& path);

/*!
 * Builds levels folders named by nameLength digits, one in another, below root through descriptors, so
 * that no path limit applies, and at the bottom an empty "file" tagged with its digest.
 */
void makeDeepTree(const QString& root, int levels, int nameLength);

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
 * The largest resident set the running process pid has had (VmHWM), in KiB; -1 once it has ended. Read
 * while it runs: the figure wait4 gives would count the test's own image, which the fork copied.
 */
long peakKiB(qint64 pid);

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
