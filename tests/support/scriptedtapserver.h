#pragma once

#include "tests/support/scriptedterminal.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTcpSocket>

class QTcpServer;

// A paging terminal that takes TAP over TCP: it listens on 127.0.0.1 and speaks as a
// ScriptedTerminal on each connection it accepts, from the test's event loop. One terminal
// script serves every connection in turn; a connection that arrives while one is open waits
// until that one has ended.
class ScriptedTapServer final : public QObject
{
    Q_OBJECT

public:
    explicit ScriptedTapServer(QObject* parent = nullptr);
    ~ScriptedTapServer() override;

    bool isListening() const;
    quint16 port() const;
    ScriptedTerminal& terminal() { return m_terminal; }

    // Ends the open connection from the terminal's side, as a carrier dropping the line.
    void dropConnection();
    // Stops accepting: later connections are refused.
    void stopListening();

    // What happened.
    int connections() const { return m_connections; }
    // Connections the far end has closed (the terminal's own drops not counted).
    int closedByClient() const { return m_closedByClient; }
    bool connectionOpen() const { return m_socket != nullptr; }
    const QByteArray& received() const { return m_received; }
    // Blocks in the event loop until the open connection has ended, or `seconds` have passed.
    bool waitForClose(int seconds);

private:
    void takeNext();
    void readSocket();
    void socketClosed();

    QTcpServer* m_server;
    QPointer<QTcpSocket> m_socket;
    ScriptedTerminal m_terminal;
    bool m_dropping = false;
    int m_connections = 0;
    int m_closedByClient = 0;
    QByteArray m_received;
};
