#pragma once

#include "http/httplimits.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QTcpServer>

class QTcpSocket;
class QTimer;

// The listening socket handed to the HTTP server module, with the limits the module lacks in
// front of it: each accepted connection is counted per address and watched (GateConnection)
// before the module gets it. A connection beyond the per-address limit is answered 429 and
// closed without reaching the module; at the overall limit the gate stops accepting until a
// connection ends, so new clients wait in the kernel's backlog.
class HttpGate final : public QTcpServer
{
    Q_OBJECT

public:
    explicit HttpGate(const HttpLimits& limits, QObject* parent = nullptr);
    ~HttpGate() override;

    const HttpLimits& limits() const { return m_limits; }

    // Drops every open connection at once.
    void dropConnections();

    // Connections open now, and those served for one address.
    int connectionCount() const { return static_cast<int>(m_sockets.size()); }
    int servedFrom(const QByteArray& address) const { return m_served.value(address); }

signals:
    // A client was turned away because its address holds the most connections already.
    void tooManyConnections(const QByteArray& address);

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void socketGone(QTcpSocket* socket, const QByteArray& address, bool served);

    HttpLimits m_limits;
    QTimer* m_resume;
    QSet<QTcpSocket*> m_sockets;
    QHash<QByteArray, int> m_served;
};
