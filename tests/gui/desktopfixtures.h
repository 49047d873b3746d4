#pragma once

// What the application's tests need of the desktop: stand-ins for its services (a browser, a notification
// service and a file manager, the last two on the session bus), drops, files and programs named in bytes.

#include <QDBusConnection>
#include <QDropEvent>
#include <QMimeData>
#include <QObject>
#include <QStringList>
#include <QTest>
#include <QUrl>
#include <QVariantMap>

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// Takes the addresses Orvane asks the desktop to open, instead of starting a browser.
class PageCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void openPage(const QUrl& url)
    {
        opened.append(url);
    }
};

// org.freedesktop.Notifications on a connection of its own: records the calls, answers with id 7.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList calls; // application, icon, summary and actions of each Notify
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake"));
    FakeNotifications()
    {
        QVERIFY(bus.registerObject("/org/freedesktop/Notifications", this, QDBusConnection::ExportAllSlots)
            && bus.registerService("org.freedesktop.Notifications"));
    }

public slots:
    uint Notify(QString app, uint, QString icon, QString summary, QString, QStringList actions, QVariantMap, int)
    {
        calls.append(QStringList { app, icon, summary, actions.join(u',') }.join(u'|'));
        return 7;
    }
};

// org.freedesktop.FileManager1 on a connection of its own: records the addresses ShowItems is asked to show.
class FakeFileManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("files"));
    FakeFileManager()
    {
        QVERIFY(bus.registerObject("/org/freedesktop/FileManager1", this, QDBusConnection::ExportAllSlots)
            && bus.registerService("org.freedesktop.FileManager1"));
    }
    ~FakeFileManager() override
    {
        bus.unregisterService("org.freedesktop.FileManager1");
        QDBusConnection::disconnectFromBus(QStringLiteral("files"));
    }

public slots:
    void ShowItems(const QStringList& uris, const QString&)
    {
        shown += uris;
    }
};

// Drags urls onto window and drops them; whether the window took them.
inline bool dropOn(QWidget* window, const QList<QUrl>& urls)
{
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &enter);
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    if (enter.isAccepted())
        QCoreApplication::sendEvent(window, &drop);
    return enter.isAccepted() && drop.isAccepted();
}

// Makes the file folder/name from bytes (QString paths cannot carry a name that is not UTF-8).
inline void makeFile(const QByteArray& folder, const QByteArray& name, const QByteArray& contents)
{
    ::mkdir(folder.constData(), 0755);
    const int fd = ::open(QByteArray(folder + '/' + name).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    QVERIFY(fd >= 0 && ::write(fd, contents.constData(), size_t(contents.size())) == contents.size());
    ::close(fd);
}

// Starts program with arguments as they are, bytes and all (QProcess would decode them); 0 if it did not start.
inline pid_t spawnBytes(const QByteArray& program, const QList<QByteArray>& arguments)
{
    std::vector<char*> argv { const_cast<char*>(program.constData()) };
    for (const QByteArray& argument : arguments)
        argv.push_back(const_cast<char*>(argument.constData()));
    argv.push_back(nullptr);
    pid_t child = 0;
    return ::posix_spawn(&child, program.constData(), nullptr, nullptr, argv.data(), environ) == 0 ? child : 0;
}

// The exit status of the child, once it has ended; -1 when it did not exit by itself.
inline int exitStatus(pid_t child)
{
    int status = 0;
    return child && ::waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
