#include "tests/support/scriptedtapserver.h"

#include "foundation/ttimecounter.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

ScriptedTapServer::ScriptedTapServer(QObject* parent)
    : QObject(parent), m_server(new QTcpServer(this))
{
    m_terminal.setWriter([this](const QByteArray& bytes) {
        if (m_socket)
            m_socket->write(bytes);
    });
    connect(m_server, &QTcpServer::newConnection, this, &ScriptedTapServer::takeNext);
    m_server->listen(QHostAddress::LocalHost, 0);
}

ScriptedTapServer::~ScriptedTapServer()
{
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

bool ScriptedTapServer::isListening() const
{
    return m_server->isListening();
}

quint16 ScriptedTapServer::port() const
{
    return m_server->serverPort();
}

void ScriptedTapServer::stopListening()
{
    m_server->close();
}

void ScriptedTapServer::dropConnection()
{
    if (!m_socket)
        return;
    m_dropping = true;
    m_socket->disconnectFromHost();
}

bool ScriptedTapServer::waitForClose(int seconds)
{
    TTimeCounter counter;
    counter.setTimeOut(seconds);
    counter.Start();
    return waitUntil(counter, [this] { return m_socket == nullptr; });
}

void ScriptedTapServer::takeNext()
{
    if (m_socket || !m_server->hasPendingConnections())
        return;
    m_socket = m_server->nextPendingConnection();
    ++m_connections;
    m_dropping = false;
    connect(m_socket, &QTcpSocket::readyRead, this, &ScriptedTapServer::readSocket);
    connect(m_socket, &QTcpSocket::disconnected, this, &ScriptedTapServer::socketClosed);
    m_terminal.lineUp();
    readSocket();
}

void ScriptedTapServer::readSocket()
{
    if (!m_socket)
        return;
    const QByteArray bytes = m_socket->readAll();
    m_received += bytes;
    for (const char byte : bytes) {
        m_terminal.take(byte);
        if (!m_socket)
            return;
    }
}

void ScriptedTapServer::socketClosed()
{
    QTcpSocket* socket = m_socket;
    if (!socket)
        return;
    // What arrived just before the close still reaches the terminal.
    readSocket();
    if (!m_dropping)
        ++m_closedByClient;
    m_terminal.lineDown();
    m_socket = nullptr;
    socket->deleteLater();
    takeNext();
}
