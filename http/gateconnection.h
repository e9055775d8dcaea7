#pragma once

#include "http/httplimits.h"
#include "http/requestframing.h"

#include <QByteArray>
#include <QObject>

#include <functional>

class QTcpSocket;
class QTimer;

// The listener's watch over one connection, ahead of the HTTP server module: each request's
// head and body are measured as they arrive, before the module reads them, and a connection
// that breaks a limit or stops sending is answered and closed. It lives as a child of its
// socket and tells the listener when the socket is gone, whoever deleted it; it ends every
// connection it closes itself, so a connection never outlives its time, whatever the module
// has done with the socket's signals.
class GateConnection final : public QObject
{
    Q_OBJECT

public:
    // Watches `socket`, which must not have been handed to the module yet: its readyRead
    // reaches this watch before the module, so a refused request never reaches a handler.
    // `gone` runs when the socket is destroyed.
    GateConnection(QTcpSocket* socket, const HttpLimits& limits, std::function<void()> gone);
    ~GateConnection() override;

    // Answers `status` with the error `message` at once and closes the connection, for a
    // client the listener does not serve at all.
    void refuse(int status, const QByteArray& message);

private:
    void bytesArrived();
    void stalled();
    // Sends the reply and closes the connection the orderly way: the reply is written, the
    // sending side shut, and what the client still sends is read and dropped until it closes,
    // so it gets to read the reply instead of a reset. A client that does not close within
    // the closing time is dropped.
    void closeWith(const QByteArray& reply);
    void drop();

    QTcpSocket* m_socket;
    HttpLimits m_limits;
    RequestFraming m_framing;
    QTimer* m_stall;
    std::function<void()> m_gone;
};
