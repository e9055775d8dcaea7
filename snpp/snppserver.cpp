#include "snpp/snppserver.h"

#include "foundation/widgettext.h"
#include "snpp/isnppaccess.h"
#include "snpp/snppprotocol.h"
#include "snpp/snppsession.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>

namespace {

// The peer as the address lists and the queue know it: dotted decimal.
QByteArray dottedAddress(const QHostAddress& address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return WidgetText::toBytes(isV4 ? QHostAddress(v4).toString() : address.toString());
}

} // namespace

SnppServer::SnppServer(const ISnppAccess& access, const IPagerDirectory& directory, IPageSink& sink,
                       QObject* parent)
    : QObject(parent), m_access(access), m_directory(directory), m_sink(sink),
      m_listener(new QTcpServer(this)), m_resume(new QTimer(this))
{
    m_listener->setMaxPendingConnections(MaxSessions);
    // Many clients connecting at once wait in the backlog instead of being turned away.
    m_listener->setListenBacklogSize(SOMAXCONN);
    connect(m_listener, &QTcpServer::newConnection, this, &SnppServer::acceptPending);
    // Out of descriptors: Qt stops accepting; try again a little later rather than spin.
    m_resume->setSingleShot(true);
    m_resume->setInterval(1000);
    connect(m_resume, &QTimer::timeout, this, [this] {
        if (m_listener->isListening() && m_sessions.size() < MaxSessions)
            m_listener->resumeAccepting();
    });
    connect(m_listener, &QTcpServer::acceptError, this, [this] {
        m_listener->pauseAccepting();
        m_resume->start();
    });
}

SnppServer::~SnppServer()
{
    abort();
}

std::optional<QString> SnppServer::listen(quint16 port)
{
    stop();
    if (!m_listener->listen(QHostAddress::AnyIPv4, port))
        return m_listener->errorString();
    return std::nullopt;
}

void SnppServer::stop()
{
    m_listener->close();
    m_resume->stop();
    const QList<SnppSession*> sessions = m_sessions;
    for (SnppSession* session : sessions)
        session->end(SnppProtocol::shuttingDownReply());
}

void SnppServer::abort()
{
    m_listener->close();
    m_resume->stop();
    const QList<SnppSession*> sessions = m_sessions;
    for (SnppSession* session : sessions)
        session->abort();
}

bool SnppServer::isListening() const
{
    return m_listener->isListening();
}

quint16 SnppServer::port() const
{
    return m_listener->serverPort();
}

void SnppServer::acceptPending()
{
    while (m_listener->hasPendingConnections()) {
        QTcpSocket* socket = m_listener->nextPendingConnection();
        if (!socket)
            break;
        const QByteArray address = dottedAddress(socket->peerAddress());
        auto* session = new SnppSession(socket, address, m_access, m_directory, m_sink, m_timing,
                                        m_guard, this);
        m_sessions.append(session);
        connect(session, &SnppSession::finished, this, &SnppServer::sessionFinished);
        if (!m_access.addressAdmitted(address)) {
            session->refuse(SnppProtocol::deniedReply());
        } else if (std::optional<PerAddressLimit::Claim> place = m_perAddress.claim(address)) {
            m_places.emplace(session, std::move(*place));
            session->start();
        } else {
            // One address cannot take every session for itself.
            emit tooManySessions(address);
            session->refuse(SnppProtocol::tooManySessionsReply());
        }
        if (m_sessions.size() >= MaxSessions) {
            m_listener->pauseAccepting();
            break;
        }
    }
}

void SnppServer::sessionFinished(SnppSession* session)
{
    m_sessions.removeOne(session);
    m_places.erase(session);
    session->deleteLater();
    if (isDrained()) {
        emit drained();
        return;
    }
    if (m_listener->isListening() && m_sessions.size() < MaxSessions && !m_resume->isActive()) {
        m_listener->resumeAccepting();
        acceptPending(); // those Qt accepted before the pause
    }
}
