#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>

class QWidget;

/*!
 * Desktop notifications through org.freedesktop.Notifications on the session bus. Each one is a single
 * line from the application "Orvane" with the application's icon; a click on it (its "default" action)
 * brings the window it names to the front. Every call is asynchronous: where there is no session bus or no
 * notification service nothing is shown, nothing waits and no error is raised.
 */
class DesktopNotifications : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopNotifications)

public:
    explicit DesktopNotifications(QObject* parent = nullptr);
    ~DesktopNotifications() override;

    /// Shows summary; a click on it raises and activates window, if it is still open then.
    void notify(QWidget* window, const QString& summary);

private slots:
    void actionInvoked(uint id, const QString& action);
    void notificationClosed(uint id, uint reason);

private:
    bool m_listening = false;
    QHash<uint, QPointer<QWidget>> m_windows; // the notifications on screen, by the service's id
};
