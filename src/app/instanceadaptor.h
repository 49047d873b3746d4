#pragma once

#include <QByteArray>
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QList>

class AppDelegate;
struct LaunchOptions;

/*!
 * One Orvane per session. The first instance owns the name co.sablewickfern.Orvane on the session bus and
 * serves the object /co/sablewickfern/Orvane with the interface co.sablewickfern.Orvane1; a later `orvane`
 * hands its items and its operation to it through Open and ends. Without a session bus, or when the name
 * cannot be had, each instance simply runs on its own.
 */
class InstanceAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "co.sablewickfern.Orvane1")
    Q_DISABLE_COPY_MOVE(InstanceAdaptor)

public:
    static const QString serviceName;
    static const QString objectPath;

    /// Gives launch to the instance that owns the name; true once it has taken them, false when there is
    /// none or it did not answer within a few seconds. Blocks: for main(), before any window is up.
    [[nodiscard]] static bool handOver(const LaunchOptions& launch);
    /// Serves the name for delegate, which then owns the adaptor; false, serving nothing, when there is no
    /// session bus or another process has the name.
    static bool serve(AppDelegate* delegate);

public slots:
    /*!
     * Opens paths (absolute, each path's own bytes: D-Bus type aay) in windows brought to the front and starts
     * operation ("check", "tag", "retag" or empty) in each, as the command line does; no paths shows the
     * start window. Answers at once: the windows open once the call has been answered. Another operation,
     * or a path that is not absolute, is an InvalidArgs error and opens nothing.
     */
    void Open(const QList<QByteArray>& paths, const QString& operation, const QDBusMessage& call);

private:
    explicit InstanceAdaptor(AppDelegate* delegate);

    AppDelegate* m_delegate;
};
