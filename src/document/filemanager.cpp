#include "filemanager.h"

#include "runner/itemname.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDesktopServices>
#include <QUrl>

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
    if (!QDesktopServices::openUrl(QUrl::fromEncoded(fileAddress(folder))))
        emit errorOccurred(
            tr("The folder %1 could not be opened: no file manager is set up to show it.").arg(shown(folder)));
}

void FileManager::open(const QByteArray& path)
{
    if (exists(path) && !QDesktopServices::openUrl(QUrl::fromEncoded(fileAddress(path))))
        emit errorOccurred(tr("%1 could not be opened: no application is set up to open it.").arg(shown(path)));
}
