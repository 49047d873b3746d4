#include "updatecheck.h"

#include "updatemanifest.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QSettings>
#include <QThread>

#include <utility>

namespace orvane {

namespace {

const QString theNoUpdateCheckKey = QStringLiteral("noUpdateCheck");
const QString theUpdateCheckIntKey = QStringLiteral("updateCheckInt");
const QString theDateLastUpdateCheckKey = QStringLiteral("dateLastUpdateCheck");

constexpr double theDefaultInterval = 43200.0; // 12 hours
constexpr qint64 theReferenceDateMSecs = 978307200000; // 2001-01-01 00:00:00 UTC after the Unix epoch

QString fromEnvironment(const char* name, const char* buildDefault)
{
    const QString value = qEnvironmentVariable(name);
    return value.isEmpty() ? QString::fromUtf8(buildDefault) : value;
}

std::optional<UpdateResponse> responseOf(QNetworkReply* reply)
{
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const QString scheme = reply->url().scheme();
    const bool http = scheme == QLatin1String("http") || scheme == QLatin1String("https");
    // No status line means nothing came back; another scheme counts as a response only when it succeeded.
    if ((http && !status.isValid()) || (!http && reply->error() != QNetworkReply::NoError))
        return std::nullopt;
    return UpdateResponse { http, status.toInt(), UpdateCheck::mediaTypeOf(reply->rawHeader("Content-Type")) };
}

} // namespace

UpdateCheck::UpdateCheck(UpdateCheckHooks hooks, QObject* parent)
    : QObject(parent)
    , m_hooks(std::move(hooks))
    , m_network(new QNetworkAccessManager(this))
{
    if (m_hooks.settings) {
        m_settings = m_hooks.settings;
    } else {
        m_ownSettings = std::make_unique<QSettings>(QStringLiteral("Orvane"), QStringLiteral("Orvane"));
        m_settings = m_ownSettings.get();
    }
    if (!m_hooks.clock)
        m_hooks.clock = &UpdateCheck::secondsSinceReferenceDate;
    if (!m_hooks.runningVersion)
        m_hooks.runningVersion = [] { return QCoreApplication::applicationVersion(); };
    if (m_hooks.manifestUrl.isEmpty())
        m_hooks.manifestUrl = manifestAddress();
    if (m_hooks.downloadBase.isEmpty())
        m_hooks.downloadBase = downloadBaseAddress();
}

UpdateCheck::~UpdateCheck()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
    }
}

void UpdateCheck::scheduleUpdateCheck()
{
    Q_ASSERT(QThread::currentThread() == thread());
    const bool noUpdateCheck = m_settings->value(theNoUpdateCheckKey).toBool();
    const double lastCheck = m_settings->value(theDateLastUpdateCheckKey).toDouble();
    const double storedInterval = m_settings->value(theUpdateCheckIntKey).toDouble();

    const ScheduleDecision decision = decideSchedule(noUpdateCheck, storedInterval, lastCheck, m_hooks.clock());
    if (decision.runCheck) {
        checkForUpdate();
        // Stored once the request is on its way, whatever comes of it: a failed check waits a full interval.
        m_settings->setValue(theDateLastUpdateCheckKey, m_hooks.clock());
    }
    // Written at every launch, so that after the first one both keys exist for the user to change.
    m_settings->setValue(theNoUpdateCheckKey, noUpdateCheck);
    m_settings->setValue(theUpdateCheckIntKey, decision.interval);
    m_settings->sync();
}

void UpdateCheck::checkForUpdate()
{
    Q_ASSERT(QThread::currentThread() == thread());
    if (m_reply)
        return;
    const QString runningVersion = m_hooks.runningVersion();
    if (runningVersion.isEmpty()) {
        emit updateCheckFailed(QStringLiteral("Can't check for updates:\nNo app version string found."));
        emit updateCheckFinished();
        return;
    }
    startRequest(runningVersion);
}

void UpdateCheck::startRequest(const QString& runningVersion)
{
    m_body.clear();
    m_bodyTooLarge = false;
    QNetworkReply* reply = m_network->get(QNetworkRequest(m_hooks.manifestUrl));
    m_reply = reply;
    connect(reply, &QNetworkReply::readyRead, this, &UpdateCheck::replyReadyRead);
    connect(reply, &QNetworkReply::finished, this, [this, runningVersion] { replyFinished(runningVersion); });
}

void UpdateCheck::replyReadyRead()
{
    if (!m_reply || m_bodyTooLarge)
        return;
    if (m_body.size() + m_reply->bytesAvailable() > maximumManifestSize) {
        // No manifest is that large: stop the download rather than hold whatever the server sends.
        m_bodyTooLarge = true;
        m_body.clear();
        m_reply->abort(); // emits finished before it returns
        return;
    }
    m_body += m_reply->readAll();
}

void UpdateCheck::replyFinished(const QString& runningVersion)
{
    QNetworkReply* reply = m_reply;
    if (!reply)
        return;
    m_reply = nullptr;
    reply->deleteLater();

    if (!m_bodyTooLarge) {
        if (m_body.size() + reply->bytesAvailable() > maximumManifestSize)
            m_bodyTooLarge = true;
        else
            m_body += reply->readAll();
    }
    const std::optional<UpdateResponse> response = responseOf(reply);
    const QNetworkReply::NetworkError error = m_bodyTooLarge ? QNetworkReply::OperationCanceledError : reply->error();
    handleUpdateResponse(std::exchange(m_body, {}), response, error, runningVersion);
}

void UpdateCheck::handleUpdateResponse(const QByteArray& body,
    const std::optional<UpdateResponse>& response,
    QNetworkReply::NetworkError error,
    const QString& runningVersion)
{
    if (!acceptsResponse(response, error)) {
        emit updateCheckFinished();
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, body, runningVersion] { processUpdateManifest(body, runningVersion); }, Qt::QueuedConnection);
}

void UpdateCheck::processUpdateManifest(const QByteArray& body, const QString& runningVersion)
{
    Q_ASSERT(QThread::currentThread() == thread());
    const ParsedManifest manifest = parseManifest(body);
    if (manifest.error != ManifestError::None) {
        emit updateCheckFailed(manifestErrorText(manifest.error));
        emit updateCheckFinished();
        return;
    }
    for (const ManifestEntry& entry : manifest.entries) {
        if (entry.appName != QLatin1String("Orvane"))
            continue;
        if (!std::exchange(m_foundOwnEntry, true))
            emit ownEntryFound();
        if (offersUpdate(runningVersion, entry.version) && isDownloadAddress(entry.url, m_hooks.downloadBase))
            emit updateOffered(entry.version, runningVersion, QUrl(entry.url, QUrl::StrictMode));
    }
    emit updateCheckFinished();
}

bool UpdateCheck::isChecking() const
{
    return !m_reply.isNull();
}

bool UpdateCheck::hasFoundOwnEntry() const
{
    return m_foundOwnEntry;
}

ScheduleDecision UpdateCheck::decideSchedule(bool noUpdateCheck, double interval, double lastCheck, double now)
{
    // Written as "not at least 1.0" so that a value that is not a number is replaced too.
    if (!(interval >= 1.0))
        interval = theDefaultInterval;
    return ScheduleDecision { !noUpdateCheck && interval < now - lastCheck, interval };
}

bool UpdateCheck::acceptsResponse(const std::optional<UpdateResponse>& response, QNetworkReply::NetworkError error)
{
    return response && error == QNetworkReply::NoError && response->isHttp && response->statusCode >= 200
        && response->statusCode <= 299
        && (response->mediaType == QLatin1String("text/xml") || response->mediaType == QLatin1String("text/plain"));
}

QString UpdateCheck::mediaTypeOf(const QByteArray& contentType)
{
    const qsizetype semicolon = contentType.indexOf(';');
    return QString::fromLatin1(contentType.left(semicolon < 0 ? contentType.size() : semicolon)).trimmed();
}

QUrl UpdateCheck::manifestAddress()
{
    return QUrl(fromEnvironment("ORVANE_UPDATE_MANIFEST_URL", ORVANE_UPDATE_MANIFEST_URL_DEFAULT));
}

QString UpdateCheck::downloadBaseAddress()
{
    QString base = fromEnvironment("ORVANE_DOWNLOAD_BASE_URL", ORVANE_DOWNLOAD_BASE_URL_DEFAULT);
    // The download rule relies on the final slash: without it https://host would also let
    // https://host.elsewhere.example/ through.
    if (!base.endsWith(u'/'))
        base += u'/';
    return base;
}

double UpdateCheck::secondsSinceReferenceDate()
{
    return double(QDateTime::currentMSecsSinceEpoch() - theReferenceDateMSecs) / 1000.0;
}

} // namespace orvane
