#include "desktopnotifications.h"

#include "bringforward.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>
#include <QVariantMap>
#include <QWidget>

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString defaultAction = QStringLiteral("default");

} // namespace

DesktopNotifications::DesktopNotifications(QObject* parent)
    : QObject(parent)
{
}

DesktopNotifications::~DesktopNotifications() = default;

void DesktopNotifications::notify(QWidget* window, const QString& summary)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return;
    if (!m_listening) {
        // From any sender: naming the service would have Qt look up its owner with a call that blocks. Only
        // ids this object was given count, so another sender's signals change nothing.
        bus.connect(
            QString(), path, service, QStringLiteral("ActionInvoked"), this, SLOT(actionInvoked(uint, QString)));
        bus.connect(
            QString(), path, service, QStringLiteral("NotificationClosed"), this, SLOT(notificationClosed(uint, uint)));
        m_listening = true;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, service, QStringLiteral("Notify"));
    // The icon is the one the desktop entry names; the hint lets the service find that entry too.
    const QVariantMap hints { { QStringLiteral("desktop-entry"), QGuiApplication::desktopFileName() } };
    call << QStringLiteral("Orvane") << 0U << QStringLiteral("orvane") << summary << QString()
         << QStringList { defaultAction, tr("Show") } << hints << -1;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, window = QPointer<QWidget>(window)](auto* done) {
        done->deleteLater();
        if (const QDBusPendingReply<uint> reply = *done; !reply.isError())
            m_windows.insert(reply.value(), window);
    });
}

void DesktopNotifications::actionInvoked(uint id, const QString& action)
{
    const QPointer<QWidget> window = m_windows.value(id);
    if (action != defaultAction || !window || !window->isVisible())
        return;
    bringForward(window);
}

void DesktopNotifications::notificationClosed(uint id, uint /*reason*/)
{
    m_windows.remove(id);
}
