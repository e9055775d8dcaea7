#pragma once

#include "http/httplimits.h"
#include "http/requestframing.h"

#include <QByteArray>
#include <QObject>

class QTcpSocket;
class QTimer;

// The listener's watch over one connection, ahead of the HTTP server module: each request's
// head and body are measured as they arrive, before the module reads them, and a connection
// that breaks a limit or stops sending is answered and closed. It lives as a child of its
// socket, so it ends with the socket whoever deletes it.
class GateConnection final : public QObject
{
    Q_OBJECT

public:
    // Watches `socket`, which must not have been handed to the module yet: its readyRead
    // reaches this watch before the module, so a refused request never reaches a handler.
    GateConnection(QTcpSocket* socket, const HttpLimits& limits);

    // Answers `status` with the error `message` at once and closes the connection, for a
    // client the listener does not serve at all.
    static void refuse(QTcpSocket* socket, const HttpLimits& limits, int status,
                       const QByteArray& message);

private:
    void bytesArrived();
    void stalled();
    // Sends the reply and closes the connection the orderly way: the reply is written, the
    // sending side shut, and what the client still sends is read and dropped until it closes,
    // so it gets to read the reply instead of a reset. A client that does not close within
    // the closing time is dropped.
    static void closeWith(QTcpSocket* socket, const HttpLimits& limits, const QByteArray& reply);

    QTcpSocket* m_socket;
    HttpLimits m_limits;
    RequestFraming m_framing;
    QTimer* m_stall;
};
