#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;
class QSettings;

namespace orvane {

/// What the response filter looks at of a finished request.
struct UpdateResponse
{
    bool isHttp = false; ///< it came back over http or https, with a status line
    int statusCode = 0;
    QString mediaType; ///< the Content-Type without parameters; empty when there was none
};

/// The schedule's verdict for one launch, and the interval to write back.
struct ScheduleDecision
{
    bool runCheck = false;
    double interval = 0;

    bool operator==(const ScheduleDecision& other) const
    {
        return runCheck == other.runCheck && interval == other.interval;
    }
};

/// Everything the update check touches outside itself. Empty members get the real thing.
struct UpdateCheckHooks
{
    /// Where noUpdateCheck, updateCheckInt and dateLastUpdateCheck live. Not owned; must outlive the
    /// check. Null: the user's settings, organisation and application "Orvane".
    QSettings* settings = nullptr;
    /// The current time in seconds since 2001-01-01 00:00:00 UTC. Empty: the system clock.
    std::function<double()> clock;
    /// The running version, read when a check starts; empty text means the build carries none.
    /// Empty function: QCoreApplication::applicationVersion().
    std::function<QString()> runningVersion;
    /// The manifest and the download base address. Empty: manifestAddress() and downloadBaseAddress().
    QUrl manifestUrl;
    QString downloadBase;
};

/*!
 * The update check run at launch: decides from three settings whether a check is due, fetches the maker's
 * update manifest without blocking the GUI thread, and tells what it found through signals: Orvane's own
 * entry found (the shell marks its Help menus), each listed version that differs from the running one
 * (the shell offers it for download), a failure (the shell shows the alert), the end of the check. The
 * application delegate owns one and calls scheduleUpdateCheck once, when launching has finished. Settings,
 * clock, version and addresses come in through UpdateCheckHooks, so that tests can put their own in.
 */
class UpdateCheck : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateCheck)

public:
    explicit UpdateCheck(UpdateCheckHooks hooks = {}, QObject* parent = nullptr);
    ~UpdateCheck() override;

    /// Once per launch, on the GUI thread: starts a check when one is due and writes the three settings
    /// back (dateLastUpdateCheck only when a check was started).
    void scheduleUpdateCheck();
    /// Reads the running version and starts the request for the manifest. Does nothing while a request
    /// is open.
    void checkForUpdate();
    /// The end of the request: drops the result silently unless the response passes acceptsResponse, and
    /// otherwise queues processUpdateManifest on this object's thread. Safe to call from any thread.
    void handleUpdateResponse(const QByteArray& body,
        const std::optional<UpdateResponse>& response,
        QNetworkReply::NetworkError error,
        const QString& runningVersion);
    /// On the GUI thread: reads the manifest and signals Orvane's entry and each update it lists.
    void processUpdateManifest(const QByteArray& body, const QString& runningVersion);

    /// Whether a request for the manifest is open.
    [[nodiscard]] bool isChecking() const;
    /// Whether Orvane's own entry has been found in a manifest during this run, so that a window built
    /// later shows the same mark as the others.
    [[nodiscard]] bool hasFoundOwnEntry() const;

    /// The schedule: an interval below 1.0 (or not a number) counts as 43200 seconds, and a check runs
    /// only when checks are not switched off and more than the interval has passed since the last one.
    [[nodiscard]] static ScheduleDecision decideSchedule(
        bool noUpdateCheck, double interval, double lastCheck, double now);
    /// The response filter: no error, an HTTP response, status 200 to 299, media type exactly "text/xml"
    /// or "text/plain".
    [[nodiscard]] static bool acceptsResponse(
        const std::optional<UpdateResponse>& response, QNetworkReply::NetworkError error);
    /// The media type of a Content-Type header value: the part before any parameters, trimmed.
    [[nodiscard]] static QString mediaTypeOf(const QByteArray& contentType);
    /// The manifest address: ORVANE_UPDATE_MANIFEST_URL when set, otherwise the build's address.
    [[nodiscard]] static QUrl manifestAddress();
    /// The download base address: ORVANE_DOWNLOAD_BASE_URL when set, otherwise the build's address;
    /// always ending in "/".
    [[nodiscard]] static QString downloadBaseAddress();
    /// The system clock as seconds since 2001-01-01 00:00:00 UTC.
    [[nodiscard]] static double secondsSinceReferenceDate();

    /// Bodies longer than this are dropped like a failed response.
    static constexpr qint64 maximumManifestSize = 1024 * 1024;

signals:
    /// Orvane's own entry was found in the manifest for the first time in this run.
    void ownEntryFound();
    /// A listed version differs from the running one and may be downloaded from download, which lies
    /// below the download base address. Emitted once per such entry, in the manifest's order.
    void updateOffered(const QString& listedVersion, const QString& runningVersion, const QUrl& download);
    /// The check failed in a way the user is told of; message is the alert's text.
    void updateCheckFailed(const QString& message);
    /// A check came to its end, whatever the outcome: the response was dropped, the manifest processed,
    /// or the check could not start.
    void updateCheckFinished();

private:
    void startRequest(const QString& runningVersion);
    void replyReadyRead();
    void replyFinished(const QString& runningVersion);

    UpdateCheckHooks m_hooks;
    std::unique_ptr<QSettings> m_ownSettings;
    QSettings* m_settings = nullptr;
    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    bool m_bodyTooLarge = false;
    bool m_foundOwnEntry = false;
};

} // namespace orvane
