#include "filemanager.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

FileManager::FileManager(QObject* parent)
    : QObject(parent)
{
}

FileManager::~FileManager() = default;

bool FileManager::exists(const QString& path)
{
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        return true;
    emit errorOccurred(
        tr("%1 no longer exists: it was moved, renamed or deleted since the report was made.").arg(path));
    return false;
}

void FileManager::showInFiles(const QString& path)
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
    call << QStringList { QUrl::fromLocalFile(path).toString() } << QString();
    // Asynchronous: a file manager started for the call may take a while, and the window must not wait.
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, path](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        if (QDBusPendingReply<> reply = *finished; reply.isError())
            openFolder(path);
    });
}

void FileManager::openFolder(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        emit errorOccurred(tr("The folder %1 could not be opened: no file manager is set up to show it.").arg(folder));
}

void FileManager::open(const QString& path)
{
    if (exists(path) && !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        emit errorOccurred(tr("%1 could not be opened: no application is set up to open it.").arg(path));
}
