#include "filemanager.h"

#include "runner/itemname.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QProcess>
#include <QStandardPaths>

#include <sys/stat.h>

namespace {

QString shown(const QByteArray& path)
{
    return ItemName::shownPath(path.toStdString());
}

} // namespace

FileManager::FileManager(QObject* parent)
    : QObject(parent)
{
}

FileManager::~FileManager() = default;

QByteArray FileManager::fileAddress(const QByteArray& path)
{
    return "file://" + path.toPercentEncoding("/");
}

bool FileManager::exists(const QByteArray& path)
{
    struct stat status = {};
    if (::lstat(path.constData(), &status) == 0)
        return true;
    emit errorOccurred(
        tr("%1 no longer exists: it was moved, renamed or deleted since the report was made.").arg(shown(path)));
    return false;
}

void FileManager::showInFiles(const QByteArray& path)
{
    if (!exists(path))
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        openFolder(path);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("ShowItems"));
    call << QStringList { QString::fromLatin1(fileAddress(path)) } << QString();
    // Asynchronous: a file manager started for the call may take a while, and the window must not wait.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, path](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        if (QDBusPendingReply<> reply = *finished; reply.isError())
            openFolder(path);
    });
}

void FileManager::openFolder(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    const QByteArray folder = slash <= 0 ? QByteArray("/") : path.left(slash);
    launch(fileAddress(folder), tr("%1 could not be shown: no file manager answered.").arg(shown(path)));
}

void FileManager::open(const QByteArray& path)
{
    if (exists(path))
        launch(
            fileAddress(path), tr("%1 could not be opened: no application or file manager answered.").arg(shown(path)));
}

// xdg-open, the desktop's opener, says by its exit status whether anything took the address; the desktop
// services of Qt start it and forget it, and a desktop with nothing set up would show the user nothing.
void FileManager::launch(const QByteArray& address, const QString& failure)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty()) {
        emit errorOccurred(failure);
        return;
    }
    auto* process = new QProcess(this);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    connect(process, &QProcess::finished, this, [this, process, failure](int code, QProcess::ExitStatus status) {
        process->deleteLater();
        if (status != QProcess::NormalExit || code != 0)
            emit errorOccurred(failure);
    });
    connect(process, &QProcess::errorOccurred, this, [this, process, failure](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) {
            process->deleteLater();
            emit errorOccurred(failure);
        }
    });
    process->start(opener, { QString::fromLatin1(address) });
}
