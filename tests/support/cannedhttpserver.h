#pragma once

#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

#include <optional>

/// A loopback HTTP/1.1 server on the test's event loop answering each GET with the response canned for its path.
class CannedHttpServer
{
public:
    struct Response
    {
        int status = 200;
        std::optional<QByteArray> contentType = QByteArray("text/xml"); ///< nothing: no Content-Type header
        QByteArray body;
        bool announceLength = true; ///< false: no Content-Length; the body ends when the connection closes
    };

    CannedHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            QTcpSocket* socket = m_server.nextPendingConnection();
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (!socket->peek(64 * 1024).contains("\r\n\r\n")) // the whole request head; a GET has no body
                    return;
                const Response response =
                    m_responses.value(socket->readAll().split(' ').value(1), { 404, "text/plain", "not here" });
                QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Canned\r\n";
                if (response.contentType)
                    head += "Content-Type: " + *response.contentType + "\r\n";
                if (response.announceLength)
                    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
                socket->write(head + "Connection: close\r\n\r\n" + response.body);
                socket->disconnectFromHost(); // after the buffered bytes have been written
            });
        });
    }

    void serve(const QByteArray& path, const Response& response)
    {
        m_responses.insert(path, response);
    }

    [[nodiscard]] QUrl url(const QByteArray& path) const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QString::fromLatin1(path)));
    }

private:
    QTcpServer m_server;
    QHash<QByteArray, Response> m_responses;
};
