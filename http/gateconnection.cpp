#include "http/gateconnection.h"

#include "http/httpreply.h"

#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace {

int statusOf(RequestFraming::Verdict verdict)
{
    switch (verdict) {
    case RequestFraming::Verdict::HeaderTooLarge:
        return 431;
    case RequestFraming::Verdict::BodyTooLarge:
        return 413;
    case RequestFraming::Verdict::LengthRequired:
        return 411;
    default:
        return 400;
    }
}

} // namespace

GateConnection::GateConnection(QTcpSocket* socket, const HttpLimits& limits,
                               std::function<void()> gone)
    : QObject(socket), m_socket(socket), m_limits(limits), m_framing(limits),
      m_stall(new QTimer(this)), m_gone(std::move(gone))
{
    m_stall->setSingleShot(true);
    m_stall->setInterval(limits.stallMilliseconds);
    connect(m_stall, &QTimer::timeout, this, &GateConnection::stalled);
    connect(socket, &QTcpSocket::readyRead, this, &GateConnection::bytesArrived);
    m_stall->start();
}

GateConnection::~GateConnection()
{
    if (m_gone)
        m_gone();
}

void GateConnection::refuse(int status, const QByteArray& message)
{
    closeWith(HttpReply::closingError(status, message));
}

void GateConnection::bytesArrived()
{
    // The module keeps what it has read of an unfinished request in a transaction of the
    // socket, so what is available here is exactly what arrived since.
    const qint64 before = m_framing.completed();
    m_framing.feed(m_socket->peek(m_socket->bytesAvailable()));
    if (m_framing.failed()) {
        closeWith(HttpReply::closingError(statusOf(m_framing.verdict()), m_framing.problem()));
        return;
    }
    if (m_framing.completed() != before)
        m_stall->start(); // the next request has its own time
    if (m_framing.wantsContinue()) {
        m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");
        m_framing.continueSent();
    }
}

void GateConnection::stalled()
{
    if (m_framing.verdict() == RequestFraming::Verdict::Partial)
        closeWith(HttpReply::closingError(408, "the request did not arrive in time"));
    else
        drop();
}

void GateConnection::closeWith(const QByteArray& reply)
{
    m_stall->stop();
    QTcpSocket* socket = m_socket;
    // Nobody else reads from here on: the module must not see the rest of a refused request,
    // and what it has not read yet is dropped before it can.
    QObject::disconnect(socket, &QTcpSocket::readyRead, nullptr, nullptr);
    connect(socket, &QTcpSocket::readyRead, this, [socket] { socket->readAll(); });
    socket->readAll();
    const auto shutSending = [socket] {
        if (socket->bytesToWrite() == 0 && socket->state() == QAbstractSocket::ConnectedState)
            ::shutdown(static_cast<int>(socket->socketDescriptor()), SHUT_WR);
    };
    connect(socket, &QTcpSocket::bytesWritten, this, shutSending);
    socket->write(reply);
    socket->flush();
    shutSending();
    QTimer::singleShot(m_limits.closingMilliseconds, this, &GateConnection::drop);
}

void GateConnection::drop()
{
    m_socket->abort();
    m_socket->deleteLater();
}
