#include "http/httpgate.h"

#include "foundation/widgettext.h"
#include "http/gateconnection.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// The peer as the address lists know it: dotted decimal.
QByteArray dottedAddress(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return WidgetText::toBytes(isV4 ? QHostAddress(v4).toString() : address.toString());
}

} // namespace

HttpGate::HttpGate(const HttpLimits& limits, QObject* parent)
    : QTcpServer(parent), m_limits(limits), m_resume(new QTimer(this))
{
    setMaxPendingConnections(limits.connections);
    setListenBacklogSize(SOMAXCONN);
    // Out of descriptors: Qt stops accepting; try again a little later rather than spin.
    m_resume->setSingleShot(true);
    m_resume->setInterval(1000);
    connect(m_resume, &QTimer::timeout, this, [this] {
        if (isListening() && m_sockets.size() < m_limits.connections)
            resumeAccepting();
    });
    connect(this, &QTcpServer::acceptError, this, [this] {
        pauseAccepting();
        m_resume->start();
    });
}

HttpGate::~HttpGate()
{
    // Deleted while the counts they go back to still exist.
    const QSet<QTcpSocket*> sockets = m_sockets;
    for (QTcpSocket* socket : sockets)
        delete socket;
}

void HttpGate::dropConnections()
{
    const QSet<QTcpSocket*> sockets = m_sockets;
    for (QTcpSocket* socket : sockets) {
        socket->abort();
        socket->deleteLater();
    }
}

void HttpGate::incomingConnection(qintptr descriptor)
{
    auto* socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        ::close(static_cast<int>(descriptor));
        delete socket;
        return;
    }
    // Qt's buffer holds at most one whole request and a little more; beyond that the kernel
    // holds the client back.
    socket->setReadBufferSize(m_limits.headerBytes + m_limits.bodyBytes + 64 * 1024);
    const QByteArray address = dottedAddress(socket->peerAddress());
    const bool served = m_served.value(address) < m_limits.connectionsPerAddress;
    m_sockets.insert(socket);
    if (served)
        ++m_served[address];
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    auto* watch = new GateConnection(
        socket, m_limits, [this, socket, address, served] { socketGone(socket, address, served); });
    if (m_sockets.size() >= m_limits.connections)
        pauseAccepting();
    if (!served) {
        emit tooManyConnections(address);
        watch->refuse(429, "too many connections from " + address);
        return;
    }
    addPendingConnection(socket);
}

void HttpGate::socketGone(QTcpSocket* socket, const QByteArray& address, bool served)
{
    m_sockets.remove(socket);
    if (served && --m_served[address] <= 0)
        m_served.remove(address);
    if (isListening() && m_sockets.size() < m_limits.connections && !m_resume->isActive())
        resumeAccepting();
}
