#include "tests/lines/wctpendpoint.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

WctpEndpoint::WctpEndpoint(QObject* parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &WctpEndpoint::accept);
    m_server->listen(QHostAddress::LocalHost, 0);
}

bool WctpEndpoint::isListening() const
{
    return m_server->isListening();
}

quint16 WctpEndpoint::port() const
{
    return m_server->serverPort();
}

QByteArray WctpEndpoint::httpResponse(int status, const QByteArray& reason, const QByteArray& body)
{
    return "HTTP/1.1 " + QByteArray::number(status) + " " + reason +
           "\r\nContent-Type: text/xml\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

QByteArray WctpEndpoint::success()
{
    return httpResponse(200, "OK",
                        "<?xml version=\"1.0\"?>\n"
                        "<!DOCTYPE wctp-Operation SYSTEM "
                        "\"http://dtd.wctp.org/wctp-dtd-v1r3.dtd\">\n"
                        "<wctp-Operation wctpVersion=\"wctp-dtd-v1r3\">"
                        "<wctp-Confirmation><wctp-Success successCode=\"200\" "
                        "successText=\"Accepted\"/></wctp-Confirmation></wctp-Operation>\n");
}

QByteArray WctpEndpoint::failure(int code, const QByteArray& text)
{
    return httpResponse(200, "OK",
                        "<?xml version=\"1.0\"?>\n"
                        "<wctp-Operation wctpVersion=\"wctp-dtd-v1r3\">"
                        "<wctp-Confirmation><wctp-Failure errorCode=\"" +
                            QByteArray::number(code) + "\" errorText=\"" + text +
                            "\"/></wctp-Confirmation></wctp-Operation>\n");
}

void WctpEndpoint::accept()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void WctpEndpoint::read(QTcpSocket* socket)
{
    // The request so far is kept on the socket until it is whole.
    QByteArray data = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", data);
    const qsizetype headEnd = data.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    const QByteArray head = data.left(headEnd);
    qsizetype length = 0;
    for (const QByteArray& line : head.split('\n')) {
        if (line.toLower().startsWith("content-length:"))
            length = line.mid(15).trimmed().toLongLong();
    }
    if (data.size() < headEnd + 4 + length)
        return;
    m_requests.append(Request{head, data.mid(headEnd + 4, length)});
    socket->setProperty("request", QByteArray());
    if (!m_answering)
        return;
    socket->write(m_replies.isEmpty() ? success() : m_replies.takeFirst());
    socket->disconnectFromHost();
}
