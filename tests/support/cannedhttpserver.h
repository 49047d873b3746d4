#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QTcpServer>
#include <QUrl>

#include <optional>

/*!
 * A small HTTP/1.1 server on the loopback interface that answers GET requests with canned responses, one
 * per path, and closes each connection after answering. Unknown paths get 404. It runs on the test's
 * own event loop, so tests wait for it with QTRY_* or QSignalSpy::wait.
 */
class CannedHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Response
    {
        int status = 200;
        std::optional<QByteArray> contentType = QByteArray("text/xml");
        QByteArray body;
        bool announceLength = true; ///< false: no Content-Length; the body ends when the connection closes
    };

    explicit CannedHttpServer(QObject* parent = nullptr);

    /// Serves response under path from now on, and counts that path's requests afresh.
    void serve(const QByteArray& path, const Response& response);
    [[nodiscard]] QUrl url(const QByteArray& path) const;
    [[nodiscard]] int requestCount(const QByteArray& path) const;

private:
    void answer(QTcpSocket* socket);

    QTcpServer m_server;
    QHash<QByteArray, Response> m_responses;
    QHash<QByteArray, int> m_requests;
};
