#include "instanceadaptor.h"

#include "app/appdelegate.h"
#include "app/launchoptions.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMetaType>

const QString InstanceAdaptor::serviceName = QStringLiteral("co.sablewickfern.Orvane");
const QString InstanceAdaptor::objectPath = QStringLiteral("/co/sablewickfern/Orvane");

InstanceAdaptor::InstanceAdaptor(AppDelegate* delegate)
    : QDBusAbstractAdaptor(delegate)
    , m_delegate(delegate)
{
    qDBusRegisterMetaType<QList<QByteArray>>(); // Open's paths: aay
}

bool InstanceAdaptor::handOver(const LaunchOptions& launch)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(serviceName))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(
        serviceName, objectPath, QStringLiteral("co.sablewickfern.Orvane1"), QStringLiteral("Open"));
    qDBusRegisterMetaType<QList<QByteArray>>();
    call << QVariant::fromValue(launch.items) << launch.operation;
    // A running instance answers from its event loop at once; one that does not is taken for gone.
    return bus.call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
}

bool InstanceAdaptor::serve(AppDelegate* delegate)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    auto* adaptor = new InstanceAdaptor(delegate);
    // The object first, so that a call made the moment the name is ours finds it.
    if (bus.registerObject(objectPath, delegate, QDBusConnection::ExportAdaptors) && bus.registerService(serviceName))
        return true;
    bus.unregisterObject(objectPath);
    delete adaptor;
    return false;
}

void InstanceAdaptor::Open(const QList<QByteArray>& paths, const QString& operation, const QDBusMessage& call)
{
    const auto refuse = [&call](const QString& message) {
        call.setDelayedReply(true); // the error below is the answer
        QDBusConnection::sessionBus().send(call.createErrorReply(QDBusError::InvalidArgs, message));
    };
    if (!operation.isEmpty() && !LaunchOptions::operations().contains(operation))
        return refuse(tr("%1 is not an operation: check, tag or retag.").arg(operation));
    // The caller's working folder is not this process's: a relative path would name another item.
    for (const QByteArray& path : paths)
        if (!path.startsWith('/'))
            return refuse(tr("%1 is not an absolute path.").arg(QString::fromLocal8Bit(path)));
    QMetaObject::invokeMethod(
        m_delegate,
        [delegate = m_delegate, paths, operation] {
            if (paths.isEmpty())
                delegate->showStartWindow();
            else
                delegate->openItemsAndRun(paths, operation);
        },
        Qt::QueuedConnection);
}
