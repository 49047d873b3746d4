#include "cannedhttpserver.h"

#include <QTcpSocket>

CannedHttpServer::CannedHttpServer(QObject* parent)
    : QObject(parent)
{
    if (!m_server.listen(QHostAddress::LocalHost))
        qFatal("loopback server: %s", qPrintable(m_server.errorString()));
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        }
    });
}

void CannedHttpServer::serve(const QByteArray& path, const Response& response)
{
    m_responses.insert(path, response);
    m_requests.remove(path);
}

QUrl CannedHttpServer::url(const QByteArray& path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(QString::fromLatin1(path)));
}

int CannedHttpServer::requestCount(const QByteArray& path) const
{
    return m_requests.value(path);
}

void CannedHttpServer::answer(QTcpSocket* socket)
{
    // Wait for the whole request head; a GET has no body.
    if (socket->property("answered").toBool() || !socket->peek(64 * 1024).contains("\r\n\r\n"))
        return;
    socket->setProperty("answered", true);
    const QList<QByteArray> requestLine = socket->readLine().trimmed().split(' ');
    const QByteArray path = requestLine.value(1);
    ++m_requests[path];

    const Response response = m_responses.value(path, Response { 404, QByteArray("text/plain"), "not here", true });
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Canned\r\n";
    if (response.contentType)
        head += "Content-Type: " + *response.contentType + "\r\n";
    if (response.announceLength)
        head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    socket->write(response.body);
    socket->disconnectFromHost(); // after the buffered bytes have been written
}
